// The PiP controller: at most one session mirroring one window (or a rectangle of it).
#pragma once

#include "platform/Types.h"

#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QSizeF>
#include <memory>
#include <optional>

namespace mirano {

class AppSettings;
class PiPPanel;
class RegionSelectionPanel;
class StreamManager;
class Timer;
struct PiPServices;

/// Main thread only. Every stored property emits its own change signal, only when the value
/// actually changes.
class PiPManager : public QObject {
    Q_OBJECT
public:
    explicit PiPManager(const PiPServices& services, QObject* parent = nullptr);
    ~PiPManager() override;

    /// The process-wide controller on the real services.
    static PiPManager& shared();

    // Session state.
    std::optional<WindowNumber> capturedWindowID() const;
    bool isHovering() const;
    std::optional<WindowElement> capturedWindowElement() const;
    std::optional<ProcessID> capturedAppPID() const;
    std::optional<QString> capturedBundleID() const;
    PiPPanel* pipPanel() const;
    StreamManager* streamManager() const;
    bool isPiPHidden() const;
    bool isPaused() const;
    bool autoHideOverride() const;
    bool isFullscreenSuppressed() const;
    RegionSelectionPanel* regionSelectionPanel() const;
    QSizeF sourceWindowSize() const;
    QRectF currentSourceRect() const;

    // Session lifecycle.
    void startPiP(WindowElement element, WindowNumber windowID, ProcessID pid,
                  std::optional<QRectF> sourceRect);
    void stopPiP();

    // Source-window tracking and focus behaviour.
    void handleModifierTap();
    void setCommandHeld(bool held);
    /// True when a panel exists, is not hidden, is fully opaque and the pointer is over it.
    bool isHoveringVisiblePiP() const;

    // Zoom, frame rate, region selection.
    void zoomBy(double factor);
    void openFrameRateMenu();
    void scheduleStreamRestart();
    void beginRegionSelection();

signals:
    void capturedWindowIDChanged();
    /// Any input of isHoveringVisiblePiP() may have changed.
    void hoverStateChanged();
};

}  // namespace mirano
