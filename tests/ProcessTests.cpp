// Whole processes: the quit signals, one copy per preferences folder, and no
// core dumps. The real program runs as a child process on the offscreen
// platform; where a copy must be driven through its windows, the test helper
// (tests/child) is that copy, or this test is the other copy.
#include "tests/Harness.h"
#include "tests/child/Children.h"

#include "app/Startup.h"
#include "framework/Runtime.h"
#include "windows/editor/Window2.h"
#include "windows/password/Window1.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <gtest/gtest.h>

#include <map>

#include <csignal>
#include <sys/prctl.h>
#include <sys/resource.h>

using namespace harness;

namespace {

const QString kRunning = QStringLiteral("Morvellan is already running.  Only one copy can be open at a time.");

QProcessEnvironment ChildEnvironment() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_CONFIG_HOME", qEnvironmentVariable("XDG_CONFIG_HOME"));
    return env;
}

// The built program, on this test's preferences folder.
class RealProgram {
public:
    RealProgram() {
        process_.setProcessEnvironment(ChildEnvironment());
        process_.setProcessChannelMode(QProcess::ForwardedChannels);
        process_.start(QStringLiteral(MORVELLAN_PROGRAM), {});
    }
    ~RealProgram() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }
    // It holds the folder once its lock file is there.
    bool WaitUntilRunning() {
        return process_.waitForStarted(10000) &&
               QTest::qWaitFor([] { return FileExists("tindrel.lock"); }, 10000);
    }
    qint64 Pid() const { return process_.processId(); }
    QProcess& process() { return process_; }

private:
    QProcess process_;
};

// One run of the unlock child (tests/child/UnlockChild.cpp) on this test's
// folder: the boxes it showed, the note the editor showed (null when none
// opened) and the exit code.
struct UnlockRun {
    QStringList boxes;
    QString note;
    int exitCode = -1;
};

void StartUnlockChild(QProcess& child, bool hold = false) {
    QProcessEnvironment env = ChildEnvironment();
    env.insert(kUnlockChildPrefs, qEnvironmentVariable("XDG_CONFIG_HOME"));
    if (hold) env.insert(kUnlockChildHold, "1");
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QStringLiteral(MORVELLAN_TEST_CHILD), {"--gtest_filter=ProcessChild.UnlocksThroughTheRealStartUp"});
}

UnlockRun RunUnlockChild() {
    QProcess child;
    StartUnlockChild(child);
    UnlockRun run;
    if (!child.waitForFinished(30000)) {
        ADD_FAILURE() << "the child did not end";
        return run;
    }
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
    run.exitCode = child.exitCode();
    for (const QByteArray& line : child.readAllStandardOutput().split('\n')) {
        if (line.startsWith("box ")) run.boxes << QUrl::fromPercentEncoding(line.mid(4));
        else if (line.startsWith("note ")) run.note = QUrl::fromPercentEncoding(line.mid(5));
    }
    return run;
}

}  // namespace

TEST(Processes, EndOfSessionSignalsSaveTheEditedNoteAndEndWithZero) {
    for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
        SCOPED_TRACE(strsignal(signal));
        StoreNote("the old note");
        QProcess child;
        QProcessEnvironment env = ChildEnvironment();
        env.insert(kChildPrefs, qEnvironmentVariable("XDG_CONFIG_HOME"));
        child.setProcessEnvironment(env);
        child.start(QStringLiteral(MORVELLAN_TEST_CHILD), {"--gtest_filter=ProcessChild.EditsTheNoteThenRunsUntilTheEnd"});
        ASSERT_TRUE(child.waitForStarted(10000));
        QByteArray out;
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                child.waitForReadyRead(50);
                out += child.readAllStandardOutput();
                return out.contains("ready\n") || child.state() == QProcess::NotRunning;
            },
            20000));
        ASSERT_TRUE(out.contains("ready\n")) << out.toStdString();
        kill(static_cast<pid_t>(child.processId()), signal);
        ASSERT_TRUE(child.waitForFinished(20000));
        EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(child.exitCode(), 0) << (out + child.readAll()).toStdString();
        EXPECT_EQ(ReadFile("tindrel.plist"), DataFileFor("the old note and the new line"));
        EXPECT_EQ(ReadFile("tindrelwinsize.txt"), "500\n450\n");
    }
}

