// One call to a desktop portal whose answer comes later through a Request object's Response
// signal.
#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVariantMap>
#include <functional>
#include <optional>

#include "platform/Types.h"

namespace mirano::wayland {

/// The portal's service and object.
inline const QString kPortalService = QStringLiteral("org.freedesktop.portal.Desktop");
inline const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");

/// A call of `method` on the portal's `interface` with `arguments`.
QDBusMessage portalCall(const QString& interface, const QString& method,
                        const QVariantList& arguments);
/// The handle the portal will give a session of ours made with `token`, known before it answers
/// (empty while the bus has no unique name).
QString expectedSessionHandle(const QDBusConnection& bus, const QString& token);
/// The session handle in a CreateSession answer's `results`: newer portals give a string, older
/// ones an object path; anything else gives an empty handle.
QString sessionHandleOf(const QVariantMap& results);
/// Asks the portal to close the session at `handle` (nothing for an empty one); no answer is
/// awaited.
void closePortalSession(const QDBusConnection& bus, const QString& handle);

/// Subscribes to the request path that the call's handle_token names before the call is sent,
/// so an answer that comes at once is not missed; follows the path the portal returns should it
/// differ. Answers once, on the main thread, then deletes itself. An answer of the wrong
/// signature, or none within the time given, ends it with an error; a request still pending
/// when it goes (with its parent) is withdrawn (Request.Close), and its answer dropped.
class PortalRequest : public QObject {
    Q_OBJECT
public:
    /// response: 0 granted, 1 cancelled by the user, 2 refused or ended otherwise. `error` is
    /// set instead when the call itself failed or the answer was unusable.
    using Answer =
        std::function<void(uint response, const QVariantMap& results, std::optional<Error> error)>;

    /// Waits for the answers of calls that show no dialog.
    static constexpr int kCallTimeoutMs = 5000;
    /// Waits for the answer of a call that may show a dialog: a person may be choosing. A
    /// minute, or $MIRANO_PORTAL_DIALOG_TIMEOUT_MS where set (tests, desks that need longer).
    static int dialogTimeoutMs();

    /// Sends `call`, whose last argument is its options map, with a fresh handle_token added;
    /// waits `timeoutMs` for the answer.
    static void send(const QDBusConnection& bus, QDBusMessage call, QObject* parent, int timeoutMs,
                     Answer answer);
    /// A token unique in this process, for handle_token and session_handle_token.
    static QString newToken();

    ~PortalRequest() override;

private slots:
    void onResponse(const QDBusMessage& message);

private:
    PortalRequest(const QDBusConnection& bus, QObject* parent, Answer answer);
    void listen(const QString& path);
    void finish(uint response, const QVariantMap& results, std::optional<Error> error);
    /// Tells the portal we no longer wait for this request.
    void withdraw();

    QDBusConnection bus_;
    Answer answer_;
    QString path_;
    QTimer timeout_;
};

}  // namespace mirano::wayland
