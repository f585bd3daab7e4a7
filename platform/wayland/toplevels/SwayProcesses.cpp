#include "platform/wayland/toplevels/SwayProcesses.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstring>

#include "platform/Log.h"

namespace mirano::wayland {

namespace {
// sway's IPC: "i3-ipc", then the payload's length and the message type, each 32 bits in the
// machine's order, then the payload.
constexpr char kMagic[] = "i3-ipc";
constexpr int kMagicSize = 6;
constexpr int kHeaderSize = kMagicSize + 8;
constexpr std::uint32_t kGetTree = 4;
// Deeper trees than this are no sway tree (workspaces hold containers a few levels deep).
constexpr int kMaxDepth = 64;

QByteArray message(std::uint32_t type) {
    QByteArray bytes(kMagic, kMagicSize);
    const std::uint32_t header[2] = {0, type};
    bytes.append(reinterpret_cast<const char*>(header), sizeof header);
    return bytes;
}

QString keyOf(const QString& appId, const QString& title) {
    return appId + QLatin1Char('\n') + title;
}

/// Every view of the tree under `node`: its app id (X11 windows: their class), title, process.
void collectViews(const QJsonObject& node, int depth, QHash<QString, ProcessID>& processes) {
    if (depth > kMaxDepth) return;
    const int pid = node.value(QLatin1String("pid")).toInt(0);
    if (pid > 0) {
        QString appId = node.value(QLatin1String("app_id")).toString();
        if (appId.isEmpty())
            appId = node.value(QLatin1String("window_properties"))
                        .toObject()
                        .value(QLatin1String("class"))
                        .toString();
        const QString key = keyOf(appId, node.value(QLatin1String("name")).toString());
        const auto seen = processes.constFind(key);
        processes.insert(key, seen == processes.constEnd() || *seen == pid ? pid : -1);
    }
    for (const char* children : {"nodes", "floating_nodes"})
        for (const QJsonValue& child : node.value(QLatin1String(children)).toArray())
            collectViews(child.toObject(), depth + 1, processes);
}
}  // namespace

std::unique_ptr<SwayProcesses> SwayProcesses::connectToSway(QObject* parent) {
    const QString path = qEnvironmentVariable("SWAYSOCK");
    if (path.isEmpty()) return nullptr;
    return std::make_unique<SwayProcesses>(path, parent);
}

SwayProcesses::SwayProcesses(const QString& socketPath, QObject* parent) : QObject(parent) {
    answerTimer_.setSingleShot(true);
    connect(&answerTimer_, &QTimer::timeout, this, [this] {
        giveUp(QStringLiteral("it did not answer within %1 s").arg(kAnswerMs / 1000));
    });
    connect(&socket_, &QLocalSocket::readyRead, this, &SwayProcesses::readReply);
    connect(&socket_, &QLocalSocket::errorOccurred, this,
            [this] { giveUp(socket_.errorString()); });
    connect(&socket_, &QLocalSocket::connected, this, &SwayProcesses::send);
    asking_ = true;
    answerTimer_.start(kAnswerMs);
    socket_.connectToServer(socketPath);
}

void SwayProcesses::refresh() {
    if (gaveUp_) return;
    if (asking_) {
        askAgain_ = true;
        return;
    }
    asking_ = true;
    send();
    answerTimer_.start(kAnswerMs);
}

void SwayProcesses::send() { socket_.write(message(kGetTree)); }

void SwayProcesses::readReply() {
    received_ += socket_.readAll();
    while (received_.size() >= kHeaderSize) {
        if (std::memcmp(received_.constData(), kMagic, kMagicSize) != 0)
            return giveUp(QStringLiteral("its answer is not of its protocol"));
        std::uint32_t header[2];
        std::memcpy(header, received_.constData() + kMagicSize, sizeof header);
        if (header[0] > kMaxReply)
            return giveUp(QStringLiteral("its answer is too large (%1 bytes)").arg(header[0]));
        if (received_.size() < kHeaderSize + qint64(header[0])) return;
        const QByteArray payload = received_.mid(kHeaderSize, qsizetype(header[0]));
        received_.remove(0, kHeaderSize + qsizetype(header[0]));
        if (header[1] == kGetTree) takeTree(payload);
    }
}

void SwayProcesses::takeTree(const QByteArray& json) {
    answerTimer_.stop();
    asking_ = false;
    const QJsonDocument tree = QJsonDocument::fromJson(json);
    if (!tree.isObject()) return giveUp(QStringLiteral("its tree is not JSON"));
    QHash<QString, ProcessID> processes;
    collectViews(tree.object(), 0, processes);
    processes_ = std::move(processes);
    emit changed();
    if (std::exchange(askAgain_, false)) refresh();
}

std::optional<ProcessID> SwayProcesses::processOf(const QString& appId,
                                                  const QString& title) const {
    const ProcessID pid = processes_.value(keyOf(appId, title), -1);
    return pid > 0 ? std::optional(pid) : std::nullopt;
}

void SwayProcesses::giveUp(const QString& why) {
    if (gaveUp_) return;
    gaveUp_ = true;
    answerTimer_.stop();
    socket_.abort();
    processes_.clear();
    logLine(QStringLiteral("sway's IPC cannot tell the windows' processes (%1): pausing for the "
                           "mirrored application goes by its window alone.")
                .arg(why));
    emit changed();
}

}  // namespace mirano::wayland
