#include "tests/Harness.h"

#include "app/App.h"
#include "app/MenuBars.h"
#include "framework/Runtime.h"
#include "store/Module1.h"
#include "windows/editor/Window2.h"
#include "windows/password/Window1.h"

#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace harness;

namespace {

const QString kFirstUse = QStringLiteral("I don't see a password on file.  Do you want to use this password?");

}  // namespace

TEST(PasswordWindow, LaunchShowsTheWindowAsLaidOut) {
    Launch();
    auto w1 = OpenWindow1();
    ASSERT_TRUE(w1);
    QWidget* native = w1->NativeWindow();
    EXPECT_TRUE(native->isVisible());
    EXPECT_EQ(native->windowTitle(), "Morvellan");
    // 350 wide as laid out, or wider where the bar needs it to show every
    // menu (LayoutTests).
    EXPECT_GE(w1->Width(), 350);
    EXPECT_EQ(w1->Height(), 85);
    EXPECT_EQ(w1->Content()->size(), QSize(w1->Width(), 85));
    EXPECT_EQ(native->minimumSize(), native->maximumSize()) << "not resizable";

    auto* hint = static_cast<QLabel*>(w1->StaticText2()->NativeWidget());
    EXPECT_EQ(hint->text(), "8 - 12 characters");
    EXPECT_EQ(static_cast<QLabel*>(w1->StaticText1()->NativeWidget())->text(), "Password:");
    auto* field = static_cast<QLineEdit*>(w1->ThisPassword()->NativeWidget());
    EXPECT_EQ(field->echoMode(), QLineEdit::Password);
    EXPECT_EQ(field->text(), "");
    auto* enter = static_cast<QPushButton*>(w1->Enter()->NativeWidget());
    EXPECT_EQ(enter->text(), "Enter");
    EXPECT_FALSE(enter->isEnabled());
    EXPECT_FALSE(w1->Enter()->Default());
    EXPECT_EQ(field->geometry(), QRect(94, 45, 144, 22));
    EXPECT_EQ(enter->geometry(), QRect(250, 45, 80, 20));
    // The application's bar and the window's are one object.
    EXPECT_EQ(w1->MenuBar(), App::Instance()->MenuBar());
    EXPECT_EQ(App::Instance()->MenuBar(), MenuBar1::Instance());
    EXPECT_FALSE(MenuBar2::implicitInstance);
}

TEST(PasswordWindow, FieldTakesOnlyTwelveAsciiLettersAndDigits) {
    Launch();
    auto w1 = OpenWindow1();
    QWidget* field = w1->ThisPassword()->NativeWidget();
    Type(field, QString::fromUtf8("ab c-d.\xC3\xA9" "E9!fghijklmnopq"));
    EXPECT_EQ(w1->ThisPassword()->Text(), "abcdE9fghijk");
}

TEST(PasswordWindow, EnterFollowsTheEighthCharacter) {
    Launch();
    auto w1 = OpenWindow1();
    QWidget* field = w1->ThisPassword()->NativeWidget();
    Type(field, "abcdefg");
    EXPECT_FALSE(w1->Enter()->Enabled());
    EXPECT_FALSE(w1->Enter()->Default());
    {
        ModalAnswers none({});
        QTest::keyClick(field, Qt::Key_Return);
        Wait(50);
        EXPECT_TRUE(none.seen().empty()) << "Return does nothing with 7 characters";
    }
    Type(field, "h");
    EXPECT_TRUE(w1->Enter()->Enabled());
    EXPECT_TRUE(w1->Enter()->Default());
    QTest::keyClick(field, Qt::Key_Backspace);
    EXPECT_FALSE(w1->Enter()->Enabled());
    EXPECT_FALSE(w1->Enter()->Default());
    Type(field, "h");
    // Return, and the keypad's Enter alike, now press Enter: the first-use
    // question appears.
    struct Key {
        const char* name;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
    };
    for (const Key& k : {Key{"Return", Qt::Key_Return, Qt::NoModifier},
                         Key{"keypad Enter", Qt::Key_Enter, Qt::KeypadModifier}}) {
        SCOPED_TRACE(k.name);
        ModalAnswers answers({"Cancel"});
        QTest::keyClick(field, k.key, k.modifiers);
        EXPECT_EQ(answers.texts(), QStringList{kFirstUse});
    }
}

