// A test client for Wayland sessions: one Qt window of a solid colour with a given app_id.
// Usage: mirano_wayland_test_window APP_ID [COLOR]
#include <QApplication>
#include <QPalette>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) return 2;
    // Qt's Wayland plugin sends the desktop file name as the window's app_id.
    QGuiApplication::setDesktopFileName(args.at(1));
    QWidget window;
    window.setWindowTitle(args.at(1));
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(args.size() > 2 ? args.at(2) : "darkcyan"));
    window.setPalette(palette);
    window.setAutoFillBackground(true);
    window.resize(400, 300);
    window.show();
    return app.exec();
}
