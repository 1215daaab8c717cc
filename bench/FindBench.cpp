// Find on a large note through the real program, against bare Qt doing the
// same work in the same run.
//
//   morvellan_findbench [--mb 10] [--reps 5] [--bare-limit 40]
//
// Our path presses the real buttons of the unlocked editor. Bare Qt, in a
// shown QPlainTextEdit (the widget of our text area) of the same size and
// font, takes the text out of the widget at Find and Find Next, searches it
// with QString::indexOf or lastIndexOf with the same case option, selects the
// match and scrolls its line to the sixth visible line; like ours, its Find
// Previous searches the copy that its last Find or Find Next took out, so
// both sides do the same work. Both sides let the widget paint before the
// clock stops. The three steps:
//   forward:  Find for the one occurrence of a find text near the end;
//   wrap:     Find Next from there: nothing after it, so it wraps and
//             finds the same occurrence from the top;
//   backward: Find Previous from an occurrence at the end back to the only
//             earlier one, at the very start of the note.
// They run on two notes of the given size: lines of words in many scripts,
// and lines of nothing but "a" (find texts "aaaaaaaaab" and "baaaaaaaaa").
//
// Then the find texts that make a search quadratic when it compares the find
// text at every position: "a" x k + "b" and "b" + "a" x k for k = 999 and
// 9,999, on lines of 30,000 "a". Bare Qt's indexOf and lastIndexOf can take
// minutes there, so each of those runs alone in a child process (just the
// search, no widget) that is stopped after --bare-limit seconds.

#include "bench/BenchSupport.h"
#include "app/App.h"
#include "app/Startup.h"
#include "framework/Runtime.h"
#include "framework/Window.h"
#include "store/Module1.h"
#include "windows/editor/Window2.h"
#include "windows/password/Window1.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QThread>
#include <QProcess>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using bench::Fail;
using bench::WatchForModalBoxes;
using bench::WriteAll;

