// Driving the real program in tests: files in the preferences folder, the
// real start-up, and modal boxes answered as a user would.
#pragma once

#include "framework/Window.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>

#include <sys/resource.h>
#include <memory>
#include <vector>

class QAction;
class QMenuBar;
class QMessageBox;
class QTimer;
class QWidget;
class Window1;
class Window2;

namespace harness {

QString PrefsPath(const QString& name);
void WriteFile(const QString& name, const QByteArray& bytes);
QByteArray ReadFile(const QString& name);
bool FileExists(const QString& name);
// The names in the preferences folder, hidden ones included, sorted.
QStringList FolderEntries();
// `size` random bytes, the same for the same seed.
QByteArray Junk(int size, quint32 seed);

// The files as they must be on disk, computed here independently of the
// program: the password base64-encoded four times and a line end; the text's
// UTF-8 and two line ends, every byte XORed with 0xC9, then a plain line end.
QByteArray PasswordFileFor(const QByteArray& password);
QByteArray DataFileFor(const QString& text);

// A text as the editor holds it; a data file written from it reads back
// whole, from the empty text on.
struct StoredTextCase {
    const char* name;
    QString text;
};
// Every such case the store and the editor are tried with.
const std::vector<StoredTextCase>& StoredTextCases();

// The open window of the class, or null.
template <class W>
std::shared_ptr<W> OpenWindowOf() {
    return std::dynamic_pointer_cast<W>(::GetImplicitWindow(QString::fromLatin1(W::kFullName)));
}
// The open password window and editor, or null.
std::shared_ptr<::Window1> OpenWindow1();
std::shared_ptr<::Window2> OpenWindow2();

// The start-up up to the event loop, then the application's Open event.
void Launch();
// Lets pending events run for the given time.
void Wait(int ms);

// What a modal box showed when it was answered.
struct Seen {
    QString text;                // the message, from its label or its scrolling area
    QString title;
    QString explanation;         // the informative text below the message, likewise
    int icon = 0;                // QMessageBox::Icon; -1: a picture that is none of them
    QStringList buttons;         // captions, in the box's order (a message dialog's: left to right)
    QString defaultButton;       // caption
    bool plainText = true;       // every label shows its text literally, no links
};

// What a message box or a message dialog shows now.
Seen Shown(QWidget& modal);

// Answers the modal boxes (message boxes and message dialogs) that appear,
// in order, by pressing the button with the given caption ("OK", "Cancel").
// A box beyond the given presses fails the test and is dismissed. `onShown`, when given, runs for each box as it
// is seen, before its button is pressed, to note what else was on the screen.
class ModalAnswers {
public:
    explicit ModalAnswers(std::vector<QString> presses, std::function<void(const Seen&)> onShown = nullptr);
    ~ModalAnswers();
    const std::vector<Seen>& seen() const { return seen_; }
    // The texts of every box answered, in order.
    QStringList texts() const;

private:
    void Poll();
    std::vector<QString> presses_;
    std::vector<Seen> seen_;
    std::function<void(const Seen&)> onShown_;
    std::unique_ptr<QTimer> timer_;
};

// Types into the widget with real key events.
void Type(QWidget* widget, const QString& text);

// Launches, types the password and presses Enter, answering the boxes.
// Returns the texts of the boxes shown.
QStringList EnterPassword(const QString& password, std::vector<QString> presses = {});

// First use: launches with nothing stored, enters the password "Secret123"
// and adopts it; returns the editor, or null.
std::shared_ptr<::Window2> OpenEditorOnFirstUse();

// Stores a password and a note as the program writes them.
void StoreNote(const QString& text, const QByteArray& password = "Secret123");

// Launches on the note stored with the password "Secret123", types `typed`
// and presses Enter, expecting no box; returns the editor once it is shown,
// or null.
std::shared_ptr<::Window2> Unlock(const QString& text, const QString& typed = QStringLiteral("Secret123"));

// The window's Qt menu bar, and the item of one of its menus that carries
// the given name, or null.
QMenuBar* QtBarOf(const ::Window& window);
QAction* ActionNamed(QMenuBar* bar, const QString& name);

// Closes the window as its close box does.
void CloseByUser(QWidget* nativeWindow);

// Makes every write of more than `bytes` bytes fail, as on a full disk
// (this works for root too, unlike a read-only folder); the old limit comes
// back at its end.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit old_{};
};

}  // namespace harness
