// What only a real X server with a window manager shows: window frames,
// the focus, and the end of a run whose display goes.
#include "tests/Harness.h"
#include "tests/child/Children.h"

#include "app/Startup.h"
#include "framework/Window.h"
#include "windows/editor/Window2.h"
#include "windows/password/Window1.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

using namespace harness;

namespace {

// An X server of its own with a window manager, ended with the test.
class RealScreen {
public:
    bool Start() {
        const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        const QString openbox = QStandardPaths::findExecutable(QStringLiteral("openbox"));
        if (xvfb.isEmpty() || openbox.isEmpty()) return false;
        // The server picks a free display and writes its number.
        server_.start(xvfb, {"-displayfd", "1", "-screen", "0", "1024x700x24", "-nolisten", "tcp"});
        if (!QTest::qWaitFor([this] { return server_.canReadLine() || server_.state() == QProcess::NotRunning; },
                             10000) ||
            !server_.canReadLine())
            return false;
        display_ = QStringLiteral(":") + QString::fromLatin1(server_.readLine().trimmed());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", display_);
        manager_.setProcessEnvironment(env);
        // Ready once it runs its start-up command: a window mapped while the
        // manager still takes over the screen may never be shown.
        const QString ready = dir_.filePath(QStringLiteral("ready"));
        manager_.start(openbox, {"--startup", "touch " + ready});
        return manager_.waitForStarted(10000) && QTest::qWaitFor([&] { return QFile::exists(ready); }, 10000);
    }
    ~RealScreen() {
        for (QProcess* p : {&manager_, &server_}) {
            if (p->state() == QProcess::NotRunning) continue;
            p->terminate();
            if (!p->waitForFinished(5000)) {
                p->kill();
                p->waitForFinished(5000);
            }
        }
    }
    const QString& Display() const { return display_; }
    // The server dies as a crashed one does: every client's connection breaks.
    void KillServer() {
        server_.kill();
        server_.waitForFinished(5000);
    }

private:
    QProcess server_, manager_;
    QString display_;
    QTemporaryDir dir_;
};

}  // namespace

namespace {

// Runs one test of the helper program on the real screen, with the given
// variable set, and gives what it printed; it must pass.
QString RunChild(const RealScreen& screen, const char* test, const char* variable, const QString& value) {
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("DISPLAY", screen.Display());
    env.insert(variable, value);
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QStringLiteral(MORVELLAN_TEST_CHILD), {QStringLiteral("--gtest_filter=") + test});
    EXPECT_TRUE(child.waitForFinished(60000));
    const QString out = QString::fromLocal8Bit(child.readAll());
    EXPECT_EQ(child.exitCode(), 0) << out.toStdString();
    EXPECT_TRUE(out.contains("[  PASSED  ] 1 test")) << out.toStdString();
    return out;
}

}  // namespace

TEST(Screen, RestoredEditorLiesInsideTheFreeAreaFrameIncluded) {
    RealScreen screen;
    if (!screen.Start()) GTEST_SKIP() << "no Xvfb and openbox here";
    // Larger than the screen, then what that run saved: it opens the same
    // way and saves the same size again.
    QByteArray stored = "99999,99999";
    QByteArray first;
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(stored.toStdString());
        const QString out = RunChild(screen, "ScreenChild.RestoredEditorLiesInsideTheFreeArea", kChildMarker,
                                     QString::fromLatin1(stored));
        const QRegularExpressionMatch saved = QRegularExpression("saved: (\\d+,\\d+)").match(out);
        ASSERT_TRUE(saved.hasMatch()) << out.toStdString();
        stored = saved.captured(1).toLatin1();
        if (run == 0) first = stored;
        else EXPECT_EQ(stored, first) << "the saved size drifted";
    }
}

TEST(Screen, EditorStaysActiveAfterQuickUpdateChecks) {
    RealScreen screen;
    if (!screen.Start()) GTEST_SKIP() << "no Xvfb and openbox here";
    RunChild(screen, "ScreenChild.EditorStaysActiveAfterQuickUpdateChecks", kFocusChildMarker, "1");
}

