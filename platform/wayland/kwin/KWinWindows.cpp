#include "platform/wayland/kwin/KWinWindows.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QJsonDocument>
#include <QJsonObject>

#include "platform/Log.h"
#include "platform/wayland/kwin/KWinScript.h"

namespace mirano::wayland {

namespace {
const QString kInterface = QStringLiteral("org.mirano.KWinWindows");

/// What both scripts begin with: how to call us, and the names Plasma 6 and 5.27 each use.
const char* const kPrelude = R"JS(
const mirano = %1;
function tell(method, argument) {
    callDBus(mirano.service, mirano.path, mirano.interface, method, argument);
}
function allWindows() {
    return workspace.windowList ? workspace.windowList() : workspace.clientList();
}
)JS";

/// Reports every window, and every change that matters, as long as it runs.
const char* const kTracker = R"JS(
function describe(w) {
    const g = w.clientGeometry || w.frameGeometry;
    tell("windowChanged", JSON.stringify({
        id: String(w.internalId), resourceClass: String(w.resourceClass || ""),
        desktopFile: String(w.desktopFileName || ""), pid: w.pid,
        normal: Boolean(w.normalWindow || w.dialog), offTaskbar: Boolean(w.skipTaskbar),
        fullScreen: Boolean(w.fullScreen),
        minimized: Boolean(w.minimized), x: g.x, y: g.y, width: g.width, height: g.height}));
}
function watch(w) {
    for (const name of ["fullScreenChanged", "minimizedChanged", "frameGeometryChanged",
                        "clientGeometryChanged", "windowClassChanged", "desktopFileNameChanged"])
        if (w[name]) w[name].connect(() => describe(w));
    describe(w);
}
function activated(w) { tell("windowActivated", w ? String(w.internalId) : ""); }
allWindows().forEach(watch);
(workspace.windowAdded || workspace.clientAdded).connect(watch);
(workspace.windowRemoved || workspace.clientRemoved).connect(
    w => tell("windowRemoved", String(w.internalId)));
(workspace.windowActivated || workspace.clientActivated).connect(activated);
workspace.currentDesktopChanged.connect(() => tell("desktopChanged"));
activated(workspace.activeWindow !== undefined ? workspace.activeWindow : workspace.activeClient);
)JS";

/// Runs `%2` on the window whose id is `%1`, then says that script `%3` is done.
const char* const kCommand = R"JS(
for (const w of allWindows())
    if (String(w.internalId) === %1) { %2 }
tell("commandDone", %3);
)JS";

/// Activation, where setting the active window unminimises it too.
const char* const kActivate =
    "w.minimized = false; "
    "if (workspace.activeWindow !== undefined) workspace.activeWindow = w; "
    "else workspace.activeClient = w;";
}  // namespace

KWinWindows::KWinWindows(const QDBusConnection& bus, QObject* parent)
    : WaylandWindows(parent), bus_(bus) {
    static int counter = 0;
    path_ = QStringLiteral("/org/mirano/KWinWindows%1").arg(++counter);
    if (!bus_.registerObject(path_, this, QDBusConnection::ExportScriptableSlots)) {
        logLine(QStringLiteral("KDE windows: the script's answers cannot be received."));
        QMetaObject::invokeMethod(
            this, [this] { emit ready(false); }, Qt::QueuedConnection);
        return;
    }
    tracker_ = std::make_unique<KWinScript>(
        bus_, KWinScript::newName(),
        QString::fromUtf8(kPrelude).arg(receiverLiteral()) + QString::fromUtf8(kTracker),
        [this](std::optional<QString> kwin, std::optional<Error> error) {
            if (error) {
                logLine(QStringLiteral("KDE windows: %1; the focused window is unknown.")
                            .arg(error->description));
                emit ready(false);
                return;
            }
            kwin_ = *kwin;
        });
}

KWinWindows::~KWinWindows() {
    commands_.clear();
    tracker_.reset();
    bus_.unregisterObject(path_);
}

QString KWinWindows::receiverLiteral() const {
    return QStringLiteral("{service: %1, path: %2, interface: %3}")
        .arg(KWinScript::quoted(bus_.baseService()), KWinScript::quoted(path_),
             KWinScript::quoted(kInterface));
}

bool KWinWindows::fromKWin() const {
    return calledFromDBus() && !kwin_.isEmpty() && message().service() == kwin_;
}

const KWinWindows::Window* KWinWindows::find(WindowNumber number) const {
    const auto it = windows_.find(number);
    return it == windows_.end() ? nullptr : &it->second;
}

const KWinWindows::Window* KWinWindows::findId(const QString& id) const {
    const auto it = numbers_.constFind(id);
    return it == numbers_.constEnd() ? nullptr : find(*it);
}

