// Printing the note: the real print dialog answered with PDF output, the PDF
// read back for its pages, footers, fonts and lines.
#include "tests/Harness.h"
#include "tests/PrintHarness.h"

#include "framework/Runtime.h"
#include "framework/Window.h"
#include "windows/editor/Window2.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace harness;

namespace {

std::shared_ptr<Window2> EditorWith(const QString& text) {
    auto w2 = OpenEditorOnFirstUse();
    if (!w2 || !QTest::qWaitForWindowActive(w2->NativeWindow())) return nullptr;
    w2->EditField1()->SetText(text);
    w2->EditField1()->SetFocus();
    return w2;
}

struct Printed {
    std::vector<PdfPage> pages;
    QRectF printable;
    // The page box's scale on this paper: 1 where the printable area holds
    // 540 x 720 points, else the largest that fits it.
    double fit = 1;
};

Printed Print(const std::shared_ptr<Window2>& w2, const PrintAnswer::Settings& settings = {}) {
    Printed printed;
    PrintAnswer answer(PrintAnswer::PrintToPdf, settings);
    // Back from an earlier dialog, the editor takes the keys again once active.
    w2->NativeWindow()->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(w2->NativeWindow()));
    w2->EditField1()->SetFocus();
    QTest::keyClick(w2->EditField1()->NativeWidget(), Qt::Key_P, Qt::ControlModifier);
    EXPECT_TRUE(answer.dialogSeen());
    if (!QFile::exists(answer.pdfPath())) {
        ADD_FAILURE() << "no PDF written";
        return printed;
    }
    printed.pages = ReadPdf(answer.pdfPath());
    printed.printable = answer.printableRect();
    printed.fit = std::min({1.0, printed.printable.width() / 540, printed.printable.height() / 720});
    return printed;
}

QString Joined(const std::vector<Word>& words) {
    QStringList texts;
    for (const Word& w : words) texts << w.text;
    return texts.join(QLatin1Char(' '));
}

// Every page has one footer: "page N" at x 40, the time stamp of the moment
// before the dialog opened at x 100, on the baseline at y 720 of the page
// box, in bold Courier; nothing else stands on that line, and no word lies
// off the sheet. `numbers` are the pages' numbers, 1, 2, ... when empty.
void ExpectFooters(const Printed& p, std::vector<int> numbers = {}) {
    if (numbers.empty())
        for (size_t i = 0; i < p.pages.size(); ++i) numbers.push_back(static_cast<int>(i) + 1);
    ASSERT_EQ(p.pages.size(), numbers.size());
    const double left = p.printable.left(), top = p.printable.top();
    for (size_t i = 0; i < p.pages.size(); ++i) {
        SCOPED_TRACE("sheet " + std::to_string(i + 1));
        const PdfPage& page = p.pages[i];
        for (const Word& w : page.words)
            EXPECT_TRUE(w.xMin >= 0 && w.yMin >= 0 && w.xMax <= page.width && w.yMax <= page.height)
                << "off the sheet: " << w.text.toStdString() << " at " << w.xMin << ", " << w.yMin;
        const std::vector<Word> footer = WordsNear(page, top + 720 * p.fit, 4 * p.fit);
        ASSERT_GE(footer.size(), 3u);
        EXPECT_EQ(footer[0].text, "page");
        EXPECT_NEAR(footer[0].xMin, left + 40 * p.fit, 1.0);
        EXPECT_EQ(footer[1].text, QString::number(numbers[i]));
        EXPECT_NEAR(footer[2].xMin, left + 100 * p.fit, 1.0);
        EXPECT_EQ(Joined({footer.begin() + 2, footer.end()}), PrintAnswer::StampBefore());
        const bool courierBold = page.fonts.filter(QRegularExpression("(LiberationMono|NimbusMono).*Bold")).size() > 0;
        EXPECT_TRUE(courierBold) << page.fonts.join(", ").toStdString();
    }
}

// The body's words of one page, without its footer.
QStringList BodyWords(const Printed& p, const PdfPage& page) {
    QStringList words;
    for (const Word& w : page.words) {
        if (w.yMax > p.printable.top() + (708 + 2) * p.fit) continue;
        EXPECT_GE(w.yMin, p.printable.top() + (36 - 1) * p.fit) << "above the block: " << w.text.toStdString();
        EXPECT_GE(w.xMin, p.printable.left() + (36 - 1) * p.fit) << w.text.toStdString();
        words << w.text;
    }
    return words;
}

