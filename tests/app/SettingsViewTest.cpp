// The settings form on the offscreen platform: defaults, live binding, the trigger-key rules,
// the slider, the update controls and starting at login.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>

#include "app/AppVersion.h"
#include "app/UpdaterManager.h"
#include "hotkeys/HotkeyManager.h"
#include "platform/qt/XdgAutostart.h"
#include "settings/SettingsView.h"
#include "tests/app/AppFakes.h"
#include "tests/fakes/FakeKeyboardLayout.h"
#include "tests/support/Files.h"

using namespace mirano;

namespace {

struct SettingsViewFixture : ::testing::Test, fakes::UpdaterWorld {
    fakes::FakeKeyboardLayout layout;
    UpdaterManager updater{store, scheduler, notifications, source, presenter};
    QTemporaryDir config;
    const QString entry = config.filePath("autostart/mirano.desktop");
    XdgAutostart autostart{entry, "mirano"};
    std::unique_ptr<SettingsView> view;
    int restarts = 0;

    void SetUp() override {
        view = std::make_unique<SettingsView>(
            settings, updater, autostart, appVersion(),
            [this](const QString& c) { return HotkeyManager::keyCode(c, layout).has_value(); });
        view->onFrameRateChanged = [this] { ++restarts; };
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    }
    /// The modifier, trigger key, position, auto-hide and focus behaviour the form shows.
    QStringList shown() const {
        return {view->modifierPicker()->currentText(), view->triggerKeyField()->text(),
                view->positionPicker()->currentText(),
                view->autoHideToggle()->isChecked() ? "on" : "off",
                view->focusBehaviorPicker()->currentText()};
    }
};

}  // namespace

TEST_F(SettingsViewFixture, ShowsTheDefaultsWritesThroughAndFollowsChangesMadeElsewhere) {
    EXPECT_EQ(
        shown() << QString::number(view->frameRateSlider()->value())
                << view->frameRateValue()->text() << view->versionValue()->text(),
        (QStringList{"fn", "P", "Bottom Right", "off", "Do nothing", "10", "10 fps", "0.1.0"}));
    EXPECT_TRUE(store.writes.isEmpty()) << "opening the form must not write anything";

    // Controls write through, and changes made elsewhere show at once.
    view->positionPicker()->activated(2);
    view->modifierPicker()->activated(1);
    view->autoHideToggle()->click();
    view->focusBehaviorPicker()->activated(1);
    EXPECT_EQ(std::tuple(settings.modifierRaw(), settings.triggerKey(), settings.pipPositionRaw(),
                         settings.autoHideOnHover(), settings.focusBehaviorRaw()),
              std::tuple("leftCommand", "P", "topRight", true, "stopAndClose"));

    settings.setModifierRaw("rightOption");
    settings.setPipPositionRaw("topLeft");
    settings.setAutoHideOnHover(false);
    settings.setFocusBehaviorRaw("pauseRecording");
    settings.setTriggerKey("Q");
    EXPECT_EQ(shown(), (QStringList{"⌥ Right Option", "Q", "Top Left", "off", "Pause stream"}));

    // Values that name no case show the fallback, and are not rewritten.
    settings.setModifierRaw("hyper");
    EXPECT_EQ(view->modifierPicker()->currentText(), "fn");
    EXPECT_EQ(settings.modifierRaw(), "hyper");
}

