// The window-size and font-size files, read and written through the real
// preferences folder, and where that folder is and how it is made.
#include "tests/Harness.h"

#include "framework/Files.h"
#include "store/Module1.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <limits>
#include <optional>

using namespace harness;

namespace {

constexpr quint32 kJunkSeed = 20240611;

constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();

const QString kWinSize = QStringLiteral("tindrelwinsize.txt");
const QString kFontSize = QStringLiteral("tindrelfontsize.txt");

// Every entry of the preferences folder, hidden ones included.
unsigned ModeOf(const QString& name) {
    struct stat st {};
    if (::stat(PrefsPath(name).toLocal8Bit().constData(), &st) != 0) return 0;
    return st.st_mode & 07777;
}

unsigned ModeOfPath(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) return 0;
    return st.st_mode & 07777;
}

// Sets (or, given nullopt, unsets) a variable for the rest of the test's
// process.
void SetEnv(const char* name, const std::optional<QString>& value) {
    if (value) setenv(name, QFile::encodeName(*value).constData(), 1);
    else unsetenv(name);
}

// The umask, for the life of the object.
class Umask {
public:
    explicit Umask(mode_t mask) : old_(::umask(mask)) {}
    ~Umask() { ::umask(old_); }

private:
    mode_t old_;
};

}  // namespace

TEST(SettingsFiles, MissingFilesGiveTheDefaultsAndAreNotCreated) {
    Module1::Win2Height = 1;
    Module1::Win2Width = 2;
    Module1::FontSize = 3;
    Module1::getWinSize();
    Module1::getFontSize();
    EXPECT_EQ(Module1::Win2Height, 500);
    EXPECT_EQ(Module1::Win2Width, 450);
    EXPECT_EQ(Module1::FontSize, 0);
    EXPECT_EQ(FolderEntries(), QStringList{});
}

TEST(SettingsFiles, WindowSizeIsReadFromTheFirstTwoLines) {
    struct Case {
        QByteArray content;
        int32_t height, width;
    };
    for (const Case& c : {
             Case{"600\n400\n", 600, 400},
             Case{"600\n400", 600, 400},           // no line end after the last line
             Case{"", 0, 0},
             Case{"700\n", 700, 0},                // one line: no width
             Case{"700", 700, 0},
             Case{"-20\nabc\n", -20, 0},
             Case{"abc\n-20\n", 0, -20},
             Case{"\n600\n", 0, 600},
             Case{"300\n400\n999\n888\n", 300, 400},  // later lines ignored
             Case{"300\n400\nnot a number\n", 300, 400},
             Case{"12\r\n34\r\n", 12, 34},
             Case{"2147483647\n-2147483648\n", kMax, kMin},
             Case{"99999999999\n-99999999999\n", kMax, kMin},
             Case{QByteArray(400, '9') + "\n-" + QByteArray(400, '9') + "\n", kMax, kMin},
             Case{"0\n0\n", 0, 0},
             Case{QByteArray("\x00\xff\xfe\n\x80\x01", 6), 0, 0},
             Case{QByteArray("\xC3\xA9\n42\n", 6), 0, 42},
         }) {
        WriteFile(kWinSize, c.content);
        Module1::Win2Height = 1;
        Module1::Win2Width = 1;
        Module1::getWinSize();
        EXPECT_EQ(Module1::Win2Height, c.height) << c.content.toHex().toStdString();
        EXPECT_EQ(Module1::Win2Width, c.width) << c.content.toHex().toStdString();
        EXPECT_EQ(ReadFile(kWinSize), c.content) << "reading leaves the file as it was";
    }
    EXPECT_EQ(FolderEntries(), QStringList{kWinSize});
}

TEST(SettingsFiles, FontSizeIsTheNumberTheFileBeginsWith) {
    struct Case {
        QByteArray content;
        int32_t size;
    };
    for (const Case& c : {
             Case{"14\n", 14},
             Case{"14", 14},
             Case{"14\n20\n", 14},
             Case{"0\n", 0},
             Case{"-3\n", -3},
             Case{"abc\n", 0},
             Case{"abc", 0},
             Case{"", 0},
             Case{"\n14\n", 0},
             Case{"99999999999\n", kMax},
             Case{"-99999999999\n", kMin},
             Case{QByteArray(400, '9') + "\n", kMax},
             Case{QByteArray("\x00" "14\n", 4), 0},
             Case{QByteArray("\xff\xfe\x01", 3), 0},
         }) {
        WriteFile(kFontSize, c.content);
        Module1::FontSize = 1;
        Module1::getFontSize();
        EXPECT_EQ(Module1::FontSize, c.size) << c.content.toHex().toStdString();
        EXPECT_EQ(ReadFile(kFontSize), c.content) << "reading leaves the file as it was";
    }
    EXPECT_EQ(FolderEntries(), QStringList{kFontSize});
}

