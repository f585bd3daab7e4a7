// mirano-capture-probe: captures one window for a while and reports frames, sizes and CPU use;
// optionally saves the last frame as PNG. A tool for developers, not part of the program.
//
//   mirano-capture-probe <window-id> [--seconds N] [--size WxH] [--rect x,y,w,h] [--fps N]
//                        [--png file]
#include <sys/resource.h>

#include <QGuiApplication>
#include <QImage>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <string>

#include "platform/CaptureService.h"
#include "platform/Frame.h"
#include "platform/qt/QtScheduler.h"
#include "platform/x11/X11CaptureService.h"

using namespace mirano;

namespace {

struct Options {
    WindowNumber window = 0;
    double seconds = 5;
    std::optional<QSize> size;
    QRectF rect;
    int fps = 60;
    QString png;
};

void usage() {
    std::fprintf(stderr,
                 "usage: mirano-capture-probe <window-id> [--seconds N] [--size WxH] "
                 "[--rect x,y,w,h] [--fps N] [--png file]\n");
}

std::optional<Options> parse(const QStringList& args) {
    Options o;
    if (args.size() < 2) return std::nullopt;
    bool ok = false;
    o.window = args[1].toUInt(&ok, 0);
    if (!ok || o.window == 0) return std::nullopt;
    for (int i = 2; i < args.size(); ++i) {
        const QString a = args[i];
        if (i + 1 >= args.size()) return std::nullopt;
        const QString v = args[++i];
        if (a == "--seconds") {
            o.seconds = v.toDouble(&ok);
            if (!ok || o.seconds <= 0) return std::nullopt;
        } else if (a == "--size") {
            const auto p = v.split('x');
            if (p.size() != 2) return std::nullopt;
            o.size = QSize(p[0].toInt(), p[1].toInt());
            if (o.size->width() <= 0 || o.size->height() <= 0) return std::nullopt;
        } else if (a == "--rect") {
            const auto p = v.split(',');
            if (p.size() != 4) return std::nullopt;
            o.rect = QRectF(p[0].toDouble(), p[1].toDouble(), p[2].toDouble(), p[3].toDouble());
        } else if (a == "--fps") {
            o.fps = v.toInt(&ok);
            if (!ok || o.fps <= 0) return std::nullopt;
        } else if (a == "--png") {
            o.png = v;
        } else {
            return std::nullopt;
        }
    }
    return o;
}

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

long peakKilobytes() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
    // The probe shows nothing; it needs Qt only for its event loop.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const auto options = parse(app.arguments());
    if (!options) {
        usage();
        return 2;
    }
    QtScheduler scheduler;
    x11::X11CaptureService service(scheduler);
    if (auto error = service.unavailable()) {
        std::fprintf(stderr, "%s\n", qPrintable(error->description));
        return 1;
    }

    std::shared_ptr<CaptureStream> stream;
    Frame last;
    long frames = 0;
    std::map<std::pair<int, int>, long> sizes;
    double cpuAtStart = 0;
    double wallAtStart = 0;
    int exitCode = 0;

    auto finish = [&](int code) {
        exitCode = code;
        app.exit(code);
    };

    service.listWindows([&](std::vector<CapturableWindow> windows, std::optional<Error> error) {
        if (error) {
            std::fprintf(stderr, "%s\n", qPrintable(error->description));
            return finish(1);
        }
        const CapturableWindow* window = nullptr;
        for (const auto& w : windows)
            if (w.windowID == options->window) window = &w;
        if (!window) {
            std::fprintf(stderr, "window 0x%x is not a client window of this display\n",
                         options->window);
            return finish(1);
        }
        StreamConfiguration c;
        c.sourceRect = options->rect;
        const QSizeF natural =
            options->rect.isEmpty() ? window->frame.size() : options->rect.size();
        c.width = options->size ? options->size->width()
                                : std::max<std::int64_t>(1, std::int64_t(natural.width()));
        c.height = options->size ? options->size->height()
                                 : std::max<std::int64_t>(1, std::int64_t(natural.height()));
        c.minimumFrameInterval = 1.0 / options->fps;
        const auto onFrame = [&scheduler, &last, &frames, &sizes](const Frame& frame) {
            scheduler.post([frame, &last, &frames, &sizes] {
                ++frames;
                ++sizes[{frame->width(), frame->height()}];
                last = frame;  // earlier frames go back to the pool
            });
        };
        stream =
            service.makeStream(*window, c, onFrame, [&scheduler, &finish](std::optional<Error> e) {
                scheduler.post([e, &finish] {
                    std::fprintf(stderr, "stream stopped: %s\n",
                                 e ? qPrintable(e->description) : "");
                    finish(1);
                });
            });
        cpuAtStart = cpuSeconds();
        wallAtStart = scheduler.now();
        stream->startCapture([&](std::optional<Error> e) {
            if (e) {
                std::fprintf(stderr, "start failed: %s\n", qPrintable(e->description));
                return finish(1);
            }
            QTimer::singleShot(int(options->seconds * 1000), [&] {
                stream->stopCapture([&](std::optional<Error>) { finish(0); });
            });
        });
    });
    app.exec();

    const double wall = scheduler.now() - wallAtStart;
    const double cpu = cpuSeconds() - cpuAtStart;
    std::printf("window=0x%x seconds=%.3f frames=%ld fps=%.2f\n", options->window, wall, frames,
                wall > 0 ? frames / wall : 0.0);
    for (const auto& [size, count] : sizes)
        std::printf("size=%dx%d frames=%ld\n", size.first, size.second, count);
    std::printf("cpu_seconds=%.4f cpu_ms_per_frame=%.4f peak_rss_kb=%ld\n", cpu,
                frames ? cpu * 1000 / frames : 0.0, peakKilobytes());
    if (!options->png.isEmpty()) {
        if (!last) {
            std::fprintf(stderr, "no frame to save\n");
            exitCode = exitCode ? exitCode : 1;
        } else {
            const QImage image = imageOf(*last);
            if (image.save(options->png, "PNG"))
                std::printf("png=%s\n", qPrintable(options->png));
            else {
                std::fprintf(stderr, "cannot write %s\n", qPrintable(options->png));
                exitCode = exitCode ? exitCode : 1;
            }
        }
    }
    last.reset();
    stream.reset();
    return exitCode;
}
