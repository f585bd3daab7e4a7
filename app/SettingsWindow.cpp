#include "app/SettingsWindow.h"

#include <QScrollArea>
#include <QVBoxLayout>

#include "app/TitledWindowWatch.h"
#include "settings/SettingsView.h"

namespace mirano {

SettingsWindow::SettingsWindow(SettingsView* view) : QWidget(nullptr, Qt::Window), view_(view) {
    setObjectName(QStringLiteral("miranoSettingsWindow"));
    setWindowTitle(QStringLiteral("Mirano Settings"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(SettingsView::kWidth, SettingsView::kHeight);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    // Large fonts must not clip the form: it scrolls instead.
    auto* scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Keyboard focus starts on the first control, not on the scroll area around them.
    scroll->setFocusPolicy(Qt::NoFocus);
    scroll->setWidget(view_);
    layout->addWidget(scroll);
    TitledWindowWatch::shared().watch(this);
}

}  // namespace mirano