namespace {

// What a run whose display went left behind.
struct LostRun {
    int exitCode = -1;
    QByteArray size;     // "height\nwidth\n" as the editor held it
    QByteArray errors;   // its standard error
};

// Starts the child on the real screen on this test's folder: it opens the
// editor (on the stored note when `stored`), types `typed`, and once it says
// so, the X server is killed.
LostRun TypeThenLoseTheDisplay(const QString& typed, bool stored,
                               const std::function<void()>& beforeTheEnd = nullptr) {
    LostRun run;
    RealScreen screen;
    if (!screen.Start()) return run;
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("DISPLAY", screen.Display());
    env.insert(kLostDisplayPrefs, qEnvironmentVariable("XDG_CONFIG_HOME"));
    env.insert(kLostDisplayTyped, typed);
    if (stored) env.insert(kLostDisplayStored, "1");
    child.setProcessEnvironment(env);
    child.start(QStringLiteral(MORVELLAN_TEST_CHILD), {"--gtest_filter=ScreenChild.TypesThenRunsUntilTheDisplayGoes"});
    QByteArray out;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            child.waitForReadyRead(50);
            out += child.readAllStandardOutput();
            return (out.contains("ready ") && out.endsWith('\n')) || child.state() == QProcess::NotRunning;
        },
        30000));
    const QRegularExpressionMatch ready = QRegularExpression("ready (\\d+),(\\d+)\n").match(QString::fromLatin1(out));
    if (!ready.hasMatch()) {
        ADD_FAILURE() << out.toStdString() << child.readAllStandardError().toStdString();
        return run;
    }
    run.size = ready.captured(1).toLatin1() + "\n" + ready.captured(2).toLatin1() + "\n";
    if (beforeTheEnd) beforeTheEnd();
    screen.KillServer();
    EXPECT_TRUE(child.waitForFinished(20000));
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
    run.exitCode = child.exitCode();
    run.errors = child.readAllStandardError();
    return run;
}

// The next start in this process, through the real start-up on the same
// folder (the lock of the lost run included): types the password, expects
// no box, and gives the note the editor shows, then quits as Ctrl+Q does.
QString NoteAtTheNextStart() {
    ModalAnswers none({});
    QString note;
    bool typed = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!typed) {
            auto w1 = OpenWindow1();
            if (!w1 || !w1->Visible()) return;
            typed = true;
            Type(w1->ThisPassword()->NativeWidget(), QStringLiteral("Secret123"));
            QTest::mouseClick(w1->Enter()->NativeWidget(), Qt::LeftButton);
        } else if (auto w2 = OpenWindow2(); w2 && w2->Visible() && note.isNull()) {
            note = w2->EditField1()->Text();
            QuitCommand();
        }
    });
    poll.start(20);
    EXPECT_EQ(Startup::Run(), 0);
    EXPECT_TRUE(none.seen().empty()) << none.texts().join('|').toStdString();
    return note;
}

const QByteArray kLostAndSaved = "Morvellan lost its connection to the display.  Your text was saved.\n";

}  // namespace

// The X server dies under an edited note: the note is written all the same,
// from what the editor held, with its window and text size, and the next
// start opens it.
TEST(Screen, LostDisplaySavesTheEditedNote) {
    if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty()) GTEST_SKIP() << "no Xvfb here";
    StoreNote("the old note");
    WriteFile("tindrelfontsize.txt", "16\n");
    const QString note = QStringLiteral("the old note, and what was typed before the display went");
    const LostRun run = TypeThenLoseTheDisplay(QStringLiteral(", and what was typed before the display went"), true);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.errors.endsWith(kLostAndSaved)) << run.errors.toStdString();
    EXPECT_EQ(ReadFile("tindrel.plist"), DataFileFor(note));
    EXPECT_EQ(ReadFile("tindrelwinsize.txt"), run.size);
    EXPECT_EQ(ReadFile("tindrelfontsize.txt"), "16\n");
    EXPECT_EQ(ReadFile("tindrelcypher.plist"), PasswordFileFor("Secret123"));
    EXPECT_EQ(NoteAtTheNextStart(), note);
}

