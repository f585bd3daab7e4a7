#include "platform/wayland/portal/PortalRequest.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QRandomGenerator>
#include <atomic>

namespace mirano::wayland {

QDBusMessage portalCall(const QString& interface, const QString& method,
                        const QVariantList& arguments) {
    QDBusMessage message =
        QDBusMessage::createMethodCall(kPortalService, kPortalPath, interface, method);
    message.setArguments(arguments);
    return message;
}

QString expectedSessionHandle(const QDBusConnection& bus, const QString& token) {
    const QString sender = bus.baseService().mid(1).replace(QLatin1Char('.'), QLatin1Char('_'));
    if (sender.isEmpty()) return {};
    return kPortalPath + QStringLiteral("/session/") + sender + QLatin1Char('/') + token;
}

QString sessionHandleOf(const QVariantMap& results) {
    const QVariant handle = results.value(QStringLiteral("session_handle"));
    if (handle.metaType() == QMetaType::fromType<QDBusObjectPath>())
        return handle.value<QDBusObjectPath>().path();
    return handle.metaType() == QMetaType::fromType<QString>() ? handle.toString() : QString();
}

void closePortalSession(const QDBusConnection& bus, const QString& handle) {
    if (handle.isEmpty()) return;
    bus.send(QDBusMessage::createMethodCall(kPortalService, handle,
                                            QStringLiteral("org.freedesktop.portal.Session"),
                                            QStringLiteral("Close")));
}

QString PortalRequest::newToken() {
    static std::atomic<unsigned> counter{0};
    return QStringLiteral("mirano%1_%2")
        .arg(++counter)
        .arg(QRandomGenerator::global()->generate() & 0xffffff, 6, 16, QLatin1Char('0'));
}

PortalRequest::PortalRequest(const QDBusConnection& bus, QObject* parent, Answer answer)
    : QObject(parent), bus_(bus), answer_(std::move(answer)) {
    timeout_.setSingleShot(true);
}

PortalRequest::~PortalRequest() {
    if (answer_) withdraw();
}

int PortalRequest::dialogTimeoutMs() {
    bool ok = false;
    const int set = qEnvironmentVariableIntValue("MIRANO_PORTAL_DIALOG_TIMEOUT_MS", &ok);
    return ok && set > 0 ? set : 60000;
}

void PortalRequest::send(const QDBusConnection& bus, QDBusMessage call, QObject* parent,
                         int timeoutMs, Answer answer) {
    auto* request = new PortalRequest(bus, parent, std::move(answer));
    const QString token = newToken();
    // The portal names the request after our unique name: ":1.42" becomes "1_42".
    const QString sender = bus.baseService().mid(1).replace(QLatin1Char('.'), QLatin1Char('_'));
    request->listen(kPortalPath + QStringLiteral("/request/") + sender + QLatin1Char('/') + token);

    QList<QVariant> arguments = call.arguments();
    QVariantMap options = arguments.isEmpty() ? QVariantMap() : arguments.takeLast().toMap();
    options.insert(QStringLiteral("handle_token"), token);
    arguments.append(options);
    call.setArguments(arguments);

    connect(&request->timeout_, &QTimer::timeout, request, [request, timeoutMs] {
        request->withdraw();
        request->finish(
            2, {},
            Error{QStringLiteral("the portal did not answer within %1 s").arg(timeoutMs / 1000)});
    });
    request->timeout_.start(timeoutMs);
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, timeoutMs), request);
    connect(watcher, &QDBusPendingCallWatcher::finished, request, [request, watcher] {
        watcher->deleteLater();
        const QDBusPendingReply<QDBusObjectPath> reply = *watcher;
        if (reply.isError()) {
            request->finish(2, {}, Error{reply.error().message()});
            return;
        }
        // Older portals do not follow the handle_token convention.
        if (reply.value().path() != request->path_) request->listen(reply.value().path());
    });
}

void PortalRequest::listen(const QString& path) {
    const QString interface = QStringLiteral("org.freedesktop.portal.Request");
    if (!path_.isEmpty())
        bus_.disconnect(kPortalService, path_, interface, QStringLiteral("Response"), this,
                        SLOT(onResponse(QDBusMessage)));
    path_ = path;
    if (path_.isEmpty()) return;
    bus_.connect(kPortalService, path_, interface, QStringLiteral("Response"), this,
                 SLOT(onResponse(QDBusMessage)));
}

void PortalRequest::withdraw() {
    if (path_.isEmpty()) return;
    bus_.send(QDBusMessage::createMethodCall(kPortalService, path_,
                                             QStringLiteral("org.freedesktop.portal.Request"),
                                             QStringLiteral("Close")));
}

void PortalRequest::onResponse(const QDBusMessage& message) {
    // Read nothing of an answer of another shape: libdbus aborts on a mistyped read.
    if (message.signature() != QLatin1String("ua{sv}"))
        return finish(2, {},
                      Error{QStringLiteral("the portal's answer has the wrong type (%1)")
                                .arg(message.signature())});
    const QVariantList arguments = message.arguments();
    finish(arguments.at(0).toUInt(), qdbus_cast<QVariantMap>(arguments.at(1)), std::nullopt);
}

void PortalRequest::finish(uint response, const QVariantMap& results, std::optional<Error> error) {
    if (!answer_) return;
    timeout_.stop();
    listen(QString());  // no second answer
    auto answer = std::exchange(answer_, nullptr);
    deleteLater();
    answer(response, results, std::move(error));
}

}  // namespace mirano::wayland
