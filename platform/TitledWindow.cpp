// Titled windows told apart from panels, popups and tools by their Qt flags.
#include "platform/TitledWindow.h"

#include <QWidget>

namespace mirano {

bool isTitledActivatingWindow(const QWidget* window) {
    if (!window || !window->isWindow()) return false;
    const Qt::WindowFlags flags = window->windowFlags();
    const Qt::WindowType type = window->windowType();
    if (type != Qt::Window && type != Qt::Dialog) return false;
    if (flags.testFlag(Qt::FramelessWindowHint)) return false;
    if (flags.testFlag(Qt::WindowDoesNotAcceptFocus)) return false;
    if (window->testAttribute(Qt::WA_ShowWithoutActivating)) return false;
    return true;
}

}  // namespace mirano
