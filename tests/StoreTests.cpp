// The protected store: the data file's and the password file's formats, and
// Reset All.
#include "tests/Harness.h"

#include "store/Module1.h"
#include "text/TextFunctions.h"
#include "windows/editor/Window2.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace harness;

namespace {

const QString kPasswordFile = QStringLiteral("tindrelcypher.plist");
const QString kDataFile = QStringLiteral("tindrel.plist");
const QString kWinSize = QStringLiteral("tindrelwinsize.txt");
const QString kFontSize = QStringLiteral("tindrelfontsize.txt");

const QString kEmoji = QString::fromUtf8("\xF0\x9F\x98\x80");

QByteArray Xor(QByteArray bytes) {
    for (char& b : bytes) b = static_cast<char>(static_cast<uint8_t>(b) ^ 0xC9);
    return bytes;
}

// What the password field could hold: 8 to 12 ASCII letters and digits.
bool CouldBeAPassword(const QString& s) {
    if (s.size() < 8 || s.size() > 12) return false;
    for (QChar c : s)
        if (!((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9'))) return false;
    return true;
}

}  // namespace

TEST(StoreData, EncodingIsUtf8WithTwoLineEndsXoredByteForByte) {
    EXPECT_EQ(Module1::EncodeData("abc"), QByteArray("\xA8\xAB\xAA\xC3\xC3"));
    EXPECT_EQ(Module1::EncodeData(""), QByteArray("\xC3\xC3"));
    for (const StoredTextCase& c : StoredTextCases()) {
        const QByteArray encoded = Module1::EncodeData(c.text);
        EXPECT_EQ(encoded + "\n", DataFileFor(c.text)) << c.text.toStdString();
        EXPECT_EQ(encoded.size(), c.text.toUtf8().size() + 2);
    }
}

TEST(StoreData, StoredTextsReadBackWhole) {
    for (const StoredTextCase& c : StoredTextCases())
        EXPECT_EQ(Module1::DecodeData(DataFileFor(c.text)), c.text) << c.name;

    // Characters the editor would not show plainly are kept too.
    const QString control = QString::fromUtf8(QByteArray("a\0b\tc\r\n", 7));
    EXPECT_EQ(Module1::DecodeData(Module1::EncodeData(control) + "\n"), control);
    const QString big = QString(100000, QLatin1Char('x')) + kEmoji;
    EXPECT_EQ(Module1::DecodeData(Module1::EncodeData(big) + "\n"), big);
}

TEST(StoreData, EditorTextGoesThroughTheDataFile) {
    Launch();
    const auto editor = Window2::Instance();
    ASSERT_TRUE(editor);
    WriteFile(kDataFile, "an older, longer data file\n" + Junk(4000, 7));
    for (const StoredTextCase& c : StoredTextCases()) {
        const std::string name = c.text.toStdString();
        editor->EditField1()->SetText(c.text);
        ASSERT_EQ(editor->EditField1()->Text(), c.text) << name;
        Module1::savePlistData();
        const QByteArray file = ReadFile(kDataFile);
        EXPECT_EQ(file, DataFileFor(c.text)) << name;
        EXPECT_EQ(file.size(), c.text.toUtf8().size() + 3) << name;
        EXPECT_EQ(file.back(), '\n') << name;

        editor->EditField1()->SetText("something else");
        Module1::getPlistData();
        EXPECT_EQ(editor->EditField1()->Text(), c.text) << name;
        EXPECT_EQ(ReadFile(kDataFile), file) << "reading leaves the file as it was";
    }
    struct stat st {};
    ASSERT_EQ(::stat(PrefsPath(kDataFile).toLocal8Bit().constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(FolderEntries(), QStringList{kDataFile}) << "no temporary file remains";
}

TEST(StoreData, DamagedDataFilesGiveADefinedText) {
    struct Case {
        const char* what;
        QByteArray file;
        QString expected;
    };
    const QString bad(QChar::ReplacementCharacter);
    for (const Case& c : {
             // Fewer than the three characters every written file holds.
             Case{"empty", QByteArray(), ""},
             Case{"one line end", "\n", ""},
             Case{"one byte", "x", ""},
             Case{"one high byte", "\xFF", ""},
             Case{"two characters", Xor("\n") + "\n", ""},
             Case{"two line ends, no final one", Xor("\n\n"), ""},
             Case{"one character cut short, and the line end", Xor("\xE2\x82") + "\n", ""},
             // Three or more: the text and the three the writer adds.
             Case{"three characters", Xor("\n\n") + "\n", ""},
             Case{"four characters", Xor("a\n\n") + "\n", "a"},
             Case{"five characters", Xor("ab\n\n") + "\n", "ab"},
             Case{"no final line end", Xor("abcdef\n\n"), "abcde"},
             Case{"decodes to zero bytes", "\xC9\xC9\xC9\xC3\xC3\n", QString(3, QChar(0))},
             Case{"invalid byte inside", Xor("ab\xFF" "cd\n\n") + "\n", "ab" + bad + "cd"},
         }) {
        EXPECT_EQ(Module1::DecodeData(c.file), c.expected) << c.what;
    }

    // A character cut short: whatever stands for the broken bytes, the text before it stays,
    // and the line ends written after it are dropped.
    const QString cut = Module1::DecodeData(Xor("ab\xE2\x82\n\n") + "\n");
    ASSERT_GE(cut.size(), 3);
    EXPECT_TRUE(cut.startsWith("ab"));
    for (QChar ch : cut.mid(2)) EXPECT_EQ(ch, QChar::ReplacementCharacter);

    // Random bytes, with and without the final line end.
    for (quint32 seed : {1u, 2u, 3u}) {
        for (const QByteArray& junk : {Junk(4096, seed), Junk(4095, seed) + "\n"}) {
            const QString text = Module1::DecodeData(junk);
            EXPECT_EQ(Module1::DecodeData(junk), text);
            EXPECT_LE(Text::Len(text), junk.size() - 3);
        }
    }
}

TEST(StoreData, DamagedDataFileOpensTheEditorWithWhatItDecodesTo) {
    Launch();
    const auto editor = Window2::Instance();
    const QByteArray junk = Junk(2048, 11);
    WriteFile(kDataFile, junk);
    editor->EditField1()->SetText("before");
    Module1::getPlistData();
    EXPECT_NE(editor->EditField1()->Text(), "before");
    EXPECT_EQ(ReadFile(kDataFile), junk);
    WriteFile(kDataFile, QByteArray());
    Module1::getPlistData();
    EXPECT_EQ(editor->EditField1()->Text(), "");
}

TEST(StorePassword, EncodedFourTimesAndDecodedBack) {
    struct Case {
        QString password;
        QByteArray stored;  // computed independently
    };
    for (const Case& c : {
             Case{"Secret12", "VmxSS1YyRnRUblJXYWtKT1ZrVnJPUT09"},
             Case{"Secret123", "VmxSS1YyRnRUblJXYWtKT1ZrVnNOZz09"},
             Case{"Secret1234", "VmxSS1YyRnRUblJXYWtKT1ZrVnNObFJyUlRsUVVUMDk="},
             Case{"abcdefghijkl", "VjFaa1MyRnNjRWhXYlRGaFRXMW9kMWxYTVRCamR6MDk="},
             // The field takes ASCII only, but a file holding more is read
             // as it is written: UTF-8.
             Case{QString::fromUtf8("Schl\xC3\xBCssel1"), "VmxSS1QySXlTazVVZW1ocVRUQTFjMWxyVWtaUVVUMDk="},
         }) {
        const std::string name = c.password.toStdString();
        EXPECT_EQ(Module1::EncodePassword(c.password), c.stored) << name;
        EXPECT_EQ(Module1::DecodePassword(c.stored + "\n"), c.password) << name;
        EXPECT_EQ(Module1::DecodePassword(c.stored), c.password) << name;
        EXPECT_EQ(Module1::DecodePassword(c.stored + "\r\n"), c.password) << name;
    }
}

TEST(StorePassword, DamagedFilesNeverDecodeToThePassword) {
    const QString password = QStringLiteral("Secret123");
    const QByteArray stored = Module1::EncodePassword(password);
    QByteArray firstChanged = stored;
    firstChanged[0] = 'W';
    QByteArray fiveTimes = Text::EncodeBase64(stored, 76);
    struct Case {
        const char* what;
        QByteArray file;
        bool mayLookLikeAPassword;
    };
    for (const Case& c : {
             Case{"empty", QByteArray(), false},
             Case{"a line end", "\n", false},
             Case{"two line ends", "\n\n", false},
             Case{"fill only", "====\n", false},
             Case{"no base64 at all", QByteArray("!!!!\x00\xff garbage\n", 15), false},
             Case{"junk", Junk(4096, 5), false},
             Case{"last four characters cut", stored.chopped(4) + "\n", true},  // "Secret12"
             Case{"half of it", stored.left(16) + "\n", false},
             Case{"first character changed", firstChanged + "\n", false},
             Case{"three passes", Text::DecodeBase64(stored) + "\n", false},
             Case{"five passes", fiveTimes + "\n", true},
         }) {
        const QString decoded = Module1::DecodePassword(c.file);
        EXPECT_FALSE(Text::Equals(password, decoded)) << c.what;
        if (!c.mayLookLikeAPassword) {
            EXPECT_FALSE(CouldBeAPassword(decoded)) << c.what << ": " << decoded.toStdString();
        }
    }
}

TEST(StoreResetAll, DeletesOnlyThePasswordAndDataFiles) {
    const QByteArray winSize = "600\n500\n";
    const QByteArray fontSize = "16\n";
    const QByteArray other = "not ours\n";
    for (bool withPassword : {false, true}) {
        for (bool withData : {false, true}) {
            WriteFile(kWinSize, winSize);
            WriteFile(kFontSize, fontSize);
            WriteFile("tindrel.plist~", other);
            if (withPassword) WriteFile(kPasswordFile, Module1::EncodePassword("Secret123") + "\n");
            if (withData) WriteFile(kDataFile, DataFileFor("my notes"));
            Module1::ResetAll();
            const std::string which = std::string(withPassword ? "password " : "") + (withData ? "data" : "");
            EXPECT_EQ(FolderEntries(), (QStringList{"tindrel.plist~", kFontSize, kWinSize})) << which;
            EXPECT_EQ(ReadFile(kWinSize), winSize) << which;
            EXPECT_EQ(ReadFile(kFontSize), fontSize) << which;
            EXPECT_EQ(ReadFile("tindrel.plist~"), other) << which;
        }
    }
}

// Password and data files that are symbolic links into another folder, as a
// dotfile manager keeps them: the store writes the files the links lead to,
// and Reset All deletes those files and the links, and nothing else there.
TEST(StoreResetAll, DeletesTheFilesLinkedInAndTheLinks) {
    Launch();
    const auto editor = Window2::Instance();
    ASSERT_TRUE(editor);
    struct Case {
        const char* what;
        bool relative;  // the link names its target relative to the folder
        bool chained;   // the link leads to a link there, which leads to the file
    };
    for (const Case& c : {Case{"absolute links", false, false}, Case{"relative links", true, false},
                          Case{"a link to a link", false, true}}) {
        SCOPED_TRACE(c.what);
        QTemporaryDir elsewhere;
        ASSERT_TRUE(elsewhere.isValid());
        const QString kept = elsewhere.filePath("kept.txt");
        QFile other(kept);
        ASSERT_TRUE(other.open(QIODevice::WriteOnly) && other.write("not ours\n") == 9);
        other.close();
        QStringList inElsewhere{"kept.txt"};
        for (const QString& name : {kPasswordFile, kDataFile}) {
            const QString target = elsewhere.filePath(name);
            QFile file(target);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(name == kPasswordFile ? PasswordFileFor("Secret123") : DataFileFor("the old note"));
            file.close();
            inElsewhere << name;
            QString linked = target;
            if (c.chained) {
                linked = elsewhere.filePath(name + ".link");
                ASSERT_TRUE(QFile::link(target, linked));
                inElsewhere << name + ".link";
            }
            if (c.relative) linked = QDir(PrefsPath(QString())).relativeFilePath(linked);
            ASSERT_EQ(::symlink(QFile::encodeName(linked).constData(),
                                QFile::encodeName(PrefsPath(name)).constData()),
                      0);
        }
        inElsewhere.sort();
        ASSERT_EQ(QDir(elsewhere.path()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot,
                                                   QDir::Name),
                  inElsewhere);

        // A save goes through the link to its file.
        editor->EditField1()->SetText("the new note");
        Module1::savePlistData();
        EXPECT_TRUE(QFileInfo(PrefsPath(kDataFile)).isSymLink());
        QFile data(elsewhere.filePath(kDataFile));
        ASSERT_TRUE(data.open(QIODevice::ReadOnly));
        EXPECT_EQ(data.readAll(), DataFileFor("the new note"));
        data.close();

        Module1::ResetAll();
        EXPECT_EQ(FolderEntries(), QStringList{});
        EXPECT_EQ(QDir(elsewhere.path()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot),
                  QStringList{"kept.txt"});
    }
}
