// What only a real X server with a window manager shows: window frames.
#include "tests/Harness.h"

#include "framework/Window.h"
#include "windows/editor/Window2.h"

#include <QCoreApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QStandardPaths>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

#include <cstdio>

using namespace harness;

namespace {

constexpr const char* kChildMarker = "MORVELLAN_TEST_SCREEN_CHILD";

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
        manager_.start(openbox, {});
        return manager_.waitForStarted(10000);
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
};

}  // namespace

// Run by the test below on the real screen: the editor restored from the
// window-size file the test gives ("height,width"), which it then prints as
// saved on close.
TEST(ScreenChild, RestoredEditorLiesInsideTheFreeArea) {
    const QByteArray stored = qgetenv(kChildMarker);
    if (stored.isEmpty()) GTEST_SKIP() << "started by the real-screen test only";
    StoreNote("notes");
    WriteFile("tindrelwinsize.txt", QByteArray(stored).replace(',', '\n') + "\n");
    Launch();
    ASSERT_EQ(EnterPassword("Secret123"), QStringList{});
    auto w2 = OpenWindow2();
    ASSERT_TRUE(w2);
    QWidget* native = w2->NativeWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(native));
    Wait(1500);  // the window manager frames it
    const QRect frame = native->frameGeometry();
    const QRect area = native->screen()->availableGeometry();
    EXPECT_GT(frame.height(), native->height()) << "the window manager framed it";
    EXPECT_TRUE(area.contains(frame)) << "frame " << frame.x() << "," << frame.y() << " " << frame.width() << "x"
                                      << frame.height() << " in " << area.width() << "x" << area.height();
    EXPECT_EQ(w2->Content()->size(), QSize(w2->Width(), w2->Height()));
    CloseByUser(native);
    // The content size is saved.
    const QByteArray saved = ReadFile("tindrelwinsize.txt");
    EXPECT_EQ(saved, QByteArray::number(w2->Height()) + "\n" + QByteArray::number(w2->Width()) + "\n");
    std::printf("saved: %s\n", saved.trimmed().replace('\n', ',').constData());
}

TEST(Screen, RestoredEditorLiesInsideTheFreeAreaFrameIncluded) {
    RealScreen screen;
    if (!screen.Start()) GTEST_SKIP() << "no Xvfb and openbox here";
    // Larger than the screen, then what that run saved: it opens the same
    // way and saves the same size again.
    QByteArray stored = "99999,99999";
    QByteArray first;
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(stored.toStdString());
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "xcb");
        env.insert("DISPLAY", screen.Display());
        env.insert(kChildMarker, QString::fromLatin1(stored));
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(QCoreApplication::applicationFilePath(),
                    {"--gtest_filter=ScreenChild.RestoredEditorLiesInsideTheFreeArea"});
        ASSERT_TRUE(child.waitForFinished(60000));
        const QString out = QString::fromLocal8Bit(child.readAll());
        ASSERT_EQ(child.exitCode(), 0) << out.toStdString();
        ASSERT_TRUE(out.contains("[  PASSED  ] 1 test")) << out.toStdString();
        const QRegularExpressionMatch saved = QRegularExpression("saved: (\\d+,\\d+)").match(out);
        ASSERT_TRUE(saved.hasMatch()) << out.toStdString();
        stored = saved.captured(1).toLatin1();
        if (run == 0) first = stored;
        else EXPECT_EQ(stored, first) << "the saved size drifted";
    }
}
