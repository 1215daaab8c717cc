// The editor's Font Size menu: "Larger" and "Smaller" step the size kept in
// the font-size file and shown in the text area.
#include "tests/Harness.h"

#include "framework/Runtime.h"
#include "framework/Window.h"
#include "windows/editor/Window2.h"

#include <QAction>
#include <QApplication>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTest>
#include <QTextDocument>
#include <gtest/gtest.h>

#include <optional>
#include <ostream>

using namespace harness;

namespace {

const char* const kFontSizeFile = "tindrelfontsize.txt";

QPlainTextEdit* TextAreaOf(const Window2& editor) { return static_cast<QPlainTextEdit*>(editor.EditField1()->NativeWidget()); }

// The size the text area draws its text in.
double ShownSize(const Window2& editor) { return TextAreaOf(editor)->document()->defaultFont().pointSizeF(); }

double DefaultSize() { return QApplication::font().pointSizeF(); }

// A size of 0 or below shows the default size.
double ShownSizeFor(int32_t size) { return size > 0 ? size : DefaultSize(); }

struct StepCase {
    const char* label;
    std::optional<QByteArray> file;  // the font-size file before the editor opens
    int32_t before;                  // the size the editor opens with
    const char* command;
    int32_t after;
};

void PrintTo(const StepCase& c, std::ostream* os) { *os << c.label; }

// Contents without a line end show that the file is written again even when
// the size stays as it was.
const StepCase kSteps[] = {
    {"NoFile_Larger", std::nullopt, 0, "FontSizeLarger", 14},
    {"NoFile_Smaller", std::nullopt, 0, "FontSizeSmaller", 10},
    {"Zero_Larger", QByteArray("0\n"), 0, "FontSizeLarger", 14},
    {"Zero_Smaller", QByteArray("0\n"), 0, "FontSizeSmaller", 10},
    {"One_Larger", QByteArray("1\n"), 1, "FontSizeLarger", 14},
    {"One_Smaller", QByteArray("1"), 1, "FontSizeSmaller", 1},
    {"Ten_Smaller", QByteArray("10"), 10, "FontSizeSmaller", 10},
    {"Eleven_Larger", QByteArray("11\n"), 11, "FontSizeLarger", 14},
    {"Eleven_Smaller", QByteArray("11"), 11, "FontSizeSmaller", 11},
    {"MinusFour_Larger", QByteArray("-4\n"), -4, "FontSizeLarger", 14},
    {"MinusFour_Smaller", QByteArray("-4"), -4, "FontSizeSmaller", -4},
    {"Twelve_Larger", QByteArray("12\n"), 12, "FontSizeLarger", 14},
    {"Twelve_Smaller", QByteArray("12\n"), 12, "FontSizeSmaller", 10},
    {"Thirteen_Larger", QByteArray("13\n"), 13, "FontSizeLarger", 15},
    {"Thirteen_Smaller", QByteArray("13\n"), 13, "FontSizeSmaller", 11},
    {"Twenty_Larger", QByteArray("20\n"), 20, "FontSizeLarger", 22},
    {"Twenty_Smaller", QByteArray("20\n"), 20, "FontSizeSmaller", 18},
    {"Int32MaxLessOne_Larger", QByteArray("2147483646\n"), 2147483646, "FontSizeLarger", 2147483647},
    {"Int32Max_Larger", QByteArray("2147483647\n"), 2147483647, "FontSizeLarger", 2147483647},
    {"Int32Max_Smaller", QByteArray("2147483647\n"), 2147483647, "FontSizeSmaller", 2147483645},
};

class FontSizeStep : public ::testing::TestWithParam<StepCase> {};

}  // namespace

TEST_P(FontSizeStep, SavesAndShowsTheNewSize) {
    const StepCase& c = GetParam();
    if (c.file) WriteFile(kFontSizeFile, *c.file);
    auto editor = OpenEditorOnFirstUse();
    ASSERT_TRUE(editor);
    // Sizes beyond any readable one are shown at a readable maximum.
    const bool huge = c.before > 1000 || c.after > 1000;
    if (!huge) {
        ASSERT_EQ(ShownSize(*editor), ShownSizeFor(c.before));
    }

    QAction* action = ActionNamed(QtBarOf(*editor), QString::fromLatin1(c.command));
    ASSERT_TRUE(action);
    action->trigger();

    EXPECT_EQ(ReadFile(kFontSizeFile), QByteArray::number(c.after) + "\n");
    if (huge) {
        EXPECT_GT(ShownSize(*editor), 22.0);
        EXPECT_LE(ShownSize(*editor), 1000.0);
    } else {
        EXPECT_EQ(ShownSize(*editor), ShownSizeFor(c.after));
        EXPECT_EQ(TextAreaOf(*editor)->font().pointSizeF(), ShownSizeFor(c.after));
    }
    EXPECT_FALSE(IsQuitting());
}

