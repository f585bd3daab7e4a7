// A test client for Wayland sessions: Qt windows of a solid colour with a given app_id.
// Usage: mirano_wayland_test_window APP_ID [COLOR [COUNT]]; the windows after the first are
// titled "APP_ID 2" and so on.
#include <QApplication>
#include <QPalette>
#include <QWidget>
#include <memory>
#include <vector>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) return 2;
    // Qt's Wayland plugin sends the desktop file name as the window's app_id.
    QGuiApplication::setDesktopFileName(args.at(1));
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(args.size() > 2 ? args.at(2) : "darkcyan"));
    std::vector<std::unique_ptr<QWidget>> windows(args.size() > 3 ? args.at(3).toUInt() : 1);
    for (std::size_t i = 0; i < windows.size(); ++i) {
        auto& window = windows[i] = std::make_unique<QWidget>();
        window->setWindowTitle(i ? QStringLiteral("%1 %2").arg(args.at(1)).arg(i + 1) : args.at(1));
        window->setPalette(palette);
        window->setAutoFillBackground(true);
        window->resize(400, 300);
        window->show();
    }
    return app.exec();
}
