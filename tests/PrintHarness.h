// Printing in tests: the real print dialog answered as a user would, and the
// PDF it produced read back with poppler's tools.
#pragma once

#include <QRectF>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <vector>

class QProcess;
class QTimer;

namespace harness {

// Answers the next print dialog: either Cancel, or "Print to File (PDF)"
// into a file of its own (or the printer named), with the paper,
// orientation, page range, copies and page order given.
//
// While it lives, the framework's dates read a clock that stands at a fixed
// moment until the dialog shows, and then jumps a day and some hours on: a
// time stamp taken before the dialog opened and one taken at printing differ
// in both their time and their date.
class PrintAnswer {
public:
    enum Choice { PrintToPdf, Cancel };
    enum Orientation { Portrait, Landscape };
    struct Settings {
        Orientation orientation = Portrait;
        QString paper;  // as the page set-up lists it ("A5"); empty keeps the default
        int fromPage = 0, toPage = 0;  // 0: all pages
        int copies = 1;
        // When given, the file the printer writes to instead of the one typed,
        // put in once the dialog has checked and accepted the typed one: as
        // when the file's folder goes away before the print begins.
        QString writeTo = {};
        bool reverse = false;  // the last page first
        QString printer = {};  // a print server's printer in place of the PDF file
        // Runs once the dialog has been answered, before the print begins.
        std::function<void()> onAccepted = {};
    };
    explicit PrintAnswer(Choice choice, Settings settings);
    explicit PrintAnswer(Choice choice) : PrintAnswer(choice, Settings()) {}
    ~PrintAnswer();

    bool dialogSeen() const { return dialogSeen_; }
    QString pdfPath() const;
    // The time stamp of the moment before the dialog showed, and of the
    // moment after (short time, ", ", short date).
    static QString StampBefore();
    static QString StampAfter();
    // The printable area in points from the paper's top left, as the dialog
    // left the printer.
    QRectF printableRect() const { return printable_; }

private:
    void Poll();
    Choice choice_;
    Settings settings_;
    QTemporaryDir dir_;
    bool dialogSeen_ = false, pageSetupDone_ = false, answered_ = false;
    QRectF printable_;
    std::unique_ptr<QTimer> timer_;
};

// A print server of the test's own (cupsd with its own configuration
// folder, on a socket in it), which the process under test prints to: its
// queues "Open" (accepting), "Held" (accepting, stopped, so that its jobs
// stay), "Closed" (not accepting) and "Gone" (removed by RemoveQueue).
class PrintServer {
public:
    PrintServer();
    ~PrintServer();
    // False, with the reason, when no print server is installed here.
    bool Start(QString* why);
    void Stop();
    void RemoveQueue(const QString& name);
    QString socket() const { return dir_.filePath(QStringLiteral("cups.sock")); }
    // The jobs a queue holds: their names, and the files the print server
    // keeps of their documents (of a stopped queue's job).
    struct Job {
        QString name;
        QString document;
    };
    std::vector<Job> Jobs(const QString& queue) const;

private:
    QTemporaryDir dir_;
    std::unique_ptr<QProcess> cupsd_;
};

// One word of a page as pdftotext -bbox gives it, in points from the top left.
struct Word {
    QString text;
    double xMin = 0, yMin = 0, xMax = 0, yMax = 0;
};

struct PdfPage {
    double width = 0, height = 0;
    std::vector<Word> words;
    // The names of the fonts used on this page (pdffonts), subset tag removed.
    QStringList fonts;
};

std::vector<PdfPage> ReadPdf(const QString& path);

// The text of the file, in reading order (pdftotext -layout).
QString PdfText(const QString& path);

// The words on the line whose bottom lies near y (points), left to right.
std::vector<Word> WordsNear(const PdfPage& page, double baseline, double tolerance = 4);

}  // namespace harness
