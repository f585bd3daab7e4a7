#include "platform/wayland/portal/ScreenCastSession.h"

#include <fcntl.h>

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusUnixFileDescriptor>

#include "platform/wayland/portal/PortalRequest.h"

namespace mirano::wayland {

namespace {

const QString kScreenCast = QStringLiteral("org.freedesktop.portal.ScreenCast");

/// Node ids a portal may not hand out: the core's, and PW_ID_ANY (which would let the session
/// manager link us to any stream it picks).
constexpr uint kCoreNodeId = 0;
constexpr uint kAnyNodeId = 0xffffffff;
/// Larger is no window's size: the stream's frames then tell the shape.
constexpr int kMaxSide = 16384;

/// The signature of a D-Bus value inside a variant: complex ones stay marshalled.
QString signatureOf(const QVariant& value) {
    if (value.metaType() == QMetaType::fromType<QDBusArgument>())
        return value.value<QDBusArgument>().currentSignature();
    return QString::fromLatin1(QDBusMetaType::typeToSignature(value.metaType()));
}

/// A width and height pair, "(ii)"; empty when absent or implausible, nothing when mistyped.
std::optional<QSizeF> sizeOf(const QVariant& value) {
    if (!value.isValid()) return QSizeF();
    if (signatureOf(value) != QLatin1String("(ii)")) return std::nullopt;
    const QDBusArgument argument = value.value<QDBusArgument>();
    int width = 0, height = 0;
    argument.beginStructure();
    argument >> width >> height;
    argument.endStructure();
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) return QSizeF();
    return QSizeF(width, height);
}

/// The first of the streams a Start answer lists, "a(ua{sv})": one window was asked for.
std::optional<PipeWireNode> firstStream(const QVariant& streams, QString* problem) {
    const QString signature = signatureOf(streams);
    if (signature != QLatin1String("a(ua{sv})")) {
        *problem = QStringLiteral("the portal's streams have the wrong type (%1)")
                       .arg(signature.isEmpty() ? QStringLiteral("none") : signature);
        return std::nullopt;
    }
    const QDBusArgument argument = streams.value<QDBusArgument>();
    std::optional<PipeWireNode> first;
    std::optional<QSizeF> size;
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
        size = sizeOf(properties.value(QStringLiteral("size")));
    }
    argument.endArray();
    if (!first) {
        *problem = QStringLiteral("the portal shared no stream");
    } else if (first->nodeId == kCoreNodeId || first->nodeId == kAnyNodeId) {
        *problem = QStringLiteral("the portal gave no valid node (id %1)").arg(first->nodeId);
    } else if (!size) {
        *problem = QStringLiteral("the portal's stream size has the wrong type");
    } else {
        first->logicalSize = *size;
        return first;
    }
    return std::nullopt;
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
    // A request still pending (a dialog) is withdrawn first; closing the session then ends the
    // stream on the desktop's side too. No answer is awaited.
    qDeleteAll(findChildren<PortalRequest*>(Qt::FindDirectChildrenOnly));
    closePortalSession(bus_, sessionHandle_);
}

QDBusMessage ScreenCastSession::call(const QString& method, const QVariantList& arguments) const {
    return portalCall(kScreenCast, method, arguments);
}

void ScreenCastSession::start(const QString& restoreToken, bool persist, Done done) {
    done_ = std::move(done);
    const QString token = PortalRequest::newToken();
    // Known before the portal answers, so the session can be closed even if we go first.
    sessionHandle_ = expectedSessionHandle(bus_, token);
    const QVariantMap options{{QStringLiteral("session_handle_token"), token}};
    PortalRequest::send(
        bus_, call(QStringLiteral("CreateSession"), {options}), this, PortalRequest::kCallTimeoutMs,
        [this, restoreToken, persist](uint response, const QVariantMap& results,
                                      std::optional<Error> error) {
            if (error)
                return fail(QStringLiteral("no ScreenCast portal (%1)").arg(error->description));
            if (response != 0) return fail(refusal(QStringLiteral("session"), response), true);
            const QString handle = sessionHandleOf(results);
            if (handle.isEmpty())
                return fail(QStringLiteral("the portal's session handle has the wrong type"));
            sessionHandle_ = handle;
            bus_.connect(kPortalService, sessionHandle_,
                         QStringLiteral("org.freedesktop.portal.Session"), QStringLiteral("Closed"),
                         this, SLOT(onClosed()));
            selectSources(restoreToken, persist);
        });
}