TEST(Processes, SecondCopyOnTheSameFolderSaysSoAndChangesNothing) {
    StoreNote("the first copy's note");
    const QByteArray password = ReadFile("tindrelcypher.plist");
    const QByteArray data = ReadFile("tindrel.plist");
    RealProgram first;
    ASSERT_TRUE(first.WaitUntilRunning());

    // This process is the second copy, through the real start-up.
    {
        ModalAnswers answers({"OK"});
        EXPECT_EQ(Startup::Run(), 1);
        EXPECT_EQ(answers.texts(), QStringList{kRunning});
    }
    EXPECT_FALSE(OpenWindow1());
    EXPECT_FALSE(OpenWindow2());
    EXPECT_TRUE(FileExists("tindrel.lock")) << "the first copy keeps its lock";

    kill(static_cast<pid_t>(first.Pid()), SIGTERM);
    ASSERT_TRUE(first.process().waitForFinished(20000));
    EXPECT_EQ(first.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first.process().exitCode(), 0);
    EXPECT_FALSE(FileExists("tindrel.lock"));
    EXPECT_EQ(ReadFile("tindrelcypher.plist"), password);
    EXPECT_EQ(ReadFile("tindrel.plist"), data);
    EXPECT_FALSE(FileExists("tindrelwinsize.txt"));
    EXPECT_FALSE(FileExists("tindrelfontsize.txt"));
}

TEST(Processes, LockLeftByACrashedCopyDoesNotLockTheUserOut) {
    StoreNote("notes");
    {
        RealProgram crashed;
        ASSERT_TRUE(crashed.WaitUntilRunning());
        crashed.process().kill();
        ASSERT_TRUE(crashed.process().waitForFinished(10000));
    }
    ASSERT_TRUE(FileExists("tindrel.lock"));

    // This copy starts as usual: the password window opens, then it quits.
    ModalAnswers answers({"OK"});
    bool opened = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!OpenWindow1()) return;
        opened = true;
        QuitCommand();
    });
    poll.start(20);
    EXPECT_EQ(Startup::Run(), 0);
    EXPECT_TRUE(opened);
    EXPECT_TRUE(answers.seen().empty()) << answers.texts().join(' ').toStdString();
}

// Whatever a copy that no longer runs left in the lock file, the next start
// takes it over: only the kernel's lock of a running copy refuses.
TEST(Processes, LockFileOfNoRunningCopyIsTakenOver) {
    QProcess ended;
    ended.start(QStringLiteral("/bin/true"), {});
    ASSERT_TRUE(ended.waitForStarted(10000));
    const QByteArray deadPid = QByteArray::number(ended.processId()) + '\n';
    ASSERT_TRUE(ended.waitForFinished(10000));
    const std::pair<const char*, QByteArray> leftovers[] = {
        {"empty", ""},
        {"garbage", "garbage"},
        {"a dead process", deadPid},
        {"an old lock of another kind", deadPid + "morvellan\nsomehost\n"},
    };
    for (const auto& [what, content] : leftovers) {
        SCOPED_TRACE(what);
        StoreNote("notes");
        WriteFile("tindrel.lock", content);
        // A real copy starts on it and holds the folder...
        RealProgram copy;
        ASSERT_TRUE(copy.process().waitForStarted(10000));
        const QByteArray holder = QByteArray::number(copy.Pid()) + '\n';
        EXPECT_TRUE(QTest::qWaitFor([&] { return ReadFile("tindrel.lock") == holder; }, 10000))
            << "the copy took the lock: " << ReadFile("tindrel.lock").toStdString();
        // ...so that this process, a second copy, is refused.
        {
            ModalAnswers answers({"OK"});
            EXPECT_EQ(Startup::Run(), 1);
            EXPECT_EQ(answers.texts(), QStringList{kRunning});
        }
        kill(static_cast<pid_t>(copy.Pid()), SIGTERM);
        ASSERT_TRUE(copy.process().waitForFinished(20000));
        EXPECT_EQ(copy.process().exitCode(), 0);
        EXPECT_FALSE(FileExists("tindrel.lock"));
    }
}

