// A test client for Wayland sessions: one Qt window of a solid colour with a given app_id, of a
// given size; each line on its standard input names a new colour, so a test can change what a
// mirror of it must show.
// Usage: mirano_wayland_test_window APP_ID [COLOR [WIDTHxHEIGHT]]
#include <unistd.h>

#include <QApplication>
#include <QPalette>
#include <QSocketNotifier>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) return 2;
    // Qt's Wayland plugin sends the desktop file name as the window's app_id.
    QGuiApplication::setDesktopFileName(args.at(1));
    QWidget window;
    window.setWindowTitle(args.at(1));
    const auto paint = [&window](const QColor& colour) {
        QPalette palette;
        palette.setColor(QPalette::Window, colour);
        window.setPalette(palette);
    };
    paint(QColor(args.size() > 2 ? args.at(2) : "darkcyan"));
    window.setAutoFillBackground(true);
    const QStringList size = args.size() > 3 ? args.at(3).split('x') : QStringList{"400", "300"};
    window.resize(size.value(0).toInt(), size.value(1).toInt());
    window.show();
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char line[64] = {};
        const ssize_t n = read(STDIN_FILENO, line, sizeof line - 1);
        if (n <= 0) return input.setEnabled(false);  // no more colours to come
        paint(QColor(QString::fromLatin1(line, int(n)).trimmed()));
    });
    return app.exec();
}
