// The child halves of the real-screen tests (tests/ScreenTests.cpp).
#include "tests/Harness.h"
#include "tests/child/Children.h"

#include "framework/Menu.h"
#include "framework/Runtime.h"
#include "update/selfTest.h"
#include "windows/editor/Window2.h"

#include <QApplication>
#include <QHostAddress>
#include <QLineEdit>
#include <QProcess>
#include <QScreen>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

#include <cstdio>

using namespace harness;

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

// Run by the real-screen test: update checks whose server closes at once, so
// the update window comes and goes before the window manager has settled its
// focus. After each, the editor is the active window again, so its menus and
// shortcuts answer.
TEST(ScreenChild, EditorStaysActiveAfterQuickUpdateChecks) {
    if (qgetenv(kFocusChildMarker).isEmpty()) GTEST_SKIP() << "started by the real-screen test only";
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    qputenv("MORVELLAN_SITE", QByteArray("127.0.0.1:") + QByteArray::number(server.serverPort()));
    QObject::connect(&server, &QTcpServer::newConnection, [&server] {
        while (QTcpSocket* socket = server.nextPendingConnection()) {
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket] {
                if (socket->readAll().contains("\r\n\r\n")) socket->disconnectFromHost();
            });
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
    auto w2 = Unlock(QStringLiteral("notes"));
    ASSERT_TRUE(w2);
    QWidget* native = w2->NativeWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(native));
    for (int check = 1; check <= 8; ++check) {
        SCOPED_TRACE(check);
        ChooseMenuItem(w2, QStringLiteral("CheckforUpdateCheckNow"));
        auto version = OpenWindowOf<selfTest>();
        ASSERT_TRUE(version);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(version->NativeWindow()));
        Wait(300);
        QTest::mouseClick(version->PushButton1()->NativeWidget(), Qt::LeftButton);
        Wait(1500);  // the window manager settles the focus
        EXPECT_EQ(QApplication::activeWindow(), native)
            << (QApplication::activeWindow() ? QApplication::activeWindow()->windowTitle().toStdString() : "none");
    }
}

// Run by the lost-display test on the real screen: opens the editor on the
// stored note or at a first use, types into it with key events, says the
// window's size, then runs until the display goes.
TEST(ScreenChild, TypesThenRunsUntilTheDisplayGoes) {
    const QByteArray prefs = qgetenv(kLostDisplayPrefs);
    if (prefs.isEmpty()) GTEST_SKIP() << "started by the lost-display test only";
    qputenv("XDG_CONFIG_HOME", prefs);
    const QString typed = qEnvironmentVariable(kLostDisplayTyped);
    if (qEnvironmentVariableIsSet(kLostDisplayStored)) ASSERT_EQ(EnterPassword("Secret123"), QStringList{});
    else ASSERT_EQ(EnterPassword("Secret123", {"OK"}).size(), 1);
    auto w2 = OpenWindow2();
    ASSERT_TRUE(w2);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w2->NativeWindow()));
    Wait(700);  // past the find field's start-up focus
    QWidget* area = w2->EditField1()->NativeWidget();
    area->setFocus();
    QTest::keyClick(area, Qt::Key_End, Qt::ControlModifier);
    Type(area, typed);
    std::printf("ready %d,%d\n", w2->Height(), w2->Width());
    std::fflush(stdout);
    ModalLoop loop;
    loop.Run();
    ADD_FAILURE() << "the run went on after its display";
}

// Another program on the same screen, for the test below: a window that is
// only a text field, at the screen's bottom right, away from the editor. It
// prints its X window and then every text typed into it, until the parent
// ends it.
TEST(ScreenChild, OtherProgram) {
    if (qgetenv(kOtherProgramMarker).isEmpty()) GTEST_SKIP() << "started by the real-screen test only";
    QLineEdit field;
    field.setWindowTitle(QStringLiteral("Other program"));
    field.resize(300, 60);
    const QRect area = QApplication::primaryScreen()->availableGeometry();
    field.move(area.right() - 340, area.bottom() - 120);
    QObject::connect(&field, &QLineEdit::textChanged, [](const QString& text) {
        std::printf("typed: %s\n", text.toUtf8().constData());
        std::fflush(stdout);
    });
    field.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&field));
    Wait(500);  // the window manager frames it
    std::printf("window: %llu\n", static_cast<unsigned long long>(field.winId()));
    std::fflush(stdout);
    Wait(60000);
}

// Run by the real-screen test: the find text is too short, and at once after
// its box closed the user clicks into another program and types there. The
// keys go to that program; the editor neither takes the focus back nor gets
// a key.
TEST(ScreenChild, BoxClosedThenAnotherProgramKeepsTheFocus) {
    const QByteArray other = qgetenv(kOtherWindowMarker);
    if (other.isEmpty()) GTEST_SKIP() << "started by the real-screen test only";
    auto w2 = Unlock(QStringLiteral("notes"));
    ASSERT_TRUE(w2);
    QWidget* native = w2->NativeWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(native));
    Wait(1500);  // framed and placed: a resize empties the find field
    w2->FindString()->SetText(QStringLiteral("ab"));
    QProcess user;
    {
        ModalAnswers boxes({"OK"}, [&](const Seen&) {
            // A tenth of a second after the box went: a click into the other
            // program, then typing there.
            QTimer::singleShot(100, [&] {
                user.start(QStringLiteral("xdotool"),
                           {"mousemove", "--window", QString::fromLatin1(other), "150", "30", "click", "1", "sleep",
                            "0.6", "type", "--delay", "40", "leak"});
            });
        });
        QTest::mouseClick(w2->Find()->NativeWidget(), Qt::LeftButton);
        EXPECT_EQ(boxes.texts(), QStringList{"The find text should be at least three characters!"});
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return user.state() == QProcess::NotRunning; }, 10000));
    EXPECT_EQ(user.exitCode(), 0) << user.readAllStandardError().toStdString();
    Wait(1500);  // longer than the focus may take to settle after a modal
    EXPECT_EQ(w2->EditField1()->Text().toStdString(), "notes");
    EXPECT_EQ(w2->FindString()->Text().toStdString(), "ab");
    EXPECT_EQ(QApplication::activeWindow(), nullptr)
        << QApplication::activeWindow()->windowTitle().toStdString() << " took the focus back";
}
