// Find on a 10 MB note with characters outside ASCII: the editor's Find,
// Find Next and Find Previous through the real program, against bare Qt
// doing the same work in the same run.
//
//   morvellan_findbench [--mb 10] [--reps 5]
//
// Our path presses the real buttons of the unlocked editor. Bare Qt, in a
// shown QPlainTextEdit (the widget of our text area) of the same size and
// font, takes the text out of the widget, searches it with QString::indexOf
// or lastIndexOf with the same case option, selects the match and scrolls its
// line to the sixth visible line. Both sides let the widget paint before the
// clock stops. The three cases:
//   forward:  Find for the one occurrence of a find text near the end;
//   wrap:     Find Next from there: nothing after it, so it wraps and
//             finds the same occurrence from the top;
//   backward: Find Previous from an occurrence at the end back to the only
//             earlier one, at the very start of the note.

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
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
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

const QString kNearEnd = QString::fromUtf8("Schl\xC3\xBCssel-\xCE\xA9mega");   // once, near the end
const QString kAtBothEnds = QString::fromUtf8("K\xC3\xA9nnwort-\xE6\x9D\xB1");  // at the start and the end

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

void Select(QPlainTextEdit& edit, qsizetype at, qsizetype length) {
    QTextCursor cursor = edit.textCursor();
    cursor.setPosition(static_cast<int>(at));
    cursor.setPosition(static_cast<int>(at + length), QTextCursor::KeepAnchor);
    edit.setTextCursor(cursor);
    const QTextBlock block = edit.document()->findBlock(static_cast<int>(at));
    edit.verticalScrollBar()->setValue(block.firstLineNumber() - 5);
}

void BareForward(QPlainTextEdit& edit, const QString& find, Qt::CaseSensitivity cs) {
    const QString text = edit.toPlainText();
    const qsizetype at = text.indexOf(find, 0, cs);
    if (at < 0) Fail(QStringLiteral("bare Qt found nothing"));
    Select(edit, at, find.size());
}

void BareWrap(QPlainTextEdit& edit, const QString& find, Qt::CaseSensitivity cs) {
    const QString text = edit.toPlainText();
    qsizetype at = text.indexOf(find, edit.textCursor().selectionStart() + 1, cs);
    if (at < 0) at = text.indexOf(find, 0, cs);
    if (at < 0) Fail(QStringLiteral("bare Qt found nothing"));
    Select(edit, at, find.size());
}

void BareBackward(QPlainTextEdit& edit, const QString& find, Qt::CaseSensitivity cs) {
    const QString text = edit.toPlainText();
    const qsizetype at = text.lastIndexOf(find, edit.textCursor().selectionStart() - 1, cs);
    if (at != 0) Fail(QStringLiteral("bare Qt did not go back to the start"));
    Select(edit, at, find.size());
}

}  // namespace

