// Printing the note: the real print dialog answered with PDF output, the PDF
// read back for its pages, footers, fonts and lines.
#include "tests/Harness.h"
#include "tests/PrintHarness.h"

#include "framework/Runtime.h"
#include "framework/Window.h"
#include "windows/editor/Window2.h"

#include <QDateTime>
#include <QFile>
#include <QLocale>
#include <QRegularExpression>
#include <QTest>
#include <gtest/gtest.h>

using namespace harness;

namespace {

std::shared_ptr<Window2> EditorWith(const QString& text) {
    EnterPassword("Secret123", {"OK"});
    auto w2 = OpenWindow2();
    if (!w2 || !QTest::qWaitForWindowActive(w2->NativeWindow())) return nullptr;
    w2->EditField1()->SetText(text);
    w2->EditField1()->SetFocus();
    return w2;
}

QString NowStamp() {
    const QDateTime now = QDateTime::currentDateTime();
    return QLocale().toString(now.time(), QLocale::ShortFormat) + QStringLiteral(", ") +
           QLocale().toString(now.date(), QLocale::ShortFormat);
}

struct Printed {
    std::vector<PdfPage> pages;
    QRectF printable;
    QString stampBefore, stampAfter;
};

Printed Print(const std::shared_ptr<Window2>& w2, PrintAnswer::Orientation orientation = PrintAnswer::Portrait) {
    Printed printed;
    PrintAnswer answer(PrintAnswer::PrintToPdf, orientation);
    // Back from an earlier dialog, the editor takes the keys again once active.
    w2->NativeWindow()->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(w2->NativeWindow()));
    w2->EditField1()->SetFocus();
    printed.stampBefore = NowStamp();
    QTest::keyClick(w2->EditField1()->NativeWidget(), Qt::Key_P, Qt::ControlModifier);
    printed.stampAfter = NowStamp();
    EXPECT_TRUE(answer.dialogSeen());
    if (!QFile::exists(answer.pdfPath())) {
        ADD_FAILURE() << "no PDF written";
        return printed;
    }
    printed.pages = ReadPdf(answer.pdfPath());
    printed.printable = answer.printableRect();
    return printed;
}

QString Joined(const std::vector<Word>& words) {
    QStringList texts;
    for (const Word& w : words) texts << w.text;
    return texts.join(QLatin1Char(' '));
}

// Every page has one footer: "page N" at x 40, the time stamp at x 100, on
// the baseline at y 720 of the page box, in bold Courier; nothing else
// stands on that line.
void ExpectFooters(const Printed& p) {
    const double left = p.printable.left(), top = p.printable.top();
    for (size_t i = 0; i < p.pages.size(); ++i) {
        SCOPED_TRACE("page " + std::to_string(i + 1));
        const std::vector<Word> footer = WordsNear(p.pages[i], top + 720);
        ASSERT_GE(footer.size(), 3u);
        EXPECT_EQ(footer[0].text, "page");
        EXPECT_NEAR(footer[0].xMin, left + 40, 1.0);
        EXPECT_EQ(footer[1].text, QString::number(i + 1));
        EXPECT_NEAR(footer[2].xMin, left + 100, 1.0);
        const QString stamp = Joined({footer.begin() + 2, footer.end()});
        EXPECT_TRUE(stamp == p.stampBefore || stamp == p.stampAfter) << stamp.toStdString();
        const bool courierBold = p.pages[i].fonts.filter(QRegularExpression("(LiberationMono|NimbusMono).*Bold")).size() > 0;
        EXPECT_TRUE(courierBold) << p.pages[i].fonts.join(", ").toStdString();
    }
}

// The body's words, page after page, without the footers.
QStringList BodyWords(const Printed& p) {
    QStringList words;
    for (const PdfPage& page : p.pages)
        for (const Word& w : page.words) {
            if (w.yMax > p.printable.top() + 708 + 2) continue;
            EXPECT_GE(w.yMin, p.printable.top() + 36 - 1) << "above the block: " << w.text.toStdString();
            EXPECT_GE(w.xMin, p.printable.left() + 36 - 1) << w.text.toStdString();
            words << w.text;
        }
    return words;
}

QString Lines(int count) {
    QStringList lines;
    for (int i = 1; i <= count; ++i) lines << QStringLiteral("Line%1").arg(i, 4, 10, QLatin1Char('0'));
    return lines.join(QLatin1Char('\n'));
}

}  // namespace

