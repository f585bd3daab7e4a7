#include "settings/SettingsView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include "platform/Autostart.h"
#include "platform/Log.h"
#include "settings/AppSettings.h"
#include "settings/FocusBehavior.h"
#include "settings/ModifierKey.h"
#include "settings/PiPPosition.h"
#include "settings/UpdateCheckInterval.h"
#include "settings/Updater.h"

namespace mirano {

namespace {

/// The last user-perceived character (a surrogate pair stays whole).
QString lastCharacter(const QString& text) {
    if (text.isEmpty()) return {};
    const qsizetype n = text.size();
    if (n >= 2 && text[n - 1].isLowSurrogate() && text[n - 2].isHighSurrogate())
        return text.right(2);
    return text.right(1);
}

QString firstCharacter(const QString& text) {
    if (text.isEmpty()) return {};
    if (text.size() >= 2 && text[0].isHighSurrogate() && text[1].isLowSurrogate())
        return text.left(2);
    return text.left(1);
}

void useSecondaryColour(QWidget* w) {
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, p.color(QPalette::PlaceholderText));
    w->setPalette(p);
}

void selectData(QComboBox* box, const QVariant& data) {
    const QSignalBlocker block(box);
    const int i = box->findData(data);
    box->setCurrentIndex(i < 0 ? 0 : i);
}

}  // namespace

SettingsView::SettingsView(AppSettings& settings, Updater& updater, Autostart& autostart,
                           const QString& version, std::function<bool(const QString&)> isTypeable,
                           QWidget* parent)
    : QWidget(parent),
      settings_(settings),
      updater_(updater),
      autostart_(autostart),
      isTypeable_(std::move(isTypeable)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 12, 16, 12);
    layout->setSpacing(8);
    layout->addWidget(buildHotkeySection());
    layout->addWidget(buildPiPSection());
    layout->addWidget(buildUpdatesSection(version));
    layout->addStretch(1);

    for (const QString& key :
         {AppSettings::kModifier, AppSettings::kTriggerKey, AppSettings::kPiPPosition,
          AppSettings::kAutoHideOnHover, AppSettings::kFocusBehavior, AppSettings::kFrameRate})
        refresh(key);
    refreshUpdates();
    lastFrameRate_ = settings_.frameRate();

    connect(&settings_.store(), &DefaultsStore::changed, this, &SettingsView::refresh);
    connect(&updater_, &Updater::settingsChanged, this, &SettingsView::refreshUpdates);
}

SettingsView::~SettingsView() = default;

QWidget* SettingsView::buildHotkeySection() {
    auto* box = new QGroupBox(QStringLiteral("Hotkey"), this);
    auto* form = new QFormLayout(box);
    auto* row = new QWidget(box);
    auto* h = new QHBoxLayout(row);
    h->setContentsMargins(0, 0, 0, 0);
    h->setSpacing(0);
    modifier_ = new QComboBox(row);
    modifier_->setObjectName(QStringLiteral("modifierPicker"));
    for (ModifierKey key : ModifierKeys::allCases)
        modifier_->addItem(ModifierKeys::displayName(key), ModifierKeys::rawValue(key));
    connect(modifier_, &QComboBox::activated, this,
            [this](int index) { settings_.setModifierRaw(modifier_->itemData(index).toString()); });
    triggerKey_ = new QLineEdit(row);
    triggerKey_->setObjectName(QStringLiteral("triggerKeyField"));
    triggerKey_->setFixedWidth(60);
    triggerKey_->setAlignment(Qt::AlignCenter);
    // No completion or prediction: the field holds exactly one key.
    triggerKey_->setInputMethodHints(Qt::ImhNoPredictiveText | Qt::ImhNoAutoUppercase);
    connect(triggerKey_, &QLineEdit::textEdited, this, &SettingsView::triggerKeyEdited);
    h->addWidget(modifier_, 0, Qt::AlignVCenter);
    h->addWidget(triggerKey_, 0, Qt::AlignVCenter);
    h->addStretch(1);
    form->addRow(QStringLiteral("Trigger Hotkey"), row);
    return box;
}

