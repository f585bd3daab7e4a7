#include "platform/qt/QtApplication.h"

#include <QApplication>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

#include "platform/Taskbar.h"
#include "platform/TitledWindow.h"

namespace mirano {

void QtApplication::setActivationPolicy(ActivationPolicy policy) {
    policy_ = policy;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (isTitledActivatingWindow(w) && w->isVisible()) applyTaskbarState(w);
}

void QtApplication::applyTaskbarState(QWidget* window) const {
    if (QWindow* handle = window->windowHandle())
        taskbar_.setListed(*handle, policy_ != ActivationPolicy::accessory);
}

QtApplication::QtApplication(Taskbar& taskbar) : taskbar_(taskbar) {
    if (!qApp) return;
    focusConnection_ = QObject::connect(qApp, &QApplication::focusWindowChanged, qApp, [this] {
        QWidget* active = QApplication::activeWindow();
        if (isTitledActivatingWindow(active)) lastActive_ = active;
    });
}

QtApplication::~QtApplication() { QObject::disconnect(focusConnection_); }

void QtApplication::activate() {
    // Activating several windows at once makes them take the focus from each other, and each
    // activation may be answered by another: one window, and only when none is active.
    if (QApplication::activeWindow()) return;
    QWidget* target = lastActive_ && lastActive_->isVisible() ? lastActive_.data() : nullptr;
    if (!target) {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (isTitledActivatingWindow(w) && w->isVisible()) target = w;
    }
    if (!target) return;
    target->raise();
    target->activateWindow();
}

void QtApplication::terminate() { QCoreApplication::quit(); }

}  // namespace mirano
