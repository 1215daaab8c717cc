#include "framework/Runtime.h"

#include "framework/Application.h"
#include "framework/Window.h"

#include <QApplication>
#include <QDialog>
#include <QEventLoop>
#include <QIcon>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

struct State {
    bool quit = false;
    bool failed = false;        // an error escaped a handler
    int exitCode = 0;
    std::vector<QEventLoop*> loops;
    std::vector<const QWidget*> modals;  // the modals shown, outermost first
};

State& S() {
    static State state;
    return state;
}

// The text of the report shown for an unhandled error.
QString UnhandledErrorText(const std::exception& e) {
    return QStringLiteral("%1 cannot go on and will quit.\n\n%2")
        .arg(QApplication::applicationName(), QString::fromStdString(e.what()));
}

void Report(const std::exception& e) {
    QMessageBox box(QMessageBox::Critical, QApplication::applicationName(), UnhandledErrorText(e),
                    QMessageBox::Ok);
    RunModalDialog(box);
}

// The note and the password are in the process's memory: no core file, and
// no other process of the user may read it.
void DisableCoreDumps() {
    const rlimit none{0, 0};
    setrlimit(RLIMIT_CORE, &none);
    prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
}

// The end of the session (SIGTERM, SIGHUP) and Ctrl+C (SIGINT) are the
// platform's quit, so the editor saves. The handler only writes a byte to a
// pipe; the event loop reads it and quits as the Quit command does.
int quitSignalPipe[2] = {-1, -1};

extern "C" void OnQuitSignal(int) {
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = write(quitSignalPipe[1], &byte, 1);
    errno = saved;
}

void DeliverQuitSignals(QObject* owner) {
    if (quitSignalPipe[0] < 0 && pipe2(quitSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    auto* notifier = new QSocketNotifier(quitSignalPipe[0], QSocketNotifier::Read, owner);
    QObject::connect(notifier, &QSocketNotifier::activated, [] {
        char bytes[16];
        while (read(quitSignalPipe[0], bytes, sizeof bytes) > 0) {
        }
        QuitCommand();
    });
    struct sigaction action {};
    action.sa_handler = OnQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGHUP, SIGINT}) sigaction(signal, &action, nullptr);
}

// Qt ends a start it cannot give a platform with a fatal message, an abort
// and advice to reinstall. While the Qt application is made, its messages
// are held; a fatal one ends the run with 1 before anything of the program
// ran or touched a file. Where there is no display (none named, or the one
// named cannot be opened, and no platform was asked for) that is the
// missing desktop session, told in one line. Any other failure is Qt's own:
// its words, held and fatal, go out as Qt writes them, after a line naming
// the platform asked for. Once the application stands, the held messages go
// out as usual.
struct HeldMessage {
    QtMsgType type;
    QByteArray category;
    QString text;
};

struct Starting {
    QByteArray name;
    QByteArray platform;  // as asked for, empty when it was not
    const char* askedWith = nullptr;  // "-platform" or "QT_QPA_PLATFORM"
    std::vector<HeldMessage> held;
};

// The platform asked for: -platform on the command line (Qt takes the last
// one, also spelt --platform) before QT_QPA_PLATFORM.
void NotePlatformAskedFor(Starting& state, int argc, char** argv) {
    for (int i = 1; i + 1 < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "-platform" || arg == "--platform") {
            state.platform = argv[++i];
            state.askedWith = "-platform";
        }
    }
    if (state.askedWith) return;
    state.platform = qgetenv("QT_QPA_PLATFORM");
    if (!state.platform.isEmpty()) state.askedWith = "QT_QPA_PLATFORM";
}

