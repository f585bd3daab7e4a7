// The GlobalShortcuts portal's trigger strings for Mirano's combinations.
#include <gtest/gtest.h>

#include "platform/wayland/portal/PortalShortcuts.h"
#include "platform/wayland/portal/PortalTrigger.h"
#include "settings/ModifierKey.h"

using namespace mirano;
using namespace mirano::wayland;

TEST(PortalTriggerTest, ModifiersInThePortalsOrderTheKeyAsItsUnshiftedSymbolShiftForARegion) {
    // What: the modifiers, the key's character; the trigger.
    const std::tuple<const char*, Modifiers, QString, QString> rows[] = {
        {"fn has no portal name and becomes LOGO", Modifier::Menu, "P", "LOGO+p"},
        {"either Command is LOGO", Modifier::RightSuper, "p", "LOGO+p"},
        {"either Option is ALT", Modifier::LeftAlt, "P", "ALT+p"},
        {"either Control is CTRL", Modifier::RightCtrl, "P", "CTRL+p"},
        {"Shift comes after CTRL and ALT, before LOGO",
         Modifiers{Modifier::Shift, Modifier::LeftSuper, Modifier::LeftCtrl, Modifier::RightAlt},
         "x", "CTRL+ALT+SHIFT+LOGO+x"},
        {"fn and Command together are one LOGO", Modifiers{Modifier::Menu, Modifier::LeftSuper},
         "p", "LOGO+p"},
        {"a digit is its own name", Modifier::Menu, "1", "LOGO+1"},
        {"punctuation is named", Modifier::LeftCtrl, ",", "CTRL+comma"},
        {"a letter beyond ASCII is named", Modifier::LeftAlt, "É", "ALT+eacute"},
        {"no modifier is only the key", Modifiers(), "p", "p"},
        {"no key gives nothing", Modifier::Menu, "", ""},
        {"two characters are no key", Modifier::Menu, "PP", ""},
    };
    for (const auto& [what, modifiers, character, trigger] : rows)
        EXPECT_EQ(portalTrigger(modifiers, character), trigger) << what;

    // The settings' combination mirrors the window, with Shift a region; hiding is left open.
    EXPECT_EQ(PortalShortcuts::preferredTriggers(ModifierKeys::physicalKey(ModifierKey::fn), "P"),
              (PortalShortcuts::Triggers{"LOGO+p", "SHIFT+LOGO+p", ""}));
    EXPECT_EQ(PortalShortcuts::preferredTriggers(
                  ModifierKeys::physicalKey(ModifierKey::leftControl), "m"),
              (PortalShortcuts::Triggers{"CTRL+m", "CTRL+SHIFT+m", ""}));
}
