// The screen corner of the PiP panel.
#pragma once

#include <QString>
#include <array>
#include <optional>

namespace mirano {

enum class PiPPosition { bottomRight, bottomLeft, topRight, topLeft };

namespace PiPPositions {
inline constexpr std::array<PiPPosition, 4> allCases = {
    PiPPosition::bottomRight, PiPPosition::bottomLeft, PiPPosition::topRight, PiPPosition::topLeft};
QString rawValue(PiPPosition position);
std::optional<PiPPosition> fromRaw(const QString& raw);
/// `fromRaw`, falling back to `bottomRight`.
PiPPosition fromRawOrDefault(const QString& raw);
QString displayName(PiPPosition position);
}  // namespace PiPPositions

}  // namespace mirano