// Whether the X display DISPLAY names answers, asked of the X library
// itself (loaded only here: it is Qt's X platform's business otherwise).
bool XDisplayOpens() {
    if (qgetenv("DISPLAY").isEmpty()) return false;
    void* xcb = dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL);
    if (!xcb) return false;
    using Connect = void* (*)(const char*, int*);
    using HasError = int (*)(void*);
    using Disconnect = void (*)(void*);
    const auto connect = reinterpret_cast<Connect>(dlsym(xcb, "xcb_connect"));
    const auto hasError = reinterpret_cast<HasError>(dlsym(xcb, "xcb_connection_has_error"));
    const auto disconnect = reinterpret_cast<Disconnect>(dlsym(xcb, "xcb_disconnect"));
    bool opens = false;
    if (connect && hasError && disconnect) {
        void* connection = connect(nullptr, nullptr);
        opens = connection && hasError(connection) == 0;
        if (connection) disconnect(connection);
    }
    dlclose(xcb);
    return opens;
}

// Whether a compositor listens where WAYLAND_DISPLAY names its socket: the
// path itself, or a name in XDG_RUNTIME_DIR.
bool WaylandDisplayOpens() {
    QByteArray path = qgetenv("WAYLAND_DISPLAY");
    if (path.isEmpty()) return false;
    if (!path.startsWith('/')) {
        const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
        if (runtime.isEmpty()) return false;
        path = runtime + '/' + path;
    }
    sockaddr_un address{};
    if (size_t(path.size()) >= sizeof address.sun_path) return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const bool opens = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return opens;
}

bool NoDisplay(const Starting& state) {
    if (state.askedWith) return false;
    return !XDisplayOpens() && !WaylandDisplayOpens();
}

void WriteAsQtDoes(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    std::fprintf(stderr, "%s\n", qFormatLogMessage(type, context, text).toLocal8Bit().constData());
}

// A thread of a platform plugin may log while the application is made, or
// just as the hold ends: the hold is shared under a lock, and a message that
// comes after it goes where messages go after the start.
std::mutex startingLock;
Starting* starting = nullptr;
QtMessageHandler afterStart = nullptr;

void HoldWhileStarting(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    std::unique_lock<std::mutex> lock(startingLock);
    if (!starting) {
        lock.unlock();
        if (afterStart) afterStart(type, context, text);
        else std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
        return;
    }
    if (type == QtFatalMsg) {
        const char* name = starting->name.constData();
        if (NoDisplay(*starting)) {
            std::fprintf(stderr, "%s needs a graphical desktop session: no display could be opened.\n", name);
        } else {
            if (starting->askedWith)
                std::fprintf(stderr, "%s could not start on the platform \"%s\" asked for with %s:\n", name,
                             starting->platform.constData(), starting->askedWith);
            else
                std::fprintf(stderr, "%s could not start on Qt's default platform:\n", name);
            for (const HeldMessage& m : starting->held)
                WriteAsQtDoes(m.type,
                              QMessageLogContext(nullptr, 0, nullptr,
                                                 m.category.isEmpty() ? "default" : m.category.constData()),
                              m.text);
            WriteAsQtDoes(type, context, text);
        }
        std::fflush(stderr);
        _exit(1);
    }
    starting->held.push_back({type, context.category, text});
}

std::unique_ptr<QApplication> MakeApplication(int& argc, char** argv, const QString& name) {
    Starting state{name.toLocal8Bit(), {}, nullptr, {}};
    NotePlatformAskedFor(state, argc, argv);
    {
        const std::lock_guard<std::mutex> lock(startingLock);
        starting = &state;
    }
    afterStart = qInstallMessageHandler(HoldWhileStarting);
    auto app = std::make_unique<QApplication>(argc, argv);
    qInstallMessageHandler(afterStart);
    {
        const std::lock_guard<std::mutex> lock(startingLock);
        starting = nullptr;
    }
    for (const HeldMessage& m : state.held)
        qt_message_output(m.type,
                          QMessageLogContext(nullptr, 0, nullptr, m.category.isEmpty() ? "default" : m.category.constData()),
                          m.text);
    return app;
}

}  // namespace

FileError::FileError(const QString& action, const QString& path, const QString& reason, Kind kind)
    : std::runtime_error((kind == Kind::Folder ? QStringLiteral("Could not %1 the folder \"%2\": %3.")
                                               : QStringLiteral("Could not %1 the file \"%2\": %3."))
                             .arg(action, path, reason)
                             .toStdString()),
      message_(QString::fromStdString(what())) {}

