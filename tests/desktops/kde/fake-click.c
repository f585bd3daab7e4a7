/* A click of the left button at X Y of the screen through KWin's fake-input protocol: the
 * person's hand at the portal's dialog where an AT-SPI action does not reach (a list's item).
 * Built by run.sh with the protocol's code from wayland-scanner. Usage: fake-click X Y */
#include <linux/input-event-codes.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wayland-client.h>

#include "fake-input-client-protocol.h"

static struct org_kde_kwin_fake_input *fake;

static void global(void *data, struct wl_registry *registry, uint32_t name,
                   const char *interface, uint32_t version) {
    (void)data;
    if (strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0 && version >= 3)
        fake = wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, 3);
}

static void global_remove(void *data, struct wl_registry *registry, uint32_t name) {
    (void)data, (void)registry, (void)name;
}

static const struct wl_registry_listener listener = {global, global_remove};

int main(int argc, char **argv) {
    if (argc != 3) return 2;
    struct wl_display *display = wl_display_connect(NULL);
    if (!display) return fprintf(stderr, "fake-click: no Wayland display\n"), 1;
    struct wl_registry *registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &listener, NULL);
    wl_display_roundtrip(display);
    if (!fake) return fprintf(stderr, "fake-click: KWin offers no fake input v3\n"), 1;
    org_kde_kwin_fake_input_authenticate(fake, "Mirano's desktop test", "the dialog's clicks");
    org_kde_kwin_fake_input_pointer_motion_absolute(fake, wl_fixed_from_double(atof(argv[1])),
                                                    wl_fixed_from_double(atof(argv[2])));
    wl_display_roundtrip(display);
    org_kde_kwin_fake_input_button(fake, BTN_LEFT, WL_POINTER_BUTTON_STATE_PRESSED);
    wl_display_roundtrip(display);
    org_kde_kwin_fake_input_button(fake, BTN_LEFT, WL_POINTER_BUTTON_STATE_RELEASED);
    int ok = wl_display_roundtrip(display) >= 0;
    wl_display_disconnect(display);
    return ok ? 0 : 1;
}
