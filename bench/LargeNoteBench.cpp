// Large notes: unlocking and closing a note of about 1 MB and 10 MB through
// the real program, against bare Qt doing the same work by hand, in one run;
// and the time from the close request to the end of the process, with the
// note saved, at the default text size and at 48 points.
//
//   morvellan_bench [--sizes 1,10] [--reps 5]
//
// Our path is the real start-up with the password typed into the password
// window and Return pressed: the store reads the data file, undoes the XOR,
// decodes the UTF-8 and the editor shows the text ("unlock"). Closing the
// editor writes the data file and the window-size file ("close").
// The baseline reads the same text with QFile, decodes it with
// QString::fromUtf8 and puts it into a shown QPlainTextEdit, the widget of
// our text area. The same load into a QTextEdit is given beside it for
// reference. Against our close, bare Qt does the whole job of writing the
// note: it takes the text out of the widget (toPlainText), encodes it as
// UTF-8 (toUtf8), adds the line ends, XORs every byte with the data file's
// key and writes the file atomically (QSaveFile); the bytes must be the data
// file's, byte for byte. Writing the data file's bytes, already encoded, is
// given beside it for reference.
//
// Quitting is final for a process, so every run is a child process of this
// program (the same executable, started with --ours or --qt) with its own
// preferences folder. The table gives the median of the runs, each ratio
// ours / bare Qt of the medians and the smallest and largest ratio of one
// run of ours to the bare run beside it; the growth from the smallest to the largest size shows
// whether either side stops being linear.

#include "bench/BenchSupport.h"
#include "app/App.h"
#include "app/Startup.h"
#include "framework/Runtime.h"
#include "framework/Window.h"
#include "store/Module1.h"
#include "windows/editor/Window2.h"
#include "windows/password/Window1.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QTimer>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <time.h>
#include <vector>

using bench::Fail;
using bench::WatchForModalBoxes;
using bench::WriteAll;

namespace {

const char kPassword[] = "Secret123";
const char kPlainTextFile[] = "note.txt";
constexpr int kChildTimeoutMs = 10 * 60 * 1000;
// The editor's text area at the editor's default size (450 x 500 content).
constexpr int kEditorWidth = 410;
constexpr int kEditorHeight = 401;

double Ms(qint64 ns) { return static_cast<double>(ns) / 1e6; }

// One clock for parent and child: CLOCK_MONOTONIC is shared by every process.
qint64 MonotonicNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<qint64>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) Fail(QStringLiteral("cannot read %1").arg(path));
    return file.readAll();
}

// ---- the note --------------------------------------------------------------

// Lines of words with accented letters, typographic punctuation, a few CJK
// words and, now and then, a character outside the BMP; blank lines between
// paragraphs and the odd tab. The same size always gives the same text.
QByteArray MakeNote(qsizetype targetBytes) {
    static const char* const kWords[] = {
        "the", "of", "and", "a", "to", "in", "is", "you", "that", "it", "he", "was", "for", "on",
        "are", "as", "with", "his", "they", "at", "be", "this", "have", "from", "or", "one",
        "account", "password", "number", "bank", "meeting", "Tuesday", "remember", "address",
        "garden", "letter", "insurance", "doctor", "station", "quarter", "yesterday", "notes",
        "caf\xC3\xA9", "na\xC3\xAFve", "Stra\xC3\x9F" "e", "\xC3\xBC" "ber", "se\xC3\xB1or",
        "fa\xC3\xA7" "ade", "d\xC3\xA9j\xC3\xA0", "Z\xC3\xBCrich", "cr\xC3\xA8me", "\xC5\x93uvre",
        "sm\xC3\xB8rrebr\xC3\xB8" "d", "\xE2\x82\xAC" "42,50", "\xE2\x80\x94",
        "\xE2\x80\x9Cquoted\xE2\x80\x9D", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E",
        "\xCE\xB1\xCE\xB2\xCE\xB3", "\xD0\xBF\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82",
        "12:30", "2024-05-17", "PIN", "e-mail:", "name@example.com", "(see", "above)",
    };
    constexpr size_t kWordCount = sizeof(kWords) / sizeof(kWords[0]);
    uint64_t state = 0x9E3779B97F4A7C15ULL ^ static_cast<uint64_t>(targetBytes);
    auto next = [&state](uint32_t n) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return static_cast<uint32_t>(state % n);
    };
    std::string text;
    text.reserve(static_cast<size_t>(targetBytes) + 256);
    while (static_cast<qsizetype>(text.size()) < targetBytes) {
        if (!text.empty()) text += next(10) == 0 ? "\n\n" : "\n";
        if (next(25) == 0) text += '\t';
        const uint32_t words = 6 + next(11);
        for (uint32_t w = 0; w < words; ++w) {
            if (w > 0) text += ' ';
            text += kWords[next(kWordCount)];
            if (next(400) == 0) text += " \xF0\x9F\x99\x82";  // outside the BMP
        }
        text += next(3) == 0 ? "." : ",";
    }
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

