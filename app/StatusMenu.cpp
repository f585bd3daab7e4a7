#include "app/StatusMenu.h"

#include <QKeyEvent>
#include <QMenu>

#include "app/AppVersion.h"
#include "app/PiPControl.h"

namespace mirano {

StatusMenu::StatusMenu(PiPControl& pip, const QString& version, QObject* parent)
    : QObject(parent), pip_(pip), menu_(std::make_unique<QMenu>()) {
    menu_->setObjectName(QStringLiteral("miranoStatusMenu"));
    noPiP_ = menu_->addAction(QStringLiteral("No active PiP"));
    noPiP_->setEnabled(false);
    pipActive_ = menu_->addAction(QStringLiteral("PiP Active"));
    pipActive_->setEnabled(false);
    closePiP_ = menu_->addAction(QStringLiteral("Close PiP"));
    connect(closePiP_, &QAction::triggered, this, [this] { pip_.stopPiP(); });
    // Where the desktop remembers which window was picked, a wrong pick is undone here.
    chooseAnother_ = menu_->addAction(QStringLiteral("Choose another window…"));
    connect(chooseAnother_, &QAction::triggered, this, [this] { pip_.chooseAnotherWindow(); });
    menu_->addSeparator();

    QAction* versionItem = menu_->addAction(QStringLiteral("Version: ") + displayVersion(version));
    versionItem->setEnabled(false);
    QAction* check = menu_->addAction(QStringLiteral("Check for Updates…"));
    connect(check, &QAction::triggered, this, [this] {
        if (onCheckForUpdates) onCheckForUpdates();
    });
    menu_->addSeparator();

    // Ctrl plays the part of Command here.
    settings_ = menu_->addAction(QStringLiteral("Settings…"));
    settings_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    settings_->setShortcutContext(Qt::ApplicationShortcut);
    connect(settings_, &QAction::triggered, this, [this] {
        if (onOpenSettings) onOpenSettings();
    });
    quit_ = menu_->addAction(QStringLiteral("Quit Mirano"));
    quit_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit_->setShortcutContext(Qt::ApplicationShortcut);
    connect(quit_, &QAction::triggered, this, [this] {
        if (onQuit) onQuit();
    });

    connect(&pip_, &PiPControl::capturedWindowIDChanged, this, &StatusMenu::update);
    menu_->installEventFilter(this);
    update();
}

bool StatusMenu::eventFilter(QObject* watched, QEvent* event) {
    if (watched != menu_.get() || event->type() != QEvent::KeyPress) return false;
    const QKeySequence pressed(static_cast<QKeyEvent*>(event)->keyCombination());
    for (QAction* action : {settings_, quit_}) {
        if (action->shortcut() != pressed) continue;
        menu_->close();
        action->trigger();
        return true;
    }
    return false;
}

StatusMenu::~StatusMenu() = default;

void StatusMenu::update() {
    const bool active = pip_.capturedWindowID().has_value();
    noPiP_->setVisible(!active);
    pipActive_->setVisible(active);
    closePiP_->setVisible(active);
    chooseAnother_->setVisible(active);
}

QStringList StatusMenu::visibleItemTexts() const {
    QStringList texts;
    for (QAction* a : menu_->actions()) {
        if (!a->isVisible()) continue;
        texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
    }
    return texts;
}

}  // namespace mirano
