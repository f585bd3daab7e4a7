// The tray menu: PiP state and close, version and update check, settings, quit.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QAction;
class QMenu;

namespace mirano {

class PiPControl;

/// Follows the PiP controller live: "No active PiP", or "PiP Active" with "Close PiP".
/// Main thread only.
class StatusMenu : public QObject {
    Q_OBJECT
public:
    /// `version` empty shows "?".
    StatusMenu(PiPControl& pip, const QString& version, QObject* parent = nullptr);
    ~StatusMenu() override;

    std::function<void()> onCheckForUpdates;
    std::function<void()> onOpenSettings;
    std::function<void()> onQuit;

    QMenu* menu() const { return menu_.get(); }
    /// The texts of the visible items in order, separators as "-".
    QStringList visibleItemTexts() const;
    /// "Settings…" and "Quit Mirano": their shortcuts also work in Mirano's own windows.
    QAction* settingsAction() const { return settings_; }
    QAction* quitAction() const { return quit_; }
    QAction* closePiPAction() const { return closePiP_; }
    QAction* chooseAnotherAction() const { return chooseAnother_; }

protected:
    /// Ctrl+, and Ctrl+Q while the menu itself is open: a popup menu's own actions are not
    /// reached by the application's shortcuts.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void update();

    PiPControl& pip_;
    std::unique_ptr<QMenu> menu_;
    QAction* noPiP_ = nullptr;
    QAction* pipActive_ = nullptr;
    QAction* closePiP_ = nullptr;
    QAction* chooseAnother_ = nullptr;
    QAction* settings_ = nullptr;
    QAction* quit_ = nullptr;
};

}  // namespace mirano