TEST(Print, LongNoteHasEveryLineOnceInOrderAndAFooterOnEveryPage) {
    auto w2 = EditorWith(Lines(150));
    ASSERT_TRUE(w2);
    const Printed p = Print(w2);
    ASSERT_GE(p.pages.size(), 2u);
    EXPECT_EQ(BodyWords(p), Lines(150).split(QLatin1Char('\n')));
    ExpectFooters(p);
    EXPECT_FALSE(IsQuitting());
}

TEST(Print, EmptyNotePrintsOnePageWithOnlyItsFooter) {
    auto w2 = EditorWith(QString());
    ASSERT_TRUE(w2);
    const Printed p = Print(w2);
    ASSERT_EQ(p.pages.size(), 1u);
    EXPECT_EQ(BodyWords(p), QStringList());
    ExpectFooters(p);
}

TEST(Print, NoteFillingExactlyTwoBlocksPrintsTwoPages) {
    auto w2 = EditorWith(Lines(300));
    ASSERT_TRUE(w2);
    // How many lines one block holds, as printed.
    const Printed first = Print(w2);
    ASSERT_GE(first.pages.size(), 2u);
    int perBlock = 0;
    for (const Word& w : first.pages[0].words)
        if (w.text.startsWith("Line")) ++perBlock;
    ASSERT_GT(perBlock, 10);

    const struct {
        int lines;
        size_t pages;
    } cases[] = {{2 * perBlock, 2}, {2 * perBlock + 1, 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lines);
        w2->EditField1()->SetText(Lines(c.lines));
        const Printed p = Print(w2);
        ASSERT_EQ(p.pages.size(), c.pages);
        EXPECT_EQ(BodyWords(p).size(), static_cast<qsizetype>(c.lines));
        ExpectFooters(p);
    }
}

TEST(Print, LandscapeKeepsTheBlockAndFooterAtTheSamePlaceFromThePageTop) {
    auto w2 = EditorWith(Lines(60));
    ASSERT_TRUE(w2);
    const Printed portrait = Print(w2);
    const Printed landscape = Print(w2, PrintAnswer::Landscape);
    ASSERT_FALSE(portrait.pages.empty());
    ASSERT_FALSE(landscape.pages.empty());
    EXPECT_LT(portrait.pages[0].width, portrait.pages[0].height);
    EXPECT_GT(landscape.pages[0].width, landscape.pages[0].height);
    ExpectFooters(landscape);
    // The first body line and the footer stand where they stood in portrait,
    // measured from the printable area's top left.
    auto relative = [](const Printed& p, const QString& text) {
        for (const Word& w : p.pages[0].words)
            if (w.text == text) return QPointF(w.xMin - p.printable.left(), w.yMin - p.printable.top());
        return QPointF(-1, -1);
    };
    for (const char* text : {"Line0001", "page"}) {
        SCOPED_TRACE(text);
        const QPointF a = relative(portrait, text), b = relative(landscape, text);
        EXPECT_GE(a.x(), 0);
        EXPECT_NEAR(a.x(), b.x(), 0.5);
        EXPECT_NEAR(a.y(), b.y(), 0.5);
    }
}

TEST(Print, LineTallerThanTheBlockIsStillPrintedAndPrintingEnds) {
    auto w2 = EditorWith("A\nB");
    ASSERT_TRUE(w2);
    w2->EditField1()->SetTextSize(900);
    const Printed p = Print(w2);
    EXPECT_EQ(p.pages.size(), 2u);
}

TEST(Print, CancelPrintsNothingAndLeavesTheEditorAsItWas) {
    auto w2 = EditorWith("Some words to keep");
    ASSERT_TRUE(w2);
    w2->EditField1()->SetSelStart(5);
    w2->EditField1()->SetSelLength(5);
    PrintAnswer answer(PrintAnswer::Cancel);
    ChooseMenuItem(w2, "FilePrint");
    EXPECT_TRUE(answer.dialogSeen());
    EXPECT_FALSE(QFile::exists(answer.pdfPath()));
    EXPECT_EQ(OpenWindow2(), w2);
    EXPECT_EQ(w2->EditField1()->Text(), "Some words to keep");
    EXPECT_EQ(w2->EditField1()->SelStart(), 5);
    EXPECT_EQ(w2->EditField1()->SelLength(), 5);
    EXPECT_FALSE(IsQuitting());
}
