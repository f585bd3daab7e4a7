// The PiP panel and what it shows, offscreen on a fake window system. The panel: configuration,
// geometry and resize reports, alpha and click-through with and without a compositing manager,
// the resize border. (That it floats without taking the focus, where it was asked, is checked on
// a real display.) Its capture view: hover and the hint overlay, Command-drag zoom selections,
// double-clicks, the frame-rate menu and the frame display. The overlays: texts, fonts, eliding,
// rendering, and that their symbols have glyphs.
#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

#include <QAction>
#include <QCursor>
#include <QGraphicsOpacityEffect>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QTest>
#include <QTextLayout>
#include <QToolButton>
#include <memory>

#include "tests/fakes/FakeCaptureService.h"
#include "tests/fakes/FakePanelWindowSystem.h"
#include "tests/fakes/FakePictureSurface.h"
#include "tests/support/Pixels.h"
#include "tests/window/WindowTestSupport.h"
#include "window/CaptureView.h"
#include "window/CloseButton.h"
#include "window/ElidedLabel.h"
#include "window/OverlayView.h"
#include "window/PausedOverlayView.h"
#include "window/PiPPanel.h"

namespace mirano {
namespace {

using namespace testing;

/// Panels on the fake window system, and what they reported.
struct PiPPanelTest : ::testing::Test, fakes::MemorySettings {
    std::unique_ptr<PiPPanel> make(bool compositor, QRectF frame = QRectF(100, 120, 320, 200)) {
        windowSystem.compositor = compositor;
        auto p = std::make_unique<PiPPanel>(frame, windowSystem, settings);
        calls.attach(*p);
        return p;
    }
    /// What the window system last applied to the panel's window.
    auto state(PiPPanel& p) const { return windowSystem.state(p.windowHandle()); }
    /// Whether the panel's shape was last set and contains `point`.
    bool shapeHas(PiPPanel& p, QPoint point) const {
        return state(p).shape && state(p).shape->contains(point);
    }

    fakes::FakePanelWindowSystem windowSystem;
    PanelCalls calls;
};

/// The capture view of a 400 x 300 panel.
struct CaptureViewTest : PiPPanelTest {
    bool overlayShown() const { return view->overlayHostingView() != nullptr; }
    /// A double-click as Qt reports its second press.
    void doubleClick(QPointF at, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QMouseEvent event(QEvent::MouseButtonDblClick, at, view->mapToGlobal(at), Qt::LeftButton,
                          Qt::LeftButton, modifiers);
        QApplication::sendEvent(view, &event);
    }

