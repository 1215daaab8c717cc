// What only a real X server with a window manager shows: window frames.
#include "tests/Harness.h"
#include "tests/child/Children.h"

#include "framework/Window.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

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