void ScreenCastSession::onClosed() {
    // The session is gone on the portal's side: nothing left to close, nor to hear of again.
    bus_.disconnect(kPortalService, sessionHandle_,
                    QStringLiteral("org.freedesktop.portal.Session"), QStringLiteral("Closed"),
                    this, SLOT(onClosed()));
    sessionHandle_.clear();
    if (!granted_) return fail(QStringLiteral("the desktop closed the session"));
    emit closedByPortal();
}

void ScreenCastSession::selectSources(const QString& restoreToken, bool persist) {
    QVariantMap options{{QStringLiteral("types"), QVariant::fromValue(kWindowSource)},
                        {QStringLiteral("multiple"), false},
                        {QStringLiteral("cursor_mode"), QVariant::fromValue(kHiddenCursor)}};
    // A consent the portal keeps but we hold no token for could never be used.
    if (persist)
        options.insert(QStringLiteral("persist_mode"), QVariant::fromValue(kPersistUntilRevoked));
    if (!restoreToken.isEmpty()) options.insert(QStringLiteral("restore_token"), restoreToken);
    PortalRequest::send(
        bus_,
        call(QStringLiteral("SelectSources"),
             {QVariant::fromValue(QDBusObjectPath(sessionHandle_)), options}),
        this, PortalRequest::kCallTimeoutMs,
        [this](uint response, const QVariantMap&, std::optional<Error> error) {
            if (error)
                return fail(QStringLiteral("the portal refused the source types (%1)")
                                .arg(error->description));
            if (response != 0) return fail(refusal(QStringLiteral("sources"), response), true);
            startCast();
        });
}

std::optional<ScreenCastSession::Grant> ScreenCastSession::grantOf(const QVariantMap& results,
                                                                   QString* problem) const {
    auto node = firstStream(results.value(QStringLiteral("streams")), problem);
    if (!node) return std::nullopt;
    const QVariant token = results.value(QStringLiteral("restore_token"));
    if (token.isValid() && token.metaType() != QMetaType::fromType<QString>()) {
        *problem = QStringLiteral("the portal's restore token has the wrong type");
        return std::nullopt;
    }
    return Grant{std::move(*node), token.toString()};
}

void ScreenCastSession::startCast() {
    // Start shows the desktop's dialog where no consent is restored.
    PortalRequest::send(
        bus_,
        call(QStringLiteral("Start"),
             {QVariant::fromValue(QDBusObjectPath(sessionHandle_)), QString(), QVariantMap()}),
        this, PortalRequest::dialogTimeoutMs(),
        [this](uint response, const QVariantMap& results, std::optional<Error> error) {
            if (error)
                return fail(
                    QStringLiteral("the portal did not start (%1)").arg(error->description));
            if (response != 0) return fail(refusal(QStringLiteral("start"), response), true);
            QString problem;
            auto grant = grantOf(results, &problem);
            if (!grant) return fail(problem);
            openRemote(std::move(*grant));
        });
}

void ScreenCastSession::openRemote(Grant grant) {
    auto* watcher = new QDBusPendingCallWatcher(
        bus_.asyncCall(call(QStringLiteral("OpenPipeWireRemote"),
                            {QVariant::fromValue(QDBusObjectPath(sessionHandle_)), QVariantMap()}),
                       PortalRequest::kCallTimeoutMs),
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
        granted_ = true;
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
