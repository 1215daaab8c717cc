#include "framework/Runtime.h"

#include "framework/Application.h"
#include "framework/Window.h"

#include <QApplication>
#include <QEventLoop>
#include <QIcon>
#include <QMessageBox>

#include <algorithm>
#include <vector>

namespace {

struct State {
    QApplication* app = nullptr;
    bool quit = false;
    bool quitCommandRunning = false;
    int exitCode = 0;
    std::vector<QEventLoop*> loops;
};

State& S() {
    static State state;
    return state;
}

void Report(const std::exception& e) {
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Morvellan"), UnhandledErrorText(e),
                    QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    ModalLoop loop;
    QObject::connect(&box, &QDialog::finished, [&loop](int) { loop.Exit(); });
    box.show();
    loop.Run();
}

}  // namespace

FileError::FileError(const QString& action, const QString& path, const QString& reason)
    : std::runtime_error(QStringLiteral("Could not %1 the file \"%2\": %3.")
                             .arg(action, path, reason)
                             .toStdString()),
      path_(path),
      reason_(reason),
      message_(QString::fromStdString(what())) {}

Runtime::Runtime(int& argc, char** argv) {
    S() = State{};
    S().app = new QApplication(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Morvellan"));
    // One icon for every window, and the desktop entry that names the same
    // icon for the application menu and the task bar.
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/morvellan.svg")));
    QGuiApplication::setDesktopFileName(QStringLiteral("morvellan"));
    // The program decides when it ends, not the last window.
    QApplication::setQuitOnLastWindowClosed(false);
}

Runtime::~Runtime() {
    Shutdown();
    delete S().app;
    S().app = nullptr;
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
        Report(e);
    } catch (...) {
        Report(std::runtime_error("An unknown error occurred."));
    }
    Quit(1);
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

int ExitCode() { return S().exitCode; }

void QuitCommand() {
    State& s = S();
    if (s.quit || s.quitCommandRunning) return;
    s.quitCommandRunning = true;
    for (const auto& window : OpenWindows()) {
        if (s.quit) break;
        window->Close();
    }
    s.quitCommandRunning = false;
    Quit(0);
}

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

QString UnhandledErrorText(const std::exception& e) {
    return QStringLiteral("Morvellan cannot go on and will quit.\n\n%1")
        .arg(QString::fromStdString(e.what()));
}
