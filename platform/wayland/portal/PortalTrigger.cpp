#include "platform/wayland/portal/PortalTrigger.h"

#include <xkbcommon/xkbcommon.h>

#include <QList>
#include <QRegularExpression>
#include <array>

namespace mirano::wayland {

namespace {
struct PortalModifier {
    Modifiers keys;
    const char* name;
};
// The portals' modifier names, in the order the shortcut strings list them.
const std::array<PortalModifier, 4> kPortalModifiers = {{
    {{Modifier::LeftCtrl, Modifier::RightCtrl}, "CTRL"},
    {{Modifier::LeftAlt, Modifier::RightAlt}, "ALT"},
    {{Modifier::Shift}, "SHIFT"},
    {{Modifier::LeftSuper, Modifier::RightSuper, Modifier::Menu}, "LOGO"},
}};

/// The key symbol name of a single character, empty when there is none.
QString keySymbolName(const QString& character) {
    const QList<uint> codePoints = character.toLower().toUcs4();
    if (codePoints.size() != 1) return {};
    const xkb_keysym_t symbol = xkb_utf32_to_keysym(codePoints.front());
    if (symbol == XKB_KEY_NoSymbol) return {};
    char name[64];
    if (xkb_keysym_get_name(symbol, name, sizeof name) <= 0) return {};
    // The shortcut strings allow letters, digits and underscores only.
    static const QRegularExpression kIdentifier(QStringLiteral("^\\w+$"));
    const QString result = QString::fromLatin1(name);
    return kIdentifier.match(result).hasMatch() ? result : QString();
}
}  // namespace

QString portalTrigger(Modifiers modifiers, const QString& character) {
    const QString key = keySymbolName(character);
    if (key.isEmpty()) return {};
    QStringList parts;
    for (const PortalModifier& m : kPortalModifiers)
        if (modifiers & m.keys) parts << QString::fromLatin1(m.name);
    parts << key;
    return parts.join(QLatin1Char('+'));
}

}  // namespace mirano::wayland
