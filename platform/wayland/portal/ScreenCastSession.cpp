#include "platform/wayland/portal/ScreenCastSession.h"

#include <fcntl.h>

#include <QDBusArgument>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusUnixFileDescriptor>

#include "platform/wayland/portal/PortalRequest.h"

namespace mirano::wayland {

namespace {

const QString kScreenCast = QStringLiteral("org.freedesktop.portal.ScreenCast");

/// A width and height pair, "(ii)".
QSizeF sizeOf(const QVariant& value) {
    if (!value.canConvert<QDBusArgument>()) return {};
    const QDBusArgument argument = value.value<QDBusArgument>();
    int width = 0, height = 0;
    argument.beginStructure();
    argument >> width >> height;
    argument.endStructure();
    return QSizeF(width, height);
}

/// The first of the streams a Start answer lists, "a(ua{sv})": one window was asked for.
std::optional<PipeWireNode> firstStream(const QVariant& streams) {
    if (!streams.canConvert<QDBusArgument>()) return std::nullopt;
    const QDBusArgument argument = streams.value<QDBusArgument>();
    std::optional<PipeWireNode> first;
    argument.beginArray();
    while (!argument.atEnd()) {
        uint node = 0;
        QVariantMap properties;
        argument.beginStructure();
        argument >> node >> properties;
        argument.endStructure();
        if (first) continue;
        first.emplace();
        first->nodeId = node;
        first->logicalSize = sizeOf(properties.value(QStringLiteral("size")));
    }
    argument.endArray();
    return first;
}

/// Why a request was not granted, for the error.
QString refusal(const QString& step, uint response) {
    return response == 1 ? QStringLiteral("the user cancelled sharing the window (%1)").arg(step)
                         : QStringLiteral("the desktop did not share the window (%1, response %2)")
                               .arg(step)
                               .arg(response);
}

}  // namespace

ScreenCastSession::ScreenCastSession(const QDBusConnection& bus, QObject* parent)
    : QObject(parent), bus_(bus) {}

ScreenCastSession::~ScreenCastSession() {
    // Closing ends the stream on the desktop's side too; no answer is awaited.
    closePortalSession(bus_, sessionHandle_);
}

QDBusMessage ScreenCastSession::call(const QString& method, const QVariantList& arguments) const {
    return portalCall(kScreenCast, method, arguments);
}

void ScreenCastSession::start(const QString& restoreToken, Done done) {
    done_ = std::move(done);
    const QString token = PortalRequest::newToken();
    // Known before the portal answers, so the session can be closed even if we go first.
    sessionHandle_ = expectedSessionHandle(bus_, token);
    const QVariantMap options{{QStringLiteral("session_handle_token"), token}};
    PortalRequest::send(
        bus_, call(QStringLiteral("CreateSession"), {options}), this,
        [this, restoreToken](uint response, const QVariantMap& results,
                             std::optional<Error> error) {
            if (error)
                return fail(QStringLiteral("no ScreenCast portal (%1)").arg(error->description));
            if (response != 0) return fail(refusal(QStringLiteral("session"), response), true);
            sessionHandle_ = sessionHandleOf(results);
            selectSources(restoreToken);
        });
}

void ScreenCastSession::selectSources(const QString& restoreToken) {
    QVariantMap options{
        {QStringLiteral("types"), QVariant::fromValue(kWindowSource)},
        {QStringLiteral("multiple"), false},
        {QStringLiteral("cursor_mode"), QVariant::fromValue(kHiddenCursor)},
        {QStringLiteral("persist_mode"), QVariant::fromValue(kPersistUntilRevoked)}};
    if (!restoreToken.isEmpty()) options.insert(QStringLiteral("restore_token"), restoreToken);
    PortalRequest::send(
        bus_,
        call(QStringLiteral("SelectSources"),
             {QVariant::fromValue(QDBusObjectPath(sessionHandle_)), options}),
        this, [this](uint response, const QVariantMap&, std::optional<Error> error) {
            if (error)
                return fail(QStringLiteral("the portal refused the source types (%1)")
                                .arg(error->description));
            if (response != 0) return fail(refusal(QStringLiteral("sources"), response), true);
            startCast();
        });
}

void ScreenCastSession::startCast() {
    PortalRequest::send(
        bus_,
        call(QStringLiteral("Start"),
             {QVariant::fromValue(QDBusObjectPath(sessionHandle_)), QString(), QVariantMap()}),
        this, [this](uint response, const QVariantMap& results, std::optional<Error> error) {
            if (error)
                return fail(
                    QStringLiteral("the portal did not start (%1)").arg(error->description));
            if (response != 0) return fail(refusal(QStringLiteral("start"), response), true);
            auto node = firstStream(results.value(QStringLiteral("streams")));
            if (!node) return fail(QStringLiteral("the portal shared no stream"));
            openRemote(
                Grant{std::move(*node), results.value(QStringLiteral("restore_token")).toString()});
        });
}

void ScreenCastSession::openRemote(Grant grant) {
    auto* watcher = new QDBusPendingCallWatcher(
        bus_.asyncCall(call(QStringLiteral("OpenPipeWireRemote"),
                            {QVariant::fromValue(QDBusObjectPath(sessionHandle_)), QVariantMap()})),
        this);
    // The grant holds a descriptor: it waits in a shared slot for the answer.
    auto pending = std::make_shared<Grant>(std::move(grant));
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, pending] {
        watcher->deleteLater();
        const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *watcher;
        if (reply.isError())
            return fail(QStringLiteral("no PipeWire remote (%1)").arg(reply.error().message()));
        // The reply's descriptor closes with the reply: keep a copy of our own.
        pending->node.remote.reset(fcntl(reply.value().fileDescriptor(), F_DUPFD_CLOEXEC, 3));
        if (!pending->node.remote.valid())
            return fail(QStringLiteral("the PipeWire remote cannot be kept"));
        finish(std::move(*pending), std::nullopt);
    });
}

void ScreenCastSession::fail(const QString& reason, bool refused) {
    refused_ = refused;
    finish(std::nullopt, Error{QStringLiteral("The window cannot be captured: %1.").arg(reason)});
}

void ScreenCastSession::finish(std::optional<Grant> grant, std::optional<Error> error) {
    if (auto done = std::exchange(done_, nullptr)) done(std::move(grant), std::move(error));
}

}  // namespace mirano::wayland
