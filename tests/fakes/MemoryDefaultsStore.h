// An in-memory defaults store that records writes, and settings on one for fixtures.
#pragma once

#include <QJsonObject>
#include <QStringList>

#include "platform/DefaultsStore.h"
#include "settings/AppSettings.h"

namespace mirano::fakes {

class MemoryDefaultsStore final : public DefaultsStore {
    Q_OBJECT
public:
    std::optional<QJsonValue> value(const QString& key) const override {
        return values.contains(key) ? std::optional(values.value(key)) : std::nullopt;
    }
    void setValue(const QString& key, const QJsonValue& value) override {
        values.insert(key, value);
        writes.append(key);
        emit changed(key);
    }
    void removeValue(const QString& key) override {
        values.remove(key);
        emit changed(key);
    }

    QJsonObject values;
    QStringList writes;
};

/// A fixture's settings, on a store of their own.
struct MemorySettings {
    MemoryDefaultsStore store;
    AppSettings settings{store};
};

}  // namespace mirano::fakes
