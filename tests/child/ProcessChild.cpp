// The child half of the signal test (tests/ProcessTests.cpp).
#include "tests/Harness.h"
#include "tests/child/Children.h"

#include "framework/Runtime.h"
#include "windows/editor/Window2.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace harness;

// Run only as the child of the signal test: unlocks, edits the note, says
// so, then runs the event loop until something ends it.
TEST(ProcessChild, EditsTheNoteThenRunsUntilTheEnd) {
    const QByteArray prefs = qgetenv(kChildPrefs);
    if (prefs.isEmpty()) GTEST_SKIP() << "started by the signal test only";
    qputenv("XDG_CONFIG_HOME", prefs);
    ASSERT_EQ(EnterPassword("Secret123"), QStringList{});
    auto w2 = OpenWindow2();
    ASSERT_TRUE(w2);
    w2->EditField1()->SetText(w2->EditField1()->Text() + " and the new line");
    std::printf("ready\n");
    std::fflush(stdout);
    ModalLoop loop;
    loop.Run();
    EXPECT_EQ(ExitCode(), 0);
}
