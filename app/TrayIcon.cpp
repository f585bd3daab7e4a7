#include "app/TrayIcon.h"

#include <QCursor>
#include <QIcon>
#include <QMenu>
#include <QPointer>
#include <QSystemTrayIcon>

#include "platform/Log.h"
#include "platform/Scheduler.h"

namespace mirano {

TrayIcon::TrayIcon(QMenu& menu, Scheduler& scheduler, Availability available, QObject* parent)
    : QObject(parent),
      menu_(menu),
      scheduler_(scheduler),
      available_(available ? std::move(available) : Availability([] {
          return QSystemTrayIcon::isSystemTrayAvailable();
      })) {}

TrayIcon::~TrayIcon() {
    if (pollTimer_) pollTimer_->invalidate();
    if (icon_) icon_->hide();
}

void TrayIcon::start() {
    if (available_()) {
        install();
        return;
    }
    logLine(
        QStringLiteral("No system tray found: Mirano opens its settings window instead and "
                       "adds its tray icon when a tray appears."));
    if (onNoTray) onNoTray();
    QPointer<TrayIcon> self(this);
    pollTimer_ = scheduler_.schedule(kPollSeconds, true, [self] {
        if (self) self->poll();
    });
}

void TrayIcon::poll() {
    if (installed_ || !available_()) return;
    if (pollTimer_) pollTimer_->invalidate();
    // Destroyed later: this runs inside the timer's own task.
    scheduler_.post([timer = std::shared_ptr<Timer>(std::move(pollTimer_))] {});
    install();
}

void TrayIcon::install() {
    installed_ = true;
    icon_ = std::make_unique<QSystemTrayIcon>(QIcon(QStringLiteral(":/mirano/mirano.svg")));
    icon_->setToolTip(QStringLiteral("Mirano"));
    icon_->setContextMenu(&menu_);
    // A plain click opens the menu too, as status menus do; two quick clicks count as one.
    connect(icon_.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                const bool click =
                    reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick;
                if (click && !menu_.isVisible()) menu_.popup(QCursor::pos());
            });
    icon_->show();
}

}  // namespace mirano
