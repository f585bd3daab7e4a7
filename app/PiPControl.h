// What the application shell asks of the PiP controller and the window helpers.
#pragma once

#include <QObject>
#include <QRectF>
#include <optional>

#include "pip/WindowHelpers.h"
#include "platform/EventTap.h"
#include "platform/Types.h"

namespace mirano {

/// The shell's view of the PiP controller: the program uses the shared controller
/// (SharedPiPControl), tests a recording fake. Main thread only.
class PiPControl : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~PiPControl() override = default;

    virtual std::optional<WindowNumber> capturedWindowID() const = 0;
    /// Whether a PiP panel exists.
    virtual bool hasPanel() const = 0;
    /// Whether the PiP is still opening: its stream has no picture yet (a dialog may be open).
    virtual bool isOpening() const = 0;
    /// Whether the pointer is over the PiP panel.
    virtual bool isHovering() const = 0;
    /// The focused window, or nothing.
    virtual std::optional<SourceWindow> focusedWindow() const = 0;
    virtual void startPiP(const SourceWindow& window, std::optional<QRectF> sourceRect) = 0;
    virtual void stopPiP() = 0;
    /// Mirrors the PiP's window again after forgetting the consent kept for its application.
    virtual void chooseAnotherWindow() = 0;
    virtual void handleModifierTap() = 0;
    /// Hides a shown PiP, or shows a hidden one, wherever the pointer is.
    virtual void toggleHidden() = 0;
    virtual void setCommandHeld(bool held) = 0;
    virtual bool isHoveringVisiblePiP() const = 0;
    virtual void zoomBy(double factor) = 0;
    virtual void openFrameRateMenu() = 0;
    virtual void scheduleStreamRestart() = 0;
    virtual void beginRegionSelection() = 0;

signals:
    void capturedWindowIDChanged();
    /// Any input of isHoveringVisiblePiP() may have changed.
    void hoverStateChanged();
    /// A key was pressed on the PiP panel while it had the keyboard focus.
    void panelKeyPressed(const mirano::KeyEvent& event, const QString& text);
};

}  // namespace mirano