// ---- child: our path -------------------------------------------------------

// Runs in a fresh preferences folder that holds the password and data files
// (and the font-size file for a size other than the default). Prints
// "RESULT <unlock ns> <close ns> <monotonic clock at the close request, ns>";
// the parent reads the clock again when the process has ended.
int RunOurs(int argc, char** argv, qsizetype expectedUnits) {
    Runtime runtime(argc, argv, Startup::Identity());
    WatchForModalBoxes();
    if (!Invoke(Startup::EarlyStartup)) Fail(QStringLiteral("start-up failed"));
    App::Instance()->Launch();
    auto w1 = std::dynamic_pointer_cast<Window1>(GetImplicitWindow(QString::fromLatin1(Window1::kFullName)));
    if (!w1) Fail(QStringLiteral("no password window"));
    (void)QTest::qWaitForWindowExposed(w1->NativeWindow());
    QWidget* field = w1->ThisPassword()->NativeWidget();
    QTest::keyClicks(field, QString::fromLatin1(kPassword));
    if (!w1->Enter()->Default()) Fail(QStringLiteral("Enter is not the default button"));
    QCoreApplication::processEvents();

    QElapsedTimer timer;
    timer.start();
    QTest::keyClick(field, Qt::Key_Return);
    QCoreApplication::processEvents();  // the editor's first show and paint
    const qint64 unlockNs = timer.nsecsElapsed();

    auto w2 = std::dynamic_pointer_cast<Window2>(GetImplicitWindow(QString::fromLatin1(Window2::kFullName)));
    if (!w2) Fail(QStringLiteral("the editor did not open"));
    auto* area = static_cast<QPlainTextEdit*>(w2->EditField1()->NativeWidget());
    // Every line end is one block separator, and the last block has one more.
    if (area->document()->characterCount() != expectedUnits + 1)
        Fail(QStringLiteral("the editor holds %1 characters, expected %2")
                 .arg(area->document()->characterCount() - 1)
                 .arg(expectedUnits));
    QTest::qWait(100);  // the user looks at it

    timer.restart();
    const qint64 closeAt = MonotonicNs();
    w2->NativeWindow()->close();
    const qint64 closeNs = timer.nsecsElapsed();
    if (w2->IsOpen() || !IsQuitting()) Fail(QStringLiteral("the editor did not close"));

    std::printf("RESULT %lld %lld %lld\n", static_cast<long long>(unlockNs), static_cast<long long>(closeNs),
                static_cast<long long>(closeAt));
    std::fflush(stdout);
    runtime.Shutdown();
    Startup::Finalize();
    return 0;
}

// ---- child: bare Qt ----------------------------------------------------------