    std::unique_ptr<PiPPanel> panel = make(true, QRectF(100, 100, 400, 300));
    CaptureView* view = &panel->captureView();
};

TEST_F(PiPPanelTest, EverySizeChangeIsReportedOnceSizeConstraintsStayAndKeysAreReported) {
    auto panel = make(true);
    panel->setFrame(QRectF(100, 120, 320, 100));
    panel->setFrame(QRectF(300, 50, 320, 100));  // moved only: no report
    panel->showWithoutActivating();
    QCoreApplication::processEvents();
    panel->setFrame(QRectF(300, 50, 400, 250));
    panel->resize(410, 256);  // as the window manager would
    EXPECT_EQ(calls.resizes, (QList<QSizeF>{{320, 100}, {400, 250}, {410, 256}}));

    // Size constraints survive geometry changes. (That they reach the window manager is seen
    // on a real display: the minimum size and the aspect kept while resizing.)
    panel->setContentMinSize({150, 150});
    panel->setContentAspectRatio({1280, 800});
    // Qt rewrites the hints when it moves or shows the window: they are put back each time
    // (that they survive showing is seen on a real display).
    const int before = state(*panel).constraintCalls;
    panel->setFrame(QRectF(0, 0, 320, 200));
    panel->showWithoutActivating();
    EXPECT_GE(state(*panel).constraintCalls, before + 2);

    // Key presses are reported as the tap would, with what they typed.
    using Seen = std::tuple<std::uint16_t, Modifiers, QString>;
    QList<Seen> seen;
    QObject::connect(&*panel, &PiPPanel::keyPressed, [&](const KeyEvent& e, const QString& text) {
        seen.append({e.key, e.modifiers, text});
    });
    // X11 and Wayland give the xkb key code; offscreen there is none.
    QKeyEvent comma(QEvent::KeyPress, Qt::Key_Comma, Qt::MetaModifier | Qt::ShiftModifier,
                    KEY_COMMA + 8, 0, 0, QStringLiteral(","));
    QKeyEvent backspace(QEvent::KeyPress, Qt::Key_Backspace, Qt::ControlModifier | Qt::AltModifier,
                        QStringLiteral("\b"));
    QApplication::sendEvent(&*panel, &comma);
    QApplication::sendEvent(&*panel, &backspace);
    EXPECT_EQ(seen, (QList<Seen>{{KEY_COMMA, Modifier::LeftSuper | Modifier::Shift, ","},
                                 {0, Modifier::LeftCtrl | Modifier::LeftAlt, "\b"}}));
}

TEST_F(PiPPanelTest, AlphaIsWindowOpacityWithACompositorAndElseAShapeAndADimmedPicture) {
    // (The corners painted translucent show what is below: PiPPanelX11Test, composited.)
    auto panel = make(true);
    // (An alpha set at once reaches the screen: PiPPanelX11Test, composited, at alpha 0.)
    panel->showWithoutActivating();
    panel->animateOpacity(0.0);
    // The corners are painted, not cut; the target reads back at once while the picture fades.
    EXPECT_EQ(std::tuple(state(*panel).shapeSet, panel->opacity(), state(*panel).opacity > 0),
              std::tuple(false, 0.0, true));
    EXPECT_TRUE(QTest::qWaitFor([&] { return state(*panel).opacity == 0.0; }, 2000));
    // (Fading back in reaches the screen: PiPPanelX11Test, composited.)

    // Click-through (that clicks pass and hover comes from polling the pointer meanwhile is
    // checked on a real display).
    panel->setIgnoresMouseEvents(true);

    // Qt's own crossing events say nothing while the input passes through.
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(panel->windowHandle(), &leave);

    // Taking the mouse again catches up at once with where the pointer is.
    windowSystem.pointer = panel->geometry().center();
    panel->setIgnoresMouseEvents(false);
    EXPECT_EQ(std::tuple(calls.exited, calls.entered, state(*panel).passThrough,
                         panel->captureView().isPointerInside()),
              std::tuple(0, 1, false, true));

    // Where the pointer is seen only over Mirano's windows, the panel keeps the mouse: its
    // crossings stay the hover.
    windowSystem.pointerEverywhere = false;
    panel->setIgnoresMouseEvents(true);
    QApplication::sendEvent(panel->windowHandle(), &leave);
    EXPECT_EQ(std::pair(state(*panel).passThrough, calls.exited), std::pair(false, 1));

    // Without a compositor the shape follows resizes and fades. (The rounded corners and the
    // shape emptied at alpha 0 are checked on a real display.)
    auto plain = make(false);
    plain->setOpacity(0.1);
    plain->setOpacity(1.0);
    EXPECT_TRUE(shapeHas(*plain, {160, 100}));

    // A resize reshapes the mask to the new size.
    plain->setFrame(QRectF(100, 120, 500, 300));
    EXPECT_EQ(std::pair(shapeHas(*plain, {450, 150}), shapeHas(*plain, {499, 299})),
              std::pair(true, false));

    plain->showWithoutActivating();
    plain->animateOpacity(0.0);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return state(*plain).shape.value_or(QRect(0, 0, 1, 1)).isEmpty(); }, 2000));
}

TEST_F(CaptureViewTest, ZoomSelectionsAreClampedNormalisedMustExceedTenPointsAndNeedAPanel) {
    // Drags with Command held (each press a single click, `1, true`).
    dragThrough(*view, {100, 100}, {110, 150}, 1, true);  // 10 x 50: none
    dragThrough(*view, {100, 100}, {150, 110}, 1, true);  // 50 x 10: none
    dragThrough(*view, {100, 100}, {110.5, 110.5}, 1, true);
    EXPECT_EQ(view->selectionLayer(), nullptr);

    // Dragged beyond the view: clamped, and normalised from the top-left.
    view->mouseDownAt({200, 150}, 1, true);
    view->mouseDraggedTo({-80, 420});
    EXPECT_EQ(std::pair(view->selectionRect(), view->selectionLayer() != nullptr),
              std::pair(QRectF(0, 150, 200, 150), true));
    view->mouseUpAt({-80, 420});
    // Up-right past the far corner ends at (400, 0): the top-right quarter.
    dragThrough(*view, {200, 150}, {900, -900}, 1, true);

    // None while zoomed or without Command.
    view->setZoomed(true);
    dragThrough(*view, {50, 50}, {300, 250}, 1, true);
    view->setZoomed(false);
    view->mouseDownAt({50, 50}, 1, false);
    view->mouseDraggedTo({300, 250});
    EXPECT_EQ(std::tuple(view->isDraggingZoom(), view->selectionLayer()),
              std::tuple(false, nullptr));
    view->mouseUpAt({300, 250});

    // Without a panel the zoom is recognised, just reported to nobody.
    CaptureView orphan(QRectF(0, 0, 200, 100), settings);
    orphan.mouseEnteredView();
    dragThrough(orphan, {10, 10}, {150, 90}, 1, true);
    EXPECT_TRUE(orphan.suppressOverlay());
    EXPECT_EQ(calls.zooms, (QList<QRectF>{{100.0 / 400, 100.0 / 300, 10.5 / 400, 10.5 / 300},
                                          {0, 0.5, 0.5, 0.5},
                                          {0.5, 0, 0.5, 0.5}}));
    EXPECT_EQ(calls.total(), 3);
}

