#include "platform/qt/JsonDefaultsStore.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <cerrno>
#include <cstring>

#include "platform/qt/PrivateFile.h"

namespace mirano {

JsonDefaultsStore::JsonDefaultsStore(QString path, QObject* parent)
    : DefaultsStore(parent), path_(std::move(path)) {
    settleTimer_.setSingleShot(true);
    connect(&settleTimer_, &QTimer::timeout, this, &JsonDefaultsStore::readChanges);
    const ReadResult start = readFile();
    switch (start.status) {
        case ReadStatus::ok:
            values_ = start.values;
            break;
        case ReadStatus::missing:
            break;
        case ReadStatus::unreadable:
            unreadable_ = true;
            unreadableReason_ = start.reason;
            unreadableLog_(QStringLiteral("Settings file %1 cannot be read (%2); using defaults "
                                          "and not writing it until it can be read.")
                               .arg(path_, start.reason));
            settleTimer_.start(kUnreadableRetryMs);
            break;
        case ReadStatus::unparsable:
            // Nothing of it is in use yet: keep the user's bytes aside and start afresh.
            moveAside(start.reason);
            break;
    }
    watch();
    // Editors often replace the file (new inode), so watch the directory as well.
    connect(&watcher_, &QFileSystemWatcher::fileChanged, this, &JsonDefaultsStore::changedOnDisk);
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this,
            &JsonDefaultsStore::changedOnDisk);
    // The store of the process lives as long as it: its destructor may never run.
    if (QCoreApplication* app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, [this] {
            quitting_ = true;
            flush();
        });
}

JsonDefaultsStore::~JsonDefaultsStore() { flush(); }

void JsonDefaultsStore::flush() {
    if (!settleTimer_.isActive() || pending_.isEmpty()) return;
    settleTimer_.stop();
    // No more waiting for an editor to finish: a file that does not parse now counts as broken.
    parseAttempts_ = kParseAttempts - 1;
    readChanges();
    settleTimer_.stop();
}

QString JsonDefaultsStore::defaultPath() { return xdgConfigHome() + "/mirano/defaults.json"; }

std::optional<QJsonValue> JsonDefaultsStore::value(const QString& key) const {
    auto it = values_.constFind(key);
    if (it == values_.constEnd()) return std::nullopt;
    return *it;
}

void JsonDefaultsStore::setValue(const QString& key, const QJsonValue& value) {
    if (values_.value(key) == value && values_.contains(key)) return;
    values_.insert(key, value);
    keep(key);
    emit changed(key);
}

void JsonDefaultsStore::removeValue(const QString& key) {
    if (!values_.contains(key)) return;
    values_.remove(key);
    keep(key);
    emit changed(key);
}

void JsonDefaultsStore::keep(const QString& key) {
    // A change on disk not read yet, or a file that cannot be read: the file is written once
    // it has been read, with this key on top.
    if (unreadable_ || settleTimer_.isActive()) {
        pending_.insert(key);
        if (quitting_) flush();
        return;
    }
    write();
}

void JsonDefaultsStore::changedOnDisk() {
    watch();
    if (!ownSignature_.isEmpty() && fileSignature() == ownSignature_) return;
    parseAttempts_ = 0;
    settleTimer_.start(kSettleMs);
}

void JsonDefaultsStore::readChanges() {
    const ReadResult r = readFile();
    watch();
    switch (r.status) {
        case ReadStatus::ok: {
            const bool wasUnreadable = std::exchange(unreadable_, false);
            unparsable_ = false;
            parseAttempts_ = 0;
            unreadableLog_.reset();
            unreadableReason_.clear();
            unparsableLog_.reset();
            if (wasUnreadable)
                logLine(QStringLiteral("Settings file %1 can be read again.").arg(path_));
            QJsonObject fresh = r.values;
            for (const QString& key : std::as_const(pending_)) {
                if (values_.contains(key))
                    fresh.insert(key, values_.value(key));
                else
                    fresh.remove(key);
            }
            const bool mustWrite = !pending_.isEmpty();
            pending_.clear();
            replaceValues(fresh);
            if (mustWrite) write();
            return;
        }
        case ReadStatus::missing:
            // Removed, or between an editor's delete and rename: the live values stay, and the
            // next change writes the file again.
            if (!pending_.isEmpty()) {
                pending_.clear();
                write();
            }
            return;
        case ReadStatus::unreadable:
            unreadable_ = true;
            // Said once per cause: a file that goes from a FIFO to a huge file is said again.
            if (std::exchange(unreadableReason_, r.reason) != r.reason) unreadableLog_.reset();
            unreadableLog_(QStringLiteral("Settings file %1 cannot be read (%2); keeping the "
                                          "current settings and not writing it until it can be "
                                          "read.")
                               .arg(path_, r.reason));
            settleTimer_.start(kUnreadableRetryMs);
            return;
        case ReadStatus::unparsable:
            // Most often an editor in the middle of writing: look again shortly.
            if (++parseAttempts_ < kParseAttempts) {
                settleTimer_.start(kSettleMs);
                return;
            }
            unparsable_ = true;
            unparsableReason_ = r.reason;
            unparsableLog_(QStringLiteral("Settings file %1 does not parse (%2); keeping the "
                                          "current settings. The file is moved aside before "
                                          "Mirano writes it again.")
                               .arg(path_, r.reason));
            if (!pending_.isEmpty()) {
                pending_.clear();
                write();
            }
            return;
    }
}