TEST(SettingsFiles, BinaryJunkReadsWithoutHarm) {
    const QByteArray junk = Junk(1 << 20, kJunkSeed);
    WriteFile(kWinSize, junk);
    WriteFile(kFontSize, junk);
    Module1::getWinSize();
    Module1::getFontSize();
    EXPECT_EQ(ReadFile(kWinSize), junk);
    EXPECT_EQ(ReadFile(kFontSize), junk);
    EXPECT_EQ(FolderEntries(), (QStringList{kFontSize, kWinSize}));
}

TEST(SettingsFiles, SavingWritesExactlyTheLinesAndReadsBack) {
    struct Case {
        int32_t height, width;
        QByteArray content;
    };
    for (const Case& c : {
             Case{500, 450, "500\n450\n"},
             Case{0, 0, "0\n0\n"},
             Case{-20, 7, "-20\n7\n"},
             Case{kMin, kMax, "-2147483648\n2147483647\n"},
         }) {
        Module1::Win2Height = c.height;
        Module1::Win2Width = c.width;
        Module1::saveWinSize();
        EXPECT_EQ(ReadFile(kWinSize), c.content);
        Module1::Win2Height = Module1::Win2Width = 1;
        Module1::getWinSize();
        EXPECT_EQ(Module1::Win2Height, c.height);
        EXPECT_EQ(Module1::Win2Width, c.width);
    }

    struct FontCase {
        int32_t size;
        QByteArray content;
    };
    for (const FontCase& c : {
             FontCase{0, "0\n"},
             FontCase{14, "14\n"},
             FontCase{-2, "-2\n"},
             FontCase{kMax, "2147483647\n"},
             FontCase{kMin, "-2147483648\n"},
         }) {
        Module1::FontSize = c.size;
        Module1::saveFontSize();
        EXPECT_EQ(ReadFile(kFontSize), c.content);
        Module1::FontSize = 1;
        Module1::getFontSize();
        EXPECT_EQ(Module1::FontSize, c.size);
    }
    EXPECT_EQ(FolderEntries(), (QStringList{kFontSize, kWinSize})) << "no temporary file remains";
}

TEST(SettingsFiles, SavingReplacesALongerFileWhole) {
    WriteFile(kWinSize, "123456789\n987654321\nthird line\n" + Junk(5000, kJunkSeed));
    WriteFile(kFontSize, "123456789\n42\n" + Junk(5000, kJunkSeed));
    Module1::Win2Height = 5;
    Module1::Win2Width = 6;
    Module1::FontSize = 9;
    Module1::saveWinSize();
    Module1::saveFontSize();
    EXPECT_EQ(ReadFile(kWinSize), "5\n6\n");
    EXPECT_EQ(ReadFile(kFontSize), "9\n");
    EXPECT_EQ(FolderEntries(), (QStringList{kFontSize, kWinSize}));
}

TEST(SettingsFiles, WrittenFilesAreReadableByTheOwnerOnly) {
    // A new file, and an old one that others could read.
    WriteFile(kFontSize, "12\n");
    ASSERT_EQ(::chmod(PrefsPath(kFontSize).toLocal8Bit().constData(), 0644), 0);
    Module1::saveWinSize();
    Module1::saveFontSize();
    EXPECT_EQ(ModeOf(kWinSize), 0600u);
    EXPECT_EQ(ModeOf(kFontSize), 0600u);
}

// ---- The preferences folder ------------------------------------------------

