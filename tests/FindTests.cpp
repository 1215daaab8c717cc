// Find, Find Next and Find Previous in the editor, end to end: driven through
// the buttons, the Edit menu's shortcuts and Return in the find field, with
// every message answered as a user would.
#include "tests/Harness.h"

#include "framework/Runtime.h"
#include "store/Module1.h"
#include "text/TextFunctions.h"
#include "windows/editor/Window2.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <gtest/gtest.h>

using namespace harness;

namespace {

const char kOk[] = "OK";
const QString kTooShort = QStringLiteral("The find text should be at least three characters!");
const QString kNoMatches = QStringLiteral("There are no matches!");
const QString kNoMore = QStringLiteral("Sorry, no more found!");

// Unlocks a stored text and waits for the editor's start-up timer, which
// empties the find field, so that what the test types there stays.
std::shared_ptr<Window2> Open(const QString& text) {
    auto w2 = Unlock(text);
    if (!w2) return w2;
    EXPECT_TRUE(QTest::qWaitFor([&] { return w2->Timer1()->Mode() == 0; }, 5000));
    return w2;
}

QPlainTextEdit* Area(const std::shared_ptr<Window2>& w2) {
    return static_cast<QPlainTextEdit*>(w2->EditField1()->NativeWidget());
}

void SetFindText(const std::shared_ptr<Window2>& w2, const QString& find) {
    auto* field = static_cast<QLineEdit*>(w2->FindString()->NativeWidget());
    field->clear();
    if (find.size() <= 40) Type(field, find);
    else field->setText(find);
}

enum class Via { Button, Menu };

// Runs one find command ('F', 'N' or 'P') and returns the texts of the boxes
// it showed, each answered with OK.
QStringList Command(const std::shared_ptr<Window2>& w2, char command, Via via) {
    ModalAnswers answers({kOk, kOk});
    if (via == Via::Button) {
        auto button = command == 'F' ? w2->Find() : command == 'N' ? w2->FindNext() : w2->FindPrevious();
        QTest::mouseClick(button->NativeWidget(), Qt::LeftButton);
    } else {
        // Shortcuts reach only the active window; the offscreen platform
        // does not give activation back when a message box closes.
        w2->NativeWindow()->activateWindow();
        (void)QTest::qWaitForWindowActive(w2->NativeWindow());
        const Qt::KeyboardModifiers mods =
            command == 'P' ? Qt::ControlModifier | Qt::ShiftModifier : Qt::ControlModifier;
        QTest::keyClick(Area(w2), command == 'F' ? Qt::Key_F : Qt::Key_G, mods);
    }
    return answers.texts();
}

// The selection, counted in characters, and the text Qt really selected.
struct Selection {
    int32_t start, length;
    QString selected;
    bool operator==(const Selection& o) const {
        return start == o.start && length == o.length && selected == o.selected;
    }
};

Selection SelectionOf(const std::shared_ptr<Window2>& w2) {
    // Qt gives each line end of the selection as a paragraph separator.
    return {w2->EditField1()->SelStart(), w2->EditField1()->SelLength(),
            Area(w2)->textCursor().selectedText().replace(QChar::ParagraphSeparator, QLatin1Char('\n'))};
}

// The selection a match at 0-based character offset `start` must give.
Selection Expected(const QString& text, int32_t start, int32_t length) {
    return {start, length, Text::Mid(text, start + 1, length)};
}

void PrintTo(const Selection& s, std::ostream* os) {
    *os << "(" << s.start << ", " << s.length << ", \"" << s.selected.toStdString() << "\")";
}

// One command and what it must lead to: a selection, or one message with the
// selection left as it was.
struct Step {
    char command;
    int32_t start = 0, length = 0;
    QString message = {};
};

struct FindCase {
    const char* name;
    const char* text;  // UTF-8
    const char* find;
    bool ignoreCase;
    std::vector<Step> steps;
};

void PrintTo(const FindCase& c, std::ostream* os) { *os << c.name; }

class FindCommands : public ::testing::TestWithParam<std::tuple<FindCase, Via>> {};

TEST_P(FindCommands, SelectTheMatchOrShowTheMessage) {
    const FindCase& c = std::get<0>(GetParam());
    const Via via = std::get<1>(GetParam());
    const QString text = QString::fromUtf8(c.text);
    auto w2 = Open(text);
    ASSERT_TRUE(w2);
    w2->IgnoreCase()->SetValue(c.ignoreCase);
    SetFindText(w2, QString::fromUtf8(c.find));
    for (size_t i = 0; i < c.steps.size(); ++i) {
        const Step& step = c.steps[i];
        SCOPED_TRACE(testing::Message() << "step " << i + 1 << " '" << step.command << "'");
        const Selection before = SelectionOf(w2);
        const QStringList shown = Command(w2, step.command, via);
        if (step.message.isEmpty()) {
            EXPECT_EQ(shown, QStringList{});
            EXPECT_EQ(SelectionOf(w2), Expected(text, step.start, step.length));
        } else {
            EXPECT_EQ(shown, QStringList{step.message});
            EXPECT_EQ(SelectionOf(w2), before);
        }
    }
    EXPECT_FALSE(IsQuitting());
}

const FindCase kFindCases[] = {
    {"OverlappingMatchesThenSilentWrap", "aaaa", "aaa", true, {{'F', 0, 3}, {'N', 1, 3}, {'N', 0, 3}}},
    {"IgnoreCaseOnFindsEveryCase", "Bank bank BANK", "bank", true,
     {{'F', 0, 4}, {'N', 5, 4}, {'N', 10, 4}, {'N', 0, 4}}},
    {"IgnoreCaseOffFindsOnlyThatCase", "Bank bank BANK", "bank", false, {{'F', 5, 4}, {'N', 5, 4}}},
    {"TwoCharactersRejectedThenNothingBefore", "abcabc", "ab", true,
     {{'F', 0, 0, kTooShort}, {'P', 0, 0, kNoMore}}},
    {"FindWithoutMatch", "nothing here", "xyz", true, {{'F', 0, 0, kNoMatches}}},
    {"FindNextWithoutMatch", "nothing here", "xyz", true, {{'N', 0, 0, kNoMatches}}},
    {"FindPreviousAfterTheFirstMatch", "one two one", "one", true, {{'F', 0, 3}, {'P', 0, 0, kNoMore}}},
    {"FindPreviousThreeCharactersOverlapping", "abcabcabc", "abc", true,
     {{'F', 0, 3}, {'N', 3, 3}, {'N', 6, 3}, {'P', 3, 3}, {'P', 0, 3}, {'P', 0, 0, kNoMore}, {'N', 3, 3}}},
    // One or two characters: Find Previous moves backward too.
    {"FindPreviousTwoCharactersMovesBack", "xa xa xa", "xa", true,
     {{'N', 0, 2}, {'N', 3, 2}, {'N', 6, 2}, {'P', 3, 2}, {'P', 0, 2}, {'P', 0, 0, kNoMore}}},
    {"FindPreviousTwoCharactersOverlapping", "aaaa", "aa", true,
     {{'N', 0, 2}, {'N', 1, 2}, {'N', 2, 2}, {'P', 1, 2}, {'P', 0, 2}, {'P', 0, 0, kNoMore}}},
    {"FindPreviousOneCharacterMovesBack", "a.a.a", "a", true,
     {{'N', 0, 1}, {'N', 2, 1}, {'N', 4, 1}, {'P', 2, 1}, {'P', 0, 1}, {'P', 0, 0, kNoMore}}},
    // Characters outside the BMP and combining marks before the match.
    {"MatchAfterEmojiAndCombiningMarks",
     "\xF0\x9F\x98\x80 e\xCC\x81\xCC\xA3 \xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD caf\xC3\xA9 caf\xC3\xA9", "caf\xC3\xA9", true,
     {{'F', 9, 4}, {'N', 14, 4}, {'P', 9, 4}}},
    {"OnlyBlanks", "a   b", "   ", true, {{'F', 1, 3}}},
    {"FindTextLongerThanTheNote", "abc", "abcd", true, {{'F', 0, 0, kNoMatches}, {'P', 0, 0, kNoMore}}},
    // An empty find text matches the empty text at the start.
    {"EmptyFindFieldFindNext", "abc", "", true, {{'N', 0, 0}}},
    {"EmptyFindFieldEmptyNote", "", "", true, {{'N', 0, 0, kNoMatches}}},
};

INSTANTIATE_TEST_SUITE_P(
    Find, FindCommands, ::testing::Combine(::testing::ValuesIn(kFindCases), ::testing::Values(Via::Button, Via::Menu)),
    [](const ::testing::TestParamInfo<std::tuple<FindCase, Via>>& info) {
        return std::string(std::get<0>(info.param).name) +
               (std::get<1>(info.param) == Via::Button ? "_Buttons" : "_Shortcuts");
    });

TEST(Find, ReturnPressesFindOnceTheFindTextHasHadThreeCharacters) {
    auto w2 = Open(QStringLiteral("ab abc"));
    ASSERT_TRUE(w2);
    QWidget* field = w2->FindString()->NativeWidget();
    field->setFocus();
    Type(field, "ab");
    {
        ModalAnswers answers({kOk});
        QTest::keyClick(field, Qt::Key_Return);
        EXPECT_EQ(answers.texts(), QStringList{});
        EXPECT_EQ(SelectionOf(w2), Expected("ab abc", 0, 0));
    }
    Type(field, "c");
    EXPECT_TRUE(w2->Find()->Default());
    {
        ModalAnswers answers({kOk});
        QTest::keyClick(field, Qt::Key_Return);
        EXPECT_EQ(answers.texts(), QStringList{});
        EXPECT_EQ(SelectionOf(w2), Expected("ab abc", 3, 3));
    }
    // Shortening the find text leaves Find the default button.
    field->setFocus();
    QTest::keyClick(field, Qt::Key_Backspace);
    ModalAnswers answers({kOk});
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(answers.texts(), QStringList{kTooShort});
}

TEST(Find, FindPreviousSearchesTheCopyTakenBeforeTheEdit) {
    const QString text = QStringLiteral("one two one two");
    auto w2 = Open(text);
    ASSERT_TRUE(w2);
    SetFindText(w2, "two");
    EXPECT_EQ(Command(w2, 'F', Via::Button), QStringList{});
    EXPECT_EQ(Command(w2, 'N', Via::Button), QStringList{});
    ASSERT_EQ(SelectionOf(w2), Expected(text, 12, 3));

    // Four characters typed at the start: the earlier "two" of the copy, at
    // offset 4, is selected in the edited text, where "one" now stands.
    QPlainTextEdit* area = Area(w2);
    area->moveCursor(QTextCursor::Start);
    Type(area, "XXXX");
    EXPECT_EQ(Command(w2, 'P', Via::Button), QStringList{});
    EXPECT_EQ(SelectionOf(w2), Expected("XXXXone two one two", 4, 3));

    // The text cut down to less than the copy: the selection is cut back to
    // the end of the text, nothing is lost.
    EXPECT_EQ(Command(w2, 'N', Via::Button), QStringList{});
    EXPECT_EQ(Command(w2, 'N', Via::Button), QStringList{});
    ASSERT_EQ(SelectionOf(w2), Expected("XXXXone two one two", 16, 3));
    area->selectAll();
    Type(area, "ab");
    EXPECT_EQ(Command(w2, 'P', Via::Button), QStringList{});
    EXPECT_EQ(SelectionOf(w2), Expected("ab", 2, 0));
    EXPECT_EQ(w2->EditField1()->Text(), "ab");
}

TEST(Find, FindPreviousBeforeAnySearchPutsTheCaretAtTheStart) {
    auto w2 = Open(QStringLiteral("some text"));
    ASSERT_TRUE(w2);
    w2->EditField1()->SetSelStart(5);
    w2->EditField1()->SetSelLength(4);
    EXPECT_EQ(Command(w2, 'P', Via::Menu), QStringList{});
    EXPECT_EQ(SelectionOf(w2), Expected("some text", 0, 0));
    EXPECT_EQ(w2->EditField1()->ScrollPosition(), 0);
}

// A note of 300 short lines, "line 1" to "line 300".
QString ManyLines() {
    QStringList lines;
    for (int i = 1; i <= 300; ++i) lines << QStringLiteral("line %1.").arg(i);
    return lines.join('\n');
}

TEST(Find, MatchGoesToTheSixthVisibleLineAndTheReadoutFollowsTheRealScroll) {
    auto w2 = Open(ManyLines());
    ASSERT_TRUE(w2);
    QPlainTextEdit* area = Area(w2);
    struct Case {
        const char* find;
        int line;      // 0-based line of the match
        int top;       // the line the text area must show on top
        const char* readout;
    };
    const int lastTop = 300 - [&] {
        // Lines that fit into the area; the last lines fill it at the end.
        const int lineHeight = area->fontMetrics().lineSpacing();
        return area->viewport()->height() / lineHeight;
    }();
    const Case cases[] = {
        {"line 200.", 199, 194, "194"},
        {"line 3.", 2, 0, "0"},  // asks for line -3
        {"line 6.", 5, 0, "0"},
        {"line 7.", 6, 1, "1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.find);
        SetFindText(w2, c.find);
        EXPECT_EQ(Command(w2, 'F', Via::Button), QStringList{});
        QTest::qWait(20);  // anything the text area would still do to its scroll
        EXPECT_EQ(area->textCursor().block().blockNumber(), c.line);
        EXPECT_EQ(Module1::A, c.line - 5);
        EXPECT_EQ(area->cursorForPosition(QPoint(2, 2)).block().blockNumber(), c.top);
        EXPECT_EQ(w2->EditField1()->ScrollPosition(), c.top);
        EXPECT_EQ(w2->ThisScroll()->Text(), c.readout);
    }
    // Near the end the last lines fill the area and the readout shows where
    // it really stopped, not the line asked for.
    SetFindText(w2, "line 299.");
    EXPECT_EQ(Command(w2, 'F', Via::Button), QStringList{});
    EXPECT_EQ(Module1::A, 293);
    const int top = area->cursorForPosition(QPoint(2, 2)).block().blockNumber();
    EXPECT_LT(top, 293);
    EXPECT_GE(top, lastTop - 1);
    EXPECT_EQ(w2->ThisScroll()->Text(), QString::number(top));
    EXPECT_EQ(area->verticalScrollBar()->value(), area->verticalScrollBar()->maximum());
}

TEST(Find, WrappedParagraphsCountTheirLinesOnScreen) {
    // Paragraphs that wrap into several lines: the match still ends on the
    // sixth line on screen, not six paragraphs down and out of sight.
    QStringList paragraphs;
    for (int i = 1; i <= 200; ++i)
        paragraphs << QStringLiteral("paragraph %1.").arg(i) + QString(" words to wrap").repeated(12);
    auto w2 = Open(paragraphs.join('\n'));
    ASSERT_TRUE(w2);
    QPlainTextEdit* area = Area(w2);
    SetFindText(w2, "paragraph 150.");
    EXPECT_EQ(Command(w2, 'F', Via::Button), QStringList{});
    QTest::qWait(20);
    const int lineHeight = area->fontMetrics().lineSpacing();
    const int row = area->cursorRect().center().y() / lineHeight;
    EXPECT_EQ(row, 5) << "cursor at y " << area->cursorRect().top() << ", line height " << lineHeight;
    EXPECT_EQ(w2->ThisScroll()->Text(), QString::number(w2->EditField1()->ScrollPosition()));
    EXPECT_EQ(w2->EditField1()->ScrollPosition(), Module1::A);
}

TEST(Find, ScrollPositionAndOffsetsOutOfRangeAreCutBack) {
    auto w2 = Open(ManyLines());
    ASSERT_TRUE(w2);
    auto area = w2->EditField1();
    const int32_t end = Text::Len(area->Text());
    area->SetScrollPosition(-1000);
    EXPECT_EQ(area->ScrollPosition(), 0);
    area->SetScrollPosition(2147483647);
    EXPECT_GT(area->ScrollPosition(), 250);
    EXPECT_EQ(Area(w2)->verticalScrollBar()->value(), Area(w2)->verticalScrollBar()->maximum());
    area->SetSelStart(2147483647);
    EXPECT_EQ(area->SelStart(), end);
    area->SetSelStart(end - 3);
    area->SetSelLength(2147483647);
    EXPECT_EQ(area->SelLength(), 3);
    EXPECT_EQ(area->LineNumAtCharPos(2147483647), 299);
    EXPECT_EQ(area->LineNumAtCharPos(0), 0);
}

TEST(Find, HugeFindTextGivesNoMatches) {
    auto w2 = Open(QString(3000, QLatin1Char('a')) + "b");
    ASSERT_TRUE(w2);
    SetFindText(w2, QString(5000, QLatin1Char('a')));
    EXPECT_EQ(Command(w2, 'F', Via::Button), QStringList{kNoMatches});
    EXPECT_EQ(Command(w2, 'P', Via::Button), QStringList{kNoMore});
    // A long find text that does occur is found, forward and backward.
    SetFindText(w2, QString(2999, QLatin1Char('a')) + "b");
    EXPECT_EQ(Command(w2, 'F', Via::Button), QStringList{});
    EXPECT_EQ(SelectionOf(w2).start, 1);
    EXPECT_EQ(SelectionOf(w2).length, 3000);
}

TEST(Find, FindTextOfOnlyLineEndsFindsThemInTheNote) {
    const QString text = QStringLiteral("a\n\n\nb");
    auto w2 = Open(text);
    ASSERT_TRUE(w2);
    w2->FindString()->SetText(QStringLiteral("\n\n\n"));
    // The field keeps the line ends: a find text of three characters, found
    // between "a" and "b".
    EXPECT_EQ(w2->FindString()->Text(), QStringLiteral("\n\n\n"));
    EXPECT_EQ(Command(w2, 'F', Via::Button), QStringList{});
    EXPECT_EQ(SelectionOf(w2), Expected(text, 1, 3));
    EXPECT_EQ(w2->EditField1()->Text(), text);
}

TEST(Find, TenMegabyteNoteWithoutMatchEndsWithTheMessages) {
    // Lines with characters outside ASCII; one match at the very end, so the
    // backward scan passes the whole note.
    QString text;
    const QString line = QString::fromUtf8("Stra\xC3\x9F" "e caf\xC3\xA9 \xF0\x9F\x99\x82 numbers 12345 and words\n");
    text.reserve(10 * 1024 * 1024 / 2 + 64);
    while (text.size() < 5 * 1024 * 1024) text += line;
    text += QStringLiteral("needle");
    auto w2 = Open(text);
    ASSERT_TRUE(w2);
    SetFindText(w2, "haystack");
    EXPECT_EQ(Command(w2, 'F', Via::Button), QStringList{kNoMatches});
    EXPECT_EQ(Command(w2, 'N', Via::Button), QStringList{kNoMatches});
    SetFindText(w2, "NEEDLE");
    EXPECT_EQ(Command(w2, 'F', Via::Button), QStringList{});
    EXPECT_EQ(SelectionOf(w2).selected, "needle");
    EXPECT_EQ(w2->EditField1()->SelStart(), Text::Len(text) - 6);
    EXPECT_EQ(Command(w2, 'P', Via::Button), QStringList{kNoMore});
    EXPECT_FALSE(IsQuitting());
}

}  // namespace
