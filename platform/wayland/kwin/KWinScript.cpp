#include "platform/wayland/kwin/KWinScript.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>

namespace mirano::wayland {

namespace {
const QString kKWin = QStringLiteral("org.kde.KWin");
const QString kScriptingPath = QStringLiteral("/Scripting");
const QString kScripting = QStringLiteral("org.kde.kwin.Scripting");
constexpr int kUnloadWaitMs = 1000;

QDBusMessage scriptingCall(const QString& method, const QVariantList& arguments) {
    QDBusMessage message =
        QDBusMessage::createMethodCall(kKWin, kScriptingPath, kScripting, method);
    message.setArguments(arguments);
    return message;
}
}  // namespace

bool KWinScript::isAvailable(const QDBusConnection& bus) {
    return bus.isConnected() && bus.interface() && bus.interface()->isServiceRegistered(kKWin);
}

QString KWinScript::quoted(const QString& text) {
    // A JSON array of one string is valid JavaScript; its brackets are dropped.
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.mid(1, array.size() - 2));
}

QString KWinScript::newName() {
    static int counter = 0;
    return QStringLiteral("mirano-%1-%2").arg(QCoreApplication::applicationPid()).arg(++counter);
}

KWinScript::KWinScript(const QDBusConnection& bus, const QString& name, const QString& source,
                       Started started, QObject* parent)
    : QObject(parent),
      bus_(bus),
      name_(name),
      file_(QDir::tempPath() + QStringLiteral("/mirano-kwin-XXXXXX.js")),
      started_(std::move(started)) {
    // KWin may run as another user than we (the tests do this): the script must be readable
    // to it. It holds nothing private.
    if (!file_.open() || file_.write(source.toUtf8()) < 0 || !file_.flush() ||
        !file_.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                              QFileDevice::ReadGroup | QFileDevice::ReadOther)) {
        QMetaObject::invokeMethod(
            this, [this] { fail(QStringLiteral("the script file cannot be written")); },
            Qt::QueuedConnection);
        return;
    }
    load();
}

KWinScript::~KWinScript() {
    if (loaded_)
        bus_.call(scriptingCall(QStringLiteral("unloadScript"), {name_}), QDBus::Block,
                  kUnloadWaitMs);
}

void KWinScript::load() {
    auto* watcher = new QDBusPendingCallWatcher(
        bus_.asyncCall(scriptingCall(QStringLiteral("loadScript"), {file_.fileName(), name_})),
        this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher] {
        watcher->deleteLater();
        const QDBusPendingReply<int> reply = *watcher;
        if (reply.isError())
            return fail(
                QStringLiteral("KWin did not load the script (%1)").arg(reply.error().message()));
        if (reply.value() < 0) return fail(QStringLiteral("KWin refused the script"));
        loaded_ = true;
        // start() runs every script loaded and not yet running: ours. (The object of the
        // script itself has moved between KWin versions.) No answer is awaited: the script may
        // call back before it comes, and its caller must know KWin by then.
        bus_.send(scriptingCall(QStringLiteral("start"), {}));
        // The answer came from KWin's own connection: scripts call back from it.
        if (auto started = std::exchange(started_, nullptr))
            started(reply.reply().service(), std::nullopt);
    });
}

void KWinScript::fail(const QString& reason) {
    if (auto started = std::exchange(started_, nullptr)) started(std::nullopt, Error{reason});
}

}  // namespace mirano::wayland