TEST(PasswordWindow, FirstUseCancelChangesNothingAndAsksAgain) {
    Launch();
    auto w1 = OpenWindow1();
    Type(w1->ThisPassword()->NativeWidget(), "Secret123");
    ModalAnswers answers({"Cancel", "Cancel"});
    QTest::mouseClick(w1->Enter()->NativeWidget(), Qt::LeftButton);
    ASSERT_EQ(answers.seen().size(), 1u);
    const Seen& seen = answers.seen()[0];
    EXPECT_EQ(seen.text, kFirstUse);
    EXPECT_EQ(seen.title, "");
    EXPECT_EQ(seen.icon, QMessageBox::Warning);
    EXPECT_EQ(seen.buttons.size(), 2);
    EXPECT_TRUE(seen.buttons.contains("OK"));
    EXPECT_TRUE(seen.buttons.contains("Cancel"));
    EXPECT_EQ(seen.defaultButton, "Cancel");
    EXPECT_FALSE(FileExists("tindrelcypher.plist"));
    EXPECT_FALSE(OpenWindow2());
    EXPECT_TRUE(w1->NativeWindow()->isVisible());
    EXPECT_EQ(w1->ThisPassword()->Text(), "Secret123");
    EXPECT_TRUE(w1->Enter()->Enabled());
    EXPECT_EQ(Module1::MyKey, "Secret123");

    QTest::mouseClick(w1->Enter()->NativeWidget(), Qt::LeftButton);
    EXPECT_EQ(answers.texts(), (QStringList{kFirstUse, kFirstUse}));
    EXPECT_FALSE(IsQuitting());
}

TEST(PasswordWindow, FirstUseOkStoresThePasswordAndOpensAnEmptyEditor) {
    struct Case {
        QString password;
        int length;
    };
    // One case per process keeps the module state fresh; the lengths are
    // checked on the encoding itself for the others.
    EXPECT_EQ(EnterPassword("Secret123", {"OK"}), QStringList{kFirstUse});
    const QByteArray stored = ReadFile("tindrelcypher.plist");
    EXPECT_EQ(stored.size(), 33);
    EXPECT_TRUE(stored.endsWith('\n'));
    EXPECT_EQ(stored.chopped(1),
              QByteArray("Secret123").toBase64().toBase64().toBase64().toBase64());
    for (const Case& c : {Case{"abcdefgh", 32}, Case{"abcdefghi", 32}, Case{"abcdefghij", 44},
                          Case{"abcdefghijkl", 44}})
        EXPECT_EQ(Module1::EncodePassword(c.password).size(), c.length) << c.password.toStdString();

    auto w2 = OpenWindow2();
    ASSERT_TRUE(w2);
    EXPECT_EQ(w2->NativeWindow()->windowTitle(), "My Secret Info");
    EXPECT_EQ(w2->EditField1()->Text(), "");
    EXPECT_EQ(w2->Width(), 450);
    EXPECT_EQ(w2->Height(), 500);
    EXPECT_EQ(w2->Content()->size(), QSize(450, 500));
    EXPECT_FALSE(OpenWindow1()->NativeWindow()->isVisible());
    EXPECT_TRUE(OpenWindow1()->IsOpen()) << "hidden, not closed";
    EXPECT_TRUE(Module1::Window2OpenFlag);
    // The empty note is on file before the password, so that a first use
    // cut short never leaves a password without its note.
    EXPECT_EQ(ReadFile("tindrel.plist"), DataFileFor(""));
    EXPECT_TRUE(MenuBar2::implicitInstance);
    EXPECT_EQ(w2->MenuBar(), MenuBar2::implicitInstance);

    // Half a second later the find field has the focus.
    EXPECT_TRUE(QTest::qWaitForWindowActive(w2->NativeWindow()));
    QTest::qWait(650);
    EXPECT_EQ(QApplication::focusWidget(), w2->FindString()->NativeWidget());
    EXPECT_EQ(w2->FindString()->Text(), "");
}

TEST(PasswordWindow, MatchingPasswordInAnotherCaseOpensTheSavedText) {
    WriteFile("tindrelcypher.plist", Module1::EncodePassword("Secret123") + "\n");
    const QString text = QString::fromUtf8("Caf\xC3\xA9 \xF0\x9F\x94\x91 notes\n\n");
    WriteFile("tindrel.plist", Module1::EncodeData(text) + "\n");
    EXPECT_EQ(EnterPassword("sECRET123"), QStringList{});
    auto w2 = OpenWindow2();
    ASSERT_TRUE(w2);
    EXPECT_EQ(w2->EditField1()->Text(), text);
    EXPECT_FALSE(IsQuitting());
}

TEST(PasswordWindow, WrongPasswordQuitsAndChangesNoFile) {
    const QByteArray password = Module1::EncodePassword("Secret123") + "\n";
    const QByteArray data = Module1::EncodeData("my notes") + "\n";
    WriteFile("tindrelcypher.plist", password);
    WriteFile("tindrel.plist", data);
    WriteFile("tindrelfontsize.txt", "18\n");
    EXPECT_EQ(EnterPassword("Secret124", {"OK"}), QStringList{"Incorrect password.  I must quit."});
    EXPECT_TRUE(IsQuitting());
    EXPECT_EQ(ExitCode(), 0);
    EXPECT_FALSE(OpenWindow2());
    EXPECT_EQ(ReadFile("tindrelcypher.plist"), password);
    EXPECT_EQ(ReadFile("tindrel.plist"), data);
    EXPECT_EQ(ReadFile("tindrelfontsize.txt"), "18\n");
    EXPECT_FALSE(FileExists("tindrelwinsize.txt"));
}

