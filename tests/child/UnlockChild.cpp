// The child half of the test of files that cannot be read at unlock
// (tests/ProcessTests.cpp).
#include "tests/Harness.h"
#include "tests/child/Children.h"

#include "app/Startup.h"
#include "framework/Runtime.h"
#include "windows/editor/Window2.h"
#include "windows/password/Window1.h"

#include <QTest>
#include <QTimer>
#include <QUrl>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

using namespace harness;

namespace {
void Say(const char* what, const QString& text) {
    std::printf("%s %s\n", what, QUrl::toPercentEncoding(text).constData());
    std::fflush(stdout);
}
}  // namespace

// The real start-up on the given folder: types the password once the
// password window is up, answers every box with OK and says what it showed,
// says the note once the editor shows it and then quits as Ctrl+Q does
// (or, when told to hold, runs on until it is killed).
// The process ends with the run's exit code.
TEST(ProcessChild, UnlocksThroughTheRealStartUp) {
    const QByteArray prefs = qgetenv(kUnlockChildPrefs);
    if (prefs.isEmpty()) GTEST_SKIP() << "started by the unlock test only";
    qputenv("XDG_CONFIG_HOME", prefs);
    ModalAnswers answers({"OK", "OK", "OK"}, [](const Seen& seen) { Say("box", seen.text); });
    const bool hold = qEnvironmentVariableIsSet(kUnlockChildHold);
    bool typed = false, shown = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!typed) {
            auto w1 = OpenWindow1();
            if (!w1 || !w1->Visible()) return;
            typed = true;
            Type(w1->ThisPassword()->NativeWidget(), QStringLiteral("Secret123"));
            QTest::mouseClick(w1->Enter()->NativeWidget(), Qt::LeftButton);
        } else if (auto w2 = OpenWindow2(); w2 && w2->Visible() && !shown) {
            shown = true;
            Say("note", w2->EditField1()->Text());
            if (!hold) QuitCommand();
        }
    });
    poll.start(20);
    const int code = Startup::Run();
    std::printf("exit %d\n", code);
    std::fflush(stdout);
    std::_Exit(code);
}