TEST(Processes, CoreDumpsAreOffInTheRunningProgram) {
    // The runtime of this process, and the real program.
    EXPECT_EQ(prctl(PR_GET_DUMPABLE, 0, 0, 0, 0), 0);
    rlimit core{};
    ASSERT_EQ(getrlimit(RLIMIT_CORE, &core), 0);
    EXPECT_EQ(core.rlim_cur, 0u);
    EXPECT_EQ(core.rlim_max, 0u);

    RealProgram program;
    ASSERT_TRUE(program.WaitUntilRunning());
    QFile limits(QStringLiteral("/proc/%1/limits").arg(program.Pid()));
    ASSERT_TRUE(limits.open(QIODevice::ReadOnly));
    const QString line = QString::fromLatin1(limits.readAll())
                             .split('\n')
                             .filter(QStringLiteral("Max core file size"))
                             .value(0)
                             .simplified();
    EXPECT_EQ(line, "Max core file size 0 0 bytes");
    kill(static_cast<pid_t>(program.Pid()), SIGTERM);
    ASSERT_TRUE(program.process().waitForFinished(20000));
    EXPECT_EQ(program.process().exitCode(), 0);
}

// A preferences file that cannot be read when the note is unlocked (a
// folder in its place; as root, permissions would not stop the read) ends
// the run with the report naming it and a non-zero exit, and changes no
// file: neither the note nor the font size is written from an editor that
// never opened. Once the file is mended, the next start opens the note whole.
TEST(Processes, FileThatCannotBeReadAtUnlockChangesNoFile) {
    const QString note = QStringLiteral("the whole note\nwith its second line");
    const std::map<QString, QByteArray> stored = {
        {"tindrelcypher.plist", PasswordFileFor("Secret123")},
        {"tindrel.plist", DataFileFor(note)},
        {"tindrelwinsize.txt", "620\n540\n"},
        {"tindrelfontsize.txt", "16\n"},
    };
    for (const auto& [unreadable, bytes] : stored) {
        SCOPED_TRACE(unreadable.toStdString());
        for (const auto& [name, content] : stored) WriteFile(name, content);
        const QString path = PrefsPath(unreadable);
        ASSERT_TRUE(QFile::remove(path) && QDir().mkdir(path));
        QFile probe(path);
        ASSERT_FALSE(probe.open(QIODevice::ReadOnly));

        const UnlockRun failed = RunUnlockChild();
        EXPECT_EQ(failed.exitCode, 1);
        EXPECT_EQ(failed.boxes, QStringList{QStringLiteral("Morvellan cannot go on and will quit.\n\n"
                                                          "Could not read the file \"%1\": %2.")
                                                .arg(path, probe.errorString())});
        EXPECT_TRUE(failed.note.isNull()) << "no editor showed";
        for (const auto& [name, content] : stored) {
            if (name == unreadable) continue;
            EXPECT_EQ(ReadFile(name), content) << name.toStdString();
        }
        EXPECT_TRUE(QFileInfo(path).isDir());

        ASSERT_TRUE(QDir().rmdir(path));
        WriteFile(unreadable, bytes);
        const UnlockRun mended = RunUnlockChild();
        EXPECT_EQ(mended.exitCode, 0);
        EXPECT_EQ(mended.boxes, QStringList{});
        EXPECT_EQ(mended.note, note);
        EXPECT_EQ(ReadFile("tindrel.plist"), stored.at("tindrel.plist"));
        EXPECT_EQ(ReadFile("tindrelfontsize.txt"), stored.at("tindrelfontsize.txt"));
    }
}

// An X server of its own, ended with the test; no window manager is needed
// for a start.
class XServer {
public:
    bool Start() {
        server_.start(QStringLiteral("Xvfb"), {"-displayfd", "1", "-screen", "0", "800x600x24", "-nolisten", "tcp"});
        if (!QTest::qWaitFor([this] { return server_.canReadLine() || server_.state() == QProcess::NotRunning; },
                             10000) ||
            !server_.canReadLine())
            return false;
        display_ = QStringLiteral(":") + QString::fromLatin1(server_.readLine().trimmed());
        return true;
    }
    ~XServer() {
        server_.terminate();
        if (!server_.waitForFinished(5000)) server_.kill();
        server_.waitForFinished(5000);
    }
    const QString& Display() const { return display_; }

private:
    QProcess server_;
    QString display_;
};

