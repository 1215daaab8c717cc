// The application's and the editor's menu bars: their trees of items, how the
// windows show them, and how choosing an item reaches its command.
#include "tests/Harness.h"
#include "tests/MenuRows.h"

#include "app/App.h"
#include "app/MenuBars.h"
#include "app/Startup.h"
#include "framework/Runtime.h"
#include "store/Module1.h"
#include "windows/editor/Window2.h"
#include "windows/password/Window1.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QKeySequence>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <optional>
#include <ostream>

using namespace harness;

namespace {

// Expected bars. Menus first, each followed by its items.
const std::vector<Row> kApplicationBar = {
    {"", "FileMenu", "MenuItem", "&File", "", ""},
    {"FileMenu", "FilePrintHelp", "MenuItem", "Print Help", "Cmd+Shift+P", "Ctrl+Shift+P"},
    {"FileMenu", "FileQuit", "QuitMenuItem", "&Quit", "Cmd+Q", "Ctrl+Q"},
    {"", "EditMenu", "MenuItem", "&Edit", "", ""},
    {"EditMenu", "EditCut", "MenuItem", "Cu&t", "Cmd+X", "Ctrl+X"},
    {"EditMenu", "EditCopy", "MenuItem", "&Copy", "Cmd+C", "Ctrl+C"},
    {"EditMenu", "EditPaste", "MenuItem", "&Paste", "Cmd+V", "Ctrl+V"},
    {"EditMenu", "EditClear", "MenuItem", "&Delete", "", ""},
    {"EditMenu", "UntitledMenu0", "MenuItem", "-", kNotAssigned, ""},
    {"EditMenu", "EditSelectAll", "MenuItem", "Select &All", "Cmd+A", "Ctrl+A"},
    {"", "ResetAllMenu", "MenuItem", "Reset All", "", ""},
    {"ResetAllMenu", "ResetAllYesdoitnow", "MenuItem", "Yes - do it now", "", ""},
    {"", "CheckforUpdateMenu", "MenuItem", "Check for Update", "", ""},
    {"CheckforUpdateMenu", "CheckforUpdateCheckNow", "MenuItem", "Check Now", "", ""},
    {"", "HelpMenu", "MenuItem", "Morvellan Help", "", ""},
    {"HelpMenu", "TindrelHelpShowMorvellanHelp", "MenuItem", "Show Morvellan Help", "", ""},
    {"HelpMenu", "TindrelHelpAboutMorvellan", "AppleMenuItem", "About Morvellan", "", ""},
};

const std::vector<Row> kEditorBar = {
    {"", "FileMenu", "MenuItem", "&File", "", ""},
    {"FileMenu", "FilePrint", "MenuItem", "Print", "Cmd+P", "Ctrl+P"},
    {"FileMenu", "FilePrintHelp", "MenuItem", "Print Help", "Cmd+Shift+P", "Ctrl+Shift+P"},
    {"FileMenu", "UntitledSeparator", "MenuItem", "-", kNotAssigned, ""},
    {"FileMenu", "FileQuit", "QuitMenuItem", "&Quit", "Cmd+Q", "Ctrl+Q"},
    {"", "EditMenu", "MenuItem", "&Edit", "", ""},
    {"EditMenu", "EditCut", "MenuItem", "Cu&t", "Cmd+X", "Ctrl+X"},
    {"EditMenu", "EditCopy", "MenuItem", "&Copy", "Cmd+C", "Ctrl+C"},
    {"EditMenu", "EditPaste", "MenuItem", "&Paste", "Cmd+V", "Ctrl+V"},
    {"EditMenu", "EditClear", "MenuItem", "&Delete", "", ""},
    {"EditMenu", "UntitledMenu0", "MenuItem", "-", kNotAssigned, ""},
    {"EditMenu", "EditSelectAll", "MenuItem", "Select &All", "Cmd+A", "Ctrl+A"},
    {"EditMenu", "UntitledItem1", "MenuItem", "-", kNotAssigned, ""},
    {"EditMenu", "EditFind", "MenuItem", "Find", "Cmd+F", "Ctrl+F"},
    {"EditMenu", "EditFindNext", "MenuItem", "Find Next", "Cmd+G", "Ctrl+G"},
    {"EditMenu", "EditFindPrevious", "MenuItem", "Find Previous", "Cmd+Shift+G", "Ctrl+Shift+G"},
    {"", "CheckforUpdateMenu", "MenuItem", "Check for Update", "", ""},
    {"CheckforUpdateMenu", "CheckforUpdateCheckNow", "MenuItem", "Check Now", "", ""},
    {"", "FontSizeMenu", "MenuItem", "Font Size", "", ""},
    {"FontSizeMenu", "FontSizeSmaller", "MenuItem", "Smaller", "", ""},
    {"FontSizeMenu", "FontSizeLarger", "MenuItem", "Larger", "", ""},
    {"", "MorvellanHelpMenu", "MenuItem", "Morvellan Help", "", ""},
    {"MorvellanHelpMenu", "TindrelHelpShowMorvellanHelp", "MenuItem", "Show Morvellan Help", "", ""},
    {"MorvellanHelpMenu", "TindrelHelpAboutMorvellan", "AppleMenuItem", "About Morvellan", "", ""},
};

const char* const kApplicationCommands[] = {
    "CheckforUpdateCheckNow", "EditFind",       "EditFindNext",      "EditFindPrevious",
    "FontSizeLarger",         "FontSizeSmaller", "TindrelHelpAboutMorvellan", "TindrelHelpShowMorvellanHelp",
};

QMenu* MenuNamed(QMenuBar* bar, const QString& name) {
    for (QAction* menuAction : bar->actions())
        if (menuAction->menu() && menuAction->menu()->objectName() == name) return menuAction->menu();
    return nullptr;
}

}  // namespace

