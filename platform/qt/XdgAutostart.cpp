#include "platform/qt/XdgAutostart.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QStandardPaths>
#include <algorithm>

#include "platform/qt/PrivateFile.h"

namespace mirano {

namespace {

/// The key of the line that marks Mirano's own entries.
constexpr char kMarkKey[] = "X-Mirano-Autostart";
/// An entry is a few lines; anything larger is not one to parse.
constexpr qsizetype kMaxEntryBytes = 64 * 1024;

/// The keys of the entry's [Desktop Entry] group with their values.
QHash<QByteArray, QByteArray> desktopEntryKeys(const QByteArray& text) {
    QHash<QByteArray, QByteArray> keys;
    bool inGroup = false;
    for (const QByteArray& raw : text.split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.isEmpty() || line.startsWith('#')) continue;
        if (line.startsWith('[')) {
            inGroup = line == "[Desktop Entry]";
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (inGroup && equals > 0)
            keys.insert(line.left(equals).trimmed(), line.mid(equals + 1).trimmed());
    }
    return keys;
}

/// `program` as the Exec key's value: quoted and escaped where the desktop entry rules ask.
QString execValue(const QString& program) {
    // No line break or control character can be written into an entry: PATH's mirano then.
    if (program.isEmpty() ||
        std::any_of(program.begin(), program.end(), [](QChar c) { return c.unicode() < 0x20; }))
        return QStringLiteral("mirano");
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9/._+-]+$"));
    QString value;
    if (plain.match(program).hasMatch()) {
        value = program;
    } else {
        value = QStringLiteral("\"");
        for (QChar c : program) {
            if (c == '"' || c == '`' || c == '$' || c == '\\') value += '\\';
            value += c;
        }
        value += '"';
        // The value is a string first, whose own escape doubles every backslash.
        value.replace('\\', QStringLiteral("\\\\"));
    }
    return value.replace('%', QStringLiteral("%%"));
}

}  // namespace

struct XdgAutostart::Entry {
    enum class Kind { none, ours, others, unusable };
    Kind kind = Kind::none;
    /// The desktop skips it at login.
    bool skipped = false;
    /// Why an unusable one cannot be read.
    QString reason;

    bool startsAtLogin() const { return (kind == Kind::ours || kind == Kind::others) && !skipped; }
};

XdgAutostart::XdgAutostart(QString entryPath, QString program)
    : path_(std::move(entryPath)), program_(std::move(program)) {}

QString XdgAutostart::defaultPath() {
    return xdgConfigHome() + QStringLiteral("/autostart/mirano.desktop");
}

QString XdgAutostart::runningProgram() {
    const QString self = QCoreApplication::applicationFilePath();
    const QString found = QStandardPaths::findExecutable(QStringLiteral("mirano"));
    // A binary replaced by an upgrade while it runs no longer exists under its name.
    if (self.isEmpty() || !QFileInfo::exists(self) ||
        (!found.isEmpty() &&
         QFileInfo(found).canonicalFilePath() == QFileInfo(self).canonicalFilePath()))
        return QStringLiteral("mirano");
    return self;
}

QByteArray XdgAutostart::entryText(const QString& program) {
    return QStringLiteral(
               "[Desktop Entry]\n"
               "Type=Application\n"
               "Name=Mirano\n"
               "Comment=Keep a live floating copy of any window on screen\n"
               "Exec=%1\n"
               "Icon=mirano\n"
               "Terminal=false\n"
               "%2=true\n")
        .arg(execValue(program), QLatin1String(kMarkKey))
        .toUtf8();
}

XdgAutostart::Entry XdgAutostart::read() const {
    const SmallFile file = readSmallFile(path_, kMaxEntryBytes);
    Entry entry;
    if (file.status == SmallFile::Status::missing) return entry;
    if (file.status == SmallFile::Status::refused) {
        entry.kind = Entry::Kind::unusable;
        entry.reason = file.reason;
        return entry;
    }
    const QHash<QByteArray, QByteArray> keys = desktopEntryKeys(file.data);
    entry.kind = keys.value(kMarkKey) == "true" ? Entry::Kind::ours : Entry::Kind::others;
    // Hidden=true is the rule's "as if it were not there"; GNOME's editor writes the other.
    entry.skipped =
        keys.value("Hidden") == "true" || keys.value("X-GNOME-Autostart-enabled") == "false";
    return entry;
}

bool XdgAutostart::isEnabled() const { return read().startsAtLogin(); }

QString XdgAutostart::setEnabled(bool enabled) {
    const Entry entry = read();
    if (enabled == entry.startsAtLogin()) return {};
    if (entry.kind == Entry::Kind::unusable)
        return QStringLiteral("%1: %2").arg(path_, entry.reason);
    if (entry.kind == Entry::Kind::others)
        return QStringLiteral("%1 was not written by Mirano; it is left as it is").arg(path_);
    if (enabled) {
        const QString error = writePrivateFile(path_, entryText(program_));
        return error.isEmpty() ? error : QStringLiteral("%1: %2").arg(path_, error);
    }
    QFile file(path_);
    return file.remove() ? QString() : QStringLiteral("%1: %2").arg(path_, file.errorString());
}

}  // namespace mirano