// Where there is no display and no platform was asked for, the program
// says so in one line; any other start Qt cannot make ends with Qt's own
// words, after a line that names the platform asked for (the same words a
// bare Qt application writes under the same conditions). Either way it
// ends with 1 before it touches the preferences folder. A platform that
// can start is used as asked.
TEST(Processes, StartThatQtCannotMakeIsToldAndTouchesNoFile) {
    XServer x;
    ASSERT_TRUE(x.Start()) << "Xvfb";
    QTemporaryDir sockets;
    ASSERT_TRUE(sockets.isValid());
    QLocalServer compositor;  // listens where a Wayland compositor would
    ASSERT_TRUE(compositor.listen(sockets.filePath("wayland-0")));

    QProcessEnvironment base = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) base.remove(name);
    base.insert("XDG_CONFIG_HOME", qEnvironmentVariable("XDG_CONFIG_HOME"));
    const QByteArray noDisplay = "Morvellan needs a graphical desktop session: no display could be opened.\n";
    struct Case {
        const char* what;
        std::map<QString, QString> env;
        QStringList args;
        QByteArray first;  // the line before Qt's words; the whole text when Qt's words are not to follow
        bool qtWords;
    };
    const Case cases[] = {
        {"no display named", {}, {}, noDisplay, false},
        {"an X display no server answers on", {{"DISPLAY", ":99"}}, {}, noDisplay, false},
        {"a Wayland display no compositor answers on", {{"WAYLAND_DISPLAY", "morvellan-none"}}, {}, noDisplay, false},
        {"both, answered by neither", {{"DISPLAY", ":99"}, {"WAYLAND_DISPLAY", "morvellan-none"}}, {}, noDisplay,
         false},
        {"a Wayland display that answers, without Qt's plugin for it",
         {{"WAYLAND_DISPLAY", sockets.filePath("wayland-0")}}, {},
         "Morvellan could not start on Qt's default platform:\n", true},
        {"QT_QPA_PLATFORM=wayland with a working X display",
         {{"DISPLAY", x.Display()}, {"QT_QPA_PLATFORM", "wayland"}}, {},
         "Morvellan could not start on the platform \"wayland\" asked for with QT_QPA_PLATFORM:\n", true},
        {"QT_QPA_PLATFORM=wayland without a display", {{"QT_QPA_PLATFORM", "wayland"}}, {},
         "Morvellan could not start on the platform \"wayland\" asked for with QT_QPA_PLATFORM:\n", true},
        {"a misspelt platform", {{"DISPLAY", x.Display()}, {"QT_QPA_PLATFORM", "offscren"}}, {},
         "Morvellan could not start on the platform \"offscren\" asked for with QT_QPA_PLATFORM:\n", true},
        {"-platform bogus", {{"DISPLAY", x.Display()}}, {"-platform", "bogus"},
         "Morvellan could not start on the platform \"bogus\" asked for with -platform:\n", true},
        {"-platform before QT_QPA_PLATFORM", {{"QT_QPA_PLATFORM", "offscreen"}}, {"--platform", "bogus"},
         "Morvellan could not start on the platform \"bogus\" asked for with -platform:\n", true},
        {"xcb asked for, no X display", {{"QT_QPA_PLATFORM", "xcb"}}, {},
         "Morvellan could not start on the platform \"xcb\" asked for with QT_QPA_PLATFORM:\n", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QProcessEnvironment env = base;
        for (const auto& [name, value] : c.env) env.insert(name, value);
        QByteArray expected = c.first;
        if (c.qtWords) {
            QProcess alone;
            alone.setProcessEnvironment(env);
            alone.start(QStringLiteral(MORVELLAN_TEST_QT_ALONE), c.args);
            ASSERT_TRUE(alone.waitForFinished(20000));
            const QByteArray qt = alone.readAllStandardError();
            ASSERT_TRUE(qt.contains("Available platform plugins are: ")) << qt.toStdString();
            expected += qt;
        }
        QProcess program;
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(MORVELLAN_PROGRAM), c.args);
        ASSERT_TRUE(program.waitForFinished(20000));
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), 1);
        EXPECT_EQ(program.readAllStandardError(), expected);
        EXPECT_EQ(program.readAllStandardOutput(), "");
        EXPECT_EQ(FolderEntries(), QStringList{});
    }

    const std::pair<const char*, std::map<QString, QString>> starts[] = {
        {"a working X display", {{"DISPLAY", x.Display()}}},
        {"-platform offscreen", {}},
    };
    for (const auto& [what, vars] : starts) {
        SCOPED_TRACE(what);
        QProcessEnvironment env = base;
        for (const auto& [name, value] : vars) env.insert(name, value);
        QProcess chosen;
        chosen.setProcessEnvironment(env);
        chosen.start(QStringLiteral(MORVELLAN_PROGRAM),
                     vars.empty() ? QStringList{"-platform", "offscreen"} : QStringList{});
        ASSERT_TRUE(chosen.waitForStarted(10000));
        EXPECT_TRUE(QTest::qWaitFor([] { return FileExists("tindrel.lock"); }, 10000)) << "it runs";
        kill(static_cast<pid_t>(chosen.processId()), SIGTERM);
        ASSERT_TRUE(chosen.waitForFinished(20000));
        EXPECT_EQ(chosen.exitCode(), 0);
    }
}