TEST(Menus, ApplicationCommandsAreBoundByNameBeforeAnyWindowOpens) {
    Startup::EarlyStartup();
    auto app = App::Instance();
    EXPECT_EQ(app->MenuBar(), MenuBar1::implicitInstance);
    EXPECT_TRUE(OpenWindows().empty());
    for (const char* name : kApplicationCommands)
        EXPECT_TRUE(app->MenuHandler(QString::fromLatin1(name))) << name;
    // The windows' commands and the framework's own stay unbound here.
    for (const char* name : {"ResetAllYesdoitnow", "FilePrintHelp", "FilePrint", "FileQuit", "EditCut",
                             "EditSelectAll"})
        EXPECT_FALSE(app->MenuHandler(QString::fromLatin1(name))) << name;
}

TEST(Menus, ApplicationBarIsBuiltAndShownInThePasswordWindow) {
    Launch();
    auto w1 = OpenWindow1();
    ASSERT_TRUE(w1);
    EXPECT_EQ(RowsOf(*App::Instance()->MenuBar()), TreePart(kApplicationBar));

    QMenuBar* bar = QtBarOf(*w1);
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(QtRowsOf(bar), ExpectedQtRows(kApplicationBar));

    // The accessors find items inside the menus, typed by their kind.
    EXPECT_EQ(w1->FileQuit(), App::Instance()->MenuBar()->Child("FileMenu")->Child("FileQuit"));
    EXPECT_EQ(w1->TindrelHelpAboutMorvellan(),
              App::Instance()->MenuBar()->Child("HelpMenu")->Child("TindrelHelpAboutMorvellan"));
}

TEST(Menus, EditorBarIsBuiltAndShownInTheEditor) {
    auto w2 = OpenEditorOnFirstUse();
    ASSERT_TRUE(w2);
    ASSERT_TRUE(w2->MenuBar());
    EXPECT_EQ(RowsOf(*w2->MenuBar()), TreePart(kEditorBar));

    QMenuBar* bar = QtBarOf(*w2);
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(QtRowsOf(bar), ExpectedQtRows(kEditorBar));

    EXPECT_EQ(w2->MenuBar()->Lookup("FilePrint"), w2->MenuBar()->Child("FileMenu")->Child("FilePrint"));
    EXPECT_EQ(w2->FileQuit(), w2->MenuBar()->Child("FileMenu")->Child("FileQuit"));
    EXPECT_EQ(w2->TindrelHelpAboutMorvellan(),
              w2->MenuBar()->Child("MorvellanHelpMenu")->Child("TindrelHelpAboutMorvellan"));
}

