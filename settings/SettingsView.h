// The settings form: hotkey, PiP behaviour, frame rate, update schedule and starting at login,
// live on the store.
#pragma once

#include <QWidget>
#include <functional>

class QCheckBox;
class QComboBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;

namespace mirano {

class AppSettings;
class Autostart;
class Updater;

/// Every control writes through at once (no Apply); a value changed elsewhere shows at once.
/// Main thread only.
class SettingsView : public QWidget {
    Q_OBJECT
public:
    /// `version` is the text of the version row; `isTypeable` tells whether a key on the current
    /// layout types the character.
    SettingsView(AppSettings& settings, Updater& updater, Autostart& autostart,
                 const QString& version, std::function<bool(const QString&)> isTypeable,
                 QWidget* parent = nullptr);
    ~SettingsView() override;

    /// The stored frame rate changed while the form is shown (by the slider or elsewhere).
    std::function<void()> onFrameRateChanged;

    static constexpr int kWidth = 600;
    static constexpr int kHeight = 400;

    /// Applies the trigger-key rules to new field text (what typing and pasting do).
    void triggerKeyEdited(const QString& text);
    /// The slider's value text for a rate: "10 fps".
    static QString frameRateText(int rate);

    // The controls, for the window and for tests.
    QComboBox* modifierPicker() const { return modifier_; }
    QLineEdit* triggerKeyField() const { return triggerKey_; }
    QComboBox* positionPicker() const { return position_; }
    QCheckBox* autoHideToggle() const { return autoHide_; }
    QComboBox* focusBehaviorPicker() const { return focusBehavior_; }
    QSlider* frameRateSlider() const { return frameRate_; }
    QLabel* frameRateValue() const { return frameRateValue_; }
    QLabel* versionValue() const { return version_; }
    QCheckBox* automaticChecksToggle() const { return automaticChecks_; }
    QComboBox* checkFrequencyPicker() const { return frequency_; }
    /// Whether the "Check frequency" row is part of the form right now.
    bool isCheckFrequencyShown() const;
    QPushButton* checkForUpdatesButton() const { return checkNow_; }
    /// Shows whether the desktop starts Mirano at login; its tooltip says why a change failed.
    QCheckBox* startAtLoginToggle() const { return startAtLogin_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* buildHotkeySection();
    QWidget* buildPiPSection();
    QWidget* buildUpdatesSection(const QString& version);
    void startAtLoginToggled(bool on);
    void refresh(const QString& key);
    void refreshUpdates();
    void storedFrameRateMaybeChanged();

    AppSettings& settings_;
    Updater& updater_;
    Autostart& autostart_;
    std::function<bool(const QString&)> isTypeable_;
    int lastFrameRate_ = 0;
    bool triggerFieldShown_ = false;

    QComboBox* modifier_ = nullptr;
    QLineEdit* triggerKey_ = nullptr;
    QComboBox* position_ = nullptr;
    QCheckBox* autoHide_ = nullptr;
    QComboBox* focusBehavior_ = nullptr;
    QSlider* frameRate_ = nullptr;
    QLabel* frameRateValue_ = nullptr;
    QLabel* version_ = nullptr;
    QCheckBox* automaticChecks_ = nullptr;
    QComboBox* frequency_ = nullptr;
    QFormLayout* updatesForm_ = nullptr;
    QPushButton* checkNow_ = nullptr;
    QCheckBox* startAtLogin_ = nullptr;
};

}  // namespace mirano