TEST_F(CaptureViewTest, HoverShowsTheOverlayUnlessCommandIsHeldOrAZoomWasJustCommitted) {
    const auto act = [&](char step) {
        if (step == 'C' || step == 'c') view->setCommandHeld(step == 'C');
        if (step == 'E') view->mouseEnteredView();
        if (step == 'X') view->mouseExitedView();
        if (step == 'S') view->showOverlay();
        if (step == 'Z') dragThrough(*view, {20, 20}, {220, 170}, 1, true);
        if (step == 'z') dragThrough(*view, {20, 20}, {25, 25}, 1, true);
    };
    // Each step, then 1 if the overlay shows after it: Command held (C) or released (c), the
    // pointer entering (E) or leaving (X), a refresh (S), a zoom (Z) or a selection too small for
    // one (z).
    const std::string walk =
        // Command held keeps it away, though the hover is reported.
        "C0E0X0c0E1"
        // Command hides it for the zoom drag, releasing brings a fresh one back.
        "C0c1X0"
        // After a committed zoom it stays away until the pointer leaves.
        "E1C0Z0c0C0c0S0X0E1"
        // A too small selection keeps it away only until Command is released.
        "C0z0c1";
    for (std::size_t i = 0; i < walk.size(); i += 2) {
        act(walk[i]);
        EXPECT_EQ(overlayShown(), walk[i + 1] == '1') << "step " << i / 2 << ": " << walk[i];
    }
    EXPECT_EQ(std::tuple(calls.entered, calls.exited, calls.zooms.size(),
                         overlayShown() ? view->overlayHostingView()->geometry() : QRect()),
              std::tuple(4, 3, 1, view->rect()));
}

TEST_F(CaptureViewTest, OverlayAndFrameRateMenuShowTheCurrentSettingsAndForwardWhatIsPicked) {
    settings.setModifierRaw("rightOption");
    settings.setFrameRate(24);
    view->mouseEnteredView();
    auto overlay = [&] { return qobject_cast<OverlayView*>(view->overlayHostingView()); };
    ASSERT_NE(overlay(), nullptr);
    EXPECT_EQ(std::tuple(overlay()->content().modifierName, overlay()->content().frameRate,
                         overlay()->content().isZoomed),
              std::tuple(QStringLiteral("⌥ Right Option"), 24, false));
    // A refresh rebuilds the overlay from the values of the moment.
    view->setZoomed(true);
    view->updateOverlay();
    ASSERT_TRUE(overlay() && overlay()->content().isZoomed);
    QTest::mouseClick(overlay()->closeButton(), Qt::LeftButton);
    // The rate button opens the view's menu.
    QTest::mousePress(overlay()->frameRateButton(), Qt::LeftButton);
    ASSERT_TRUE(view->frameRateMenu());
    view->frameRateMenu()->actions().at(4)->trigger();  // 30 fps
    EXPECT_EQ(std::pair(calls.close, calls.rates), std::pair(1, QList<int>{30}));
    // Once it closes, the overlay shows the rate picked while the pointer is over the view, and
    // goes when the pointer went elsewhere meanwhile (no crossing is told during a menu).
    settings.setFrameRate(30);
    for (const auto& [pointer, shown] :
         {std::pair(QPoint(50, 50), true), {QPoint(-80, 10), false}}) {
        QCursor::setPos(view->mapToGlobal(pointer));
        if (!view->frameRateMenu()) view->showFrameRateMenu();
        view->frameRateMenu()->close();
        QCoreApplication::processEvents();
        EXPECT_EQ(std::pair(overlayShown(), overlay() ? overlay()->content().frameRate : 0),
                  std::pair(shown, shown ? 30 : 0))
            << pointer.x();
    }
    settings.setFrameRate(24);

    // The menu checks only the current rate, and a pick does not change the rate itself.
    std::unique_ptr<QMenu> menu;
    auto items = [&] {
        menu.reset(view->buildFrameRateMenu());
        QStringList all;
        for (QAction* a : menu->actions()) all << a->text() + (a->isChecked() ? " *" : "");
        return all;
    };
    EXPECT_EQ(items(), (QStringList{"1 fps", "5 fps", "10 fps", "24 fps *", "30 fps", "60 fps"}));
    settings.setFrameRate(15);
    EXPECT_EQ(items(), (QStringList{"1 fps", "5 fps", "10 fps", "24 fps", "30 fps", "60 fps"}));
    menu->actions().at(0)->trigger();
    EXPECT_EQ(std::pair(calls.rates, menu->actions().at(0)->isChecked()),
              std::pair(QList<int>{30, 1}, false));

    // It pops up at the pointer, clamped to the view (a pointer above and left of the view
    // puts it at the view's corner).
    panel->showWithoutActivating();
    const QPoint topLeft = view->mapToGlobal(QPoint(0, 0));
    for (const auto& [pointer, at] :
         {std::pair(QPoint(120, 80), QPoint(120, 80)), std::pair(QPoint(-50, -40), QPoint(0, 0))}) {
        QCursor::setPos(topLeft + pointer);
        view->showFrameRateMenu();
        ASSERT_TRUE(view->frameRateMenu() && view->frameRateMenu()->isVisible());
        EXPECT_EQ(view->frameRateMenu()->pos(), topLeft + at);
        view->frameRateMenu()->close();
    }
}