TEST(Menus, EachBarIsOneObjectMadeOnFirstUse) {
    Launch();
    auto w1 = OpenWindow1();
    auto first = MenuBar1::Instance();
    EXPECT_EQ(MenuBar1::Instance(), first);
    EXPECT_EQ(first->Count(), 5);
    EXPECT_EQ(App::Instance()->MenuBar(), first);
    EXPECT_EQ(w1->MenuBar(), first);
    EXPECT_FALSE(MenuBar2::implicitInstance) << "no editor bar before the editor opens";

    Type(w1->ThisPassword()->NativeWidget(), "Secret123");
    {
        ModalAnswers answers({"OK"});
        QTest::mouseClick(w1->Enter()->NativeWidget(), Qt::LeftButton);
    }
    auto w2 = OpenWindow2();
    ASSERT_TRUE(w2);
    ASSERT_TRUE(MenuBar2::implicitInstance);
    EXPECT_EQ(w2->MenuBar(), MenuBar2::implicitInstance);
    EXPECT_EQ(MenuBar2::Instance(), MenuBar2::implicitInstance);
    EXPECT_EQ(MenuBar2::implicitInstance->Count(), 5);
    EXPECT_EQ(MenuBar1::Instance(), first);
    EXPECT_EQ(first->Count(), 5);
    EXPECT_EQ(QtBarOf(*w1)->actions().size(), 5);
    EXPECT_EQ(QtBarOf(*w2)->actions().size(), 5);
}

TEST(Menus, ChoosingResetAllBringsTheMenusUpToDateFirst) {
    Launch();
    auto w1 = OpenWindow1();
    QMenuBar* bar = QtBarOf(*w1);
    const QString question = QStringLiteral(
        "This will delete the password and data files with no way to get files back!  Are you sure you "
        "want to do this?");
    auto item = ResetAllYesdoitnow();
    ASSERT_EQ(item, w1->ResetAllYesdoitnow()) << "the application's item is the window's";

    struct Way {
        const char* name;
        std::function<void()> choose;
    };
    const Way ways[] = {
        {"opening the menu with the mouse, then clicking the item",
         [&] {
             QMenu* menu = MenuNamed(bar, "ResetAllMenu");
             ASSERT_TRUE(menu);
             QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(menu->menuAction()).center());
             ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
             QAction* action = ActionNamed(bar, "ResetAllYesdoitnow");
             EXPECT_TRUE(item->Enabled()) << "enabled as the menu opens";
             EXPECT_TRUE(action->isEnabled());
             QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
         }},
        {"the item's action", [&] { ActionNamed(bar, "ResetAllYesdoitnow")->trigger(); }},
        {"choosing it by name", [&] { ChooseMenuItem(w1, "ResetAllYesdoitnow"); }},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        item->SetEnabled(false);
        ModalAnswers answers({"Cancel"});
        way.choose();
        EXPECT_EQ(answers.texts(), QStringList{question});
        EXPECT_TRUE(item->Enabled());
    }
    EXPECT_FALSE(IsQuitting());
}

TEST(Menus, EditorFindShortcutsPushTheirButtons) {
    auto w2 = OpenEditorOnFirstUse();
    ASSERT_TRUE(w2);
    ASSERT_TRUE(QTest::qWaitForWindowActive(w2->NativeWindow()));
    QMenuBar* bar = QtBarOf(*w2);

    std::map<QString, std::unique_ptr<QSignalSpy>> triggered;
    for (QAction* menuAction : bar->actions())
        for (QAction* action : menuAction->menu()->actions())
            if (!action->isSeparator())
                triggered[action->objectName()] = std::make_unique<QSignalSpy>(action, &QAction::triggered);

    struct Case {
        QKeyCombination keys;
        const char* item;
        std::shared_ptr<PushButton> button;
    };
    const Case cases[] = {
        {Qt::ControlModifier | Qt::Key_F, "EditFind", w2->Find()},
        {Qt::ControlModifier | Qt::Key_G, "EditFindNext", w2->FindNext()},
        {Qt::ControlModifier | Qt::ShiftModifier | Qt::Key_G, "EditFindPrevious", w2->FindPrevious()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.item);
        QSignalSpy clicked(static_cast<QPushButton*>(c.button->NativeWidget()), &QPushButton::clicked);
        for (auto& [name, spy] : triggered) spy->clear();
        // The find command may answer with a message; it is acknowledged.
        ModalAnswers answers({"OK"});
        // The offscreen platform does not give activation back when a
        // message box closes, and shortcuts reach only the active window.
        w2->NativeWindow()->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(w2->NativeWindow()));
        QTest::keyClick(w2->EditField1()->NativeWidget(), c.keys.key(), c.keys.keyboardModifiers());
        EXPECT_EQ(clicked.count(), 1);
        for (auto& [name, spy] : triggered)
            EXPECT_EQ(spy->count(), name == QLatin1String(c.item) ? 1 : 0) << name.toStdString();
    }
    EXPECT_FALSE(IsQuitting());
}

