// The PiP controller: at most one session mirroring one window (or a rectangle of it).
#pragma once

#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QSizeF>
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>

#include "pip/PiPServices.h"
#include "pip/WindowHelpers.h"
#include "platform/Types.h"
#include "platform/Windows.h"

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
    /// The mirrored window's application (its process, or the window itself).
    std::optional<AppIdentity> capturedApp() const;
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
    /// The pending timers (present while scheduled and not yet fired or cancelled).
    bool hasFrameRateDebounceTimer() const;
    bool hasResizeDebounceTimer() const;
    bool hasHideAutoCloseTimer() const;

    /// The window helpers on this controller's services.
    const WindowHelpers& windowHelpers() const { return helpers_; }

    // Session lifecycle.
    /// Starts a session; the caller has stopped any previous one. `sourceRect`, when given, is
    /// normalised to the window (fractions, top-left origin).
    void startPiP(const SourceWindow& window, std::optional<QRectF> sourceRect);
    /// Ends the session and any region selection. Safe at any time.
    void stopPiP();
    /// A placed, not yet shown panel for a source of that size (points). Never null.
    std::unique_ptr<PiPPanel> makePanel(double sourceWidth, double sourceHeight);
    /// The capture output size for the panel, in pixels.
    std::pair<std::int64_t, std::int64_t> outputPixelSize(const PiPPanel& panel) const;
    // The stream's operations run one at a time; of requests made meanwhile the last wins.
    void pauseStream();
    void resumeStream();
    /// Stops the stream, waits 0.1 s and starts it again (at the current rate and size). A
    /// restart due while the stream is paused is left to the next resume, which rebuilds it.
    void restartStream();

    // Source-window tracking and focus behaviour.
    void handleAppActivation(const AppIdentity& application);
    void updateFullscreenSuppression();
    void handleModifierTap();
    /// Hides a shown PiP or shows a hidden one, as a modifier tap over it does without
    /// auto-hide; the pointer may be anywhere.
    void toggleHidden();
    void setCommandHeld(bool held);
    void mouseEnteredPanel();
    void mouseExitedPanel();
    void showPiP();
    void hidePiP();
    /// True when a panel exists, is not hidden, is fully opaque and the pointer is over it.
    bool isHoveringVisiblePiP() const;

    // Zoom and resize.
    /// Zooms around the pointer by `factor` (0.85 in, 1/0.85 out).
    void zoomBy(double factor);
    /// Narrows the shown rectangle to a normalised part of what is shown now.
    void zoomToSelection(const QRectF& selection);
    void resetZoom();
    bool isWholeWindow(const QRectF& rect) const;
    void panelResized(const QSizeF& size);
    void applyPanelResize();

    // Frame rate.
    void openFrameRateMenu();
    void frameRateChanged(int framesPerSecond);
    void scheduleStreamRestart();

    // Window front and region selection.
    /// Gives the captured window back to the user: un-minimised, frontmost and focused.
    void bringSourceWindowToFront();
    void beginRegionSelection();

signals:
    void capturedWindowIDChanged();
    /// Any input of isHoveringVisiblePiP() may have changed.
    void hoverStateChanged();

private:
    // Property setters: store and signal only on a change.
    void setCapturedWindowID(std::optional<WindowNumber> value);
    void setHovering(bool value);
    void setPipPanel(std::unique_ptr<PiPPanel> panel);
    void setPiPHidden(bool value);
    void setRegionSelectionPanel(std::unique_ptr<RegionSelectionPanel> panel);
    /// Invalidates and drops a timer.
    static void cancelTimer(std::unique_ptr<Timer>& timer);
    /// Runs `action` once, `seconds` from now, replacing whatever `timer` held. The timer is
    /// dropped when it fires; the closure holds the controller weakly.
    void scheduleOnce(std::unique_ptr<Timer>& timer, double seconds, void (PiPManager::*action)());

    /// Gives the panel a new frame, kept inside the main screen's visible area.
    void setPanelFrame(const QRectF& frame);
    /// Sets the panel's alpha (animated or not) and reports the hover inputs.
    void setPanelAlpha(double alpha, bool animated);
    void wirePanel(PiPPanel& panel);
    /// The window's size; 800 x 600 stand in when it cannot be measured.
    QSizeF measureWindow(WindowNumber windowID);
    /// Starts the next stream operation the requests call for, unless one is under way.
    void driveStream();
    /// Stores the width of a resize that has settled.
    void storePendingPipWidth();
    void startCaptureTask(const std::shared_ptr<StreamManager>& manager, WindowNumber windowID,
                          std::optional<std::int64_t> width, std::optional<std::int64_t> height,
                          const QRectF& sourceRect);
    void showPausedOverlay();
    void removePausedOverlay();
    void applySourceRect(const QRectF& rect);

    PiPServices services_;
    WindowHelpers helpers_;

    std::optional<WindowNumber> capturedWindowID_;
    bool isHovering_ = false;
    std::optional<AppIdentity> capturedApp_;
    std::optional<QString> capturedBundleID_;
    QPointer<PiPPanel> pipPanel_;  // owned; released with deleteLater()
    std::shared_ptr<StreamManager> streamManager_;
    bool isPiPHidden_ = false;
    bool isPaused_ = false;
    QMetaObject::Connection activationObserver_;
    QMetaObject::Connection fullScreenObserver_;
    bool autoHideOverride_ = false;
    bool isFullscreenSuppressed_ = false;
    std::unique_ptr<Timer> frameRateDebounceTimer_;
    std::unique_ptr<Timer> resizeDebounceTimer_;
    std::unique_ptr<Timer> hideAutoCloseTimer_;
    QPointer<RegionSelectionPanel> regionSelectionPanel_;  // owned; released with deleteLater()
    QSizeF sourceWindowSize_{0, 0};
    QRectF currentSourceRect_{0, 0, 0, 0};
    // The stream's wanted state and whether an operation on it is under way.
    bool streamWanted_ = true;
    bool restartWanted_ = false;
    bool streamBusy_ = false;
    std::optional<int> pendingPipWidth_;
};

}  // namespace mirano
