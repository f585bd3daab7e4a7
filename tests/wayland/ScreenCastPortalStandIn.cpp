// A stand-in for the desktop's ScreenCast portal on a test's private session bus: it hands out
// the node of a test producer instead of asking a compositor, and tells the test what a real
// portal would have done.
//
// Commands on standard input, each answered with "ok":
//   node ID WIDTH HEIGHT   the node (and the window's logical size) that Start hands out
//   answer CODE            Start's response from now on: 0 grants, 1 cancels, 2 refuses
//   fault NAME             Start's answer from now on, as a faulty portal gives it: streams of
//                          type au or a(uas) (streams-au, streams-auas), a size of type a{sv},
//                          (iii) or (si) (size-asv, size-iii, size-si), a response that is a
//                          string (response-s), node PW_ID_ANY (node-any), none (hold: kept
//                          until "release"); "none" answers well again
//   release                sends the answers held back, granting, withdrawn or not
//   end                    closes every session from the portal's side (Session.Closed)
// `--source-types N`: the AvailableSourceTypes it tells (3 unless given: monitors and windows).
// Lines it prints: "ready"; at each Start "dialog" (no valid restore token: a real portal
// would ask the user) or "restored"; "closed" when a session is closed; "withdrawn" when a
// held request is closed by the client.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QSet>
#include <QSize>
#include <QSocketNotifier>
#include <QTimer>
#include <QUuid>
#include <cstdio>
#include <iostream>
#include <string>
#include <tuple>

namespace {

void say(const char* line) {
    std::printf("%s\n", line);
    std::fflush(stdout);
}

/// One entry of Start's "streams": a node and its properties, "(ua{sv})". (A QSize is "(ii)".)
using PortalStream = QPair<uint, QVariantMap>;
/// A D-Bus structure of these fields, for the wrongly typed answers.
template <typename... Fields>
struct Structure {
    std::tuple<Fields...> fields;
};
template <typename... Fields>
QDBusArgument& operator<<(QDBusArgument& argument, const Structure<Fields...>& s) {
    argument.beginStructure();
    std::apply([&](const auto&... field) { (argument << ... << field); }, s.fields);
    argument.endStructure();
    return argument;
}
template <typename... Fields>
const QDBusArgument& operator>>(const QDBusArgument& argument, Structure<Fields...>& s) {
    argument.beginStructure();
    std::apply([&](auto&... field) { (argument >> ... >> field); }, s.fields);
    argument.endStructure();
    return argument;
}
/// Wrongly typed answers: a stream "(uas)", sizes "(iii)" and "(si)".
using WrongStream = Structure<uint, QStringList>;
using Triple = Structure<int, int, int>;
using NamedSize = Structure<QString, int>;

/// What the client can close at `path`: a session (org.freedesktop.portal.Session, whose Close
/// says "closed") or a request whose answer is held back (org.freedesktop.portal.Request,
/// "withdrawn").
class Closable : public QObject {
    Q_OBJECT
public:
    Closable(QObject* parent, const QString& path, bool session)
        : QObject(parent), isSession(session) {
        setObjectName(path);
        QDBusConnection::sessionBus().registerObject(
            path, session ? "org.freedesktop.portal.Session" : "org.freedesktop.portal.Request",
            this, QDBusConnection::ExportAllSlots);
    }
    const bool isSession;
    uint persistMode = 0;
    QString restoreToken;

public slots:
    void Close() {
        say(isSession ? "closed" : "withdrawn");
        QDBusConnection::sessionBus().unregisterObject(objectName());
        deleteLater();
    }
};

class ScreenCast : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.ScreenCast")
    Q_PROPERTY(uint AvailableSourceTypes MEMBER sourceTypes)
    Q_PROPERTY(uint version MEMBER version)
public:
    uint sourceTypes = 3, version = 4, node = 0, answer = 0;
    QSize size;
    QString fault = "none";

    void release() {
        for (const auto& [path, results] : std::exchange(held_, {})) sendResponse(path, 0, results);
    }
    void end() {
        for (Closable* s : findChildren<Closable*>(QString(), Qt::FindDirectChildrenOnly))
            if (s->isSession)
                QDBusConnection::sessionBus().send(
                    QDBusMessage::createSignal(s->objectName(), "org.freedesktop.portal.Session",
                                               "Closed")
                    << QVariantMap());
    }

public slots:
    QDBusObjectPath CreateSession(const QVariantMap& options) {
        const QString path = handle("session", options.value("session_handle_token"));
        new Closable(this, path, true);
        return respond(options, 0, {{"session_handle", path}});
    }

    QDBusObjectPath SelectSources(const QDBusObjectPath& sessionPath, const QVariantMap& options) {
        Closable* s = session(sessionPath);
        if (!s) return respond(options, 2, {});
        s->persistMode = options.value("persist_mode").toUInt();
        s->restoreToken = options.value("restore_token").toString();
        // Only windows are shared here: another source type would pick a monitor.
        return respond(options, options.value("types").toUInt() & 2 ? 0 : 2, {});
    }