QWidget* SettingsView::buildPiPSection() {
    auto* box = new QGroupBox(QStringLiteral("Picture-in-Picture"), this);
    auto* form = new QFormLayout(box);

    position_ = new QComboBox(box);
    position_->setObjectName(QStringLiteral("positionPicker"));
    for (PiPPosition p : PiPPositions::allCases)
        position_->addItem(PiPPositions::displayName(p), PiPPositions::rawValue(p));
    connect(position_, &QComboBox::activated, this, [this](int index) {
        settings_.setPipPositionRaw(position_->itemData(index).toString());
    });
    form->addRow(QStringLiteral("Position"), position_);

    autoHide_ = new QCheckBox(QStringLiteral("Auto-hide on Hover"), box);
    autoHide_->setObjectName(QStringLiteral("autoHideToggle"));
    connect(autoHide_, &QCheckBox::toggled, this, [this](bool on) {
        if (on != settings_.autoHideOnHover()) settings_.setAutoHideOnHover(on);
    });
    form->addRow(autoHide_);

    focusBehavior_ = new QComboBox(box);
    focusBehavior_->setObjectName(QStringLiteral("focusBehaviorPicker"));
    for (FocusBehavior f : FocusBehaviors::allCases)
        focusBehavior_->addItem(FocusBehaviors::displayName(f), FocusBehaviors::rawValue(f));
    connect(focusBehavior_, &QComboBox::activated, this, [this](int index) {
        settings_.setFocusBehaviorRaw(focusBehavior_->itemData(index).toString());
    });
    form->addRow(QStringLiteral("When Source Window Focused"), focusBehavior_);

    auto* group = new QWidget(box);
    auto* v = new QVBoxLayout(group);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(8);
    auto* rateRow = new QHBoxLayout();
    rateRow->addWidget(new QLabel(QStringLiteral("Frame Rate"), group));
    rateRow->addStretch(1);
    frameRate_ = new QSlider(Qt::Horizontal, group);
    frameRate_->setObjectName(QStringLiteral("frameRateSlider"));
    frameRate_->setRange(1, 60);
    frameRate_->setSingleStep(1);
    frameRate_->setPageStep(1);
    frameRate_->setMinimumWidth(220);
    connect(frameRate_, &QSlider::valueChanged, this, [this](int value) {
        if (value != settings_.frameRate()) settings_.setFrameRate(value);
    });
    rateRow->addWidget(frameRate_);
    frameRateValue_ = new QLabel(group);
    frameRateValue_->setObjectName(QStringLiteral("frameRateValue"));
    frameRateValue_->setFixedWidth(60);
    frameRateValue_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    useSecondaryColour(frameRateValue_);
    rateRow->addWidget(frameRateValue_);
    v->addLayout(rateRow);
    auto* caption = new QLabel(
        QStringLiteral("Default: 10 fps for efficiency. Higher frame rates increase CPU usage."),
        group);
    QFont small = caption->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    caption->setFont(small);
    useSecondaryColour(caption);
    v->addWidget(caption);
    form->addRow(group);
    return box;
}

QWidget* SettingsView::buildUpdatesSection(const QString& version) {
    auto* box = new QGroupBox(QStringLiteral("Updates"), this);
    updatesForm_ = new QFormLayout(box);

    auto* versionRow = new QWidget(box);
    auto* h = new QHBoxLayout(versionRow);
    h->setContentsMargins(0, 0, 0, 0);
    h->addWidget(new QLabel(QStringLiteral("Version"), versionRow));
    h->addStretch(1);
    version_ = new QLabel(version, versionRow);
    version_->setObjectName(QStringLiteral("versionValue"));
    useSecondaryColour(version_);
    h->addWidget(version_);
    updatesForm_->addRow(versionRow);

    // About the program rather than its updates, but here it needs no section of its own, which
    // the form has no room for. Not a stored preference: the desktop's autostart entry is.
    startAtLogin_ = new QCheckBox(QStringLiteral("Start Mirano at login"), box);
    startAtLogin_->setObjectName(QStringLiteral("startAtLoginToggle"));
    startAtLogin_->setChecked(autostart_.isEnabled());
    connect(startAtLogin_, &QCheckBox::toggled, this, &SettingsView::startAtLoginToggled);
    updatesForm_->addRow(startAtLogin_);

    automaticChecks_ = new QCheckBox(QStringLiteral("Check for updates automatically"), box);
    automaticChecks_->setObjectName(QStringLiteral("automaticChecksToggle"));
    connect(automaticChecks_, &QCheckBox::toggled, this, [this](bool on) {
        if (on != updater_.automaticallyChecksForUpdates())
            updater_.setAutomaticallyChecksForUpdates(on);
    });
    updatesForm_->addRow(automaticChecks_);

    frequency_ = new QComboBox(box);
    frequency_->setObjectName(QStringLiteral("checkFrequencyPicker"));
    for (UpdateCheckInterval i : UpdateCheckIntervals::allCases)
        frequency_->addItem(UpdateCheckIntervals::displayName(i),
                            QVariant::fromValue<qlonglong>(UpdateCheckIntervals::rawValue(i)));
    connect(frequency_, &QComboBox::activated, this, [this](int index) {
        updater_.setCheckInterval(
            UpdateCheckIntervals::allCases.at(static_cast<std::size_t>(index)));
    });
    updatesForm_->addRow(QStringLiteral("Check frequency"), frequency_);

    checkNow_ = new QPushButton(QStringLiteral("Check for Updates…"), box);
    checkNow_->setObjectName(QStringLiteral("checkForUpdatesButton"));
    connect(checkNow_, &QPushButton::clicked, this, [this] { updater_.checkForUpdates(); });
    updatesForm_->addRow(checkNow_);
    return box;
}

