// Quitting and modals with the editor open: an error that escapes a handler,
// a quit signal during a modal, and the menus and shortcuts after a modal.
// The quit signals are real signals to this process, delivered as the
// program's own are.
#include "tests/Harness.h"

#include "framework/Controls.h"
#include "framework/Runtime.h"
#include "framework/Window.h"
#include "update/selfTest.h"
#include "update/updateWindow.h"
#include "windows/about/AboutBox.h"
#include "windows/editor/Window2.h"

#include <QApplication>
#include <QDir>
#include <QMainWindow>
#include <QMessageBox>
#include <QPrintDialog>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <csignal>

using namespace harness;

namespace {

const QString kEdited = QStringLiteral("the old note and the new line");

// Unlocks a stored note and edits it; returns the editor.
std::shared_ptr<Window2> OpenEditedNote() {
    auto w2 = Unlock("the old note");
    if (w2) w2->EditField1()->SetText(kEdited);
    return w2;
}

// A file that can no longer be written, as on a full disk: a folder stands
// in its place, so no write can replace it.
void MakeUnwritable(const QString& name) {
    QFile::remove(PrefsPath(name));
    ASSERT_TRUE(QDir().mkdir(PrefsPath(name)));
}

void MakeWritable(const QString& name) { ASSERT_TRUE(QDir().rmdir(PrefsPath(name))); }

QString WriteFailed(const QString& name) {
    return QStringLiteral("Could not write the file \"%1\": Filename refers to a directory.").arg(PrefsPath(name));
}

QString NotSaved() {
    return QStringLiteral("Your text was not saved.  %1  The window stays open: fix the cause and close it "
                          "again, or copy your text elsewhere.")
        .arg(WriteFailed("tindrel.plist"));
}

int VisibleBoxes() {
    int count = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<QMessageBox*>(w) && w->isVisible()) ++count;
    return count;
}

void QuitSignal() {
    raise(SIGTERM);
    Wait(100);
}

}  // namespace

// ---- An error that escapes a handler --------------------------------------

// With room for the note the quit saves it and the run ends with 1; without,
// the editor stays open with its message, and a later quit still saves.
class EscapedError : public ::testing::TestWithParam<bool> {};

TEST_P(EscapedError, QuitsAsTheQuitCommandSoTheEditorSavesFirst) {
    const bool noteWritable = GetParam();
    const QString report = QStringLiteral("Morvellan cannot go on and will quit.\n\n") +
                           WriteFailed("tindrelfontsize.txt");
    auto w2 = OpenEditedNote();
    ASSERT_TRUE(w2);
    MakeUnwritable("tindrelfontsize.txt");
    if (!noteWritable) MakeUnwritable("tindrel.plist");
    ModalAnswers answers({"OK", "OK"});
    ChooseMenuItem(w2, QStringLiteral("FontSizeLarger"));
    Wait(50);
    if (noteWritable) {
        EXPECT_EQ(answers.texts(), QStringList{report});
        EXPECT_TRUE(IsQuitting());
        EXPECT_EQ(ExitCode(), 1);
        EXPECT_FALSE(w2->IsOpen());
        EXPECT_EQ(ReadFile("tindrel.plist"), DataFileFor(kEdited));
        return;
    }
    EXPECT_EQ(answers.texts(), (QStringList{report, NotSaved()}));
    EXPECT_FALSE(IsQuitting());
    EXPECT_TRUE(w2->IsOpen()) << "the editor stays open with its text";
    EXPECT_EQ(w2->EditField1()->Text(), kEdited);
    // Once the note can be written again, Ctrl+Q saves it, and the run
    // still ends with the code of the error.
    MakeWritable("tindrel.plist");
    QuitCommand();
    EXPECT_TRUE(IsQuitting());
    EXPECT_EQ(ExitCode(), 1);
    EXPECT_EQ(ReadFile("tindrel.plist"), DataFileFor(kEdited));
}