TEST_F(CaptureViewTest, QtEventsReachTheGesturesInViewCoordinatesPlainPressesMoveAndEdgesResize) {
    // A double-click resets the zoom with Command and is a plain double-click without.
    doubleClick({200, 150}, Qt::MetaModifier);
    EXPECT_EQ(std::tuple(calls.resetZoom, calls.doubleClick, view->suppressOverlay()),
              std::tuple(1, 0, true));
    doubleClick({200, 150});
    EXPECT_EQ(std::tuple(calls.resetZoom, calls.doubleClick, view->isDraggingZoom()),
              std::tuple(1, 1, false));

    QTest::mousePress(view, Qt::LeftButton, Qt::MetaModifier, {100, 200});
    QTest::mouseMove(view, {300, 50});
    EXPECT_EQ(view->selectionRect(), QRectF(100, 50, 200, 150));
    QTest::mouseRelease(view, Qt::LeftButton, Qt::MetaModifier, {300, 50});
    EXPECT_EQ(std::pair(calls.zooms, state(*panel).moves),
              std::pair(QList<QRectF>{QRectF(0.25, 50.0 / 300, 0.5, 0.5)}, 0));

    // A plain press moves the panel, only while movable.
    QTest::mouseClick(view, Qt::LeftButton, {}, {200, 150});
    EXPECT_EQ(state(*panel).moves, 1);
    panel->setMovableByWindowBackground(false);
    QTest::mouseClick(view, Qt::LeftButton, {}, {200, 150});

    // A Command press never moves, even when movable; an edge press resizes instead.
    panel->setMovableByWindowBackground(true);
    view->setZoomed(true);
    QTest::mouseClick(view, Qt::LeftButton, Qt::MetaModifier, {200, 150});
    QTest::mouseClick(view, Qt::LeftButton, {}, {398, 150});
    EXPECT_EQ(std::tuple(state(*panel).moves, state(*panel).resizes, calls.total()),
              std::tuple(1, QList<Qt::Edges>{Qt::RightEdge}, 3));

    // The resize border: where a press in a panel of 300 x 200 falls, and the edges (rounded
    // corners included) it resizes from.
    const auto at = [](qreal x, qreal y) { return PiPPanel::resizeEdges({x, y}, {300, 200}); };
    using E = Qt::Edges;
    EXPECT_EQ((QList{at(150, 100), at(2, 100), at(297, 100), at(150, 1), at(150, 199), at(2, 10),
                     at(295, 197), at(10, 195)}),
              (QList{E(), E(Qt::LeftEdge), E(Qt::RightEdge), E(Qt::TopEdge), E(Qt::BottomEdge),
                     Qt::TopEdge | Qt::LeftEdge, Qt::BottomEdge | Qt::RightEdge,
                     Qt::BottomEdge | Qt::LeftEdge}));
}