void KWinWindows::windowChanged(const QString& description) {
    if (!fromKWin()) return;
    const QJsonObject d = QJsonDocument::fromJson(description.toUtf8()).object();
    const QString id = d.value(QStringLiteral("id")).toString();
    if (id.isEmpty()) return;
    WindowNumber& number = numbers_[id];
    if (!number) number = nextNumber_++;
    Window& w = windows_[number];
    w.id = id;
    w.number = number;
    w.application = AppIdentity{};
    w.application.soleWindow = number;
    if (const int pid = d.value(QStringLiteral("pid")).toInt(); pid > 0) w.application.pid = pid;
    for (const char* key : {"resourceClass", "desktopFile"}) {
        const QString name = d.value(QLatin1String(key)).toString();
        if (name.isEmpty()) continue;
        w.application.applicationID = name;
        break;
    }
    w.normal = d.value(QStringLiteral("normal")).toBool();
    w.offTaskbar = d.value(QStringLiteral("offTaskbar")).toBool();
    w.fullScreen = d.value(QStringLiteral("fullScreen")).toBool();
    w.minimized = d.value(QStringLiteral("minimized")).toBool();
    w.frame = QRectF(
        d.value(QStringLiteral("x")).toDouble(), d.value(QStringLiteral("y")).toDouble(),
        d.value(QStringLiteral("width")).toDouble(), d.value(QStringLiteral("height")).toDouble());
    if (initialised_) focusChanged();
}

void KWinWindows::windowRemoved(const QString& id) {
    if (!fromKWin()) return;
    if (const auto number = numbers_.take(id)) windows_.erase(number);
    if (initialised_) focusChanged();
}

void KWinWindows::windowActivated(const QString& id) {
    if (!fromKWin()) return;
    activeId_ = id;
    if (const Window* w = findId(id); w && isUsers(*w)) lastUserId_ = id;
    if (initialised_) return focusChanged();
    // The tracker's first activation closes its first report: the state as it was, no change.
    initialised_ = true;
    if (const Window* focused = userFocused())
        focus_.assume(focused->application, focused->fullScreen);
    emit ready(true);
}

void KWinWindows::desktopChanged() {
    if (fromKWin() && initialised_) emit fullScreenOrDesktopChanged();
}

void KWinWindows::commandDone(const QString& scriptName) {
    if (fromKWin()) commands_.erase(scriptName);
}

bool KWinWindows::isOurPanel(const Window& w) {
    return w.offTaskbar && w.application.pid == QCoreApplication::applicationPid();
}

bool KWinWindows::isUsers(const Window& w) { return w.normal && !isOurPanel(w); }

const KWinWindows::Window* KWinWindows::userFocused() const {
    const Window* active = findId(activeId_);
    if (active && isUsers(*active)) return active;
    // A panel of ours that took the keys stands aside for the window the user was in.
    return active && isOurPanel(*active) ? findId(lastUserId_) : nullptr;
}

void KWinWindows::focusChanged() {
    const Window* focused = userFocused();
    if (focused && focus_.focus(focused->application))
        emit applicationActivated(focused->application);
    // Entering or leaving full screen stands for a change of desktop, as on X11.
    if (focus_.setFullScreen(focused && focused->fullScreen)) emit fullScreenOrDesktopChanged();
}

QList<SourceWindow> KWinWindows::listedWindows() const {
    QList<SourceWindow> listed;
    for (const auto& [number, w] : windows_)
        if (isUsers(w)) listed.append(SourceWindow{number, w.application});
    return listed;
}

std::optional<SourceWindow> KWinWindows::focusedWindow() {
    const Window* w = userFocused();
    if (!w) return std::nullopt;
    return SourceWindow{w->number, w->application};
}

std::optional<QRectF> KWinWindows::frame(WindowNumber window) {
    const Window* w = find(window);
    return w ? std::optional<QRectF>(w->frame) : std::nullopt;
}

bool KWinWindows::isFullScreen(WindowNumber window) {
    const Window* w = find(window);
    return w && w->fullScreen;
}

bool KWinWindows::isMinimized(WindowNumber window) {
    const Window* w = find(window);
    return w && w->minimized;
}

void KWinWindows::unminimize(WindowNumber window) {
    command(window, QStringLiteral("w.minimized = false;"));
}

void KWinWindows::activate(WindowNumber window) { command(window, QString::fromUtf8(kActivate)); }

void KWinWindows::command(WindowNumber number, const QString& action) {
    const Window* w = find(number);
    if (!w || kwin_.isEmpty()) return;
    const QString name = KWinScript::newName();
    const QString source = QString::fromUtf8(kPrelude).arg(receiverLiteral()) +
                           QString::fromUtf8(kCommand).arg(KWinScript::quoted(w->id), action,
                                                           KWinScript::quoted(name));
    auto script = std::make_unique<KWinScript>(
        bus_, name, source, [](std::optional<QString>, std::optional<Error> error) {
            if (error) logLine(QStringLiteral("KDE windows: %1.").arg(error->description));
        });
    commands_[script->name()] = std::move(script);
}

}  // namespace mirano::wayland