// Prints "RESULT <load ns> <write ns> <whole job ns>".
template <typename Edit>
int RunBaseline(int argc, char** argv, const QString& textPath, const QString& dataPath,
                const QString& outPath) {
    QApplication app(argc, argv);
    WatchForModalBoxes();
    Edit edit;
    edit.setLineWrapMode(Edit::WidgetWidth);
    edit.resize(kEditorWidth, kEditorHeight);
    edit.show();
    (void)QTest::qWaitForWindowExposed(&edit);
    QCoreApplication::processEvents();

    QElapsedTimer timer;
    timer.start();
    QFile in(textPath);
    if (!in.open(QIODevice::ReadOnly)) Fail(QStringLiteral("cannot read %1").arg(textPath));
    const QByteArray bytes = in.readAll();
    in.close();
    const QString text = QString::fromUtf8(bytes);
    edit.setPlainText(text);
    QCoreApplication::processEvents();
    const qint64 loadNs = timer.nsecsElapsed();
    if (edit.document()->characterCount() != text.size() + 1)
        Fail(QStringLiteral("the text edit holds the wrong text"));

    const QByteArray data = ReadAll(dataPath);
    timer.restart();
    QSaveFile out(outPath);
    if (!out.open(QIODevice::WriteOnly) || out.write(data) != data.size() || !out.commit())
        Fail(QStringLiteral("cannot write %1").arg(outPath));
    const qint64 writeNs = timer.nsecsElapsed();

    timer.restart();
    QByteArray taken = edit.toPlainText().toUtf8();
    taken += "\n\n";
    char* p = taken.data();
    const char key = static_cast<char>(Module1::kDataKey);
    for (qsizetype i = 0, n = taken.size(); i < n; ++i) p[i] ^= key;
    taken += '\n';
    QSaveFile again(outPath + QStringLiteral(".2"));
    if (!again.open(QIODevice::WriteOnly) || again.write(taken) != taken.size() || !again.commit())
        Fail(QStringLiteral("cannot write %1.2").arg(outPath));
    const qint64 saveNs = timer.nsecsElapsed();
    if (taken != data) Fail(QStringLiteral("bare Qt wrote other bytes than the data file"));

    std::printf("RESULT %lld %lld %lld\n", static_cast<long long>(loadNs), static_cast<long long>(writeNs),
                static_cast<long long>(saveNs));
    std::fflush(stdout);
    return 0;
}

// ---- parent --------------------------------------------------------------------

// The figures a child printed, in ms.
// The last figure of a run of ours is the close request's clock reading,
// which comes back as the time from it to the end of the process.
std::vector<double> RunChild(const QStringList& args, const QString& configHome) {
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::SeparateChannels);
    child.start(QCoreApplication::applicationFilePath(), args);
    if (!child.waitForStarted()) Fail(QStringLiteral("cannot start a child run"));
    if (!child.waitForFinished(kChildTimeoutMs)) {
        child.kill();
        child.waitForFinished();
        Fail(QStringLiteral("a child run (%1) took longer than %2 s").arg(args.join(' ')).arg(kChildTimeoutMs / 1000));
    }
    const qint64 endedAt = MonotonicNs();
    const QByteArray out = child.readAllStandardOutput();
    const QByteArray err = child.readAllStandardError();
    if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0)
        Fail(QStringLiteral("child run %1 failed:\n%2").arg(args.join(' '), QString::fromLocal8Bit(err)));
    for (const QByteArray& line : out.split('\n')) {
        if (!line.startsWith("RESULT ")) continue;
        std::vector<double> figures;
        for (const QByteArray& f : line.split(' ').mid(1)) figures.push_back(Ms(f.toLongLong()));
        if (args.value(0) == QLatin1String("--ours") && !figures.empty())
            figures.back() = Ms(endedAt) - figures.back();
        return figures;
    }
    Fail(QStringLiteral("child run %1 printed no result:\n%2").arg(args.join(' '), QString::fromLocal8Bit(err)));
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// A median and the runs it came from.
struct Series {
    std::vector<double> runs;
    double median = 0;
};

struct Row {
    double megabytes = 0;
    Series unlock, load, richLoad, close, write, save, exitDefault, exitLarge;
};

// "ours bare ratio (min - max)" for two series measured run by run side by side.
std::string Ratio(const Series& ours, const Series& bare) {
    double lo = 1e300, hi = 0;
    for (size_t i = 0; i < ours.runs.size() && i < bare.runs.size(); ++i) {
        lo = std::min(lo, ours.runs[i] / bare.runs[i]);
        hi = std::max(hi, ours.runs[i] / bare.runs[i]);
    }
    char text[96];
    std::snprintf(text, sizeof text, "%6.2fx (%.2f-%.2f)", ours.median / bare.median, lo, hi);
    return text;
}

Series Of(const std::vector<double>& runs) { return {runs, Median(runs)}; }

constexpr int kLargeTextSize = 48;