TEST(Screen, LostDisplayAtFirstUseSavesTheNewNote) {
    if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty()) GTEST_SKIP() << "no Xvfb here";
    const QString note = QStringLiteral("typed at first use");
    const LostRun run = TypeThenLoseTheDisplay(note, false);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.errors.endsWith(kLostAndSaved)) << run.errors.toStdString();
    EXPECT_EQ(ReadFile("tindrel.plist"), DataFileFor(note));
    EXPECT_EQ(ReadFile("tindrelwinsize.txt"), run.size);
    EXPECT_EQ(ReadFile("tindrelfontsize.txt"), "0\n");
    EXPECT_EQ(NoteAtTheNextStart(), note);
}

// A note that cannot be written then is told, with the file and the reason,
// and nothing else is written in its stead.
TEST(Screen, LostDisplaySaysWhyTheNoteCouldNotBeSaved) {
    if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty()) GTEST_SKIP() << "no Xvfb here";
    StoreNote("the old note");
    const QString data = PrefsPath("tindrel.plist");
    QString reason;
    const LostRun run = TypeThenLoseTheDisplay(QStringLiteral(" and more"), true, [&] {
        ASSERT_TRUE(QFile::remove(data) && QDir().mkdir(data));
        // The reason the system gives for a write to that name.
        QSaveFile probe(data);
        probe.setDirectWriteFallback(false);
        ASSERT_FALSE(probe.open(QIODevice::WriteOnly) && probe.commit());
        reason = probe.errorString();
    });
    EXPECT_EQ(run.exitCode, 1);
    const QByteArray line = QStringLiteral("Morvellan lost its connection to the display.  Your text was not saved.  "
                                           "Could not write the file \"%1\": %2.\n")
                                .arg(data, reason)
                                .toLocal8Bit();
    EXPECT_TRUE(run.errors.endsWith(line)) << run.errors.toStdString();
    EXPECT_EQ(FolderEntries(), (QStringList{"tindrel.plist", "tindrelcypher.plist"}));
    EXPECT_TRUE(QFileInfo(data).isDir());
}

// A box of the editor closes and at once the user clicks into another
// program and types: that program keeps the focus and gets the keys.
TEST(Screen, AnotherProgramTurnedToJustAfterABoxKeepsTheFocusAndTheKeys) {
    RealScreen screen;
    if (!screen.Start()) GTEST_SKIP() << "no Xvfb and openbox here";
    if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty()) GTEST_SKIP() << "no xdotool here";
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("DISPLAY", screen.Display());
    QProcess other;
    env.insert(kOtherProgramMarker, "1");
    other.setProcessEnvironment(env);
    other.start(QStringLiteral(MORVELLAN_TEST_CHILD), {QStringLiteral("--gtest_filter=ScreenChild.OtherProgram")});
    QString out;
    const auto read = [&] {
        other.waitForReadyRead(100);
        out += QString::fromLocal8Bit(other.readAllStandardOutput());
    };
    const QRegularExpression windowLine("window: (\\d+)");
    ASSERT_TRUE(QTest::qWaitFor([&] { read(); return windowLine.match(out).hasMatch(); }, 20000)) << out.toStdString();
    RunChild(screen, "ScreenChild.BoxClosedThenAnotherProgramKeepsTheFocus", kOtherWindowMarker,
             windowLine.match(out).captured(1));
    EXPECT_TRUE(QTest::qWaitFor([&] { read(); return out.contains("typed: leak\n"); }, 3000)) << out.toStdString();
    other.kill();
    other.waitForFinished(5000);
}
