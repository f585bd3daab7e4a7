// The PiP controller: at most one session mirroring one window (or a rectangle of it).
#pragma once

#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QSize>
#include <QSizeF>
#include <memory>
#include <optional>

#include "pip/PiPServices.h"
#include "pip/PiPVisibility.h"
#include "pip/WindowHelpers.h"
#include "platform/EventTap.h"
#include "platform/Frame.h"
#include "platform/Screens.h"
#include "platform/Types.h"
#include "platform/Windows.h"

namespace mirano {

class PiPPanel;
class RegionSelectionPanel;
class StreamManager;
class Timer;

/// Main thread only. The stream, the panel and the region panel reach it through their signals,
/// and only while they are the session's: each is disconnected when it is retired.
class PiPManager : public QObject {
    Q_OBJECT
public:
    explicit PiPManager(const PiPServices& services, QObject* parent = nullptr);
    ~PiPManager() override;

    /// The process-wide controller on the real services.
    static PiPManager& shared();

    // Session state; nothing while no session runs.
    std::optional<WindowNumber> capturedWindowID() const;
    /// The mirrored window's application (its process, or the window itself).
    std::optional<AppIdentity> capturedApp() const { return capturedApp_; }
    PiPPanel* pipPanel() const;
    /// The session's stream, which owns the window, its size and the rectangle shown.
    StreamManager* streamManager() const { return streamManager_.get(); }
    RegionSelectionPanel* regionSelectionPanel() const;
    /// How the running PiP shows itself (hover, hide, pause, full screen).
    const PiPVisibility& visibility() const { return visibility_; }
    /// The session's stream has no picture yet (the desktop may be asking the user): its panel
    /// is not shown, so that it is kept out of the desktop's dialog and shows no empty PiP.
    bool isOpening() const { return opening_; }
    /// True when a panel exists, is not hidden, is fully opaque and the pointer is over it.
    bool isHoveringVisiblePiP() const;

    /// Starts a session; the caller has stopped any previous one. `sourceRect`, when given, is
    /// normalised to the window (fractions, top-left origin).
    void startPiP(const SourceWindow& window, std::optional<QRectF> sourceRect);
    /// Ends the session and any region selection. Safe at any time.
    void stopPiP();
    /// Forgets the consent kept for the mirrored application and mirrors its window again, so
    /// that the desktop asks which window to share (a wrong pick is not kept for ever).
    void chooseAnotherWindow();

    // Hotkey actions.
    void handleModifierTap();
    /// Hides a shown PiP or shows a hidden one, as a modifier tap over it does without
    /// auto-hide; the pointer may be anywhere.
    void toggleHidden();
    void setCommandHeld(bool held);
    /// Zooms around the pointer by `factor` (0.85 in, 1/0.85 out).
    void zoomBy(double factor);
    void openFrameRateMenu();
    /// Restarts the stream at the current frame rate once picks have settled.
    void scheduleStreamRestart();
    /// Lays a region panel over the focused window (or, over the mirrored one, only closes).
    /// Where the desktop does not tell where the window is, the panel shows a still frame of it
    /// in the middle of the main screen instead, and the PiP keeps the stream of that frame.
    void beginRegionSelection();

signals:
    void capturedWindowIDChanged();
    /// Any input of isHoveringVisiblePiP() may have changed.
    void hoverStateChanged();
    /// A key was pressed on the panel while it had the keyboard focus.
    void panelKeyPressed(const mirano::KeyEvent& event, const QString& text);

private:
    // Source-window tracking and focus behaviour.
    void handleAppActivation(const AppIdentity& application);
    void updateFullscreenSuppression();
    /// Runs one visibility transition and carries out its effects.
    void applyVisibility(const PiPVisibility::Event& event);
    bool autoHideOnHover() const;
    void showPausedOverlay();
    /// Ends the opening: the panel shows, unless its visibility says otherwise.
    void finishOpening();
    void removePausedOverlay();