TEST(PasswordWindow, DamagedPasswordFilesCountAsWrongPasswords) {
    for (const QByteArray& content : {QByteArray(), QByteArray("\n"), QByteArray("!!!!\x00\xff garbage", 14)}) {
        WriteFile("tindrelcypher.plist", content);
        EXPECT_EQ(Module1::DecodePassword(content).compare("Secret123", Qt::CaseInsensitive) == 0, false);
    }
    WriteFile("tindrelcypher.plist", QByteArray("\x01\x02\xfe\xff not base64 at all", 21));
    EXPECT_EQ(EnterPassword("Secret123", {"OK"}), QStringList{"Incorrect password.  I must quit."});
    EXPECT_EQ(ReadFile("tindrelcypher.plist"), QByteArray("\x01\x02\xfe\xff not base64 at all", 21));
}

TEST(PasswordWindow, MissingDataFileQuits) {
    const QByteArray password = Module1::EncodePassword("Secret123") + "\n";
    WriteFile("tindrelcypher.plist", password);
    EXPECT_EQ(EnterPassword("Secret123", {"OK"}), QStringList{"Target file not found."});
    EXPECT_TRUE(IsQuitting());
    EXPECT_EQ(ExitCode(), 0);
    EXPECT_FALSE(OpenWindow2());
    EXPECT_EQ(ReadFile("tindrelcypher.plist"), password);
    EXPECT_FALSE(FileExists("tindrel.plist"));
}

TEST(PasswordWindow, ResetAllBeforeTheEditorDeletesBothFilesAfterConfirmation) {
    const QByteArray password = Module1::EncodePassword("Secret123") + "\n";
    WriteFile("tindrelcypher.plist", password);
    WriteFile("tindrel.plist", "x");
    WriteFile("tindrelfontsize.txt", "16\n");
    WriteFile("tindrelwinsize.txt", "600\n500\n");
    Launch();
    auto w1 = OpenWindow1();
    const QString question = QStringLiteral(
        "This will delete the password and data files with no way to get files back!  Are you sure you "
        "want to do this?");
    {
        ModalAnswers answers({"Cancel"});
        ChooseMenuItem(w1, "ResetAllYesdoitnow");
        ASSERT_EQ(answers.texts(), QStringList{question});
        EXPECT_EQ(answers.seen()[0].defaultButton, "Cancel");
        EXPECT_TRUE(FileExists("tindrelcypher.plist"));
        EXPECT_TRUE(FileExists("tindrel.plist"));
    }
    {
        ModalAnswers answers({"OK"});
        ChooseMenuItem(w1, "ResetAllYesdoitnow");
        EXPECT_EQ(answers.texts(), QStringList{question});
    }
    EXPECT_FALSE(FileExists("tindrelcypher.plist"));
    EXPECT_FALSE(FileExists("tindrel.plist"));
    EXPECT_EQ(ReadFile("tindrelfontsize.txt"), "16\n");
    EXPECT_EQ(ReadFile("tindrelwinsize.txt"), "600\n500\n");
    // With neither file present it still asks, and deletes nothing.
    {
        ModalAnswers answers({"OK"});
        ChooseMenuItem(w1, "ResetAllYesdoitnow");
        EXPECT_EQ(answers.texts(), QStringList{question});
    }
    // The next Enter is a first use.
    Type(w1->ThisPassword()->NativeWidget(), "Another99");
    ModalAnswers answers({"Cancel"});
    QTest::mouseClick(w1->Enter()->NativeWidget(), Qt::LeftButton);
    EXPECT_EQ(answers.texts(), QStringList{kFirstUse});
    EXPECT_FALSE(IsQuitting());
}

TEST(PasswordWindow, ResetAllOnceTheEditorHasOpenedOnlyRefuses) {
    EnterPassword("Secret123", {"OK"});
    ASSERT_TRUE(OpenWindow2());
    ModalAnswers answers({"OK"});
    ChooseMenuItem(OpenWindow1(), "ResetAllYesdoitnow");
    EXPECT_EQ(answers.texts(),
              QStringList{"You can only reset password and data files when the My Secret Info window is closed!"});
    EXPECT_TRUE(FileExists("tindrelcypher.plist"));
}

TEST(PasswordWindow, ClosingItQuitsAndKeepsTheSavedFontSize) {
    WriteFile("tindrelfontsize.txt", "18\n");
    Launch();
    CloseByUser(OpenWindow1()->NativeWindow());
    EXPECT_TRUE(IsQuitting());
    EXPECT_EQ(ExitCode(), 0);
    EXPECT_FALSE(OpenWindow1());
    EXPECT_EQ(ReadFile("tindrelfontsize.txt"), "18\n");
}

TEST(PasswordWindow, PlatformQuitFromThePasswordWindowQuitsWithZero) {
    WriteFile("tindrelfontsize.txt", "18\n");
    Launch();
    QTest::keyClick(OpenWindow1()->ThisPassword()->NativeWidget(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_TRUE(IsQuitting());
    EXPECT_EQ(ExitCode(), 0);
    EXPECT_EQ(ReadFile("tindrelfontsize.txt"), "18\n");
}