INSTANTIATE_TEST_SUITE_P(FromEachSize, FontSizeStep, ::testing::ValuesIn(kSteps),
                         [](const ::testing::TestParamInfo<StepCase>& info) { return std::string(info.param.label); });

// Each command starts from the size the one before left, not from the file.
TEST(FontSize, StepsFromTheDefaultSizeInTurn) {
    auto editor = OpenEditorOnFirstUse();
    ASSERT_TRUE(editor);
    EXPECT_EQ(ShownSize(*editor), DefaultSize());
    EXPECT_FALSE(FileExists(kFontSizeFile));

    struct Step {
        const char* command;
        int32_t size;
    };
    const Step steps[] = {
        {"FontSizeSmaller", 10}, {"FontSizeSmaller", 10}, {"FontSizeLarger", 14},
        {"FontSizeLarger", 16},  {"FontSizeSmaller", 14}, {"FontSizeSmaller", 12},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.command);
        WriteFile(kFontSizeFile, "99\n");  // replaced, never read back
        ChooseMenuItem(editor, QString::fromLatin1(step.command));
        EXPECT_EQ(ReadFile(kFontSizeFile), QByteArray::number(step.size) + "\n");
        EXPECT_EQ(ShownSize(*editor), step.size);
    }
}

// Rich text from another program arrives as plain text: the note stores only
// its characters, and the area's one size applies to the pasted text too.
TEST(FontSize, PastedRichTextIsStoredPlainAndFollowsLarger) {
    auto editor = OpenEditorOnFirstUse();
    ASSERT_TRUE(editor);
    ASSERT_TRUE(QTest::qWaitForWindowActive(editor->NativeWindow()));
    QTest::qWait(600);  // past the timer that focuses the find field
    QPlainTextEdit* area = TextAreaOf(*editor);
    area->setFocus();
    Type(area, "Note: ");

    struct Paste {
        const char* label;
        const char* html;
        const char* text;  // null: the clipboard holds HTML only
        const char* expected;
    };
    const Paste pastes[] = {
        {"HtmlAndText", "<span style='font-size:40pt'><b>Big</b></span>", "Big", "Big"},
        {"HtmlOnlyWithTableAndImage",
         "<table><tr><td>A1</td><td>B1</td></tr></table><img src='x.png'><span style='font-size:40pt'>Z</span>",
         nullptr, nullptr},
    };
    QString expected = QStringLiteral("Note: ");
    for (const Paste& p : pastes) {
        SCOPED_TRACE(p.label);
        auto* mime = new QMimeData;
        mime->setHtml(QString::fromUtf8(p.html));
        if (p.text) mime->setText(QString::fromUtf8(p.text));
        QGuiApplication::clipboard()->setMimeData(mime);
        ChooseMenuItem(editor, QStringLiteral("EditPaste"));
        const QString text = editor->EditField1()->Text();
        EXPECT_FALSE(text.contains(QChar(0xFFFC)) || text.contains(QChar(0xFDD0)) || text.contains(QChar(0xFDD1)))
            << text.toStdString();
        if (p.expected) {
            expected += QString::fromUtf8(p.expected);
            EXPECT_EQ(text, expected);
        } else {
            for (const char* part : {"A1", "B1", "Z"}) EXPECT_TRUE(text.contains(QLatin1String(part))) << part;
            expected = text;
        }
    }

    ChooseMenuItem(editor, QStringLiteral("FontSizeLarger"));
    ASSERT_EQ(ShownSize(*editor), 14.0);
    // No character carries a size of its own: every one is drawn at 14.
    for (QTextBlock block = area->document()->begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it)
            EXPECT_FALSE(it.fragment().charFormat().hasProperty(QTextFormat::FontPointSize))
                << it.fragment().text().toStdString();

    CloseByUser(editor->NativeWindow());
    EXPECT_EQ(ReadFile("tindrel.plist"), DataFileFor(expected));
}
