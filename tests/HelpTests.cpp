// The help window, its menu bar and printing the help text.
#include "tests/Harness.h"
#include "tests/MenuRows.h"
#include "tests/PrintHarness.h"

#include "app/App.h"
#include "framework/Runtime.h"
#include "framework/Window.h"
#include "store/Module1.h"
#include "text/TextFunctions.h"
#include "windows/editor/Window2.h"
#include "windows/help/Help.h"
#include "windows/password/Window1.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <csignal>

using namespace harness;

namespace {

QString HelpShown() { return QString::fromUtf8(kHelpText).replace(QLatin1String("\r"), QLatin1String("\n")); }

// What the printed help shows: its body words page after page, and each
// page's footer line ("page N" and the time stamp), read by position.
struct HelpPages {
    QString body;  // words joined by one blank
    QStringList footers;
    std::vector<PdfPage> pages;
    bool operator==(const HelpPages& o) const { return body == o.body && footers == o.footers; }
};

HelpPages PrintHelpFrom(const std::shared_ptr<Window>& window) {
    PrintAnswer answer(PrintAnswer::PrintToPdf);
    ChooseMenuItem(window, "FilePrintHelp");
    EXPECT_TRUE(answer.dialogSeen());
    EXPECT_FALSE(OpenWindowOf<Help>()) << "the help window is closed after printing";
    HelpPages printed;
    if (!QFile::exists(answer.pdfPath())) return printed;
    printed.pages = ReadPdf(answer.pdfPath());
    const double footer = answer.printableRect().top() + 720;
    QStringList words;
    for (const PdfPage& page : printed.pages) {
        for (const Word& w : page.words)
            if (w.yMax < footer - 8) words << w.text;
        QStringList line;
        for (const Word& w : WordsNear(page, footer)) line << w.text;
        printed.footers << line.join(' ');
    }
    // The PDF keeps the font's "fi" ligature, and a line may end after a
    // hyphen: compare the characters, not the glyphs or the breaks.
    printed.body = words.join(' ').normalized(QString::NormalizationForm_KC).replace("- ", "-");
    return printed;
}

}  // namespace

TEST(Help, MenuBarHasFileAndEditExactly) {
    Launch();
    App::Instance()->TindrelHelpShowMorvellanHelp_Action();
    auto help = OpenWindowOf<Help>();
    ASSERT_TRUE(help);
    const std::vector<Row> expected = {
        {"", "FileMenu", "MenuItem", "&File", "", ""},
        {"FileMenu", "FilePrintHelp", "MenuItem", "Print Help", "Cmd+Shift+P", "Ctrl+Shift+P"},
        {"FileMenu", "FileQuit", "QuitMenuItem", "&Quit", "Cmd+Q", "Ctrl+Q"},
        {"", "EditMenu", "MenuItem", "&Edit", "", ""},
        {"EditMenu", "EditUndo", "MenuItem", "&Undo", "Cmd+Z", "Ctrl+Z"},
        {"EditMenu", "EditSeparator1", "MenuItem", "-", kNotAssigned, ""},
        {"EditMenu", "EditCut", "MenuItem", "Cu&t", "Cmd+X", "Ctrl+X"},
        {"EditMenu", "EditCopy", "MenuItem", "&Copy", "Cmd+C", "Ctrl+C"},
        {"EditMenu", "EditPaste", "MenuItem", "&Paste", "Cmd+V", "Ctrl+V"},
        {"EditMenu", "EditClear", "MenuItem", "&Delete", "", ""},
        {"EditMenu", "EditSeparator2", "MenuItem", "-", kNotAssigned, ""},
        {"EditMenu", "EditSelectAll", "MenuItem", "Select &All", "Cmd+A", "Ctrl+A"},
    };
    EXPECT_EQ(RowsOf(*help->MenuBar()), TreePart(expected));
    EXPECT_EQ(QtRowsOf(QtBarOf(*help)), ExpectedQtRows(expected));
    EXPECT_EQ(help->MenuBar(), MenuBar3::Instance());
    EXPECT_EQ(help->Title(), "Help");
    EXPECT_EQ(help->Width(), 350);
    EXPECT_EQ(help->Height(), 348);
}