int RunParent(const std::vector<int>& sizesMb, int reps) {
    QTemporaryDir root;
    if (!root.isValid()) Fail(QStringLiteral("no temporary folder"));
    const QByteArray passwordFile = Module1::EncodePassword(QString::fromLatin1(kPassword)) + '\n';
    std::vector<Row> rows;

    for (int mb : sizesMb) {
        const QByteArray utf8 = MakeNote(static_cast<qsizetype>(mb) * 1024 * 1024);
        const QString text = QString::fromUtf8(utf8);
        const QByteArray dataFile = Module1::EncodeData(text) + '\n';
        const QString src = root.filePath(QStringLiteral("src%1").arg(mb));
        QDir().mkpath(src);
        const QString textPath = QDir(src).filePath(QString::fromLatin1(kPlainTextFile));
        const QString dataPath = QDir(src).filePath(QString::fromLatin1(Module1::kDataFile));
        WriteAll(textPath, utf8);
        WriteAll(dataPath, dataFile);

        std::vector<double> unlock, load, richLoad, close, write, save, exitDefault, exitLarge;
        // One run of ours in a fresh preferences folder; 0 is the default text size.
        auto runOurs = [&](int r, int textSize) {
            const QString prefs = root.filePath(QStringLiteral("prefs%1-%2-%3").arg(mb).arg(r).arg(textSize));
            QDir().mkpath(prefs);
            WriteAll(QDir(prefs).filePath(QString::fromLatin1(Module1::kPasswordFile)), passwordFile);
            WriteAll(QDir(prefs).filePath(QString::fromLatin1(Module1::kDataFile)), dataFile);
            if (textSize > 0)
                WriteAll(QDir(prefs).filePath(QString::fromLatin1(Module1::kFontSizeFile)),
                         QByteArray::number(textSize) + '\n');
            const std::vector<double> ours = RunChild({QStringLiteral("--ours"), QString::number(text.size())}, prefs);
            // What the editor wrote back must be what it read, byte for byte.
            if (ReadAll(QDir(prefs).filePath(QString::fromLatin1(Module1::kDataFile))) != dataFile)
                Fail(QStringLiteral("%1 MB: the data file written on close differs from the one read").arg(mb));
            if (!QFile::exists(QDir(prefs).filePath(QString::fromLatin1(Module1::kWinSizeFile))))
                Fail(QStringLiteral("%1 MB: no window-size file after close").arg(mb));
            if (ours.size() != 3) Fail(QStringLiteral("a run of ours printed a wrong result"));
            return ours;
        };
        auto runBare = [&](int r, const char* widget) {
            const QString prefs = root.filePath(QStringLiteral("prefs%1-%2-0").arg(mb).arg(r));
            const QString outPath = QDir(prefs).filePath(QStringLiteral("baseline.out"));
            const std::vector<double> bare =
                RunChild({QString::fromLatin1(widget), textPath, dataPath, outPath}, prefs);
            if (ReadAll(outPath) != dataFile) Fail(QStringLiteral("%1 MB: the baseline wrote other bytes").arg(mb));
            if (bare.size() != 3) Fail(QStringLiteral("a bare Qt run printed a wrong result"));
            return bare;
        };
        for (int r = 0; r < reps; ++r) {
            const std::vector<double> ours = runOurs(r, 0);
            unlock.push_back(ours[0]);
            close.push_back(ours[1]);
            exitDefault.push_back(ours[2]);
            const std::vector<double> large = runOurs(r, kLargeTextSize);
            exitLarge.push_back(large[2]);

            const std::vector<double> bare = runBare(r, "--qt");
            load.push_back(bare[0]);
            write.push_back(bare[1]);
            save.push_back(bare[2]);
            const std::vector<double> rich = runBare(r, "--qt-textedit");
            richLoad.push_back(rich[0]);
            std::fprintf(stderr,
                         "  %d MB run %d/%d: unlock %.1f ms, Qt load %.1f ms (QTextEdit %.1f ms), close %.1f ms, "
                         "Qt write %.1f ms, Qt whole %.1f ms, close to exit %.1f ms (at %d pt %.1f ms)\n",
                         mb, r + 1, reps, ours[0], bare[0], rich[0], ours[1], bare[1], bare[2], ours[2], kLargeTextSize,
                         large[2]);
        }
        rows.push_back({static_cast<double>(dataFile.size()) / (1024.0 * 1024.0), Of(unlock), Of(load),
                        Of(richLoad), Of(close), Of(write), Of(save), Of(exitDefault), Of(exitLarge)});
    }

    std::printf("\nLarge note: our path vs bare Qt, median of %d runs (ms); ratio (min-max of the runs)\n\n", reps);
    std::printf("%9s | %9s %9s %-20s | %9s %9s %-20s\n", "note", "unlock", "Qt load", " ratio", "close",
                "Qt whole", " ratio");
    std::printf("----------+----------------------------------------+----------------------------------------\n");
    for (const Row& row : rows)
        std::printf("%6.2f MB | %9.1f %9.1f %-20s | %9.1f %9.1f %-20s\n", row.megabytes, row.unlock.median,
                    row.load.median, Ratio(row.unlock, row.load).c_str(), row.close.median, row.save.median,
                    Ratio(row.close, row.save).c_str());
    std::printf("\n(Qt whole: toPlainText, toUtf8, line ends, XOR, QSaveFile: the whole job of writing the note)\n");
    std::printf("\nUnlock against the same load into a QTextEdit:\n");
    for (const Row& row : rows)
        std::printf("%6.2f MB | unlock %.1f ms, QTextEdit load %.1f ms, ratio %s\n", row.megabytes, row.unlock.median,
                    row.richLoad.median, Ratio(row.unlock, row.richLoad).c_str());
    std::printf("\nClose request to process exit, note saved, by text size:\n");
    for (const Row& row : rows)
        std::printf("%6.2f MB | default %.1f ms, %d pt %.1f ms, ratio %s\n", row.megabytes, row.exitDefault.median,
                    kLargeTextSize, row.exitLarge.median, Ratio(row.exitLarge, row.exitDefault).c_str());
    std::printf("\nFor reference, close against bare Qt writing the data file's bytes, already encoded (QSaveFile):\n");
    for (const Row& row : rows)
        std::printf("%6.2f MB | close %.1f ms, Qt write %.1f ms, ratio %s\n", row.megabytes, row.close.median,
                    row.write.median, Ratio(row.close, row.write).c_str());
    if (rows.size() >= 2) {
        const Row& a = rows.front();
        const Row& b = rows.back();
        const double size = b.megabytes / a.megabytes;
        std::printf("\nGrowth for %.1fx the text (linear ~ %.1fx): unlock %.1fx, Qt load %.1fx, "
                    "close %.1fx, Qt whole %.1fx\n",
                    size, size, b.unlock.median / a.unlock.median, b.load.median / a.load.median,
                    b.close.median / a.close.median, b.save.median / a.save.median);
    }
    return 0;
}

