// The overlays' texts, fonts, eliding, menu and rendering, and that their symbols have glyphs.
#include "window/OverlayView.h"

#include "window/CloseButton.h"
#include "window/ElidedLabel.h"
#include "window/PausedOverlayView.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QLabel>
#include <QMenu>
#include <QTextLayout>
#include <QToolButton>

namespace mirano {
namespace {

OverlayView::Content content(bool zoomed, const QString& modifier, int rate) {
    OverlayView::Content c;
    c.isZoomed = zoomed;
    c.modifierName = modifier;
    c.frameRate = rate;
    return c;
}

TEST(OverlayViewTest, TextsFollowTheZoomStateAndModifier) {
    OverlayView plain(content(false, QStringLiteral("⌥ Right Option"), 30));
    EXPECT_EQ(plain.showHideLabel()->text(), QStringLiteral("Tap ⌥ Right Option to show/hide"));
    EXPECT_EQ(plain.gestureLabel()->text(), QStringLiteral("⌘ Drag to zoom · ⌫ Close"));
    EXPECT_EQ(plain.frameRateButton()->text(), QStringLiteral("30 fps"));

    OverlayView zoomed(content(true, QStringLiteral("fn"), 15));
    EXPECT_EQ(zoomed.gestureLabel()->text(), QStringLiteral("⌘ Double-click reset · ⌫ Close"));
    EXPECT_EQ(zoomed.showHideLabel()->text(), QStringLiteral("Tap fn to show/hide"));
    EXPECT_EQ(zoomed.frameRateButton()->text(), QStringLiteral("15 fps"));
    for (QAction* a : zoomed.frameRateMenu()->actions()) EXPECT_FALSE(a->isChecked());
}

TEST(OverlayViewTest, FontsAreThoseOfTheDesign) {
    OverlayView view(content(false, "fn", 24));
    EXPECT_EQ(view.showHideLabel()->font().pixelSize(), 13);
    EXPECT_EQ(view.showHideLabel()->font().weight(), QFont::Medium);
    EXPECT_EQ(view.gestureLabel()->font().pixelSize(), 11);
    EXPECT_EQ(view.gestureLabel()->font().weight(), QFont::Normal);
    const QFont rate = view.frameRateButton()->font();
    EXPECT_EQ(rate.pixelSize(), 11);
    EXPECT_EQ(rate.weight(), QFont::Medium);
    EXPECT_TRUE(QFontInfo(rate).fixedPitch());
    PausedOverlayView paused;
    EXPECT_EQ(paused.font().pixelSize(), 16);
    EXPECT_EQ(paused.font().weight(), QFont::Medium);
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

TEST(OverlayViewTest, MenuPicksAreReportedAndCloseButtonCalls) {
    QList<int> picked;
    int closed = 0;
    auto c = content(false, "fn", 24);
    c.onFrameRateChanged = [&](int r) { picked << r; };
    c.onClose = [&] { ++closed; };
    OverlayView view(c);
    QList<int> checked;
    for (QAction* a : view.frameRateMenu()->actions())
        if (a->isChecked()) checked << a->data().toInt();
    EXPECT_EQ(checked, QList<int>{24});
    view.frameRateMenu()->actions().at(1)->trigger();
    EXPECT_EQ(picked, QList<int>{5});
    view.closeButton()->click();
    EXPECT_EQ(closed, 1);

    // Without closures nothing happens.
    OverlayView bare(content(false, "fn", 24));
    bare.frameRateMenu()->actions().at(1)->trigger();
    bare.closeButton()->click();
    EXPECT_EQ(picked.size(), 1);
    EXPECT_EQ(closed, 1);
}

// Every character of the text gets a real glyph from the font or its fallbacks.
bool rendersEveryCharacter(const QString& text, const QFont& font) {
    QTextLayout layout(text, font);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    int glyphs = 0;
    for (const QGlyphRun& run : layout.glyphRuns()) {
        for (quint32 index : run.glyphIndexes()) {
            if (index == 0) return false;
            ++glyphs;
        }
    }
    return glyphs > 0;
}

TEST(OverlayViewTest, SymbolsHaveGlyphsOnThisInstall) {
    EXPECT_TRUE(rendersEveryCharacter(OverlayView::gestureText(false), overlayFont(11, QFont::Normal)));
    EXPECT_TRUE(rendersEveryCharacter(OverlayView::gestureText(true), overlayFont(11, QFont::Normal)));
    EXPECT_TRUE(rendersEveryCharacter(QStringLiteral("\u23F8 Paused"), overlayFont(16, QFont::Medium)));
    EXPECT_TRUE(rendersEveryCharacter(OverlayView::showHideText("⌥ Right Option"), overlayFont(13, QFont::Medium)));
}

TEST(OverlayViewTest, PausedOverlayIsNearlyOpaqueWithWhiteTextInTheMiddle) {
    EXPECT_EQ(PausedOverlayView::text(), QString::fromUtf8("\u23F8\uFE0E Paused"));
    QWidget host;
    host.resize(300, 200);
    host.setStyleSheet("background: white;");
    host.setAutoFillBackground(true);
    auto* paused = new PausedOverlayView(&host);
    EXPECT_EQ(paused->geometry(), host.rect());
    EXPECT_TRUE(paused->testAttribute(Qt::WA_TransparentForMouseEvents));
    const QImage shot = host.grab().toImage();
    const double dpr = shot.devicePixelRatio();
    // White under black at 0.9: about 10 % grey.
    const QColor corner = shot.pixelColor(int(5 * dpr), int(5 * dpr));
    EXPECT_NEAR(corner.red(), 26, 3);
    int white = 0;
    for (int y = 90; y < 110; ++y)
        for (int x = 100; x < 200; ++x)
            if (shot.pixelColor(int(x * dpr), int(y * dpr)).lightness() > 200) ++white;
    EXPECT_GT(white, 20);
}

TEST(OverlayViewTest, HintOverlayVeilAndCloseButtonColours) {
    QWidget host;
    host.resize(300, 200);
    host.setStyleSheet("background: white;");
    host.setAutoFillBackground(true);
    auto* overlay = new OverlayView(content(false, "fn", 24), &host);
    overlay->setGeometry(host.rect());
    host.show();
    QCoreApplication::processEvents();
    const QImage shot = host.grab().toImage();
    const double dpr = shot.devicePixelRatio();
    // White under black at 0.45.
    EXPECT_NEAR(shot.pixelColor(int(150 * dpr), int(60 * dpr)).red(), 140, 3);
    // The close button sits 8 points in from the top-left corner and is red.
    EXPECT_EQ(overlay->closeButton()->geometry().topLeft(), QPoint(8, 8));
    const QColor button = shot.pixelColor(int(12 * dpr), int(19 * dpr));
    EXPECT_GT(button.red(), 200);
    EXPECT_LT(button.green(), 100);
}

}  // namespace
}  // namespace mirano
