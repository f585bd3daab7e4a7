// The user's preferences, read from and written to the defaults store on every access.
#pragma once

#include <QMap>
#include <QString>

#include "platform/DefaultsStore.h"
#include "settings/FocusBehavior.h"
#include "settings/ModifierKey.h"
#include "settings/PiPPosition.h"

namespace mirano {

/// No cached copy: every read goes to the store, every assignment writes through. A value that
/// was never written, or was written with the wrong type, reads as its default. Main thread only.
class AppSettings {
public:
    explicit AppSettings(DefaultsStore& store);

    /// The process-wide instance, on the real store.
    static AppSettings& shared();

    // Keys in the defaults store.
    static inline const QString kModifier = QStringLiteral("modifier");
    static inline const QString kTriggerKey = QStringLiteral("triggerKey");
    static inline const QString kPiPPosition = QStringLiteral("pipPosition");
    static inline const QString kAutoHideOnHover = QStringLiteral("autoHideOnHover");
    static inline const QString kFocusBehavior = QStringLiteral("focusBehavior");
    static inline const QString kFrameRate = QStringLiteral("frameRate");
    static inline const QString kPipWidth = QStringLiteral("pipWidth");
    static inline const QString kPerAppFrameRates = QStringLiteral("perAppFrameRates");

    QString modifierRaw() const;
    void setModifierRaw(const QString& value);
    QString triggerKey() const;
    void setTriggerKey(const QString& value);
    QString pipPositionRaw() const;
    void setPipPositionRaw(const QString& value);
    bool autoHideOnHover() const;
    void setAutoHideOnHover(bool value);
    QString focusBehaviorRaw() const;
    void setFocusBehaviorRaw(const QString& value);
    int frameRate() const;
    void setFrameRate(int value);
    /// Panel width in points. A stored width outside kMinPipWidth...kMaxPipWidth reads as the
    /// nearest bound; the stored value itself is left alone.
    int pipWidth() const;
    void setPipWidth(int value);
    static constexpr int kMinPipWidth = 100;
    static constexpr int kMaxPipWidth = 4096;

    /// Typed views with the fallbacks (fn, bottomRight, doNothing).
    ModifierKey modifier() const { return ModifierKeys::fromRawOrDefault(modifierRaw()); }
    PiPPosition pipPosition() const { return PiPPositions::fromRawOrDefault(pipPositionRaw()); }
    FocusBehavior focusBehavior() const {
        return FocusBehaviors::fromRawOrDefault(focusBehaviorRaw());
    }

    /// Application id -> frames per second. Empty when absent, not a dictionary, or when any
    /// value is not an integer (all or nothing).
    QMap<QString, int> perAppFrameRates() const;
    /// Stores `rate` clamped to 1...60 for the application id. Every other stored entry is
    /// kept as it is, even one that makes perAppFrameRates() read empty.
    void setFrameRate(int rate, const QString& applicationID);

    DefaultsStore& store() const { return store_; }

private:
    QString string(const QString& key, const QString& fallback) const;
    bool boolean(const QString& key, bool fallback) const;
    int integer(const QString& key, int fallback) const;

    DefaultsStore& store_;
};

/// Reads a JSON value as an integer: a number with no fractional part within int range.
std::optional<int> jsonInteger(const QJsonValue& value);

}  // namespace mirano