std::vector<int> ParseSizes(const QString& list) {
    std::vector<int> sizes;
    for (const QString& part : list.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        bool ok = false;
        const int mb = part.trimmed().toInt(&ok);
        if (!ok || mb < 1) Fail(QStringLiteral("bad size list: %1").arg(list));
        sizes.push_back(mb);
    }
    if (sizes.empty()) Fail(QStringLiteral("bad size list: %1").arg(list));
    return sizes;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "--ours" && argc == 3) return RunOurs(argc, argv, std::atoll(argv[2]));
    if (mode == "--qt" && argc == 5)
        return RunBaseline<QPlainTextEdit>(argc, argv, QString::fromLocal8Bit(argv[2]),
                                           QString::fromLocal8Bit(argv[3]), QString::fromLocal8Bit(argv[4]));
    if (mode == "--qt-textedit" && argc == 5)
        return RunBaseline<QTextEdit>(argc, argv, QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                                      QString::fromLocal8Bit(argv[4]));

    QCoreApplication app(argc, argv);
    std::vector<int> sizes = {1, 10};
    int reps = 5;
    const QStringList args = QCoreApplication::arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--sizes") && i + 1 < args.size()) {
            sizes = ParseSizes(args[++i]);
        } else if (args[i] == QLatin1String("--reps") && i + 1 < args.size()) {
            reps = std::max(1, args[++i].toInt());
        } else {
            std::fprintf(stderr, "usage: morvellan_bench [--sizes 1,10] [--reps 5]\n");
            return 2;
        }
    }
    return RunParent(sizes, reps);
}