// The body's words, page after page.
QStringList BodyWords(const Printed& p) {
    QStringList words;
    for (const PdfPage& page : p.pages) words << BodyWords(p, page);
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

TEST(Print, PaperSmallerThanThePageBoxTakesTheWholeBoxScaledToFit) {
    auto w2 = EditorWith(Lines(300));
    ASSERT_TRUE(w2);
    // On the default paper the box fits as it is.
    const Printed full = Print(w2);
    ASSERT_EQ(full.fit, 1.0);
    ASSERT_GE(full.pages.size(), 2u);
    ExpectFooters(full);

    const struct {
        const char* paper;
        PrintAnswer::Orientation orientation;
    } cases[] = {{"A4", PrintAnswer::Landscape}, {"Letter", PrintAnswer::Landscape}, {"A5", PrintAnswer::Portrait}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.paper);
        const Printed p = Print(w2, {c.orientation, c.paper});
        ASSERT_FALSE(p.pages.empty());
        EXPECT_EQ(p.pages[0].width > p.pages[0].height, c.orientation == PrintAnswer::Landscape);
        EXPECT_LT(p.fit, 0.9);
        // Every line once, every footer on its sheet, and the same pages as
        // on paper that holds the box: its shape is kept.
        EXPECT_EQ(BodyWords(p), Lines(300).split(QLatin1Char('\n')));
        ExpectFooters(p);
        EXPECT_EQ(p.pages.size(), full.pages.size());
        // The first line stands where it stood, scaled from the printable
        // area's top left.
        auto first = [](const Printed& printed) {
            for (const Word& w : printed.pages[0].words)
                if (w.text == "Line0001")
                    return QPointF(w.xMin - printed.printable.left(), w.yMax - printed.printable.top());
            return QPointF(-1, -1);
        };
        EXPECT_NEAR(first(p).x(), first(full).x() * p.fit, 0.5);
        EXPECT_NEAR(first(p).y(), first(full).y() * p.fit, 0.5);
    }
}

TEST(Print, PageRangeAndCopiesPrintThosePagesNumberedAsInTheWholePrint) {
    auto w2 = EditorWith(Lines(300));
    ASSERT_TRUE(w2);
    const Printed whole = Print(w2);
    ASSERT_GE(whole.pages.size(), 5u);
    const int last = static_cast<int>(whole.pages.size());

    const struct {
        int from, to, copies;
        std::vector<int> numbers;
    } cases[] = {
        {2, 3, 2, {2, 3, 2, 3}},
        {last - 1, last + 5, 1, {last - 1, last}},
        {0, 0, 2, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.from << " to " << c.to << ", " << c.copies << " copies");
        std::vector<int> numbers = c.numbers;
        if (numbers.empty())
            for (int copy = 0; copy < c.copies; ++copy)
                for (int n = 1; n <= last; ++n) numbers.push_back(n);
        const Printed p = Print(w2, {PrintAnswer::Portrait, QString(), c.from, c.to, c.copies});
        ExpectFooters(p, numbers);
        for (size_t i = 0; i < p.pages.size() && i < numbers.size(); ++i)
            EXPECT_EQ(BodyWords(p, p.pages[i]), BodyWords(whole, whole.pages[numbers[i] - 1])) << "sheet " << i + 1;
    }

    // A range after the last page has nothing to print: no sheet comes out,
    // and the box says why.
    PrintAnswer answer(PrintAnswer::PrintToPdf, {PrintAnswer::Portrait, QString(), last + 1, last + 3});
    ModalAnswers boxes({"OK"});
    ChooseMenuItem(w2, "FilePrint");
    EXPECT_TRUE(answer.dialogSeen());
    EXPECT_EQ(boxes.texts(), QStringList{QStringLiteral("Nothing was printed: the note has %1 pages.").arg(last)});
    EXPECT_FALSE(QFile::exists(answer.pdfPath()));
    EXPECT_FALSE(IsQuitting());
}

