// A test client for Wayland sessions: Qt windows of a solid colour with a given app_id, of a
// given size; the windows after the first are titled "APP_ID 2" and so on. Each line on its
// standard input names a new colour, so a test can change what a mirror of it must show.
// Usage: mirano_wayland_test_window APP_ID [COLOR [WIDTHxHEIGHT [COUNT]]]
#include <unistd.h>

#include <QApplication>
#include <QPalette>
#include <QSocketNotifier>
#include <QWidget>
#include <memory>
#include <vector>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) return 2;
    // Qt's Wayland plugin sends the desktop file name as the window's app_id.
    QGuiApplication::setDesktopFileName(args.at(1));
    std::vector<std::unique_ptr<QWidget>> windows(args.size() > 4 ? args.at(4).toUInt() : 1);
    const auto paint = [&windows](const QColor& colour) {
        QPalette palette;
        palette.setColor(QPalette::Window, colour);
        for (const auto& window : windows) window->setPalette(palette);
    };
    const QStringList size = args.size() > 3 ? args.at(3).split('x') : QStringList{"400", "300"};
    for (std::size_t i = 0; i < windows.size(); ++i) {
        auto& window = windows[i] = std::make_unique<QWidget>();
        window->setWindowTitle(i ? QStringLiteral("%1 %2").arg(args.at(1)).arg(i + 1) : args.at(1));
        window->setAutoFillBackground(true);
        window->resize(size.value(0).toInt(), size.value(1).toInt());
    }
    paint(QColor(args.size() > 2 ? args.at(2) : "darkcyan"));
    for (const auto& window : windows) window->show();
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char line[64] = {};
        const ssize_t n = read(STDIN_FILENO, line, sizeof line - 1);
        if (n <= 0) return input.setEnabled(false);  // no more colours to come
        paint(QColor(QString::fromLatin1(line, int(n)).trimmed()));
    });
    return app.exec();
}
