// Other clients' toplevel windows from wlr-foreign-toplevel-management, on our own connection.
#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <memory>
#include <vector>

#include "platform/Types.h"
#include "platform/wayland/client/WlPtr.h"

struct wl_output;
struct wl_seat;
struct zwlr_foreign_toplevel_handle_v1;
struct zwlr_foreign_toplevel_manager_v1;

namespace mirano::wayland {

class OutputNames;
class WaylandConnection;
class WaylandRegistry;

/// A toplevel as last completed by the compositor (its `done`).
struct Toplevel {
    /// Our own number for the handle: small, stable while the window lives, never reused.
    WindowNumber number = 0;
    QString appId;
    QString title;
    bool activated = false;
    bool fullScreen = false;
    bool minimized = false;
    bool operator==(const Toplevel&) const = default;
};

/// The list follows the compositor as events arrive on the main thread. The protocol tells
/// neither a window's geometry nor its process; it tells the outputs a window is on.
class ToplevelList : public QObject {
    Q_OBJECT
public:
    /// Connects to $WAYLAND_DISPLAY and reads the current toplevels.
    explicit ToplevelList(QObject* parent = nullptr);
    ~ToplevelList() override;

    /// The compositor offers the protocol and the connection works.
    bool isAvailable() const;
    QList<Toplevel> toplevels() const;
    /// Null when no toplevel has that number (any more).
    const Toplevel* find(WindowNumber number) const;
    /// The toplevel with the activated state, null when none has it.
    const Toplevel* activated() const;
    /// The name of the output the toplevel entered last among those it is still on; empty
    /// when unknown.
    QString outputName(WindowNumber number) const;

    /// Asks the compositor to focus and raise it for our seat.
    void activate(WindowNumber number);
    void unminimize(WindowNumber number);
    /// Waits until the compositor has answered everything sent so far (tests, start-up).
    bool sync();

signals:
    /// A toplevel appeared, changed or went away.
    void changed();

private:
    struct Entry;
    Entry* entry(WindowNumber number) const;
    static void onToplevel(void* data, zwlr_foreign_toplevel_manager_v1*,
                           zwlr_foreign_toplevel_handle_v1* handle);
    static void onFinished(void* data, zwlr_foreign_toplevel_manager_v1*);
    void handleClosed(Entry* entry);

    std::unique_ptr<WaylandConnection> connection_;
    std::unique_ptr<WaylandRegistry> registry_;
    std::unique_ptr<OutputNames> outputs_;
    WlPtr<zwlr_foreign_toplevel_manager_v1> manager_;
    WlPtr<wl_seat> seat_;
    std::vector<std::unique_ptr<Entry>> entries_;
    WindowNumber nextNumber_ = 1;
};

}  // namespace mirano::wayland
