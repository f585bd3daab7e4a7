// The overlays' texts, fonts, eliding and rendering, and that their symbols have glyphs. (The
// menu's items and picks and the close button reaching the panel: the capture view's tests.)
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLabel>
#include <QTextLayout>
#include <QToolButton>
#include <memory>

#include "tests/support/Pixels.h"
#include "tests/window/WindowTestSupport.h"
#include "window/CloseButton.h"
#include "window/ElidedLabel.h"
#include "window/OverlayView.h"
#include "window/PausedOverlayView.h"

namespace mirano {
namespace {

using testing::pixelOf;

OverlayView::Content content(bool zoomed, const QString& modifier, int rate) {
    return {.isZoomed = zoomed, .modifierName = modifier, .frameRate = rate};
}

/// A white 300 x 200 widget to draw an overlay over.
std::unique_ptr<QWidget> whiteHost() {
    auto host = std::make_unique<QWidget>();
    host->resize(300, 200);
    host->setStyleSheet("background: white;");
    host->setAutoFillBackground(true);
    return host;
}

// Every character of the text gets a real glyph from the font or its fallbacks.
bool rendersEveryCharacter(const QString& text, const QFont& font) {
    QTextLayout layout(text, font);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    int glyphs = 0;
    for (const QGlyphRun& run : layout.glyphRuns())
        for (quint32 index : run.glyphIndexes()) {
            if (index == 0) return false;
            ++glyphs;
        }
    return glyphs > 0;
}

TEST(OverlayViewTest, TextsFollowTheZoomStateAndModifierInFontsThatHaveTheirSymbols) {
    OverlayView plain(content(false, "⌥ Right Option", 30)), zoomed(content(true, "fn", 15));
    EXPECT_EQ((QStringList{plain.showHideLabel()->text(), plain.gestureLabel()->text(),
                           plain.frameRateButton()->text(), zoomed.gestureLabel()->text()}),
              (QStringList{"Tap ⌥ Right Option to show/hide", "⌘ Drag to zoom · ⌫ Close", "30 fps",
                           "⌘ Double-click reset · ⌫ Close"}));
    EXPECT_TRUE(QFontInfo(plain.frameRateButton()->font()).fixedPitch());
    // The symbols have glyphs on this install.
    for (const auto& [text, size, weight] :
         {std::tuple(OverlayView::gestureText(false), 11, QFont::Normal),
          {OverlayView::gestureText(true), 11, QFont::Normal},
          {QString("\u23F8 Paused"), 16, QFont::Medium},
          {OverlayView::showHideText("⌥ Right Option"), 13, QFont::Medium}})
        EXPECT_TRUE(rendersEveryCharacter(text, overlayFont(size, weight))) << text.toStdString();
}

TEST(OverlayViewTest, GestureHintIsCutAtTheTailOnOneLine) {
    OverlayView view(content(false, "fn", 24));
    view.resize(400, 300);
    view.show();
    EXPECT_EQ(view.gestureLabel()->elidedText(), view.gestureLabel()->text());
    view.resize(90, 150);
    QCoreApplication::processEvents();
    const QString cut = view.gestureLabel()->elidedText();
    EXPECT_NE(cut, view.gestureLabel()->text());
    EXPECT_TRUE(cut.endsWith(QChar(0x2026))) << cut.toStdString();
    EXPECT_TRUE(view.gestureLabel()->text().startsWith(cut.chopped(1)));
    EXPECT_EQ(view.gestureLabel()->height(), view.gestureLabel()->fontMetrics().height());
}

TEST(OverlayViewTest, PausedOverlayIsNearlyOpaqueWithWhiteTextInTheMiddle) {
    EXPECT_EQ(PausedOverlayView::text(), QString::fromUtf8("\u23F8\uFE0E Paused"));
    auto host = whiteHost();
    auto* paused = new PausedOverlayView(host.get());
    EXPECT_EQ(paused->geometry(), host->rect());
    EXPECT_TRUE(paused->testAttribute(Qt::WA_TransparentForMouseEvents));
    const QImage shot = host->grab().toImage();
    EXPECT_NEAR(pixelOf(shot, 5, 5).red(), 26, 3);  // white under black at 0.9
    int white = 0;
    for (int y = 90; y < 110; ++y)
        for (int x = 100; x < 200; ++x)
            if (pixelOf(shot, x, y).lightness() > 200) ++white;
    EXPECT_GT(white, 20);
}

TEST(OverlayViewTest, HintOverlayVeilAndCloseButtonColours) {
    auto host = whiteHost();
    auto* overlay = new OverlayView(content(false, "fn", 24), host.get());
    overlay->setGeometry(host->rect());
    host->show();
    QCoreApplication::processEvents();
    const QImage shot = host->grab().toImage();
    EXPECT_NEAR(pixelOf(shot, 150, 60).red(), 140, 3);  // white under black at 0.45
    // The close button sits 8 points in from the top-left corner and is red.
    EXPECT_EQ(overlay->closeButton()->geometry().topLeft(), QPoint(8, 8));
    const QColor button = pixelOf(shot, 12, 19);
    EXPECT_GT(button.red(), 200);
    EXPECT_LT(button.green(), 100);
}

}  // namespace
}  // namespace mirano
