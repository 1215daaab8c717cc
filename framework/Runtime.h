// The runtime: the Qt application, the exception boundary every call into the
// program passes, quitting, and the report of an error no handler caught.
#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <stdexcept>

class QApplication;
class QDialog;
class QEventLoop;
class QWidget;

// A file operation that failed: names the file (or the folder) and the
// system's reason.
class FileError : public std::runtime_error {
public:
    enum class Kind { File, Folder };
    FileError(const QString& action, const QString& path, const QString& reason, Kind kind = Kind::File);
    const QString& message() const { return message_; }

private:
    QString message_;
};

// A missing object, or one of another kind than asked for.
class NilObjectException : public std::runtime_error {
public:
    explicit NilObjectException(const QString& what) : std::runtime_error(what.toStdString()) {}
};

// Raised where a handler asks for what a quit has made impossible (a window
// that would first be built while the program quits): it ends that handler
// at the exception boundary without a report, and the quit goes on.
class QuitInProgress : public std::exception {
public:
    const char* what() const noexcept override { return "The program is quitting."; }
};

// What the program is called where the system shows it: the name in
// captions and texts, the icon of every window (a resource path), and the
// desktop entry that names the same icon for the application menu and the
// task bar. The framework reads them back from Qt where it needs them.
struct ApplicationIdentity {
    QString name;
    QString icon;
    QString desktopFile;
};

// Owns the Qt application. Also turns core dumps off and delivers the quit
// signals into the event loop.
class Runtime {
public:
    Runtime(int& argc, char** argv, const ApplicationIdentity& identity);
    // Shutdown, then the Qt application goes.
    ~Runtime();
    Runtime(const Runtime&) = delete;
    Runtime& operator=(const Runtime&) = delete;

    // Releases every window and the application object while Qt still runs.
    void Shutdown();

private:
    std::unique_ptr<QApplication> app_;
};

// Runs a call into the program's code. An exception that escapes it is
// reported in a modal box, then the program quits through the quit command
// (QuitCommand, framework/Window.h),
// so an open editor saves its note first (and stays open when it cannot),
// and the run ends with exit code 1.
// Returns false when the call did not run to its end (or did not run at all
// because the application is quitting).
bool Invoke(const std::function<void()>& call);

// Ends every running loop with the code; nothing further reaches the program.
// After an error that escaped a handler the exit code is 1 whatever is given.
void Quit(int code);
bool IsQuitting();
int ExitCode();

// An end of the process that does not pass Quit: a library that calls
// exit() itself, as Qt's X11 platform does when its display goes. While a
// save is set, such an end runs it before anything of the process is torn
// down, says in one line on standard error what ended the run and what the
// save returned, and ends the process with 1, skipping the rest of exit():
// the static objects are not destroyed, so no window is closed or released
// and nothing more is sent to a display that may be gone. The save runs
// from memory only: it may read what the program holds (a text area's
// text, a window's size) and write files, but must not close, show or ask
// anything of the screen. Setting a save replaces the one set before; Quit
// and Runtime::Shutdown, the normal end, unset it.
void SaveAtUnexpectedEnd(std::function<QString()> save);

// A nested event loop that Quit also ends.
class ModalLoop {
public:
    ModalLoop();
    ~ModalLoop();
    void Run();
    void Exit();

private:
    std::unique_ptr<QEventLoop> loop_;
};

// Every modal of the framework runs here: `show` puts the widget on the
// screen application-modal (the widget's own show() when not given), linked
// to the window it belongs to (the active window, else the front visible
// one), the loop runs until it is exited or the program quits, then the
// widget goes off the screen, is let go by that window, and the front window
// is made active again, so its menu bar and shortcuts answer.
void RunModal(QWidget& widget, ModalLoop& loop, const std::function<void()>& show = nullptr);

// A dialog through RunModal; its result, or QDialog::Rejected when the
// program quit before it was answered.
int RunModalDialog(QDialog& dialog);