namespace {

// The save for an end that does not pass Quit. Never destroyed: the end
// runs inside exit(), while static objects go.
struct UnexpectedEnd {
    std::function<QString()> save;
    QString name;
    bool registered = false;
};

UnexpectedEnd& End() {
    static auto* end = new UnexpectedEnd;
    return *end;
}

void UnsetUnexpectedEndSave() { End().save = nullptr; }

// Read from the connection's own state: nothing is sent to the server.
bool DisplayConnectionLost() {
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    auto* x11 = app ? app->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    return connection && xcb_connection_has_error(connection) != 0;
}

// Runs in exit() before every handler and static destructor registered
// before the save was set: the windows, the program's state and the Qt
// objects that the start-up and the loading of the note made, which the
// save works with, are still whole. Qt's X11 platform calls exit() on the
// GUI thread, so the save reads the widgets where they live. Then the
// process ends here: the
// rest of exit() would destroy static objects under living widgets, and a
// widget going now would talk to a display that is gone (a second X error
// inside exit() is undefined). The system releases the lock of the
// preferences folder with the process.
extern "C" void SaveAtExit() {
    UnexpectedEnd& end = End();
    if (!end.save) return;
    const std::function<QString()> save = std::move(end.save);
    end.save = nullptr;
    QString outcome;
    try {
        outcome = save();
    } catch (const std::exception& e) {
        outcome = QString::fromStdString(e.what());
    } catch (...) {
        outcome = QStringLiteral("An unknown error occurred.");
    }
    const QString cause = DisplayConnectionLost() ? QStringLiteral("%1 lost its connection to the display.")
                                                  : QStringLiteral("%1 was ended before it could quit.");
    const QByteArray line = (cause.arg(end.name) + QStringLiteral("  ") + outcome).toLocal8Bit() + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(nullptr);
    _exit(1);
}

}  // namespace

void SaveAtUnexpectedEnd(std::function<QString()> save) {
    UnexpectedEnd& end = End();
    end.name = QCoreApplication::applicationName();
    end.save = std::move(save);
    // Registered as late as possible, once there is something to save, so
    // that it runs before what the run set up until then is torn down.
    if (end.save && !end.registered) end.registered = std::atexit(SaveAtExit) == 0;
}

Runtime::Runtime(int& argc, char** argv, const ApplicationIdentity& identity) {
    DisableCoreDumps();
    S() = State{};
    app_ = MakeApplication(argc, argv, identity.name);
    DeliverQuitSignals(app_.get());
    QApplication::setApplicationName(identity.name);
    QApplication::setWindowIcon(QIcon(identity.icon));
    QGuiApplication::setDesktopFileName(identity.desktopFile);
    // The program decides when it ends, not the last window.
    QApplication::setQuitOnLastWindowClosed(false);
}

Runtime::~Runtime() {
    // Windows and widgets go while the application object still exists.
    Shutdown();
    app_.reset();
}