namespace {

const QString kFirstUse = QStringLiteral("I don't see a password on file.  Do you want to use this password?");

// A later start from what a first use cut short left: it asks the first-use
// question again (nothing, or only the empty note, on file) or opens the
// editor on the empty note; it never ends at a password without its note.
void NextStartGoesOn() {
    const UnlockRun next = RunUnlockChild();
    EXPECT_EQ(next.exitCode, 0);
    EXPECT_EQ(next.note, "") << "the editor opened";
    EXPECT_FALSE(next.note.isNull()) << "the editor opened";
    EXPECT_LE(next.boxes.size(), 1) << next.boxes.join('|').toStdString();
    for (const QString& box : next.boxes) EXPECT_TRUE(box.startsWith(kFirstUse)) << box.toStdString();
    EXPECT_EQ(ReadFile("tindrelcypher.plist"), PasswordFileFor("Secret123"));
    EXPECT_EQ(ReadFile("tindrel.plist"), DataFileFor(""));
}

}  // namespace

// The editor cannot open at a first use (a settings file it reads is a
// folder): the run ends in the report, with the password and the empty
// note both on file, and once the folder is gone the password opens the
// editor.
TEST(Processes, FirstUseWhoseEditorCannotOpenLeavesAStoreThatOpens) {
    for (const QString& name : {QStringLiteral("tindrelwinsize.txt"), QStringLiteral("tindrelfontsize.txt")}) {
        SCOPED_TRACE(name.toStdString());
        for (const QString& entry : FolderEntries()) QFile::remove(PrefsPath(entry));
        const QString path = PrefsPath(name);
        ASSERT_TRUE(QDir().mkdir(path));
        QFile probe(path);
        ASSERT_FALSE(probe.open(QIODevice::ReadOnly));

        const UnlockRun failed = RunUnlockChild();
        EXPECT_EQ(failed.exitCode, 1);
        EXPECT_EQ(failed.boxes, (QStringList{kFirstUse, QStringLiteral("Morvellan cannot go on and will quit.\n\n"
                                                                       "Could not read the file \"%1\": %2.")
                                                            .arg(path, probe.errorString())}));
        EXPECT_TRUE(failed.note.isNull()) << "no editor showed";
        EXPECT_EQ(ReadFile("tindrelcypher.plist"), PasswordFileFor("Secret123"));
        EXPECT_EQ(ReadFile("tindrel.plist"), DataFileFor(""));

        ASSERT_TRUE(QDir().rmdir(path));
        const UnlockRun mended = RunUnlockChild();
        EXPECT_EQ(mended.exitCode, 0);
        EXPECT_EQ(mended.boxes, QStringList{});
        EXPECT_EQ(mended.note, "");
    }
}

// A first use killed just after OK, as its first file appears, or once the
// editor shows: the store is never a password without its note.
TEST(Processes, FirstUseKilledAfterOkNeverLocksTheUserOut) {
    for (const bool once_shown : {false, true}) {
        SCOPED_TRACE(once_shown ? "once the editor shows" : "as the first file appears");
        for (const QString& entry : FolderEntries()) QFile::remove(PrefsPath(entry));
        QProcess child;
        StartUnlockChild(child, true);
        ASSERT_TRUE(child.waitForStarted(10000));
        QByteArray out;
        const auto stored = [] { return FileExists("tindrel.plist") || FileExists("tindrelcypher.plist"); };
        QElapsedTimer clock;
        clock.start();
        while (child.state() == QProcess::Running && clock.elapsed() < 30000) {
            if (once_shown) {
                child.waitForReadyRead(20);
                out += child.readAllStandardOutput();
                if (out.contains("\nnote ") || out.startsWith("note ")) break;
            } else if (stored()) {
                break;
            }
        }
        ASSERT_EQ(child.state(), QProcess::Running) << out.toStdString();
        kill(static_cast<pid_t>(child.processId()), SIGKILL);
        ASSERT_TRUE(child.waitForFinished(10000));
        if (once_shown) {
            EXPECT_TRUE(FileExists("tindrelcypher.plist"));
        }
        EXPECT_TRUE(!FileExists("tindrelcypher.plist") || FileExists("tindrel.plist"))
            << "a password without its note";
        NextStartGoesOn();
    }
}
