// Filters the events of the watched windows only.
#include "app/TitledWindowWatch.h"

#include <QEvent>
#include <QWidget>

namespace mirano {

TitledWindowWatch& TitledWindowWatch::shared() {
    static auto* watch = new TitledWindowWatch();
    return *watch;
}

void TitledWindowWatch::watch(QWidget* window) {
    // Installing the same filter twice keeps one.
    if (window) window->installEventFilter(this);
}

bool TitledWindowWatch::eventFilter(QObject* watched, QEvent* event) {
    auto* window = static_cast<QWidget*>(watched);
    switch (event->type()) {
        case QEvent::WindowActivate:
            emit activated(window);
            break;
        case QEvent::Show:
            emit shown(window);
            break;
        case QEvent::Close:
            emit closing(window);
            break;
        default:
            break;
    }
    return false;
}

}  // namespace mirano