TEST(Print, LineTallerThanTheBlockIsStillPrintedAndPrintingEnds) {
    auto w2 = EditorWith("A\nB");
    ASSERT_TRUE(w2);
    w2->EditField1()->SetTextSize(900);
    const Printed p = Print(w2);
    EXPECT_EQ(p.pages.size(), 2u);
    ExpectFooters(p);
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

// A print whose file cannot be written, past the print dialog's own check of
// it: the reason in one box, nothing printed, the editor open with its note
// and the stored note as they were; the next print works.
TEST(Print, FileThatCannotBeWrittenIsReportedAndTheNoteStaysAsItWas) {
    const QString note = Lines(150);
    auto w2 = Unlock(note);
    ASSERT_TRUE(w2);
    const QByteArray stored = ReadFile("tindrel.plist");
    QTemporaryDir dir;
    const QString missing = dir.filePath("gone/note.pdf");
    const QString marked = dir.filePath("<b>gone</b>/note.pdf");  // shown as it is, never as markup
    const QString nothing = QStringLiteral("  Nothing was printed.");
    const struct {
        const char* name;
        QString writeTo;
        int fromPage, toPage;
        QString box;
    } cases[] = {
        {"in a folder that does not exist", missing, 0, 0,
         "Could not print to the file \"" + missing + "\": No such file or directory." + nothing},
        {"a folder", dir.path(), 0, 0, "Could not print to the file \"" + dir.path() + "\": Is a directory." + nothing},
        {"with markup in its name", marked, 0, 0,
         "Could not print to the file \"" + marked + "\": No such file or directory." + nothing},
        // The job opens on the first page asked for, here the second.
        {"from page 2 on", missing, 2, 3,
         "Could not print to the file \"" + missing + "\": No such file or directory." + nothing},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PrintAnswer answer(PrintAnswer::PrintToPdf, {PrintAnswer::Portrait, QString(), c.fromPage, c.toPage, 1, c.writeTo});
        ModalAnswers boxes({"OK"});
        ChooseMenuItem(w2, "FilePrint");
        EXPECT_TRUE(answer.dialogSeen());
        EXPECT_EQ(boxes.texts(), QStringList{c.box});
        for (const Seen& seen : boxes.seen()) EXPECT_TRUE(seen.plainText);
        EXPECT_FALSE(QFile::exists(answer.pdfPath()));
        EXPECT_FALSE(QFile::exists(dir.filePath("gone")));
        EXPECT_EQ(OpenWindow2(), w2);
        EXPECT_EQ(w2->EditField1()->Text(), note);
        EXPECT_FALSE(IsQuitting());
    }
    EXPECT_EQ(ReadFile("tindrel.plist"), stored);

    const Printed p = Print(w2);
    ASSERT_GE(p.pages.size(), 2u);
    EXPECT_EQ(BodyWords(p), note.split(QLatin1Char('\n')));
    ExpectFooters(p);
}

// A file that stops taking pages part way (a full disk) ends the print at
// the page it could not write, with one box however many pages were to come.
TEST(Print, FileThatFillsUpStopsThePrintWithOneBox) {
    if (!QFileInfo(QStringLiteral("/dev/full")).isWritable()) GTEST_SKIP() << "no /dev/full to write to";
    auto w2 = EditorWith(Lines(3));
    ASSERT_TRUE(w2);
    const QString full = QStringLiteral("Could not print to the file \"/dev/full\": No space left on device.  ");
    // A long note fails as a later page is taken; a short one only as the
    // job ends and its last page and the file's end are written.
    const struct {
        int lines;
        QString box;
    } cases[] = {
        {3000, full + "Printing stopped before the last page."},
        {3, full + "The file is incomplete."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lines);
        const QString note = Lines(c.lines);
        w2->EditField1()->SetText(note);
        PrintAnswer answer(PrintAnswer::PrintToPdf, {PrintAnswer::Portrait, QString(), 0, 0, 1, "/dev/full"});
        ModalAnswers boxes({"OK"});
        ChooseMenuItem(w2, "FilePrint");
        EXPECT_TRUE(answer.dialogSeen());
        EXPECT_EQ(boxes.texts(), QStringList{c.box});
        EXPECT_EQ(OpenWindow2(), w2);
        EXPECT_EQ(w2->EditField1()->Text(), note);
        EXPECT_FALSE(IsQuitting());
    }
}

namespace {

// The page numbers in the footers of a PDF's sheets, in order.
std::vector<int> FooterNumbers(const QString& path) {
    std::vector<int> numbers;
    for (const PdfPage& page : ReadPdf(path)) {
        const auto words = page.words;
        for (size_t i = 0; i + 1 < words.size(); ++i)
            if (words[i].text == "page") numbers.push_back(words[i + 1].text.toInt());
    }
    return numbers;
}

// The file's permission bits, as the system keeps them.
int Mode(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}


}  // namespace

TEST(Print, LastPageFirstComesOutReversedInEachCopy) {
    auto w2 = EditorWith(Lines(150));
    ASSERT_TRUE(w2);
    ASSERT_EQ(Print(w2).pages.size(), 3u);
    const struct {
        int from, to, copies;
        std::vector<int> numbers;
    } cases[] = {{0, 0, 1, {3, 2, 1}}, {2, 3, 2, {3, 2, 3, 2}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.from << " to " << c.to << ", " << c.copies << " copies");
        PrintAnswer::Settings settings{PrintAnswer::Portrait, QString(), c.from, c.to, c.copies};
        settings.reverse = true;
        const Printed p = Print(w2, settings);
        ExpectFooters(p, c.numbers);
    }
}

// The PDF is its owner's alone, from the first byte on, whether it is new or
// replaces a file; a failed print leaves the old file's bytes.
TEST(Print, PdfFileIsOwnerOnlyAndAFailedPrintKeepsTheOldFile) {
    auto w2 = EditorWith(Lines(150));
    ASSERT_TRUE(w2);
    QTemporaryDir dir;
    const QString existing = dir.filePath("old.pdf");
    const QByteArray oldBytes = "the old file's bytes\n";
    const auto seed = [&] {
        QFile file(existing);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(oldBytes);
        file.close();
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                            QFileDevice::ReadOther);
    };
    const struct {
        const char* name;
        bool existingFile;
    } cases[] = {{"a new file", false}, {"a file that was there, readable by all", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.existingFile) seed();
        PrintAnswer::Settings settings;
        if (c.existingFile) settings.writeTo = existing;
        PrintAnswer answer(PrintAnswer::PrintToPdf, settings);
        ModalAnswers boxes({"OK"});
        ChooseMenuItem(w2, "FilePrint");
        EXPECT_EQ(boxes.texts(), QStringList());
        const QString path = c.existingFile ? existing : answer.pdfPath();
        EXPECT_EQ(Mode(path), 0600);
        EXPECT_EQ(FooterNumbers(path), (std::vector<int>{1, 2, 3}));
    }

    // A disk that fills up part way: the reason, and the old file whole.
    seed();
    {
        PrintAnswer answer(PrintAnswer::PrintToPdf, {PrintAnswer::Portrait, QString(), 0, 0, 1, existing});
        ModalAnswers boxes({"OK"});
        FileSizeLimit limit(2000);
        ChooseMenuItem(w2, "FilePrint");
        EXPECT_EQ(boxes.texts(),
                  QStringList{"Could not print to the file \"" + existing + "\": File too large.  Nothing was printed."})
            << boxes.texts().join("|").toStdString();
    }
    EXPECT_EQ(ReadFile(existing), oldBytes);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"old.pdf"}) << "no half-written file left";
    EXPECT_EQ(w2->EditField1()->Text(), Lines(150));
}

