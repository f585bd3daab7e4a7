// The frame-rate choices offered by the PiP: the fixed list, item titles and the menu.
#pragma once

#include <QString>
#include <array>
#include <functional>

class QMenu;
class QWidget;

namespace mirano::FrameRateMenu {

/// The rates offered, in menu order.
inline constexpr std::array<int, 6> kRates = {1, 5, 10, 24, 30, 60};

/// "N fps".
QString title(int rate);

/// A menu with one checkable item per rate (data = the rate), checked only where the rate
/// equals `current`. Choosing an item calls `onPick` with its rate; the menu never changes
/// the check marks itself (the owner rebuilds it with the new rate).
QMenu* build(int current, std::function<void(int)> onPick, QWidget* parent);

}  // namespace mirano::FrameRateMenu