// $XDG_CONFIG_HOME only when it is an absolute path; else .config in the
// home folder, which is the account's when HOME is unset or empty. A
// relative value is not taken from wherever the program was started.
TEST(PreferencesFolder, IsAnAbsoluteXdgConfigHomeElseConfigInTheHomeFolder) {
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString home = root.filePath("home");
    const QString started = root.filePath("started here");
    ASSERT_TRUE(QDir().mkpath(home) && QDir().mkpath(started));
    ASSERT_EQ(::chdir(QFile::encodeName(started).constData()), 0);
    const passwd* account = ::getpwuid(::getuid());
    ASSERT_TRUE(account);
    const QString accountConfig = QDir::cleanPath(QFile::decodeName(account->pw_dir) + "/.config");

    struct Case {
        const char* what;
        std::optional<QString> config, home;
        QString folder;
    };
    for (const Case& c : {
             Case{"unset", std::nullopt, home, home + "/.config"},
             Case{"empty", QString(), home, home + "/.config"},
             Case{"relative", QStringLiteral("relcfg"), home, home + "/.config"},
             Case{"relative with a dot", QStringLiteral("./relcfg"), home, home + "/.config"},
             Case{"absolute", root.filePath("cfg"), home, root.filePath("cfg")},
             Case{"absolute, not clean", root.path() + "//cfg/", home, root.filePath("cfg")},
             Case{"absolute, HOME unset", root.filePath("cfg"), std::nullopt, root.filePath("cfg")},
             Case{"HOME unset", std::nullopt, std::nullopt, accountConfig},
             Case{"HOME empty", QString(), QString(), accountConfig},
         }) {
        SCOPED_TRACE(c.what);
        SetEnv("XDG_CONFIG_HOME", c.config);
        SetEnv("HOME", c.home);
        EXPECT_EQ(SpecialFolder::Preferences().NativePath(), c.folder);
        // Where a write lands, unless it is the real account's folder.
        if (c.folder == accountConfig) continue;
        Module1::FontSize = 14;
        Module1::saveFontSize();
        QFile written(c.folder + "/tindrelfontsize.txt");
        ASSERT_TRUE(written.open(QIODevice::ReadOnly));
        EXPECT_EQ(written.readAll(), "14\n");
        ASSERT_TRUE(written.remove());
        EXPECT_EQ(QDir(started).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{})
            << "nothing in the folder the program started in";
    }
}

// Every folder the program makes on the way to a file it writes is its
// owner's alone, under the usual umask too; one that is there keeps its mode.
TEST(PreferencesFolder, FoldersItMakesAreTheOwnersAloneAndOthersKeepTheirMode) {
    const Umask usual(022);
    struct Case {
        const char* what;
        bool byHome;  // XDG_CONFIG_HOME unset: a fresh ~/.config
        bool byLock;  // made as the running copy takes its lock, not by a write
    };
    for (const Case& c : {Case{"the folder and its parent, by a write", false, false},
                          Case{"the folder and its parent, by the lock", false, true},
                          Case{"a fresh ~/.config, by a write", true, false},
                          Case{"a fresh ~/.config, by the lock", true, true}}) {
        SCOPED_TRACE(c.what);
        QTemporaryDir root;
        ASSERT_TRUE(root.isValid());
        ASSERT_EQ(::chmod(QFile::encodeName(root.path()).constData(), 0755), 0);
        const QString parent = root.filePath(c.byHome ? "home" : "parent");
        const QString folder = parent + (c.byHome ? "/.config" : "/config");
        if (c.byHome) {
            ASSERT_TRUE(QDir().mkdir(parent));
            ASSERT_EQ(ModeOfPath(parent), 0755u) << "the umask applies to others' folders";
            SetEnv("XDG_CONFIG_HOME", std::nullopt);
            SetEnv("HOME", parent);
        } else {
            SetEnv("XDG_CONFIG_HOME", folder);
        }
        if (c.byLock) {
            PreferencesLock lock(QStringLiteral("tindrel.lock"));
            ASSERT_TRUE(lock.TryLock());
            EXPECT_TRUE(QFile::exists(folder + "/tindrel.lock"));
        } else {
            Module1::saveWinSize();
            EXPECT_EQ(ModeOfPath(folder + "/tindrelwinsize.txt"), 0600u);
        }
        EXPECT_EQ(ModeOfPath(folder), 0700u);
        EXPECT_EQ(ModeOfPath(parent), c.byHome ? 0755u : 0700u);
        EXPECT_EQ(ModeOfPath(root.path()), 0755u) << "a folder that was there keeps its mode";

        // An existing folder others may read stays as it is.
        ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0750), 0);
        Module1::saveFontSize();
        EXPECT_EQ(ModeOfPath(folder), 0750u);
    }
}