// A file its owner may write but not read (0200) is printed to as any other:
// the print's outcome comes from the writing, not from reading it back. As
// root, who reads every file, the print runs as "nobody".
TEST(Print, FileItsOwnerCannotReadIsPrintedWithoutABox) {
    auto w2 = EditorWith(Lines(3));
    ASSERT_TRUE(w2);
    QTemporaryDir dir;
    const QString path = dir.filePath("write-only.pdf");
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("old");
    }
    uid_t user = geteuid();
    gid_t group = getegid();
    if (user == 0) {
        const passwd* nobody = getpwnam("nobody");
        if (!nobody) GTEST_SKIP() << "no user nobody to print as";
        user = nobody->pw_uid;
        group = nobody->pw_gid;
        ASSERT_EQ(chown(QFile::encodeName(dir.path()).constData(), user, group), 0);
        ASSERT_EQ(chown(QFile::encodeName(path).constData(), user, group), 0);
    }
    ASSERT_EQ(chmod(QFile::encodeName(path).constData(), 0200), 0);
    bool switched = false;
    PrintAnswer::Settings settings{PrintAnswer::Portrait, QString(), 0, 0, 1, path};
    settings.onAccepted = [&] {
        if (geteuid() != user) switched = setegid(group) == 0 && seteuid(user) == 0;
    };
    PrintAnswer answer(PrintAnswer::PrintToPdf, settings);
    ModalAnswers boxes({"OK"});
    ChooseMenuItem(w2, "FilePrint");
    const bool wasOwner = geteuid() == user;
    if (switched) {
        ASSERT_EQ(seteuid(0), 0);
        ASSERT_EQ(setegid(0), 0);
    }
    ASSERT_TRUE(wasOwner) << "could not print as the file's owner";
    EXPECT_EQ(boxes.texts(), QStringList());
    EXPECT_EQ(Mode(path), 0600);
    if (geteuid() == 0) {
        EXPECT_EQ(FooterNumbers(path), std::vector<int>{1});
    }
}

