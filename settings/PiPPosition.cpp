#include "settings/PiPPosition.h"

namespace mirano::PiPPositions {

namespace {
struct Row {
    PiPPosition position;
    const char* raw;
    const char* display;
};
constexpr Row kRows[] = {
    {PiPPosition::bottomRight, "bottomRight", "Bottom Right"},
    {PiPPosition::bottomLeft, "bottomLeft", "Bottom Left"},
    {PiPPosition::topRight, "topRight", "Top Right"},
    {PiPPosition::topLeft, "topLeft", "Top Left"},
};
}  // namespace

QString rawValue(PiPPosition p) { return QString::fromUtf8(kRows[static_cast<int>(p)].raw); }

std::optional<PiPPosition> fromRaw(const QString& raw) {
    for (const Row& r : kRows)
        if (raw == QLatin1String(r.raw)) return r.position;
    return std::nullopt;
}

PiPPosition fromRawOrDefault(const QString& raw) {
    return fromRaw(raw).value_or(PiPPosition::bottomRight);
}

QString displayName(PiPPosition p) { return QString::fromUtf8(kRows[static_cast<int>(p)].display); }

}  // namespace mirano::PiPPositions
