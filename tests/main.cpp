// Test entry: the real runtime on the offscreen platform, with a fresh
// preferences folder for the process.
#include "app/Startup.h"
#include "framework/Runtime.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QTemporaryDir prefs;
    setenv("XDG_CONFIG_HOME", prefs.path().toLocal8Bit().constData(), 1);
    Runtime runtime(argc, argv, Startup::Identity());
    const int result = RUN_ALL_TESTS();
    runtime.Shutdown();
    return result;
}