TEST(Help, OneWindowAtMostAndItsTextCannotBeChanged) {
    auto w2 = OpenEditorOnFirstUse();
    ASSERT_TRUE(w2);
    ChooseMenuItem(w2, "TindrelHelpShowMorvellanHelp");
    auto help = OpenWindowOf<Help>();
    ASSERT_TRUE(help);
    ChooseMenuItem(w2, "TindrelHelpShowMorvellanHelp");
    EXPECT_EQ(OpenWindowOf<Help>(), help);
    EXPECT_TRUE(w2->IsOpen()) << "modeless: the editor stays";
    {
        // Modeless: with the help window open, the editor takes the keys
        // that reach its window, as the user's typing does (a modal window
        // would block them there).
        QWidget* editor = w2->NativeWindow();
        editor->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(editor));
        w2->EditField1()->NativeWidget()->setFocus();
        const QString before = w2->EditField1()->Text();
        w2->EditField1()->SetSelStart(Text::Len(before));
        for (char c : {'x', 'y', 'z'}) QTest::keyClick(editor->windowHandle(), c);
        EXPECT_EQ(w2->EditField1()->Text(), before + "xyz");
        EXPECT_EQ(OpenWindowOf<Help>(), help);
        EXPECT_TRUE(help->IsOpen());
        help->NativeWindow()->activateWindow();
    }

    auto area = help->TextArea1();
    EXPECT_EQ(area->Text(), HelpShown());
    QWidget* widget = area->NativeWidget();
    widget->setFocus();
    ASSERT_TRUE(QTest::qWaitForWindowActive(help->NativeWindow()));
    ChooseMenuItem(help, "EditSelectAll");
    EXPECT_EQ(area->SelLength(), HelpShown().size());
    QApplication::clipboard()->setText("pasted");
    Type(widget, "typed");
    for (const char* item : {"EditCut", "EditPaste", "EditClear", "EditUndo"}) {
        SCOPED_TRACE(item);
        ChooseMenuItem(help, "EditSelectAll");
        ChooseMenuItem(help, item);
        EXPECT_EQ(area->Text(), HelpShown());
    }
    ChooseMenuItem(help, "EditSelectAll");
    ChooseMenuItem(help, "EditCopy");
    EXPECT_EQ(QApplication::clipboard()->text(), HelpShown());

    // The editor's font size is not the help text's.
    const QFont before = widget->font();
    ChooseMenuItem(w2, "FontSizeLarger");
    EXPECT_EQ(widget->font(), before);

    help->Close();
    EXPECT_FALSE(OpenWindowOf<Help>());
    ChooseMenuItem(w2, "TindrelHelpShowMorvellanHelp");
    ASSERT_TRUE(OpenWindowOf<Help>());
    EXPECT_NE(OpenWindowOf<Help>(), help);
    EXPECT_EQ(OpenWindowOf<Help>()->TextArea1()->SelStart(), 0);
    EXPECT_FALSE(IsQuitting());
}

// How many pixels of the area's text show in the given colour.
int PixelsOf(QWidget* area, const QColor& colour) {
    const QImage image = static_cast<QPlainTextEdit*>(area)->viewport()->grab().toImage();
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) count += image.pixelColor(x, y) == colour;
    return count;
}

TEST(Help, SelectionIsHiddenWhileTheWindowIsInactive) {
    auto w2 = OpenEditorOnFirstUse();
    ASSERT_TRUE(w2);
    ChooseMenuItem(w2, "TindrelHelpShowMorvellanHelp");
    auto help = OpenWindowOf<Help>();
    ASSERT_TRUE(help);
    EXPECT_TRUE(help->TextArea1()->HideSelection());
    QWidget* area = help->TextArea1()->NativeWidget();
    area->setFocus();
    ASSERT_TRUE(QTest::qWaitForWindowActive(help->NativeWindow()));
    ChooseMenuItem(help, "EditSelectAll");
    const QColor highlight = area->palette().color(QPalette::Active, QPalette::Highlight);
    const QColor inactiveHighlight = QApplication::palette(area).color(QPalette::Inactive, QPalette::Highlight);
    EXPECT_GT(PixelsOf(area, highlight), 1000) << "the active window shows its selection";

    w2->NativeWindow()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w2->NativeWindow()));
    EXPECT_FALSE(help->NativeWindow()->isActiveWindow());
    EXPECT_EQ(PixelsOf(area, highlight), 0);
    EXPECT_EQ(PixelsOf(area, inactiveHighlight), 0);
    EXPECT_EQ(help->TextArea1()->SelLength(), HelpShown().size()) << "hidden, not lost";

    help->NativeWindow()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(help->NativeWindow()));
    EXPECT_GT(PixelsOf(area, highlight), 1000) << "shown again once the window is active";

    // Without HideSelection the inactive window keeps showing it.
    help->TextArea1()->SetHideSelection(false);
    w2->NativeWindow()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w2->NativeWindow()));
    EXPECT_GT(PixelsOf(area, inactiveHighlight), 1000);
}