TEST_F(SettingsViewFixture, TriggerKeyFieldKeepsOneUpperCaseTypeableCharacter) {
    QLineEdit* field = view->triggerKeyField();
    // The key the field shows and the one stored.
    auto key = [&] { return QStringList{field->text(), settings.triggerKey()}; };
    // The field shows only the new key, in upper case.
    QTest::sendKeyEvent(QTest::Press, field, Qt::Key_unknown, "k", {});
    EXPECT_EQ(key(), QStringList(2, "K"));

    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);  // deleting restores the stored key
    EXPECT_EQ(key(), QStringList(2, "K"));

    field->selectAll();
    QGuiApplication::clipboard()->setText("abc");
    field->paste();  // only the last character counts
    EXPECT_EQ(key(), QStringList(2, "C"));

    // A character no key types restores the stored one.
    QTest::sendKeyEvent(QTest::Press, field, Qt::Key_unknown, "é", {});
    EXPECT_EQ(key(), QStringList(2, "C"));

    layout.useGerman();  // ß is typeable there; of its upper case "SS" the first is kept
    QTest::sendKeyEvent(QTest::Press, field, Qt::Key_unknown, "ß", {});
    EXPECT_EQ(key(), QStringList(2, "S"));

    view->triggerKeyEdited("S7");  // digits are accepted as they are
    EXPECT_EQ(settings.triggerKey(), "7");
}

TEST_F(SettingsViewFixture, SliderStaysWithinOneToSixtyAndRestartsTheStreamOnEveryStoredChange) {
    QSlider* slider = view->frameRateSlider();
    // Stored rate, slider position, label, restarts so far.
    auto state = [&] {
        return std::tuple(settings.frameRate(), slider->value(), view->frameRateValue()->text(),
                          restarts);
    };
    slider->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(state(), std::tuple(60, 60, QString("60 fps"), 1));
    slider->triggerAction(QAbstractSlider::SliderToMinimum);
    EXPECT_EQ(state(), std::tuple(1, 1, QString("1 fps"), 2));

    // A change made elsewhere (the PiP's own rate menu) moves the slider and restarts too.
    settings.setFrameRate(24);
    EXPECT_EQ(state(), std::tuple(24, 24, QString("24 fps"), 3));
    settings.setFrameRate(24);  // the same value is no change
    view->hide();               // while the window is closed nothing is restarted
    settings.setFrameRate(30);
    EXPECT_EQ(restarts, 3);
}

TEST_F(SettingsViewFixture, FrequencyPickerOnlyWithAutomaticChecksAndMapsTheInterval) {
    // Whether automatic checks are on (toggle, updater) and the picker is shown.
    auto automatic = [&] {
        return std::tuple(view->automaticChecksToggle()->isChecked(),
                          updater.automaticallyChecksForUpdates(), view->isCheckFrequencyShown());
    };
    EXPECT_EQ(automatic(), std::tuple(false, false, false));
    view->automaticChecksToggle()->click();
    EXPECT_EQ(automatic(), std::tuple(true, true, true));
    EXPECT_EQ(view->checkFrequencyPicker()->currentText(), "Daily");

    updater.setUpdateCheckInterval(3600);
    EXPECT_EQ(view->checkFrequencyPicker()->currentText(), "Weekly");
    view->checkFrequencyPicker()->activated(1);
    EXPECT_EQ(store.values.value(UpdaterManager::kIntervalKey).toDouble(), 259200.0);
    EXPECT_EQ(view->checkFrequencyPicker()->currentText(), "Every 3 days");

    // Turned off elsewhere: the picker leaves the form.
    updater.setAutomaticallyChecksForUpdates(false);
    EXPECT_EQ(automatic(), std::tuple(false, false, false));

    view->checkForUpdatesButton()->click();
    EXPECT_EQ(source.checks, 1);
}

TEST_F(SettingsViewFixture, StartAtLoginShowsTheEntryAndARefusedChangeSpringsBackWithTheReason) {
    QCheckBox* toggle = view->startAtLoginToggle();
    auto state = [&] {
        return std::tuple(toggle->isChecked(), QFile::exists(entry), toggle->toolTip().isEmpty());
    };
    EXPECT_EQ(state(), std::tuple(false, false, true));
    toggle->click();
    EXPECT_EQ(state(), std::tuple(true, true, true));

    // Replaced by someone else's entry: turning it off is refused, and says why.
    ASSERT_TRUE(mirano::testing::writeFile(entry, "[Desktop Entry]\n"));
    toggle->click();
    EXPECT_EQ(state(), std::tuple(true, true, false));
}
