#include "settings/FocusBehavior.h"

namespace mirano::FocusBehaviors {

namespace {
struct Row {
    FocusBehavior behavior;
    const char* raw;
    const char* display;
};
constexpr Row kRows[] = {
    {FocusBehavior::pauseRecording, "pauseRecording", "Pause stream"},
    {FocusBehavior::stopAndClose, "stopAndClose", "Stop and close"},
    {FocusBehavior::doNothing, "doNothing", "Do nothing"},
};
}  // namespace

QString rawValue(FocusBehavior b) { return QString::fromUtf8(kRows[static_cast<int>(b)].raw); }

std::optional<FocusBehavior> fromRaw(const QString& raw) {
    for (const Row& r : kRows)
        if (raw == QLatin1String(r.raw)) return r.behavior;
    return std::nullopt;
}

FocusBehavior fromRawOrDefault(const QString& raw) {
    return fromRaw(raw).value_or(FocusBehavior::doNothing);
}

QString displayName(FocusBehavior b) {
    return QString::fromUtf8(kRows[static_cast<int>(b)].display);
}

}  // namespace mirano::FocusBehaviors
