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

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <mutex>
#include <vector>

#include <fcntl.h>
#include <signal.h>
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

// Qt ends a start it cannot give a display (none in the environment, or
// one it cannot reach) with a fatal message, an abort and advice to
// reinstall. While the Qt application is made, its messages are held: a
// fatal one is the missing desktop session, told in one line, and the run
// ends with 1 before anything of the program ran or touched a file. Once
// the application stands, the held messages go out as usual.
struct HeldMessage {
    QtMsgType type;
    QByteArray category;
    QString text;
};

struct Starting {
    QByteArray name;
    std::vector<HeldMessage> held;
};

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
        std::fprintf(stderr, "%s needs a graphical desktop session: no display could be opened.\n",
                     starting->name.constData());
        std::fflush(stderr);
        _exit(1);
    }
    starting->held.push_back({type, context.category, text});
}

std::unique_ptr<QApplication> MakeApplication(int& argc, char** argv, const QString& name) {
    Starting state{name.toLocal8Bit(), {}};
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

FileError::FileError(const QString& action, const QString& path, const QString& reason)
    : std::runtime_error(QStringLiteral("Could not %1 the file \"%2\": %3.")
                             .arg(action, path, reason)
                             .toStdString()),
      message_(QString::fromStdString(what())) {}

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
    ReleaseAllWindows();
    RegisterAppObject(nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

bool Invoke(const std::function<void()>& call) {
    if (S().quit) return false;
    try {
        call();
        return true;
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