TEST(Help, QuitFromTheHelpWindowSavesTheNote) {
    auto w2 = OpenEditorOnFirstUse();
    ASSERT_TRUE(w2);
    w2->EditField1()->SetText("kept safe");
    ChooseMenuItem(w2, "TindrelHelpShowMorvellanHelp");
    ChooseMenuItem(OpenWindowOf<Help>(), "FileQuit");
    EXPECT_TRUE(IsQuitting());
    EXPECT_EQ(ExitCode(), 0);
    EXPECT_EQ(ReadFile("tindrel.plist"), Module1::EncodeData("kept safe") + "\n");
}

TEST(HelpPrinting, PrintsTheWholeTextWithSansFootersAndClosesTheHelpWindow) {
    auto w2 = OpenEditorOnFirstUse();
    ASSERT_TRUE(w2);
    w2->EditField1()->SetText("my note");
    w2->EditField1()->SetSelStart(3);
    w2->EditField1()->SetSelLength(4);
    ChooseMenuItem(w2, "TindrelHelpShowMorvellanHelp");
    // From the help window itself.
    const HelpPages printed = PrintHelpFrom(OpenWindowOf<Help>());
    ASSERT_EQ(printed.pages.size(), 1u) << "the help text fits one block";
    EXPECT_EQ(printed.body.toStdString(), HelpShown().simplified().toStdString());
    // The time stamp is the one taken before the dialog opened.
    EXPECT_EQ(printed.footers, QStringList{"page 1 " + PrintAnswer::StampBefore()});
    for (const PdfPage& page : printed.pages) {
        EXPECT_TRUE(page.fonts.contains("LiberationSans")) << page.fonts.join(", ").toStdString();
        EXPECT_TRUE(page.fonts.filter("Sans-Bold").isEmpty()) << page.fonts.join(", ").toStdString();
    }
    // From the editor, while no help window is open: the same pages.
    EXPECT_TRUE(PrintHelpFrom(w2) == printed);
    EXPECT_EQ(w2->EditField1()->Text(), "my note");
    EXPECT_EQ(w2->EditField1()->SelStart(), 3);
    EXPECT_EQ(w2->EditField1()->SelLength(), 4);

    // Cancelled: nothing printed, and the help window closed all the same.
    PrintAnswer cancel(PrintAnswer::Cancel);
    ChooseMenuItem(w2, "FilePrintHelp");
    EXPECT_TRUE(cancel.dialogSeen());
    EXPECT_FALSE(QFile::exists(cancel.pdfPath()));
    EXPECT_FALSE(OpenWindowOf<Help>());
    EXPECT_EQ(w2->EditField1()->Text(), "my note");
    EXPECT_FALSE(IsQuitting());
}

TEST(HelpPrinting, PasswordWindowPrintsTheSamePagesAsTheEditor) {
    Launch();
    auto w1 = OpenWindow1();
    ASSERT_TRUE(w1);
    const HelpPages fromPassword = PrintHelpFrom(w1);
    EXPECT_EQ(fromPassword.body.toStdString(), HelpShown().simplified().toStdString());
    EXPECT_EQ(fromPassword.footers, QStringList{"page 1 " + PrintAnswer::StampBefore()});
    EXPECT_EQ(OpenWindow1(), w1);
    EXPECT_FALSE(IsQuitting());
}

// Print Help to a file that cannot be written, past the print dialog's own
// check of it: the reason in one box, nothing printed, the help window closed
// all the same and the editor as it was; the next print works.
TEST(HelpPrinting, FileThatCannotBeWrittenIsReportedAndTheHelpWindowClosesAllTheSame) {
    auto w2 = OpenEditorOnFirstUse();
    ASSERT_TRUE(w2);
    w2->EditField1()->SetText("my note");
    QTemporaryDir dir;
    const QString missing = dir.filePath("gone/help.pdf");
    PrintAnswer answer(PrintAnswer::PrintToPdf, {PrintAnswer::Portrait, QString(), 0, 0, 1, missing});
    ModalAnswers boxes({"OK"});
    ChooseMenuItem(w2, "FilePrintHelp");
    EXPECT_TRUE(answer.dialogSeen());
    EXPECT_EQ(boxes.texts(), QStringList{"Could not print to the file \"" + missing +
                                         "\": No such file or directory.  Nothing was printed."});
    EXPECT_FALSE(QFile::exists(answer.pdfPath()));
    EXPECT_FALSE(QFile::exists(dir.filePath("gone")));
    EXPECT_FALSE(OpenWindowOf<Help>());
    EXPECT_EQ(OpenWindow2(), w2);
    EXPECT_EQ(w2->EditField1()->Text(), "my note");
    EXPECT_FALSE(IsQuitting());

    const HelpPages printed = PrintHelpFrom(w2);
    ASSERT_EQ(printed.pages.size(), 1u);
    EXPECT_EQ(printed.body.toStdString(), HelpShown().simplified().toStdString());
}

