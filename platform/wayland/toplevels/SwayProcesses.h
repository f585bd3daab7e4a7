// The processes of sway's windows, read from its tree over its IPC socket: the foreign-toplevel
// protocol names no process, and pausing for the mirrored application needs one.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QLocalSocket>
#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>
#include <optional>

#include "platform/Types.h"

namespace mirano::wayland {

/// Asks sway for its tree (GET_TREE) whenever told that the windows changed, one request at a
/// time, and keeps which process each (app id, title) belongs to. Main thread only.
class SwayProcesses : public QObject {
    Q_OBJECT
public:
    /// Null where $SWAYSOCK is unset (not sway, or not its session).
    static std::unique_ptr<SwayProcesses> connectToSway(QObject* parent = nullptr);
    SwayProcesses(const QString& socketPath, QObject* parent);

    /// The windows changed: the tree is read again.
    void refresh();
    /// The process of the window with that app id and title, when sway's last tree names one
    /// and only one process for them.
    std::optional<ProcessID> processOf(const QString& appId, const QString& title) const;

    /// Answers larger than this are refused: a tree of thousands of windows is far smaller.
    static constexpr qint64 kMaxReply = 16 << 20;
    static constexpr int kAnswerMs = 2000;

signals:
    /// A new tree was read, or none will be (the IPC failed): processOf() may answer anew.
    void changed();

private:
    void send();
    void readReply();
    void takeTree(const QByteArray& json);
    /// Says once why the processes are unknown, and stops asking.
    void giveUp(const QString& why);

    QLocalSocket socket_;
    QTimer answerTimer_;
    QByteArray received_;
    bool asking_ = false;
    bool askAgain_ = false;
    bool gaveUp_ = false;
    // The processes seen for each "app id\ntitle"; -1 where two differ.
    QHash<QString, ProcessID> processes_;
};

}  // namespace mirano::wayland
