// The per-user key-value store that holds Mirano's preferences.
#pragma once

#include <QJsonValue>
#include <QObject>
#include <QString>
#include <optional>

namespace mirano {

/// Typed values by key: strings stay strings, integers stay integers, dictionaries are JSON
/// objects. Absent keys are told apart from present ones. Main thread only.
class DefaultsStore : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~DefaultsStore() override = default;

    /// The stored value, or nothing when the key was never written.
    virtual std::optional<QJsonValue> value(const QString& key) const = 0;
    /// Writes through to the store at once.
    virtual void setValue(const QString& key, const QJsonValue& value) = 0;
    virtual void removeValue(const QString& key) = 0;

signals:
    /// A key changed, by us or by someone editing the store from outside.
    void changed(const QString& key);
};

}  // namespace mirano