TEST_F(CaptureViewTest, FrameIsShownAspectFilledWithoutACopyOrWithAPictureSurfaceItsOverlays) {
    // 200 x 100 frame: a green strip in its leftmost 50 columns, blue elsewhere. Filling the
    // 400 x 300 view scales it by 3 and cuts 100 points on each side, so green ends at x = 50.
    const Frame frame = fakes::makeMemoryFrame(
        200, 100, [](int x, int) { return x < 50 ? 0xFF00FF00u : 0xFF0000FFu; });
    view->setContents(frame);
    const QImage shot = view->grab().toImage();
    auto at = [&](int x, int y) { return pixelOf(shot, x, y); };
    EXPECT_EQ((QList{at(40, 150).rgba(), at(60, 150).rgba(), at(395, 295).rgb()}),
              (QList{qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(0, 0, 255)}));
    // Rounded corners: the very corner pixel is not the frame.
    EXPECT_NE(at(0, 0).rgb(), QColor(0, 255, 0).rgb());

    // With a picture surface the overlays go there, only when they change.
    auto surface = std::make_shared<fakes::FakePictureSurface>();
    panel->showWithoutActivating();
    panel->attachPictureSurface(surface);
    // With a compositing manager the surface cuts transparent corners itself.
    EXPECT_EQ(std::tuple(surface->geometry, surface->visible, surface->cornerRadius),
              std::tuple(QRect(0, 0, 400, 300), true, CaptureView::kCornerRadius));
    QCoreApplication::processEvents();
    EXPECT_TRUE(surface->overlays.isEmpty()) << "nothing shown, nothing to upload";

    view->mouseEnteredView();
    QCoreApplication::processEvents();
    ASSERT_EQ(surface->overlays.size(), 1);
    const QImage shown = surface->overlays.last();
    ASSERT_EQ(shown.size(), QSize(400, 300));
    // The close button is drawn in the overlay; the overlay is not opaque everywhere.
    auto* close = view->overlayHostingView()->findChild<CloseButton*>();
    ASSERT_NE(close, nullptr);
    const QPoint c = close->mapTo(view, close->rect().center());
    EXPECT_TRUE(qAlpha(shown.pixel(c)) > 0 && qAlpha(shown.pixel(200, 150)) < 255);

    // Nothing changed: no new upload; a resize renders again at the new size.
    QCoreApplication::processEvents();
    EXPECT_EQ(surface->overlays.size(), 1);
    panel->setFrame(QRectF(100, 100, 480, 360));
    QCoreApplication::processEvents();
    EXPECT_EQ(std::pair(surface->geometry, surface->overlays.last().size()),
              std::pair(QRect(0, 0, 480, 360), QSize(480, 360)));

    view->mouseExitedView();
    QTest::qWait(0);
    EXPECT_TRUE(surface->overlays.last().isNull()) << "the removed overlay stays on the picture";
}

// A low alpha is the window's opacity where the compositing manager shows it. Elsewhere the
// picture is dimmed, and so is the view's drawing unless the picture is all there is of it
// (without a compositing manager, which the window is not told of: the panel's shape goes at 0);
// where window opacity is not shown (Wayland) the window is still told, to go out of sight at 0.
TEST_F(PiPPanelTest, ALowAlphaIsWindowOpacityWhereItShowsElseThePictureAndTheViewAreDimmed) {
    const double kRounded = CaptureView::kCornerRadius;
    // A compositing manager, window opacity shown, a picture surface; at alpha 0.1 the view's
    // dimming (1: none), the surface's opacity and corner radius, the window's opacity.
    const std::tuple<bool, bool, bool, double, double, double, double> rows[] = {
        {true, true, true, 1.0, 1.0, kRounded, 0.1}, {true, false, true, 0.1, 0.1, kRounded, 0.1},
        {true, false, false, 0.1, 1.0, -1.0, 0.1},   {false, true, true, 1.0, 0.1, 0.0, 1.0},
        {false, true, false, 0.1, 1.0, -1.0, 1.0},
    };
    for (const auto& [compositor, windowOpacity, withSurface, view, picture, corners, window] :
         rows) {
        SCOPED_TRACE(::testing::Message() << compositor << windowOpacity << withSurface);
        windowSystem.windowOpacity = windowOpacity;
        auto panel = make(compositor);
        auto surface = std::make_shared<fakes::FakePictureSurface>();
        if (withSurface) panel->attachPictureSurface(surface);
        const auto seen = [&] {
            const auto* dim =
                qobject_cast<QGraphicsOpacityEffect*>(panel->captureView().graphicsEffect());
            return std::tuple(dim ? dim->opacity() : 1.0, surface->opacity, surface->cornerRadius,
                              state(*panel).opacity);
        };
        panel->setOpacity(0.1);
        EXPECT_EQ(seen(), std::tuple(view, picture, corners, window));
        panel->setOpacity(1.0);
        EXPECT_EQ(seen(), std::tuple(1.0, 1.0, corners, 1.0));
    }
}

