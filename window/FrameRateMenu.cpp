// The frame-rate menu shared by the hint overlay's button and the frame-rate hotkey.
#include "window/FrameRateMenu.h"

#include <QAction>
#include <QMenu>

namespace mirano::FrameRateMenu {

QString title(int rate) { return QString::asprintf("%lld fps", static_cast<long long>(rate)); }

QMenu* build(int current, std::function<void(int)> onPick, QWidget* parent) {
    auto* menu = new QMenu(parent);
    for (int rate : kRates) {
        QAction* item = menu->addAction(title(rate));
        item->setData(rate);
        item->setCheckable(true);
        item->setChecked(rate == current);
        // Triggering a checkable item toggles it; keep the marks tied to `current` only.
        QObject::connect(item, &QAction::triggered, menu, [item, rate, current, onPick] {
            item->setChecked(rate == current);
            if (onPick) onPick(rate);
        });
    }
    return menu;
}

}  // namespace mirano::FrameRateMenu