// A quit during the failure box of a help print of two copies: the quit
// closes the help window, and the next copy would need it built anew while
// the program quits. It is never handed out half built: no further box, no
// report, and the run ends as the quit said.
TEST(HelpPrinting, QuitDuringTheFailureBoxEndsThePrintWithoutAReport) {
    auto w2 = OpenEditorOnFirstUse();
    ASSERT_TRUE(w2);
    w2->EditField1()->SetText("my note");
    QTemporaryDir dir;
    const QString missing = dir.filePath("gone/help.pdf");
    PrintAnswer::Settings twoCopies;
    twoCopies.copies = 2;
    twoCopies.writeTo = missing;
    PrintAnswer answer(PrintAnswer::PrintToPdf, twoCopies);
    ModalAnswers boxes({"OK"}, [](const Seen&) { QuitCommand(); });
    ChooseMenuItem(w2, "FilePrintHelp");
    EXPECT_TRUE(answer.dialogSeen());
    EXPECT_EQ(boxes.texts(), QStringList{"Could not print to the file \"" + missing +
                                         "\": No such file or directory.  Nothing was printed."});
    EXPECT_TRUE(IsQuitting());
    EXPECT_EQ(ExitCode(), 0);
    EXPECT_FALSE(OpenWindowOf<Help>());
    EXPECT_EQ(ReadFile("tindrel.plist"), DataFileFor("my note")) << "the quit saved the note";
}

// A quit signal during the box that tells the print failed: the print goes on
// to its end after the quit and asks for the help window again, which the
// quit has closed (or which was not open yet). Nothing more is reported, the
// run ends as the quit said, the note is saved and no window comes back on
// the screen.
class QuitDuringHelpPrintFailure : public ::testing::TestWithParam<bool> {};

TEST_P(QuitDuringHelpPrintFailure, EndsAsTheQuitSaidWithNoErrorReport) {
    const bool fromHelp = GetParam();
    auto w2 = OpenEditorOnFirstUse();
    ASSERT_TRUE(w2);
    w2->EditField1()->SetText("my note");
    ChooseMenuItem(w2, "TindrelHelpShowMorvellanHelp");
    if (!fromHelp) OpenWindowOf<Help>()->Close();
    QTemporaryDir dir;
    const QString missing = dir.filePath("gone/help.pdf");
    PrintAnswer answer(PrintAnswer::PrintToPdf, {PrintAnswer::Portrait, QString(), 0, 0, 1, missing});
    ModalAnswers boxes({"OK"}, [](const Seen&) {
        raise(SIGTERM);
        Wait(100);
        EXPECT_TRUE(IsQuitting());
    });
    ChooseMenuItem(fromHelp ? std::shared_ptr<Window>(OpenWindowOf<Help>()) : std::shared_ptr<Window>(w2),
                   "FilePrintHelp");
    EXPECT_TRUE(answer.dialogSeen());
    EXPECT_EQ(boxes.texts(), QStringList{"Could not print to the file \"" + missing +
                                         "\": No such file or directory.  Nothing was printed."});
    EXPECT_TRUE(IsQuitting());
    EXPECT_EQ(ExitCode(), 0) << "no error after the quit";
    EXPECT_EQ(ReadFile("tindrel.plist"), Module1::EncodeData("my note") + "\n");
    EXPECT_FALSE(OpenWindowOf<Help>());
    for (QWidget* widget : QApplication::topLevelWidgets())
        EXPECT_FALSE(widget->isVisible()) << widget->windowTitle().toStdString() << " shown after the quit";
}

INSTANTIATE_TEST_SUITE_P(From, QuitDuringHelpPrintFailure, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "HelpWindow" : "Editor"; });
