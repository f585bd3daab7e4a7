#include "settings/AppSettings.h"

#include <QJsonObject>
#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/Platform.h"

namespace mirano {

std::optional<int> jsonInteger(const QJsonValue& value) {
    if (!value.isDouble()) return std::nullopt;
    const double d = value.toDouble();
    if (!std::isfinite(d) || std::trunc(d) != d) return std::nullopt;
    if (d < std::numeric_limits<int>::min() || d > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(d);
}

AppSettings::AppSettings(DefaultsStore& store) : store_(store) {}

AppSettings& AppSettings::shared() {
    static AppSettings instance(Platform::real().defaults());
    return instance;
}

QString AppSettings::string(const QString& key, const QString& fallback) const {
    auto v = store_.value(key);
    return v && v->isString() ? v->toString() : fallback;
}

bool AppSettings::boolean(const QString& key, bool fallback) const {
    auto v = store_.value(key);
    return v && v->isBool() ? v->toBool() : fallback;
}

int AppSettings::integer(const QString& key, int fallback) const {
    auto v = store_.value(key);
    if (!v) return fallback;
    return jsonInteger(*v).value_or(fallback);
}

QString AppSettings::modifierRaw() const { return string(kModifier, QStringLiteral("fn")); }
void AppSettings::setModifierRaw(const QString& v) { store_.setValue(kModifier, v); }
QString AppSettings::triggerKey() const { return string(kTriggerKey, QStringLiteral("P")); }
void AppSettings::setTriggerKey(const QString& v) { store_.setValue(kTriggerKey, v); }
QString AppSettings::pipPositionRaw() const {
    return string(kPiPPosition, QStringLiteral("bottomRight"));
}
void AppSettings::setPipPositionRaw(const QString& v) { store_.setValue(kPiPPosition, v); }
bool AppSettings::autoHideOnHover() const { return boolean(kAutoHideOnHover, false); }
void AppSettings::setAutoHideOnHover(bool v) { store_.setValue(kAutoHideOnHover, v); }
QString AppSettings::focusBehaviorRaw() const {
    return string(kFocusBehavior, QStringLiteral("doNothing"));
}
void AppSettings::setFocusBehaviorRaw(const QString& v) { store_.setValue(kFocusBehavior, v); }
int AppSettings::frameRate() const { return integer(kFrameRate, 10); }
void AppSettings::setFrameRate(int v) { store_.setValue(kFrameRate, v); }
int AppSettings::pipWidth() const {
    // A hand-edited or runaway width must not give a panel larger than any screen.
    return std::clamp(integer(kPipWidth, 320), kMinPipWidth, kMaxPipWidth);
}
void AppSettings::setPipWidth(int v) { store_.setValue(kPipWidth, v); }

QMap<QString, int> AppSettings::perAppFrameRates() const {
    auto v = store_.value(kPerAppFrameRates);
    if (!v || !v->isObject()) return {};
    const QJsonObject object = v->toObject();
    QMap<QString, int> result;
    for (auto it = object.begin(); it != object.end(); ++it) {
        auto rate = jsonInteger(it.value());
        if (!rate) return {};
        result.insert(it.key(), *rate);
    }
    return result;
}

void AppSettings::setFrameRate(int rate, const QString& applicationID) {
    // Reading is all or nothing, but a write must never lose the entries it does not change.
    const auto stored = store_.value(kPerAppFrameRates);
    QJsonObject object = stored && stored->isObject() ? stored->toObject() : QJsonObject();
    object.insert(applicationID, std::clamp(rate, 1, 60));
    store_.setValue(kPerAppFrameRates, object);
}

}  // namespace mirano