INSTANTIATE_TEST_SUITE_P(Note, EscapedError, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Writable" : "Unwritable"; });

// A handler that quits and then fails still ends the run non-zero.
TEST(EscapedErrorAfterQuit, StillEndsTheRunNonZero) {
    Launch();
    EXPECT_FALSE(Invoke([] {
        Quit(0);
        throw std::runtime_error("after the quit");
    }));
    EXPECT_TRUE(IsQuitting());
    EXPECT_EQ(ExitCode(), 1);
}

// ---- An error while a window opens ----------------------------------------

namespace {
// A window whose Open, or its field's Open, fails; it counts its Closes.
class FailingWindow : public Window {
public:
    explicit FailingWindow(bool inControl) : Window("FailingWindow.FailingWindow"), inControl_(inControl) {}
    void CreateControls() override {
        auto field = std::make_shared<TextField>(*this);
        AddControl("Field", field);
        if (inControl_) field->AddEventHandler(kEventOpen, [] { throw std::runtime_error("in the field's Open"); });
    }
    void Event_Open() override {
        if (!inControl_) throw std::runtime_error("in the window's Open");
        opened = true;
    }
    void Event_Close() override { ++closes; }
    bool opened = false;
    int closes = 0;

private:
    bool inControl_;
};
}  // namespace

// The error is reported once and the run quits with 1, as from any
// handler; the window never opened, so the quit does not close it.
class ErrorWhileAWindowOpens : public ::testing::TestWithParam<bool> {};

TEST_P(ErrorWhileAWindowOpens, WithdrawsTheWindowWithoutItsClose) {
    const bool inControl = GetParam();
    Launch();
    ModalAnswers answers({"OK"});
    auto window = std::make_shared<FailingWindow>(inControl);
    // Made from a handler, as the program makes its windows: the quit after
    // the report ends that handler too, without a second report.
    EXPECT_FALSE(Invoke([&] { window->Constructor(); }));
    EXPECT_EQ(answers.texts(), QStringList{QStringLiteral("Morvellan cannot go on and will quit.\n\nin the ") +
                                           (inControl ? "field's Open" : "window's Open")});
    EXPECT_FALSE(window->IsOpen());
    EXPECT_FALSE(window->Visible());
    EXPECT_FALSE(window->opened);
    EXPECT_EQ(window->closes, 0);
    EXPECT_FALSE(GetImplicitWindow("FailingWindow.FailingWindow"));
    EXPECT_TRUE(IsQuitting());
    EXPECT_EQ(ExitCode(), 1);
}

INSTANTIATE_TEST_SUITE_P(Failing, ErrorWhileAWindowOpens, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "ControlOpen" : "WindowOpen"; });

// ---- A quit signal during a modal -----------------------------------------

class QuitDuringPrintDialog : public ::testing::TestWithParam<const char*> {};

TEST_P(QuitDuringPrintDialog, EndsTheDialogSavesAndPrintsNothing) {
    auto w2 = OpenEditedNote();
    ASSERT_TRUE(w2);
    bool shown = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget());
        if (!dialog || shown) return;
        shown = true;
        raise(SIGTERM);
    });
    poll.start(20);
    // Returns once the dialog has ended, which the quit does; nothing is
    // printed for the closed note.
    ChooseMenuItem(w2, QString::fromLatin1(GetParam()));
    ASSERT_TRUE(shown) << "the print dialog was shown";
    EXPECT_FALSE(QApplication::activeModalWidget());
    EXPECT_TRUE(IsQuitting());
    EXPECT_EQ(ExitCode(), 0);
    EXPECT_EQ(ReadFile("tindrel.plist"), DataFileFor(kEdited));
}

INSTANTIATE_TEST_SUITE_P(Items, QuitDuringPrintDialog, ::testing::Values("FilePrint", "FilePrintHelp"));

// The editor's close box while its note cannot be written: a quit signal
// during the message waits for that Close instead of running a second one.
TEST(QuitDuringClose, WaitsForTheCloseThenRunsOnce) {
    auto w2 = OpenEditedNote();
    ASSERT_TRUE(w2);
    MakeUnwritable("tindrel.plist");
    ModalAnswers answers({"OK"}, [&](const Seen&) {
        QuitSignal();
        EXPECT_EQ(VisibleBoxes(), 1) << "no second box inside the first";
        EXPECT_EQ(OpenWindow2(), w2);
        MakeWritable("tindrel.plist");  // room on the disk again
    });
    CloseByUser(w2->NativeWindow());
    Wait(100);
    EXPECT_EQ(answers.texts(), QStringList{NotSaved()});
    // The quit that waited ran once the Close was over, and saved.
    EXPECT_TRUE(IsQuitting());
    EXPECT_EQ(ExitCode(), 0);
    EXPECT_EQ(ReadFile("tindrel.plist"), DataFileFor(kEdited));
    EXPECT_FALSE(OpenWindow2()) << "no editor built during the quit";
}

TEST(QuitDuringClose, EveryQuitSignalIsOneAttemptNeverLost) {
    auto w2 = OpenEditedNote();
    ASSERT_TRUE(w2);
    MakeUnwritable("tindrel.plist");
    {
        ModalAnswers answers({"OK", "OK"}, [&](const Seen&) {
            if (VisibleBoxes() != 1) ADD_FAILURE() << "boxes one at a time";
            EXPECT_EQ(OpenWindow2(), w2);
        });
        // The first box comes from the quit of a signal; a second signal
        // during it is a second attempt after it, which fails as well.
        QTimer::singleShot(0, [] { raise(SIGTERM); });
        QTimer::singleShot(30, [] { raise(SIGTERM); });
        Wait(300);
        EXPECT_EQ(answers.texts(), (QStringList{NotSaved(), NotSaved()}));
    }
    EXPECT_FALSE(IsQuitting());
    EXPECT_TRUE(w2->IsOpen());
    EXPECT_EQ(OpenWindow2(), w2);
    // A later signal, with room again, is not dropped.
    MakeWritable("tindrel.plist");
    QuitSignal();
    EXPECT_TRUE(IsQuitting());
    EXPECT_EQ(ReadFile("tindrel.plist"), DataFileFor(kEdited));
}