void SettingsView::startAtLoginToggled(bool on) {
    const QString error = autostart_.setEnabled(on);
    if (!error.isEmpty())
        logLine(QStringLiteral("Could not change \"Start Mirano at login\": ") + error);
    startAtLogin_->setToolTip(error);
    const QSignalBlocker block(startAtLogin_);
    startAtLogin_->setChecked(autostart_.isEnabled());
}

QString SettingsView::frameRateText(int rate) {
    return QLocale().toString(static_cast<qlonglong>(rate)) + QStringLiteral(" fps");
}

bool SettingsView::isCheckFrequencyShown() const { return updatesForm_->isRowVisible(frequency_); }

void SettingsView::triggerKeyEdited(const QString& text) {
    const QString last = lastCharacter(text);
    if (!last.isEmpty() && isTypeable_ && isTypeable_(last)) {
        // The upper case of one character can be several ("ß" -> "SS"): keep the first.
        settings_.setTriggerKey(firstCharacter(last.toUpper()).toUpper());
    }
    triggerKey_->setText(settings_.triggerKey());
}

void SettingsView::refresh(const QString& key) {
    if (key == AppSettings::kModifier) {
        selectData(modifier_, ModifierKeys::rawValue(settings_.modifier()));
    } else if (key == AppSettings::kTriggerKey) {
        if (triggerKey_->text() != settings_.triggerKey())
            triggerKey_->setText(settings_.triggerKey());
    } else if (key == AppSettings::kPiPPosition) {
        selectData(position_, PiPPositions::rawValue(settings_.pipPosition()));
    } else if (key == AppSettings::kAutoHideOnHover) {
        const QSignalBlocker block(autoHide_);
        autoHide_->setChecked(settings_.autoHideOnHover());
    } else if (key == AppSettings::kFocusBehavior) {
        selectData(focusBehavior_, FocusBehaviors::rawValue(settings_.focusBehavior()));
    } else if (key == AppSettings::kFrameRate) {
        const int rate = settings_.frameRate();
        {
            const QSignalBlocker block(frameRate_);
            frameRate_->setValue(rate);
        }
        frameRateValue_->setText(frameRateText(rate));
        storedFrameRateMaybeChanged();
    }
}

void SettingsView::storedFrameRateMaybeChanged() {
    const int rate = settings_.frameRate();
    if (rate == lastFrameRate_) return;
    lastFrameRate_ = rate;
    if (isVisible() && onFrameRateChanged) onFrameRateChanged();
}

void SettingsView::refreshUpdates() {
    const bool automatic = updater_.automaticallyChecksForUpdates();
    {
        const QSignalBlocker block(automaticChecks_);
        automaticChecks_->setChecked(automatic);
    }
    selectData(frequency_, QVariant::fromValue<qlonglong>(
                               UpdateCheckIntervals::rawValue(updater_.checkInterval())));
    updatesForm_->setRowVisible(frequency_, automatic);
}

void SettingsView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!triggerFieldShown_) {
        triggerFieldShown_ = true;
        triggerKey_->setText(settings_.triggerKey());
    }
}

}  // namespace mirano