void JsonDefaultsStore::replaceValues(const QJsonObject& fresh) {
    if (fresh == values_) return;
    QSet<QString> keys;
    for (auto it = values_.begin(); it != values_.end(); ++it) keys.insert(it.key());
    for (auto it = fresh.begin(); it != fresh.end(); ++it) keys.insert(it.key());
    const QJsonObject old = std::exchange(values_, fresh);
    for (const QString& key : keys) {
        if (old.value(key) != fresh.value(key) || old.contains(key) != fresh.contains(key))
            emit changed(key);
    }
}

JsonDefaultsStore::ReadResult JsonDefaultsStore::readFile() const {
    ReadResult r;
    const SmallFile file = readSmallFile(path_, kMaxFileBytes);
    if (file.status == SmallFile::Status::missing) return r;
    if (file.status == SmallFile::Status::refused) {
        r.status = ReadStatus::unreadable;
        r.reason = file.reason;
        return r;
    }
    const QByteArray& data = file.data;
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(data, &error);
    if (error.error == QJsonParseError::NoError && doc.isObject()) {
        r.status = ReadStatus::ok;
        r.values = doc.object();
        return r;
    }
    r.status = ReadStatus::unparsable;
    r.reason = data.trimmed().isEmpty()                  ? QStringLiteral("empty")
               : error.error != QJsonParseError::NoError ? error.errorString()
                                                         : QStringLiteral("not an object");
    return r;
}

void JsonDefaultsStore::moveAside(const QString& reason) {
    const QString aside =
        path_ + ".corrupt-" + QDateTime::currentDateTime().toString("yyyyMMdd-HHmmss-zzz");
    if (QFile::rename(path_, aside)) {
        logLine(QStringLiteral("Settings file %1 does not parse (%2); moved it to %3.")
                    .arg(path_, reason, aside));
    } else {
        logLine(QStringLiteral("Settings file %1 does not parse (%2) and could not be moved "
                               "aside.")
                    .arg(path_, reason));
    }
}

void JsonDefaultsStore::write() {
    if (unreadable_) return;
    if (unparsable_) {
        // The user's broken edit is kept before the file is replaced.
        moveAside(unparsableReason_);
        unparsable_ = false;
        if (QFileInfo::exists(path_)) return;  // could not keep it: do not overwrite it
    }
    const QString error =
        writePrivateFile(path_, QJsonDocument(values_).toJson(QJsonDocument::Indented));
    if (!error.isEmpty()) {
        // Every change would fail the same way (a directory owned by root): say it once.
        unwritableLog_(QStringLiteral("Settings file %1 cannot be written: %2").arg(path_, error));
        return;
    }
    unwritableLog_.reset();
    ownSignature_ = fileSignature();
    watch();
}

QByteArray JsonDefaultsStore::fileSignature() const {
    struct stat st {};
    if (::stat(QFile::encodeName(path_).constData(), &st) != 0) return {};
    return QByteArray::number(static_cast<qulonglong>(st.st_ino)) + ':' +
           QByteArray::number(static_cast<qlonglong>(st.st_size)) + ':' +
           QByteArray::number(static_cast<qlonglong>(st.st_mtim.tv_sec)) + '.' +
           QByteArray::number(static_cast<qlonglong>(st.st_mtim.tv_nsec));
}

void JsonDefaultsStore::watch() {
    // Until the file's folder exists (a new user's ~/.config/mirano), the nearest folder above it
    // that does is watched, so that a file the user creates there is still seen.
    QString dir = QFileInfo(path_).absolutePath();
    while (!QFileInfo::exists(dir) && QFileInfo(dir).absolutePath() != dir)
        dir = QFileInfo(dir).absolutePath();
    // A folder above it is let go once the nearer one exists.
    for (const QString& watched : watcher_.directories())
        if (watched != dir) watcher_.removePath(watched);
    if (!watcher_.directories().contains(dir)) watcher_.addPath(dir);
    if (QFileInfo::exists(path_) && !watcher_.files().contains(path_)) watcher_.addPath(path_);
}

}  // namespace mirano