int main(int argc, char** argv) {
    int mb = 10, reps = 5;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--mb" && i + 1 < argc) mb = std::max(1, std::atoi(argv[++i]));
        else if (a == "--reps" && i + 1 < argc) reps = std::max(1, std::atoi(argv[++i]));
        else {
            std::fprintf(stderr, "usage: morvellan_findbench [--mb 10] [--reps 5]\n");
            return 2;
        }
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir prefs;
    if (!prefs.isValid()) Fail(QStringLiteral("no temporary folder"));
    qputenv("XDG_CONFIG_HOME", prefs.path().toLocal8Bit());

    // The note: one find text at its start and its end, the other once
    // shortly before the end.
    const QString body = MakeNote(static_cast<qsizetype>(mb) * 1024 * 1024);
    const QString note = kAtBothEnds + QStringLiteral(" ") + body.left(body.size() - 2000) + QStringLiteral(" ") +
                         kNearEnd + QStringLiteral(" ") + body.right(2000) + QStringLiteral("\n") + kAtBothEnds;
    WriteAll(QDir(prefs.path()).filePath(QString::fromLatin1(Module1::kPasswordFile)),
             Module1::EncodePassword(QString::fromLatin1(kPassword)) + '\n');
    WriteAll(QDir(prefs.path()).filePath(QString::fromLatin1(Module1::kDataFile)), Module1::EncodeData(note) + '\n');

    Runtime runtime(argc, argv);
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
    if (ours->document()->characterCount() != note.size() + 1) Fail(QStringLiteral("the editor holds another text"));

    QPlainTextEdit bare;
    bare.setLineWrapMode(QPlainTextEdit::WidgetWidth);
    bare.setFont(ours->font());
    bare.resize(ours->size());
    bare.setPlainText(note);
    bare.show();
    (void)QTest::qWaitForWindowExposed(&bare);

    const qsizetype nearEnd = note.indexOf(kNearEnd);
    auto expectSelected = [&](qsizetype at, const QString& find) {
        const QTextCursor c = ours->textCursor();
        if (c.selectionStart() != at || c.selectedText() != find)
            Fail(QStringLiteral("our find selected %1 at %2").arg(c.selectedText()).arg(c.selectionStart()));
    };

    struct Figures {
        std::vector<double> ours, bare;
    };
    Figures forward[2], wrap[2], backward[2];
    for (int r = 0; r < reps; ++r) {
        for (int ignore = 0; ignore < 2; ++ignore) {
            const Qt::CaseSensitivity cs = ignore ? Qt::CaseInsensitive : Qt::CaseSensitive;
            w2->IgnoreCase()->SetValue(ignore != 0);

            w2->FindString()->SetText(kNearEnd);
            forward[ignore].ours.push_back(TimeMs([&] { w2->Find()->Push(); }));
            expectSelected(nearEnd, kNearEnd);
            forward[ignore].bare.push_back(TimeMs([&] { BareForward(bare, kNearEnd, cs); }));

            wrap[ignore].ours.push_back(TimeMs([&] { w2->FindNext()->Push(); }));
            expectSelected(nearEnd, kNearEnd);
            wrap[ignore].bare.push_back(TimeMs([&] { BareWrap(bare, kNearEnd, cs); }));

            // To the occurrence at the end first, untimed, then back.
            w2->FindString()->SetText(kAtBothEnds);
            w2->Find()->Push();
            w2->FindNext()->Push();
            expectSelected(note.size() - kAtBothEnds.size(), kAtBothEnds);
            backward[ignore].ours.push_back(TimeMs([&] { w2->FindPrevious()->Push(); }));
            expectSelected(0, kAtBothEnds);
            Select(bare, note.size() - kAtBothEnds.size(), kAtBothEnds.size());
            QCoreApplication::processEvents();
            backward[ignore].bare.push_back(TimeMs([&] { BareBackward(bare, kAtBothEnds, cs); }));
        }
    }

    std::printf("\nFind on a %.1f MB note (%lld UTF-16 units), median of %d runs (ms)\n\n",
                static_cast<double>(note.toUtf8().size()) / (1024.0 * 1024.0), static_cast<long long>(note.size()),
                reps);
    std::printf("%-28s | %10s %10s %8s | %s\n", "case", "ours", "bare Qt", "ratio", "aim");
    std::printf("-----------------------------+--------------------------------+------\n");
    auto row = [](const char* name, const Figures& f, const char* aim) {
        const double o = Median(f.ours), b = Median(f.bare);
        std::printf("%-28s | %10.1f %10.1f %7.2fx | %s\n", name, o, b, o / b, aim);
    };
    row("Find, ignore case", forward[1], "2x");
    row("Find, exact", forward[0], "2x");
    row("Find Next wrapping, ignore", wrap[1], "2x");
    row("Find Next wrapping, exact", wrap[0], "2x");
    row("Find Previous, ignore case", backward[1], "3x");
    row("Find Previous, exact", backward[0], "3x");

    w2.reset();
    w1.reset();
    runtime.Shutdown();
    Startup::Finalize();
    return 0;
}
