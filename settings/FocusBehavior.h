// What happens when the user brings the mirrored application to the front.
#pragma once

#include <QString>
#include <array>
#include <optional>

namespace mirano {

enum class FocusBehavior { pauseRecording, stopAndClose, doNothing };

namespace FocusBehaviors {
inline constexpr std::array<FocusBehavior, 3> allCases = {
    FocusBehavior::pauseRecording, FocusBehavior::stopAndClose, FocusBehavior::doNothing};
QString rawValue(FocusBehavior behavior);
std::optional<FocusBehavior> fromRaw(const QString& raw);
/// `fromRaw`, falling back to `doNothing`.
FocusBehavior fromRawOrDefault(const QString& raw);
QString displayName(FocusBehavior behavior);
}  // namespace FocusBehaviors

}  // namespace mirano