// A print server of the test's own, asked as the print dialog's printers
// are: one box naming the printer and the print server's reason whenever no
// job was made, none when it took the job (also into a stopped queue).
TEST(PrintToPrinter, PrintServersAnswerIsTold) {
    PrintServer server;
    QString why;
    if (!server.Start(&why)) GTEST_SKIP() << why.toStdString();
    auto w2 = EditorWith(Lines(150));
    ASSERT_TRUE(w2);
    const QString nothing = QStringLiteral("  Nothing was printed.");
    const struct {
        const char* name;
        QString printer;
        std::function<void()> meanwhile;
        QString box;  // empty: none
    } cases[] = {
        {"accepting", "Open", nullptr, QString()},
        {"accepting but stopped", "Held", nullptr, QString()},
        {"not accepting", "Closed", nullptr,
         "The printer \"Closed\" refused the print job: Destination \"Closed\" is not accepting jobs." + nothing},
        {"removed while the dialog was open", "Gone", [&] { server.RemoveQueue("Gone"); },
         "The printer \"Gone\" refused the print job: The printer or class does not exist." + nothing},
        // Last: the print server is gone for good.
        {"print server stopped", "Open", [&] { server.Stop(); },
         "The print server \"" + server.socket() + "\" of the printer \"Open\" cannot be reached: Host is down." +
             nothing},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PrintAnswer::Settings settings;
        settings.printer = c.printer;
        settings.reverse = true;
        settings.onAccepted = c.meanwhile;
        PrintAnswer answer(PrintAnswer::PrintToPdf, settings);
        ModalAnswers boxes({"OK"});
        ChooseMenuItem(w2, "FilePrint");
        EXPECT_TRUE(answer.dialogSeen());
        EXPECT_EQ(boxes.texts(), c.box.isEmpty() ? QStringList() : QStringList{c.box});
        EXPECT_EQ(w2->EditField1()->Text(), Lines(150));
        EXPECT_FALSE(IsQuitting());
        if (c.box.isEmpty()) {
            // The job bears the window's title; a stopped queue keeps its
            // document: the note's pages, last first.
            const auto jobs = server.Jobs(c.printer);
            ASSERT_EQ(jobs.size(), 1u);
            EXPECT_EQ(jobs[0].name, "My Secret Info");
            if (c.printer == "Held") {
                EXPECT_EQ(FooterNumbers(jobs[0].document), (std::vector<int>{3, 2, 1}));
            }
        }
    }
}

// The printer's PDF is made in the temporary folder: when it cannot be, the
// box names that file and the system's reason, and the printer is not asked.
TEST(PrintToPrinter, UnusableTemporaryFolderNamesTheFile) {
    PrintServer server;
    QString why;
    if (!server.Start(&why)) GTEST_SKIP() << why.toStdString();
    auto w2 = EditorWith(Lines(3));
    ASSERT_TRUE(w2);
    QTemporaryDir dir;
    const QString missing = dir.filePath("gone");
    qputenv("TMPDIR", QFile::encodeName(missing));
    PrintAnswer::Settings settings;
    settings.printer = "Open";
    PrintAnswer answer(PrintAnswer::PrintToPdf, settings);
    ModalAnswers boxes({"OK"});
    ChooseMenuItem(w2, "FilePrint");
    qunsetenv("TMPDIR");
    EXPECT_EQ(boxes.texts(), QStringList{"Could not write the print job for the printer \"Open\" to the temporary file \"" +
                                         missing + "/morvellan-XXXXXX.pdf\": No such file or directory.  Nothing was printed."});
    EXPECT_TRUE(server.Jobs("Open").empty());
}