    QDBusObjectPath Start(const QDBusObjectPath& sessionPath, const QString&,
                          const QVariantMap& options) {
        Closable* s = session(sessionPath);
        if (!s) return respond(options, 2, {});
        // A token is good once: a real portal hands out a new one with every grant.
        say(validTokens_.remove(s->restoreToken) ? "restored" : "dialog");
        if (answer != 0) return respond(options, answer, {});
        QVariantMap results = streams();
        if (s->persistMode == 2) {
            const QString token = QUuid::createUuid().toString(QUuid::WithoutBraces);
            validTokens_.insert(token);
            results.insert("restore_token", token);
            results.insert("persist_mode", QVariant::fromValue(2u));
        }
        if (fault == "hold") {
            const QString path = handle("request", options.value("handle_token"));
            new Closable(this, path, false);
            held_.append({path, results});
            return QDBusObjectPath(path);
        }
        return respond(options, 0, results, fault == "response-s");
    }

    QDBusUnixFileDescriptor OpenPipeWireRemote(const QDBusObjectPath&, const QVariantMap&) {
        const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{.sun_family = AF_UNIX, .sun_path = {}};
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s/pipewire-0",
                      qgetenv("XDG_RUNTIME_DIR").constData());
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
            sendErrorReply(QDBusError::Failed, "no PipeWire");
        QDBusUnixFileDescriptor remote(fd);  // keeps a copy
        ::close(fd);
        return remote;
    }

private:
    /// The object path the handle_token convention gives for the calling client.
    QString handle(const QString& kind, const QVariant& token) const {
        const QString sender = message().service().mid(1).replace('.', '_');
        return "/org/freedesktop/portal/desktop/" + kind + "/" + sender + "/" + token.toString();
    }

    Closable* session(const QDBusObjectPath& path) {
        Closable* s = findChild<Closable*>(path.path(), Qt::FindDirectChildrenOnly);
        return s && s->isSession ? s : nullptr;
    }

    /// Returns the request's path; its Response follows the reply, as a real portal's does, so
    /// a client that subscribes late misses it.
    QDBusObjectPath respond(const QVariantMap& options, uint code, const QVariantMap& results,
                            bool mistyped = false) {
        const QString path = handle("request", options.value("handle_token"));
        QTimer::singleShot(0, this, [path, code, results, mistyped] {
            sendResponse(path, code, results, mistyped);
        });
        return QDBusObjectPath(path);
    }

    /// Start's "streams", as the fault has them: the wrongly typed part in place of the right one.
    QVariantMap streams() const {
        const uint id = fault == "node-any" ? 0xffffffffu : node;
        const QHash<QString, QVariant> sizes{
            {"size-asv", QVariantMap{{"width", size.width()}}},
            {"size-iii", QVariant::fromValue(Triple{{1, 2, 3}})},
            {"size-si", QVariant::fromValue(NamedSize{{"big", 9}})}};
        const QVariantMap properties{{"size", sizes.value(fault, QVariant::fromValue(size))},
                                     {"source_type", QVariant::fromValue(2u)}};
        const QHash<QString, QVariant> streams{
            {"streams-au", QVariant::fromValue(QList<uint>{id})},
            {"streams-auas", QVariant::fromValue(QList<WrongStream>{{{id, {"window"}}}})}};
        return {{"streams",
                 streams.value(fault, QVariant::fromValue(QList<PortalStream>{{id, properties}}))}};
    }

    static void sendResponse(const QString& path, uint code, const QVariantMap& results,
                             bool mistyped = false) {
        QDBusMessage response =
            QDBusMessage::createSignal(path, "org.freedesktop.portal.Request", "Response");
        response << (mistyped ? QVariant(QString::number(code)) : QVariant(code)) << results;
        QDBusConnection::sessionBus().send(response);
    }

    QSet<QString> validTokens_;
    QList<QPair<QString, QVariantMap>> held_;
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    qDBusRegisterMetaType<PortalStream>();
    qDBusRegisterMetaType<QList<PortalStream>>();
    qDBusRegisterMetaType<WrongStream>();
    qDBusRegisterMetaType<QList<WrongStream>>();
    qDBusRegisterMetaType<Triple>();
    qDBusRegisterMetaType<NamedSize>();
    QDBusConnection bus = QDBusConnection::sessionBus();
    ScreenCast portal;
    const QStringList args = app.arguments();
    if (const qsizetype at = args.indexOf("--source-types"); at > 0 && at + 1 < args.size())
        portal.sourceTypes = args.at(at + 1).toUInt();
    if (!bus.registerObject(
            "/org/freedesktop/portal/desktop", &portal,
            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties) ||
        !bus.registerService("org.freedesktop.portal.Desktop"))
        return std::fprintf(stderr, "cannot own the portal on the session bus\n"), 1;
    // The test waits for each answer before it sends the next command: a line at a time.
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        std::string line;
        if (!std::getline(std::cin, line)) return QCoreApplication::quit();  // the test has gone
        int width = 0, height = 0;
        if (std::sscanf(line.c_str(), "node %u %d %d", &portal.node, &width, &height) == 3)
            portal.size = QSize(width, height);
        std::sscanf(line.c_str(), "answer %u", &portal.answer);
        char fault[32] = {};
        if (std::sscanf(line.c_str(), "fault %31s", fault) == 1) portal.fault = fault;
        if (line == "release") portal.release();
        if (line == "end") portal.end();
        say("ok");
    });
    say("ready");
    return app.exec();
}

#include "ScreenCastPortalStandIn.moc"