TEST(OverlayViewTest, TextsFollowTheZoomStateAndModifierInFontsWithTheirSymbolsAndCutAtTheTail) {
    OverlayView plain({.modifierName = "⌥ Right Option", .frameRate = 30}),
        zoomed({.isZoomed = true, .modifierName = "fn", .frameRate = 15});
    EXPECT_EQ((QStringList{plain.showHideLabel()->text(), plain.gestureLabel()->text(),
                           plain.frameRateButton()->text(), zoomed.gestureLabel()->text()}),
              (QStringList{"Tap ⌥ Right Option to show/hide", "⌘ Drag to zoom · ⌫ Close", "30 fps",
                           "⌘ Double-click reset · ⌫ Close"}));
    EXPECT_TRUE(QFontInfo(plain.frameRateButton()->font()).fixedPitch());
    // The symbols have glyphs on this install: every character gets a real one (not index 0)
    // from the font or its fallbacks.
    for (const auto& [text, size, weight] :
         {std::tuple(OverlayView::gestureText(false), 11, QFont::Normal),
          {OverlayView::gestureText(true), 11, QFont::Normal},
          {PausedOverlayView::text(), 16, QFont::Medium},
          {OverlayView::showHideText("⌥ Right Option"), 13, QFont::Medium}}) {
        QTextLayout layout(text, overlayFont(size, weight));
        layout.beginLayout();
        layout.createLine();
        layout.endLayout();
        QList<quint32> glyphs;
        for (const QGlyphRun& run : layout.glyphRuns()) glyphs += run.glyphIndexes();
        EXPECT_TRUE(!glyphs.isEmpty() && !glyphs.contains(0)) << text.toStdString();
    }

    // The gesture hint is cut at its tail, on one line.
    zoomed.resize(400, 300);
    zoomed.show();
    EXPECT_EQ(zoomed.gestureLabel()->elidedText(), zoomed.gestureLabel()->text());
    zoomed.resize(90, 150);
    QCoreApplication::processEvents();
    const QString cut = zoomed.gestureLabel()->elidedText();
    EXPECT_TRUE(cut.endsWith(QChar(0x2026))) << cut.toStdString();
    EXPECT_TRUE(zoomed.gestureLabel()->text().startsWith(cut.chopped(1)));
    EXPECT_EQ(zoomed.gestureLabel()->height(), zoomed.gestureLabel()->fontMetrics().height());
}

// Both over a white 300 x 200 widget.
TEST(OverlayViewTest, PausedOverlayIsNearlyOpaqueAndTheHintOverlayAVeilWithARedCloseButton) {
    QWidget host;
    host.resize(300, 200);
    host.setStyleSheet("background: white;");
    host.setAutoFillBackground(true);
    auto* paused = new PausedOverlayView(&host);
    EXPECT_EQ(
        std::pair(paused->geometry(), paused->testAttribute(Qt::WA_TransparentForMouseEvents)),
        std::pair(host.rect(), true));
    QImage shot = host.grab().toImage();
    EXPECT_NEAR(pixelOf(shot, 5, 5).red(), 26, 3);  // white under black at 0.9
    EXPECT_GT(lightPixels(shot, QRect(100, 90, 100, 20), 200), 20) << "no white text in the middle";
    delete paused;

    auto* overlay = new OverlayView({.modifierName = "fn", .frameRate = 24}, &host);
    overlay->setGeometry(host.rect());
    host.show();
    QCoreApplication::processEvents();
    shot = host.grab().toImage();
    EXPECT_NEAR(pixelOf(shot, 150, 60).red(), 140, 3);  // white under black at 0.45
    // The close button, 8 points in from the top-left corner, is red.
    const QColor button = pixelOf(shot, 12, 19);
    EXPECT_TRUE(button.red() > 200 && button.green() < 100) << describe(button);
}

}  // namespace
}  // namespace mirano