// ---- Menus and shortcuts after a modal ------------------------------------

namespace {

// Answers every request with an empty body, as a server that has nothing.
class EmptyBodyServer {
public:
    EmptyBodyServer() {
        if (!server_.listen(QHostAddress::LocalHost, 0)) qFatal("cannot listen");
        qputenv("MORVELLAN_SITE", QByteArray("127.0.0.1:") + QByteArray::number(server_.serverPort()));
        QObject::connect(&server_, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket] {
                    if (!socket->readAll().contains("\r\n\r\n")) return;
                    socket->write("HTTP/1.1 200 OK\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
                    socket->disconnectFromHost();
                });
                QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }

private:
    QTcpServer server_;
};

// Expects the editor to be the active window and Ctrl+Q in it to quit,
// saving the note.
void ExpectCtrlQQuitsFromTheEditor(const std::shared_ptr<Window2>& w2) {
    Wait(50);
    EXPECT_EQ(QApplication::activeWindow(), w2->NativeWindow())
        << (QApplication::activeWindow() ? QApplication::activeWindow()->windowTitle().toStdString() : "none");
    QTest::keyClick(w2->EditField1()->NativeWidget(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_TRUE(IsQuitting()) << "Ctrl+Q answered";
    EXPECT_EQ(ReadFile("tindrel.plist"), DataFileFor(kEdited));
}

}  // namespace

class MenusAfterUpdateCheck : public ::testing::TestWithParam<bool> {};

TEST_P(MenusAfterUpdateCheck, AnswerOnceTheEmptyReplyHasClosedTheWindow) {
    EmptyBodyServer server;
    auto w2 = OpenEditedNote();
    ASSERT_TRUE(w2);
    ModalAnswers none({});
    ChooseMenuItem(w2, QStringLiteral("CheckforUpdateCheckNow"));
    auto version = OpenWindowOf<selfTest>();
    ASSERT_TRUE(version);
    // The button by Return or by a click; both return once the update window
    // has closed.
    if (GetParam()) QTest::keyClick(version->Content(), Qt::Key_Return);
    else QTest::mouseClick(version->PushButton1()->NativeWidget(), Qt::LeftButton);
    EXPECT_FALSE(version->IsOpen()) << "the update window ran and closed the version window";
    ASSERT_FALSE(OpenWindowOf<updateWindow>());
    ExpectCtrlQQuitsFromTheEditor(w2);
}

INSTANTIATE_TEST_SUITE_P(Ways, MenusAfterUpdateCheck, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Return" : "Click"; });

TEST(MenusAfterMessageBox, AnswerOnceTheBoxIsDismissed) {
    auto w2 = OpenEditedNote();
    ASSERT_TRUE(w2);
    ModalAnswers answers({"OK"});
    w2->FindString()->SetText(QStringLiteral("ab"));
    QTest::mouseClick(w2->Find()->NativeWidget(), Qt::LeftButton);
    EXPECT_EQ(answers.texts(), QStringList{QStringLiteral("The find text should be at least three characters!")});
    ExpectCtrlQQuitsFromTheEditor(w2);
}

// ---- Windows without a menu bar -------------------------------------------

class WindowWithoutBar : public ::testing::TestWithParam<const char*> {};

TEST_P(WindowWithoutBar, AnswersTheApplicationBarsShortcuts) {
    auto w2 = OpenEditedNote();
    ASSERT_TRUE(w2);
    ChooseMenuItem(w2, QString::fromLatin1(GetParam()));
    Wait(50);
    auto* active = qobject_cast<QMainWindow*>(QApplication::activeWindow());
    ASSERT_TRUE(active);
    ASSERT_NE(active, w2->NativeWindow());
    EXPECT_FALSE(active->menuWidget()) << "it shows no bar of its own";
    QTest::keyClick(active, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_TRUE(IsQuitting());
    EXPECT_EQ(ExitCode(), 0);
    EXPECT_EQ(ReadFile("tindrel.plist"), DataFileFor(kEdited));
}

INSTANTIATE_TEST_SUITE_P(Windows, WindowWithoutBar,
                         ::testing::Values("TindrelHelpAboutMorvellan", "CheckforUpdateCheckNow"));