namespace {

const char kPassword[] = "Secret123";

// Lines of words with accented letters, Greek, Cyrillic, CJK and now and then
// an emoji; the find texts below never occur in them.
QString MakeNote(qsizetype targetBytes) {
    static const char* const kWords[] = {
        "the", "and", "account", "meeting", "Tuesday", "remember", "garden", "letter", "caf\xC3\xA9",
        "na\xC3\xAFve", "Stra\xC3\x9F" "e", "\xC3\xBC" "ber", "se\xC3\xB1or", "Z\xC3\xBCrich", "cr\xC3\xA8me",
        "\xE2\x82\xAC" "42,50", "\xE2\x80\x94", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E", "\xCE\xB1\xCE\xB2\xCE\xB3",
        "\xD0\xBF\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82", "12:30", "PIN", "\xF0\x9F\x99\x82",
    };
    constexpr size_t kWordCount = sizeof(kWords) / sizeof(kWords[0]);
    uint64_t state = 0x9E3779B97F4A7C15ULL;
    auto next = [&state](uint32_t n) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return static_cast<uint32_t>(state % n);
    };
    std::string text;
    text.reserve(static_cast<size_t>(targetBytes) + 256);
    while (static_cast<qsizetype>(text.size()) < targetBytes) {
        if (!text.empty()) text += '\n';
        const uint32_t words = 6 + next(11);
        for (uint32_t w = 0; w < words; ++w) {
            if (w > 0) text += ' ';
            text += kWords[next(kWordCount)];
        }
        text += '.';
    }
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A note of lines of "a" only, each `line` long, about targetBytes in all.
QString RunsOfA(qsizetype targetBytes, qsizetype line = 30000) {
    QString text;
    text.reserve(targetBytes + line);
    const QString one(line, QLatin1Char('a'));
    while (text.size() < targetBytes) {
        if (!text.isEmpty()) text += QLatin1Char('\n');
        text += one;
    }
    return text;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

double TimeMs(const std::function<void()>& work) {
    QElapsedTimer timer;
    timer.start();
    work();
    QCoreApplication::processEvents();  // the paint of the new selection
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

// ---- bare Qt ----------------------------------------------------------------

// The widget and the copy of its text that the last Find or Find Next took.
struct Bare {
    QPlainTextEdit edit;
    QString copy;
};

void Select(QPlainTextEdit& edit, qsizetype at, qsizetype length) {
    QTextCursor cursor = edit.textCursor();
    cursor.setPosition(static_cast<int>(at));
    cursor.setPosition(static_cast<int>(at + length), QTextCursor::KeepAnchor);
    edit.setTextCursor(cursor);
    const QTextBlock block = edit.document()->findBlock(static_cast<int>(at));
    edit.verticalScrollBar()->setValue(block.firstLineNumber() - 5);
}

void BareForward(Bare& bare, const QString& find, Qt::CaseSensitivity cs) {
    bare.copy = bare.edit.toPlainText();
    const qsizetype at = bare.copy.indexOf(find, 0, cs);
    if (at < 0) Fail(QStringLiteral("bare Qt found nothing"));
    Select(bare.edit, at, find.size());
}

void BareWrap(Bare& bare, const QString& find, Qt::CaseSensitivity cs) {
    bare.copy = bare.edit.toPlainText();
    qsizetype at = bare.copy.indexOf(find, bare.edit.textCursor().selectionStart() + 1, cs);
    if (at < 0) at = bare.copy.indexOf(find, 0, cs);
    if (at < 0) Fail(QStringLiteral("bare Qt found nothing"));
    Select(bare.edit, at, find.size());
}

void BareBackward(Bare& bare, const QString& find, Qt::CaseSensitivity cs) {
    const qsizetype at = bare.copy.lastIndexOf(find, bare.edit.textCursor().selectionStart() - 1, cs);
    if (at != 0) Fail(QStringLiteral("bare Qt did not go back to the start"));
    Select(bare.edit, at, find.size());
}

// ---- printing ---------------------------------------------------------------

struct Figures {
    std::vector<double> ours, bare;
};

void Header(const char* title) {
    std::printf("\n%s\n\n", title);
    std::printf("%-34s | %9s %9s | %7s %7s %7s\n", "case", "ours", "bare Qt", "ratio", "min", "max");
    std::printf("-----------------------------------+---------------------+------------------------\n");
}

// Medians, the ratio of the medians and the smallest and largest ratio of
// one run of ours to the bare run beside it.
void Row(const std::string& name, const Figures& f) {
    const double o = Median(f.ours), b = Median(f.bare);
    double lo = 1e300, hi = 0;
    for (size_t i = 0; i < f.ours.size() && i < f.bare.size(); ++i) {
        lo = std::min(lo, f.ours[i] / f.bare[i]);
        hi = std::max(hi, f.ours[i] / f.bare[i]);
    }
    std::printf("%-34s | %9.1f %9.1f | %6.2fx %6.2fx %6.2fx\n", name.c_str(), o, b, o / b, lo, hi);
}

// ---- the bare search alone, in a child process ----------------------------------

// morvellan_findbench --bare-search <note> <find> <forward|backward> <exact|ignore> <from>:
// the note and the find text as raw UTF-16 files; prints "RESULT <ns> <at>".
int BareSearchChild(char** argv) {
    auto read = [](const char* path) {
        QFile file(QString::fromLocal8Bit(path));
        if (!file.open(QIODevice::ReadOnly)) Fail(QStringLiteral("cannot read %1").arg(path));
        const QByteArray bytes = file.readAll();
        return QString(reinterpret_cast<const QChar*>(bytes.constData()), bytes.size() / 2);
    };
    const QString note = read(argv[2]), find = read(argv[3]);
    const bool forward = std::string(argv[4]) == "forward";
    const Qt::CaseSensitivity cs = std::string(argv[5]) == "ignore" ? Qt::CaseInsensitive : Qt::CaseSensitive;
    QElapsedTimer timer;
    timer.start();
    const qsizetype from = std::atoll(argv[6]);
    const qsizetype at = forward ? note.indexOf(find, from, cs) : note.lastIndexOf(find, from, cs);
    std::printf("RESULT %lld %lld\n", static_cast<long long>(timer.nsecsElapsed()), static_cast<long long>(at));
    return 0;
}

struct BareChild {
    std::string name;
    std::unique_ptr<QProcess> process;
    QElapsedTimer started;
    double ours = 0;
    QString result;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc == 7 && std::string(argv[1]) == "--bare-search") return BareSearchChild(argv);
    int mb = 10, reps = 5, bareLimit = 40;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--mb" && i + 1 < argc) mb = std::max(1, std::atoi(argv[++i]));
        else if (a == "--reps" && i + 1 < argc) reps = std::max(1, std::atoi(argv[++i]));
        else if (a == "--bare-limit" && i + 1 < argc) bareLimit = std::max(1, std::atoi(argv[++i]));
        else {
            std::fprintf(stderr, "usage: morvellan_findbench [--mb 10] [--reps 5] [--bare-limit 40]\n");
            return 2;
        }
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir prefs;
    if (!prefs.isValid()) Fail(QStringLiteral("no temporary folder"));
    qputenv("XDG_CONFIG_HOME", prefs.path().toLocal8Bit());
    const qsizetype bytes = static_cast<qsizetype>(mb) * 1024 * 1024;

    // The words note: one find text at its start and its end, the other once
    // shortly before the end.
    struct Note {
        const char* name;
        QString text, nearEnd, atBothEnds;
    };
    std::vector<Note> notes;
    {
        const QString nearEnd = QString::fromUtf8("Schl\xC3\xBCssel-\xCE\xA9mega");
        const QString atBothEnds = QString::fromUtf8("K\xC3\xA9nnwort-\xE6\x9D\xB1");
        const QString body = MakeNote(bytes);
        notes.push_back({"words", atBothEnds + QStringLiteral(" ") + body.left(body.size() - 2000) +
                                      QStringLiteral(" ") + nearEnd + QStringLiteral(" ") + body.right(2000) +
                                      QStringLiteral("\n") + atBothEnds,
                         nearEnd, atBothEnds});
        // Runs of one letter: every position of the note begins a near match.
        const QString nearA = QStringLiteral("aaaaaaaaab"), bothA = QStringLiteral("baaaaaaaaa");
        notes.push_back({"runs of a", bothA + QStringLiteral("\n") + RunsOfA(bytes) + nearA.right(1) +
                                          QStringLiteral("\n") + bothA,
                         nearA, bothA});
    }
    WriteAll(QDir(prefs.path()).filePath(QString::fromLatin1(Module1::kPasswordFile)),
             Module1::EncodePassword(QString::fromLatin1(kPassword)) + '\n');
    WriteAll(QDir(prefs.path()).filePath(QString::fromLatin1(Module1::kDataFile)),
             Module1::EncodeData(notes[0].text) + '\n');

    Runtime runtime(argc, argv, Startup::Identity());
    WatchForModalBoxes();
    if (!Invoke(Startup::EarlyStartup)) Fail(QStringLiteral("start-up failed"));
    App::Instance()->Launch();
    auto w1 = std::dynamic_pointer_cast<Window1>(GetImplicitWindow(QString::fromLatin1(Window1::kFullName)));
    if (!w1) Fail(QStringLiteral("no password window"));
    (void)QTest::qWaitForWindowExposed(w1->NativeWindow());
    QTest::keyClicks(w1->ThisPassword()->NativeWidget(), QString::fromLatin1(kPassword));
    QTest::keyClick(w1->ThisPassword()->NativeWidget(), Qt::Key_Return);
    auto w2 = std::dynamic_pointer_cast<Window2>(GetImplicitWindow(QString::fromLatin1(Window2::kFullName)));
    if (!w2) Fail(QStringLiteral("the editor did not open"));
    (void)QTest::qWaitForWindowExposed(w2->NativeWindow());
    if (!QTest::qWaitFor([&] { return w2->Timer1()->Mode() == 0; }, 5000)) Fail(QStringLiteral("no start-up timer"));
    auto* ours = static_cast<QPlainTextEdit*>(w2->EditField1()->NativeWidget());

    Bare bare;
    bare.edit.setLineWrapMode(QPlainTextEdit::WidgetWidth);
    bare.edit.setFont(ours->font());
    bare.edit.resize(ours->size());
    bare.edit.show();
    (void)QTest::qWaitForWindowExposed(&bare.edit);

    // Both widgets get the note; ours as the editor's own text.
    auto load = [&](const QString& note) {
        if (ours->document()->characterCount() != note.size() + 1 || w2->EditField1()->Text() != note)
            w2->EditField1()->SetText(note);
        bare.edit.setPlainText(note);
        QCoreApplication::processEvents();
    };
    auto expectSelected = [&](qsizetype at, const QString& find) {
        const QTextCursor c = ours->textCursor();
        if (c.selectionStart() != at || c.selectedText() != find)
            Fail(QStringLiteral("our find selected %1 characters at %2, not %3 at %4")
                     .arg(c.selectedText().size())
                     .arg(c.selectionStart())
                     .arg(find.size())
                     .arg(at));
    };

    const double noteMb = static_cast<double>(notes[0].text.toUtf8().size()) / (1024.0 * 1024.0);
    for (const Note& n : notes) {
        load(n.text);
        const QString& note = n.text;
        const qsizetype nearEnd = note.indexOf(n.nearEnd);
        Figures forward[2], wrap[2], backward[2];
        for (int r = 0; r < reps; ++r) {
            for (int ignore = 0; ignore < 2; ++ignore) {
                const Qt::CaseSensitivity cs = ignore ? Qt::CaseInsensitive : Qt::CaseSensitive;
                w2->IgnoreCase()->SetValue(ignore != 0);

                w2->FindString()->SetText(n.nearEnd);
                forward[ignore].ours.push_back(TimeMs([&] { w2->Find()->Push(); }));
                expectSelected(nearEnd, n.nearEnd);
                forward[ignore].bare.push_back(TimeMs([&] { BareForward(bare, n.nearEnd, cs); }));

                wrap[ignore].ours.push_back(TimeMs([&] { w2->FindNext()->Push(); }));
                expectSelected(nearEnd, n.nearEnd);
                wrap[ignore].bare.push_back(TimeMs([&] { BareWrap(bare, n.nearEnd, cs); }));

                // To the occurrence at the end first, untimed, then back.
                w2->FindString()->SetText(n.atBothEnds);
                w2->Find()->Push();
                w2->FindNext()->Push();
                expectSelected(note.size() - n.atBothEnds.size(), n.atBothEnds);
                backward[ignore].ours.push_back(TimeMs([&] { w2->FindPrevious()->Push(); }));
                expectSelected(0, n.atBothEnds);
                BareForward(bare, n.atBothEnds, cs);
                BareWrap(bare, n.atBothEnds, cs);
                QCoreApplication::processEvents();
                backward[ignore].bare.push_back(TimeMs([&] { BareBackward(bare, n.atBothEnds, cs); }));
            }
        }
        const std::string title = "Find on a " + std::to_string(mb) + " MB note of " + n.name +
                                  " (" + std::to_string(note.size()) + " UTF-16 units), median of " +
                                  std::to_string(reps) + " runs (ms), aim 1.2x";
        Header(title.c_str());
        const std::string f = " \"" + n.nearEnd.left(12).toStdString() + "\"";
        const std::string b = " \"" + n.atBothEnds.left(12).toStdString() + "\"";
        Row("Find, ignore case" + f, forward[1]);
        Row("Find, exact" + f, forward[0]);
        Row("Find Next wrapping, ignore" + f, wrap[1]);
        Row("Find Next wrapping, exact" + f, wrap[0]);
        Row("Find Previous, ignore case" + b, backward[1]);
        Row("Find Previous, exact" + b, backward[0]);
    }

    // Texts that make a search compare nearly the whole find text at every
    // position. One note holds them all: "a" x k + "b" at the start and
    // near the end, "b" + "a" x k only at the very end.
    std::vector<BareChild> children;
    std::printf("\nFind texts that defeat a comparison at every position, on %.1f MB of lines of 30,000 \"a\"\n"
                "(ours: the real buttons, median and longest of %d runs, ms; bare Qt: the search alone, once, in a "
                "child process stopped after %d s)\n\n",
                noteMb, std::max(3, reps / 2), bareLimit);
    std::printf("%-40s | %9s %9s | %s\n", "case", "median", "longest", "aim");
    std::printf("-----------------------------------------+---------------------+------------\n");
    int overLimit = 0;
    for (int k : {999, 9999}) {
        const QString aThenB = QString(k, QLatin1Char('a')) + QLatin1Char('b');
        const QString bThenA = QLatin1Char('b') + QString(k, QLatin1Char('a'));
        const QString note = aThenB + QStringLiteral("\n") + RunsOfA(bytes) + QStringLiteral("\n") + aThenB + bThenA.mid(1);
        load(note);
        const QString notePath = QDir(prefs.path()).filePath(QStringLiteral("note%1.utf16").arg(k));
        WriteAll(notePath, QByteArray(reinterpret_cast<const char*>(note.constData()), note.size() * 2));
        const qsizetype lastA = note.size() - aThenB.size() - k;
        const qsizetype lastB = note.size() - bThenA.size();
        for (int ignore = 1; ignore >= 0; --ignore) {
            w2->IgnoreCase()->SetValue(ignore != 0);
            const char* option = ignore ? "ignore case" : "exact";
            std::vector<double> find, next, previous;
            for (int r = 0; r < std::max(3, reps / 2); ++r) {
                w2->FindString()->SetText(bThenA);
                find.push_back(TimeMs([&] { w2->Find()->Push(); }));
                expectSelected(lastB, bThenA);
                w2->FindString()->SetText(aThenB);
                w2->Find()->Push();
                expectSelected(0, aThenB);
                next.push_back(TimeMs([&] { w2->FindNext()->Push(); }));
                expectSelected(lastA, aThenB);
                previous.push_back(TimeMs([&] { w2->FindPrevious()->Push(); }));
                expectSelected(0, aThenB);
            }
            struct Step {
                std::string name;
                std::vector<double> runs;
                const QString* find;
                const char* direction;
                qsizetype from;
            };
            const std::string len = std::to_string(k);
            for (const Step& step : {Step{"Find \"b\"+\"a\"x" + len + ", " + option, find, &bThenA, "forward", 0},
                                     Step{"Find Next \"a\"x" + len + "+\"b\", " + option, next, &aThenB, "forward", 1},
                                     Step{"Find Previous \"a\"x" + len + "+\"b\", " + option, previous, &aThenB,
                                          "backward", lastA - 1}}) {
                // The aim is 300 ms on a note of 10 MB; larger notes are shown for their growth.
                const double median = Median(step.runs);
                const double longest = *std::max_element(step.runs.begin(), step.runs.end());
                const char* aim = mb > 10 ? "(for 10 MB)" : median <= 300 ? "<= 300 ms" : "OVER 300 ms";
                std::printf("%-40s | %9.1f %9.1f | %s\n", step.name.c_str(), median, longest, aim);
                if (mb <= 10 && median > 300) ++overLimit;
                const QString findPath = QDir(prefs.path()).filePath(QStringLiteral("find%1.utf16").arg(children.size()));
                WriteAll(findPath, QByteArray(reinterpret_cast<const char*>(step.find->constData()), step.find->size() * 2));
                BareChild child;
                child.name = step.name;
                child.ours = median;
                child.process = std::make_unique<QProcess>();
                child.process->setProcessChannelMode(QProcess::SeparateChannels);
                child.process->setProgram(QCoreApplication::applicationFilePath());
                child.process->setArguments({QStringLiteral("--bare-search"), notePath, findPath,
                                             QString::fromLatin1(step.direction),
                                             QString::fromLatin1(ignore ? "ignore" : "exact"),
                                             QString::number(step.from)});
                children.push_back(std::move(child));
            }
        }
    }
    std::fflush(stdout);

    // The bare searches run side by side once ours are done, each on its own core.
    const int parallel = std::max(1, QThread::idealThreadCount() - 1);
    for (size_t first = 0; first < children.size(); first += static_cast<size_t>(parallel)) {
        const size_t end = std::min(children.size(), first + static_cast<size_t>(parallel));
        for (size_t i = first; i < end; ++i) {
            children[i].process->start();
            children[i].started.start();
        }
        for (size_t i = first; i < end; ++i) {
            BareChild& c = children[i];
            const qint64 left = std::max<qint64>(1, bareLimit * 1000LL - c.started.elapsed());
            if (!c.process->waitForFinished(static_cast<int>(left))) {
                c.process->kill();
                c.process->waitForFinished();
                c.result = QStringLiteral("> %1 s").arg(bareLimit);
                continue;
            }
            const QList<QByteArray> parts = c.process->readAllStandardOutput().trimmed().split(' ');
            if (parts.size() != 3 || parts[0] != "RESULT") Fail(QStringLiteral("a bare search printed no result"));
            c.result = QStringLiteral("%1 ms").arg(static_cast<double>(parts[1].toLongLong()) / 1e6, 0, 'f', 1);
        }
    }
    std::printf("\nThe same searches in bare Qt (indexOf / lastIndexOf alone):\n\n");
    for (const BareChild& c : children)
        std::printf("%-40s | ours %9.1f ms | bare Qt %s\n", c.name.c_str(), c.ours, qPrintable(c.result));
    if (mb <= 10)
        std::printf("\n%s\n", overLimit ? "Some find step took over 300 ms." : "Every find step took at most 300 ms.");

    w2.reset();
    w1.reset();
    runtime.Shutdown();
    Startup::Finalize();
    return 0;
}
