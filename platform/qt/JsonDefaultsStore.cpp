#include "platform/qt/JsonDefaultsStore.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSaveFile>
#include <QSet>
#include <QStandardPaths>
#include <cstdio>

namespace mirano {

JsonDefaultsStore::JsonDefaultsStore(QString path, QObject* parent)
    : DefaultsStore(parent), path_(std::move(path)) {
    values_ = readFile();
    watch();
    // Editors often replace the file (new inode), so watch the directory as well.
    connect(&watcher_, &QFileSystemWatcher::fileChanged, this, [this] { reload(); });
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, [this] { reload(); });
}

QString JsonDefaultsStore::defaultPath() {
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base)) base = QDir::homePath() + "/.config";
    return base + "/mirano/defaults.json";
}

std::optional<QJsonValue> JsonDefaultsStore::value(const QString& key) const {
    auto it = values_.constFind(key);
    if (it == values_.constEnd()) return std::nullopt;
    return *it;
}

void JsonDefaultsStore::setValue(const QString& key, const QJsonValue& value) {
    if (values_.value(key) == value && values_.contains(key)) return;
    values_.insert(key, value);
    write();
    emit changed(key);
}

void JsonDefaultsStore::removeValue(const QString& key) {
    if (!values_.contains(key)) return;
    values_.remove(key);
    write();
    emit changed(key);
}

void JsonDefaultsStore::reload() {
    QJsonObject fresh = readFile();
    watch();
    if (fresh == values_) return;
    QSet<QString> keys;
    for (auto it = values_.begin(); it != values_.end(); ++it) keys.insert(it.key());
    for (auto it = fresh.begin(); it != fresh.end(); ++it) keys.insert(it.key());
    QJsonObject old = values_;
    values_ = fresh;
    for (const QString& key : keys) {
        if (old.value(key) != fresh.value(key) || old.contains(key) != fresh.contains(key))
            emit changed(key);
    }
}

QJsonObject JsonDefaultsStore::readFile() {
    QFile file(path_);
    if (!file.exists()) return {};
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "mirano: cannot read %s: %s; using defaults\n",
                     qPrintable(path_), qPrintable(file.errorString()));
        return {};
    }
    const QByteArray data = file.readAll();
    file.close();
    if (data.trimmed().isEmpty()) return {};  // an editor in the middle of saving
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(data, &error);
    if (error.error == QJsonParseError::NoError && doc.isObject()) return doc.object();

    // Keep the user's file: move it aside and start from defaults.
    const QString aside =
        path_ + ".corrupt-" + QDateTime::currentDateTime().toString("yyyyMMdd-HHmmss");
    const QString reason = error.error != QJsonParseError::NoError ? error.errorString()
                                                                   : QStringLiteral("not an object");
    if (QFile::rename(path_, aside)) {
        std::fprintf(stderr, "mirano: settings file %s is unreadable (%s); moved it to %s and using defaults\n",
                     qPrintable(path_), qPrintable(reason), qPrintable(aside));
    } else {
        std::fprintf(stderr, "mirano: settings file %s is unreadable (%s) and could not be moved aside; using defaults\n",
                     qPrintable(path_), qPrintable(reason));
    }
    return {};
}

void JsonDefaultsStore::write() {
    QDir().mkpath(QFileInfo(path_).absolutePath());
    QSaveFile file(path_);  // temp file, fsync on commit, rename
    if (!file.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "mirano: cannot write %s: %s\n", qPrintable(path_),
                     qPrintable(file.errorString()));
        return;
    }
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    file.write(QJsonDocument(values_).toJson(QJsonDocument::Indented));
    if (!file.commit()) {
        std::fprintf(stderr, "mirano: cannot write %s: %s\n", qPrintable(path_),
                     qPrintable(file.errorString()));
    }
    watch();
}

void JsonDefaultsStore::watch() {
    const QString dir = QFileInfo(path_).absolutePath();
    if (QFileInfo::exists(dir) && !watcher_.directories().contains(dir)) watcher_.addPath(dir);
    if (QFileInfo::exists(path_) && !watcher_.files().contains(path_)) watcher_.addPath(path_);
}

}  // namespace mirano
