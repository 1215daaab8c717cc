// The "My Secret Info" editor, end to end: what it opens with, how it
// resizes, and what closing or quitting writes back.
#include "tests/Harness.h"

#include "framework/Runtime.h"
#include "store/Module1.h"
#include "windows/editor/Window2.h"
#include "windows/password/Window1.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMainWindow>
#include <QTest>
#include <QPlainTextEdit>
#include <QScreen>
#include <gtest/gtest.h>

#include <functional>
#include <sys/stat.h>

using namespace harness;

namespace {

QRect AreaGeometry(const std::shared_ptr<Window2>& w2) { return w2->EditField1()->NativeWidget()->geometry(); }


}  // namespace

TEST(Editor, ClosingWritesTheTextThenTheSizeAndQuitsWithZero) {
    auto w2 = OpenEditorOnFirstUse();
    ASSERT_TRUE(w2);
    QWidget* area = w2->EditField1()->NativeWidget();
    area->setFocus();
    Type(area, "Bank PIN 4711");
    QTest::keyClick(area, Qt::Key_Return);
    Type(area, QString::fromUtf8("Gr\xC3\xBC\xC3\x9F" "e"));
    const QString text = QString::fromUtf8("Bank PIN 4711\nGr\xC3\xBC\xC3\x9F" "e");
    ASSERT_EQ(w2->EditField1()->Text(), text);

    CloseByUser(w2->NativeWindow());
    EXPECT_TRUE(IsQuitting());
    EXPECT_EQ(ExitCode(), 0);
    const QByteArray data = ReadFile("tindrel.plist");
    EXPECT_EQ(data, DataFileFor(text));
    EXPECT_EQ(data.size(), text.toUtf8().size() + 3);
    EXPECT_EQ(ReadFile("tindrelwinsize.txt"), "500\n450\n");
    struct stat st {};
    ASSERT_EQ(stat(PrefsPath("tindrel.plist").toLocal8Bit().constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_FALSE(FileExists("tindrelfontsize.txt")) << "only the font-size commands write it";
}

// What the editor shows for a stored text, by a format written in the test.
class StoredText : public ::testing::TestWithParam<StoredTextCase> {};

TEST_P(StoredText, ComesBackAsStored) {
    const QString stored = GetParam().text;
    auto w2 = Unlock(stored, QStringLiteral("sECRET123"));
    ASSERT_TRUE(w2);
    EXPECT_EQ(w2->EditField1()->Text(), stored);
    EXPECT_FALSE(IsQuitting());
    // Closing unchanged writes the same bytes back.
    CloseByUser(w2->NativeWindow());
    EXPECT_EQ(ReadFile("tindrel.plist"), DataFileFor(stored));
}

INSTANTIATE_TEST_SUITE_P(
    Editor, StoredText, ::testing::ValuesIn(StoredTextCases()),
    [](const ::testing::TestParamInfo<StoredTextCase>& info) { return std::string(info.param.name); });

TEST(Editor, DataFileThatIsNotUtf8OpensWithoutChangingIt) {
    const QByteArray junk("\x01\xfe\xff\x80\x80 junk \xc3", 13);
    WriteFile("tindrelcypher.plist", PasswordFileFor("Secret123"));
    WriteFile("tindrel.plist", junk);
    EXPECT_EQ(EnterPassword("Secret123"), QStringList{});
    ASSERT_TRUE(OpenWindow2());
    EXPECT_FALSE(IsQuitting());
    EXPECT_EQ(ReadFile("tindrel.plist"), junk);
}

TEST(Editor, OpensAtTheStoredSizeWithTheAreaLockedToAllEdges) {
    WriteFile("tindrelwinsize.txt", "700\n600\n");
    auto w2 = Unlock("notes");
    ASSERT_TRUE(w2);
    EXPECT_EQ(w2->Height(), 700);
    EXPECT_EQ(w2->Width(), 600);
    EXPECT_EQ(w2->Content()->size(), QSize(600, 700));
    EXPECT_EQ(AreaGeometry(w2), QRect(20, 79, 560, 601));
    // The find row keeps its place.
    EXPECT_EQ(w2->FindString()->NativeWidget()->geometry(), QRect(20, 40, 163, 22));
    EXPECT_EQ(w2->FindPrevious()->NativeWidget()->geometry(), QRect(287, 9, 120, 20));
    EXPECT_FALSE(w2->ThisScroll()->NativeWidget()->isVisible());
    EXPECT_FALSE(w2->StaticText2()->NativeWidget()->isVisible());

    CloseByUser(w2->NativeWindow());
    EXPECT_EQ(ReadFile("tindrelwinsize.txt"), "700\n600\n");
}

TEST(Editor, StoredSizeOutsideTheLimitsIsClamped) {
    struct Case {
        QByteArray file;
        QSize content;
    };
    // One launch per process: the others go through the window directly.
    WriteFile("tindrelwinsize.txt", "-20\nletters\n");
    auto w2 = Unlock("notes");
    ASSERT_TRUE(w2);
    EXPECT_EQ(w2->Content()->size(), QSize(450, 500));
    for (const Case& c : {Case{"0\n0\n", {450, 500}}, Case{"-2147483648\n451\n", {451, 500}}}) {
        WriteFile("tindrelwinsize.txt", c.file);
        Module1::getWinSize();
        w2->SetHeight(Module1::Win2Height);
        w2->SetWidth(Module1::Win2Width);
        EXPECT_EQ(QSize(w2->Width(), w2->Height()), c.content) << c.file.toStdString();
    }
}

TEST(Editor, StoredSizeLargerThanTheScreenOpensOnTheScreen) {
    WriteFile("tindrelwinsize.txt", "99999999999\n99999999999\n");
    auto w2 = Unlock("notes");
    ASSERT_TRUE(w2);
    QWidget* native = w2->NativeWindow();
    const QRect area = native->screen()->availableGeometry();
    const auto check = [&](const char* what, bool wide) {
        SCOPED_TRACE(what);
        EXPECT_TRUE(area.contains(native->frameGeometry()))
            << native->frameGeometry().width() << "x" << native->frameGeometry().height();
        EXPECT_EQ(w2->Content()->size(), QSize(w2->Width(), w2->Height()));
        EXPECT_GE(w2->Width(), 450);
        EXPECT_GE(w2->Height(), 500);
        // Clamped to the screen, no further.
        if (wide) EXPECT_EQ(native->frameGeometry().width(), area.width());
        else EXPECT_EQ(w2->Width(), 450);
    };
    check("stored", true);
    for (const auto& [file, wide] : {std::pair{QByteArray("99999\n40000\n"), true},
                                     std::pair{QByteArray("2147483647\n-2147483648\n"), false}}) {
        WriteFile("tindrelwinsize.txt", file);
        Module1::getWinSize();
        w2->SetHeight(Module1::Win2Height);
        w2->SetWidth(Module1::Win2Width);
        check(file.constData(), wide);
    }
    // What is saved back fits too, so the next launch opens the same way.
    const QSize shown(w2->Width(), w2->Height());
    CloseByUser(native);
    EXPECT_EQ(ReadFile("tindrelwinsize.txt"),
              QByteArray::number(shown.height()) + "\n" + QByteArray::number(shown.width()) + "\n");
}

TEST(Editor, UserResizeFollowsTheLocksNeverShrinksBelowTheMinimumAndResetsTheFindRow) {
    auto w2 = Unlock("first line\nsecond line");
    ASSERT_TRUE(w2);
    QTest::qWait(600);  // past the timer that focuses the find field
    auto* area = static_cast<QPlainTextEdit*>(w2->EditField1()->NativeWidget());
    w2->EditField1()->SetSelStart(6);
    w2->EditField1()->SetSelLength(4);
    Type(w2->FindString()->NativeWidget(), "line");

    QWidget* native = w2->NativeWindow();
    const int bar = native->height() - w2->Content()->height();
    native->resize(700, 650 + bar);
    QTest::qWait(50);
    EXPECT_EQ(w2->Content()->size(), QSize(700, 650));
    EXPECT_EQ(QSize(w2->Width(), w2->Height()), QSize(700, 650));
    EXPECT_EQ(AreaGeometry(w2), QRect(20, 79, 660, 551));
    EXPECT_EQ(w2->FindString()->Text(), "");
    EXPECT_EQ(w2->EditField1()->SelStart(), 0);
    EXPECT_EQ(w2->EditField1()->SelLength(), 0);
    EXPECT_EQ(QApplication::focusWidget(), area);

    native->resize(300, 200);
    QTest::qWait(50);
    EXPECT_GE(w2->Content()->width(), 450);
    EXPECT_GE(w2->Content()->height(), 500);

    CloseByUser(native);
    const QStringList lines = QString::fromLatin1(ReadFile("tindrelwinsize.txt")).split('\n');
    ASSERT_EQ(lines.size(), 3);
    EXPECT_GE(lines[0].toInt(), 500);
    EXPECT_GE(lines[1].toInt(), 450);
}

TEST(Editor, FindFieldIsEmptiedAndFocusedOnceHalfASecondAfterOpening) {
    auto w2 = Unlock("notes");
    ASSERT_TRUE(w2);
    QWidget* find = w2->FindString()->NativeWidget();
    QWidget* area = w2->EditField1()->NativeWidget();
    w2->FindString()->SetText("early");
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == find; }, 3000));
    EXPECT_EQ(w2->FindString()->Text(), "");
    // It never fires again: what is typed and where the focus goes stay.
    Type(find, "later");
    area->setFocus();
    Wait(1300);
    EXPECT_EQ(w2->FindString()->Text(), "later");
    EXPECT_EQ(QApplication::focusWidget(), area);
}