TEST(Menus, QuitShortcutInTheEditorSavesTheTextAndQuits) {
    auto w2 = OpenEditorOnFirstUse();
    ASSERT_TRUE(w2);
    ASSERT_TRUE(QTest::qWaitForWindowActive(w2->NativeWindow()));
    QWidget* area = w2->EditField1()->NativeWidget();
    area->setFocus();
    Type(area, "hello");
    QTest::keyClick(area, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_TRUE(IsQuitting());
    EXPECT_EQ(ExitCode(), 0);
    EXPECT_FALSE(OpenWindow2());
    EXPECT_EQ(ReadFile("tindrel.plist"), Module1::EncodeData("hello") + "\n");
}

TEST(Menus, EditCommandsActOnTheFocusedFieldAndOnTheTextArea) {
    auto w2 = OpenEditorOnFirstUse();
    ASSERT_TRUE(w2);
    ASSERT_TRUE(QTest::qWaitForWindowActive(w2->NativeWindow()));
    Wait(600);  // past the timer that focuses the find field
    QMenuBar* bar = QtBarOf(*w2);
    auto* field = static_cast<QLineEdit*>(w2->FindString()->NativeWidget());
    auto* area = static_cast<QPlainTextEdit*>(w2->EditField1()->NativeWidget());

    // The same few operations on either kind of text control.
    struct Target {
        const char* name;
        QWidget* widget;
        std::function<void(int, int)> select;  // start, length
        std::function<QString()> text, selected;
    };
    const Target targets[] = {
        {"text field", field, [&](int start, int length) { field->setSelection(start, length); },
         [&] { return field->text(); }, [&] { return field->selectedText(); }},
        {"text area", area,
         [&](int start, int length) {
             QTextCursor cursor = area->textCursor();
             cursor.setPosition(start);
             cursor.setPosition(start + length, QTextCursor::KeepAnchor);
             area->setTextCursor(cursor);
         },
         [&] { return area->toPlainText(); }, [&] { return area->textCursor().selectedText(); }},
    };
    struct Case {
        const char* item;
        int start, length;
        const char* text;
        const char* selected;
        const char* clipboard;
    };
    // "hello world" with "world" selected, or the caret at the start.
    const Case cases[] = {
        {"EditCut", 6, 5, "hello ", "", "world"},
        {"EditCopy", 6, 5, "hello world", "world", "world"},
        {"EditPaste", 6, 5, "hello clip", "", "clip"},
        {"EditClear", 6, 5, "hello ", "", "clip"},
        {"EditClear", 0, 0, "hello world", "", "clip"},
        {"EditSelectAll", 0, 0, "hello world", "hello world", "clip"},
    };
    for (const Target& target : targets) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(target.name) + " " + c.item + " at " + std::to_string(c.start));
            if (target.widget == field) field->setText("hello world");
            else area->setPlainText("hello world");
            target.widget->setFocus();
            target.select(c.start, c.length);
            QGuiApplication::clipboard()->setText("clip");
            ActionNamed(bar, c.item)->trigger();
            EXPECT_EQ(target.text(), c.text);
            EXPECT_EQ(target.selected(), c.selected);
            EXPECT_EQ(QGuiApplication::clipboard()->text(), c.clipboard);
        }
    }
    EXPECT_FALSE(IsQuitting());
}