void Runtime::Shutdown() {
    // The windows the save reads from go now.
    UnsetUnexpectedEndSave();
    ReleaseAllWindows();
    RegisterAppObject(nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

bool Invoke(const std::function<void()>& call) {
    if (S().quit) return false;
    try {
        call();
        return true;
    } catch (const QuitInProgress&) {
        // The quit that keeps the call from going on is the run's end.
        return false;
    } catch (const std::exception& e) {
        S().failed = true;
        Report(e);
    } catch (...) {
        S().failed = true;
        Report(std::runtime_error("An unknown error occurred."));
    }
    // The platform's quit, as Ctrl+Q: the editor saves its note first.
    QuitCommand();
    return false;
}

void Quit(int code) {
    State& s = S();
    if (s.quit) return;
    s.quit = true;
    s.exitCode = code;
    // The program's own end: whatever it saves, its windows' Close events
    // saved.
    UnsetUnexpectedEndSave();
    for (QEventLoop* loop : s.loops) loop->exit(code);
}

bool IsQuitting() { return S().quit; }

// A run in which an error escaped a handler ends non-zero, also when the
// error came after the quit itself (a handler that quits, then fails).
int ExitCode() { return S().failed && S().exitCode == 0 ? 1 : S().exitCode; }

ModalLoop::ModalLoop() : loop_(std::make_unique<QEventLoop>()) {}

ModalLoop::~ModalLoop() {
    auto& loops = S().loops;
    loops.erase(std::remove(loops.begin(), loops.end(), loop_.get()), loops.end());
}

void ModalLoop::Run() {
    if (S().quit) return;
    S().loops.push_back(loop_.get());
    loop_->exec();
    auto& loops = S().loops;
    loops.erase(std::remove(loops.begin(), loops.end(), loop_.get()), loops.end());
}

void ModalLoop::Exit() { loop_->exit(0); }

namespace {

// The window a modal belongs to: the window the user acted in (the active
// one), else the front visible window of the program, else none. Never the
// modal itself, nor a hidden window (the version window that the update
// window closes as it opens, the password window behind the editor).
struct ModalOwner {
    QWidget* widget = nullptr;
    // Holds the owning window, and so its widgets, while the modal is linked.
    std::shared_ptr<Window> window;
};

ModalOwner OwnerOf(const QWidget& modal) {
    const auto usable = [&modal](QWidget* w) { return w && w != &modal && w->isVisible(); };
    const std::vector<std::shared_ptr<Window>> windows = OpenWindows();
    if (QWidget* active = QApplication::activeWindow(); usable(active)) {
        for (const auto& window : windows)
            if (window->NativeWindow() == active) return {active, window};
        // A modal further out runs below this one and outlives it.
        const auto& modals = S().modals;
        if (std::find(modals.begin(), modals.end(), active) != modals.end()) return {active, nullptr};
    }
    for (const auto& window : windows)
        if (usable(window->NativeWindow())) return {window->NativeWindow(), window};
    return {};
}

// Links a modal to its owner while it is shown, so that the window manager
// keeps it above the owner and gives the focus back to the owner when it
// goes. A dialog becomes the owner's child window, a dialog still; it lives
// on its caller's stack, so it is let go again before the owner could delete
// it. A window's own widget belongs to its window and is only made transient
// for the owner; the system reads that link as the widget is mapped, so one
// already on the screen is mapped again.
class OwnerLink {
public:
    OwnerLink(QWidget& modal, ModalOwner owner) : modal_(modal), owner_(std::move(owner)) {
        if (!owner_.widget) return;
        dialog_ = qobject_cast<QDialog*>(&modal) != nullptr;
        if (dialog_) {
            modal.setParent(owner_.widget, modal.windowFlags());
            return;
        }
        if (modal.isVisible()) modal.hide();
        modal.winId();
        modal.windowHandle()->setTransientParent(owner_.widget->windowHandle());
    }
    ~OwnerLink() {
        if (!owner_.widget) return;
        if (dialog_) modal_.setParent(nullptr, modal_.windowFlags());
        else if (QWindow* handle = modal_.windowHandle()) handle->setTransientParent(nullptr);
    }
    OwnerLink(const OwnerLink&) = delete;
    OwnerLink& operator=(const OwnerLink&) = delete;

private:
    QWidget& modal_;
    const ModalOwner owner_;
    bool dialog_ = false;
};

}  // namespace

void RunModal(QWidget& widget, ModalLoop& loop, const std::function<void()>& show) {
    if (S().quit) return;
    {
        const OwnerLink link(widget, OwnerOf(widget));
        widget.setWindowModality(Qt::ApplicationModal);
        auto& modals = S().modals;
        modals.push_back(&widget);
        if (show) show();
        else widget.show();
        loop.Run();
        modals.erase(std::remove(modals.begin(), modals.end(), &widget), modals.end());
        widget.hide();
    }
    ActivateFrontWindow();
}

int RunModalDialog(QDialog& dialog) {
    ModalLoop loop;
    bool answered = false;
    const QMetaObject::Connection finished =
        QObject::connect(&dialog, &QDialog::finished, &dialog, [&](int) {
            answered = true;
            loop.Exit();
        });
    RunModal(dialog, loop);
    QObject::disconnect(finished);
    // A quit ended it: nothing that was chosen in it runs any more.
    return answered && !S().quit ? dialog.result() : int(QDialog::Rejected);
}