TEST(Editor, IgnoreCaseStartsCheckedAndTabTypesATabInTheText) {
    auto w2 = Unlock("notes");
    ASSERT_TRUE(w2);
    EXPECT_TRUE(w2->IgnoreCase()->Value());
    EXPECT_TRUE(static_cast<QAbstractButton*>(w2->IgnoreCase()->NativeWidget())->isChecked());
    Wait(600);  // past the timer that focuses the find field
    QWidget* area = w2->EditField1()->NativeWidget();
    area->setFocus();
    QTest::keyClick(area, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClick(area, Qt::Key_Tab);
    Type(area, "x");
    EXPECT_EQ(w2->EditField1()->Text(), "notes\tx");
    EXPECT_EQ(QApplication::focusWidget(), area);
}

TEST(Editor, FirstPasswordBesideAnOldDataFileOpensEmptyAndTheCloseReplacesIt) {
    const QByteArray old = DataFileFor("an older note");
    WriteFile("tindrel.plist", old);
    const QString question = QStringLiteral(
        "I don't see a password on file.  Do you want to use this password?  A saved text is already on "
        "file; it will be replaced when you close the editor.");
    // Cancel keeps the old note as it is, to be opened again once its
    // password file is back.
    EXPECT_EQ(EnterPassword("Secret123", {"Cancel"}), QStringList{question});
    EXPECT_EQ(FolderEntries(), QStringList{"tindrel.plist"});
    EXPECT_EQ(ReadFile("tindrel.plist"), old);
    {
        ModalAnswers answers({"OK"});
        QTest::mouseClick(OpenWindow1()->Enter()->NativeWidget(), Qt::LeftButton);
        EXPECT_EQ(answers.texts(), QStringList{question});
    }
    auto w2 = OpenWindow2();
    ASSERT_TRUE(w2);
    EXPECT_EQ(w2->EditField1()->Text(), "");
    EXPECT_EQ(ReadFile("tindrel.plist"), old) << "nothing replaces it before the close";
    QWidget* area = w2->EditField1()->NativeWidget();
    area->setFocus();
    Type(area, "fresh");
    CloseByUser(w2->NativeWindow());
    EXPECT_EQ(ReadFile("tindrel.plist"), DataFileFor("fresh"));
    EXPECT_EQ(ReadFile("tindrelcypher.plist"), PasswordFileFor("Secret123"));
}

TEST(Editor, StoredFontSizeIsShownFromTheStart) {
    WriteFile("tindrelfontsize.txt", "14\n");
    auto w2 = Unlock("notes");
    ASSERT_TRUE(w2);
    EXPECT_EQ(w2->EditField1()->NativeWidget()->font().pointSizeF(), 14.0);
    EXPECT_EQ(Module1::FontSize, 14);
}

TEST(Editor, PlatformQuitClosesTheEditorSoNothingIsLost) {
    auto w2 = Unlock("keep me");
    ASSERT_TRUE(w2);
    QWidget* area = w2->EditField1()->NativeWidget();
    area->setFocus();
    QTest::keyClick(area, Qt::Key_End, Qt::ControlModifier);
    Type(area, " too");
    QTest::keyClick(area, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_TRUE(IsQuitting());
    EXPECT_EQ(ExitCode(), 0);
    EXPECT_EQ(ReadFile("tindrel.plist"), DataFileFor("keep me too"));
    EXPECT_EQ(ReadFile("tindrelwinsize.txt"), "500\n450\n");
}

TEST(Editor, FailedWriteKeepsTheEditorOpenWithItsTextUntilAWorkingCloseSavesIt) {
    auto w2 = Unlock("the old text");
    ASSERT_TRUE(w2);
    const QByteArray old = ReadFile("tindrel.plist");
    const QString edited(4096, QLatin1Char('x'));
    w2->EditField1()->SetText(edited);
    const QString report = QStringLiteral("Your text was not saved.  Could not write the file \"%1\": File too "
                                          "large.  The window stays open: fix the cause and close it again, "
                                          "or copy your text elsewhere.")
                               .arg(PrefsPath("tindrel.plist"));
    struct Way {
        const char* name;
        std::function<void()> close;
    };
    const Way ways[] = {
        {"close box", [&] { CloseByUser(w2->NativeWindow()); }},
        {"Ctrl+Q",
         [&] {
             w2->NativeWindow()->activateWindow();
             ASSERT_TRUE(QTest::qWaitForWindowActive(w2->NativeWindow()));
             QTest::keyClick(w2->EditField1()->NativeWidget(), Qt::Key_Q, Qt::ControlModifier);
         }},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        ModalAnswers answers({"OK"});
        {
            FileSizeLimit limit(1024);
            way.close();
        }
        EXPECT_EQ(answers.texts(), QStringList{report});
        EXPECT_FALSE(IsQuitting());
        EXPECT_EQ(OpenWindow2(), w2);
        EXPECT_TRUE(w2->NativeWindow()->isVisible());
        EXPECT_TRUE(OpenWindow1()) << "a refused quit closes nothing after the editor";
        EXPECT_EQ(w2->EditField1()->Text(), edited);
        EXPECT_EQ(ReadFile("tindrel.plist"), old);
        EXPECT_FALSE(FileExists("tindrelwinsize.txt")) << "the size is written only after the text";
        EXPECT_EQ(QDir(PrefsPath("")).entryList(QDir::Files | QDir::Hidden).size(), 2)
            << "no temporary file is left behind";
    }

    // The cause is gone: the next close saves and quits as usual.
    CloseByUser(w2->NativeWindow());
    EXPECT_TRUE(IsQuitting());
    EXPECT_EQ(ExitCode(), 0);
    EXPECT_EQ(ReadFile("tindrel.plist"), DataFileFor(edited));
}

TEST(Editor, UnwritablePreferencesFolderEndsInTheReportNamingTheFolder) {
    // A preferences folder below a plain file can be neither created nor
    // written: the report names the folder, and nothing appears in its place.
    WriteFile("blocker", "not a folder");
    const QString blocker = PrefsPath("blocker");
    const QString blocked = blocker + "/config";
    qputenv("XDG_CONFIG_HOME", blocked.toLocal8Bit());
    const QStringList shown = EnterPassword("Secret123", {"OK", "OK"});
    EXPECT_EQ(shown, (QStringList{"I don't see a password on file.  Do you want to use this password?",
                                  QStringLiteral("Morvellan cannot go on and will quit.\n\n"
                                                 "Could not make the folder \"%1\": Not a directory.")
                                      .arg(blocked)}));
    EXPECT_TRUE(IsQuitting());
    EXPECT_NE(ExitCode(), 0);
    EXPECT_FALSE(OpenWindow2()) << "no editor opens on a password that was not stored";
    QFile file(blocker);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "not a folder");
}