    /// Starts a session on `stream` when given (opened for the window and paused), else on a
    /// new one; the `measured` window size in points. Without one, 800 x 600 stand in until the
    /// stream tells the window's size.
    void startSession(const SourceWindow& window, std::optional<QRectF> sourceRect,
                      std::optional<QSizeF> measured, std::shared_ptr<StreamManager> stream);
    /// Takes the window's size from the stream (or else from `frame`) where it was unknown at
    /// the start: the panel takes its shape, in its corner, and the stream its output size.
    void takeStreamWindowSize(const Frame& frame);
    /// Opens a stream of the window, to select the region on its first frame.
    void selectRegionOnStill(const SourceWindow& window);
    /// Shows the region panel over the still frame, in the middle of the main screen.
    void showStill(const SourceWindow& window, const Frame& still);
    /// Stops the stream that a region selection holds for its PiP, if any.
    void dropStillStream();

    // Panels.
    /// A placed, not yet shown panel for a source of that size (points) on `screen`.
    std::unique_ptr<PiPPanel> makePanel(const QSizeF& source,
                                        const std::optional<ScreenInfo>& screen);
    /// Where a panel `width` wide for a source of that size goes: in the configured corner of
    /// `screen`, shrunk as needed to fit it.
    QRectF panelFrame(const QSizeF& source, int width,
                      const std::optional<ScreenInfo>& screen) const;
    /// The screen holding the window: by its frame, else by the name the desktop tells, else
    /// the one under the pointer; else the primary screen.
    std::optional<ScreenInfo> windowScreen(WindowNumber windowID) const;
    /// The screen the panel is on now (by its centre, else most of it), else the primary one.
    std::optional<ScreenInfo> panelScreen(const PiPPanel& panel) const;
    /// A panel whose centre is left on no screen (its screen went away) goes to its corner of
    /// the main screen.
    void screensChanged();
    void connectPanel(PiPPanel& panel);
    /// Puts `next` in place of the current panel; the old one is disconnected and deleted later.
    void setPipPanel(std::unique_ptr<PiPPanel> next);
    void setRegionSelectionPanel(std::unique_ptr<RegionSelectionPanel> next);
    /// The capture output size for the panel, in pixels.
    QSize outputPixelSize(const PiPPanel& panel) const;
    /// The window's size; nothing when it cannot be measured.
    std::optional<QSizeF> measureWindow(WindowNumber windowID);
    /// Gives the panel a new frame, kept inside the visible area of the screen it is on.
    void setPanelFrame(const QRectF& frame);
    /// Gives the captured window back to the user: un-minimised, frontmost and focused.
    void bringSourceWindowToFront();

    // Zoom, resize and frame rate.
    /// Narrows the shown rectangle to a normalised part of what is shown now.
    void zoomToSelection(const QRectF& selection);
    void resetZoom();
    void showSourceRect(const QRectF& rect);
    void panelResized(const QSizeF& size);
    void applyPanelResize();
    /// Stores the width of a resize that has settled.
    void storePendingPipWidth();
    void frameRateChanged(int framesPerSecond);
    void restartStream();

    /// Invalidates and drops a timer.
    static void cancelTimer(std::unique_ptr<Timer>& timer);
    /// Runs `action` once, `seconds` from now, replacing whatever `timer` held. The timer is
    /// dropped when it fires; the closure holds the controller weakly.
    void scheduleOnce(std::unique_ptr<Timer>& timer, double seconds, void (PiPManager::*action)());

    PiPServices services_;
    WindowHelpers helpers_;

    std::optional<AppIdentity> capturedApp_;
    QPointer<PiPPanel> pipPanel_;  // owned; released with deleteLater()
    std::shared_ptr<StreamManager> streamManager_;
    PiPVisibility visibility_;
    std::unique_ptr<Timer> frameRateDebounceTimer_;
    std::unique_ptr<Timer> resizeDebounceTimer_;
    std::unique_ptr<Timer> hideAutoCloseTimer_;
    QPointer<RegionSelectionPanel> regionSelectionPanel_;  // owned; released with deleteLater()
    /// The stream of the still a region is being selected on, kept for the PiP that follows.
    std::shared_ptr<StreamManager> stillStream_;
    std::optional<int> pendingPipWidth_;
    /// The whole window is shown at a stand-in size until the stream tells its size.
    bool windowSizePending_ = false;
    bool opening_ = false;
};

}  // namespace mirano
