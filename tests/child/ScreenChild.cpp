// The child half of the real-screen test (tests/ScreenTests.cpp).
#include "tests/Harness.h"
#include "tests/child/Children.h"

#include "windows/editor/Window2.h"

#include <QScreen>
#include <QTest>
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
