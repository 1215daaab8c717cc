// Printing: the print dialog, a page surface that draws in points from the
// top left corner of the printable page, and a printer that lays a text
// area's text out in whole lines, block by block.
#pragma once

#include "framework/Properties.h"

#include <QString>
#include <functional>
#include <memory>

class QPainter;
class QPrinter;
class QTextDocument;
class QFont;

// The current date and time, with the user's short formats.
class Date {
public:
    Date();
    QString ShortTime() const;
    QString ShortDate() const;

    // The clock every new Date reads, in milliseconds since the epoch: the
    // system's, unless one is put in here (tests do, to tell one moment from
    // another); an empty function puts the system's back.
    static void SetClock(std::function<qint64()> clock);

private:
    qint64 msecsSinceEpoch_;
};

// What a print job is called in the print system's queue, and how the
// boxes about it name what it prints.
struct PrintJob {
    QString name = QStringLiteral("Print");     // the printing window's title
    QString document = QStringLiteral("the document");  // "the note"
};

// One print job's drawing surface. Coordinates are points (1/72 inch) from
// the top left of the printable area, whatever paper or orientation was
// chosen. The job ends when the last reference is released.
//
// The pages are counted from 1 by NextPage. When the print dialog asked for
// a range of pages, the drawing of every page outside it is dropped and
// takes no sheet, so the pages that come out keep their numbers; a range
// that holds none of the pages is told. When the dialog asked for the last
// page first, each copy's pages are kept until its last one is drawn and
// then come out last to first.
//
// The pages are drawn into a PDF: for a PDF file, one written whole beside
// the chosen file and put in its place, readable by its owner only, once it
// is complete; for a printer, a private temporary file that is handed to the
// print system with the options the dialog chose, and removed. A job that
// cannot go on (a file that cannot be written, a printer that refuses the
// job) is reported once in a modal box with the reason, and ended: from then
// on nothing is drawn and every call is without effect, so the caller's loop
// runs to its end.
class Graphics {
public:
    explicit Graphics(std::unique_ptr<QPrinter> printer, PrintJob job = {});
    ~Graphics();
    Graphics(const Graphics&) = delete;
    Graphics& operator=(const Graphics&) = delete;

    void SetTextFont(const QString& family);
    void SetTextSize(double points);
    void SetForeColor(const Color& color);
    void SetBold(bool on);

    // Draws one line with its baseline at y. A wrap width of 0 means no
    // wrapping; condensing is not offered.
    void DrawString(const QString& text, double x, double y, double wrapWidth = 0, bool condense = false);
    // Ends this page and starts the next on the same surface.
    void NextPage();

    // Scales all drawing down as a whole, keeping its shape, when a box of
    // this size (points) from the top left does not fit the printable area;
    // on paper that holds it, nothing changes.
    void SetPageBox(double width, double height);
    // How many times the caller draws its pages: the copies asked for in the
    // print dialog, or 1 when the printing system makes them itself.
    int Copies() const { return copies_; }
    // Ends this page and starts the next copy, from page 1 again.
    void NextCopy();
    // False while the current page lies outside the range asked for, and
    // once the job has failed.
    bool PageWanted() const;
    // True once the job could not go on and was reported.
    bool Failed() const { return failed_; }
    // Ends the job: its last pages go out, the file takes its place or the
    // printer is handed the job, and what went wrong is reported as the
    // other failures are.
    void Finish();

    // For the framework's own drawing: paints on the current page in device
    // units, when the page is one of those asked for (now, or when the page
    // comes out).
    void Draw(std::function<void(QPainter&)> paint);
    // The device that fonts and text layouts are made for.
    QPrinter& Printer() const { return *printer_; }
    // Device units per point.
    double Scale() const { return scale_; }

private:
    struct Output;
    void ApplyFont();
    // Puts the surface's settings at the top of the current page.
    void StartPage();
    // The current page is drawn: out it goes, or it is kept for later.
    void EndPage();
    // The pages kept for this copy go out, last to first.
    void PutOutKept();
    // One page goes out: the first opens the PDF, every later one takes a
    // new sheet.
    void PutOut(const std::vector<std::function<void(QPainter&)>>& page);
    // Hands the finished PDF to the print system and reads its answer.
    void Submit();
    // Ends a job that could not go on and reports why, with what became of
    // the print.
    void Fail(const QString& failure, const QString& outcome);
    std::unique_ptr<QPrinter> printer_;
    PrintJob job_;
    std::unique_ptr<Output> out_;
    double scale_ = 1.0;
    QString textFont_ = QStringLiteral("System");
    double textSize_ = 12;
    bool bold_ = false;
    Color color_{0, 0, 0};
    double fit_ = 1;
    int page_ = 1;
    int pages_ = 1;  // the most pages a copy had
    int copies_ = 1;
    bool failed_ = false;
};
using GraphicsRef = std::shared_ptr<Graphics>;

// Shows the print dialog (the platform's default page set-up when none is
// given, no parent window). Returns the first page's surface for the job,
// or null when the user cancels.
GraphicsRef OpenPrinterDialog(const PrintJob& job, std::nullptr_t pageSetup = nullptr, std::nullptr_t parent = nullptr);

// Draws a text area's text in blocks of whole lines, laid out at a fixed
// width in the area's font. Every block takes at least one line, so a loop
// of DrawBlock until EOF always ends; no line is cut across two blocks.
class StyledTextPrinter {
public:
    StyledTextPrinter(GraphicsRef surface, const QTextDocument& document, const QFont& font, double width);
    ~StyledTextPrinter();
    StyledTextPrinter(const StyledTextPrinter&) = delete;
    StyledTextPrinter& operator=(const StyledTextPrinter&) = delete;

    // Draws the lines that fit the height, from the top left at x, y (points).
    void DrawBlock(double x, double y, double height);
    // True once every line has been drawn, or once the surface's job has
    // failed and nothing more can be drawn. (EOF itself is the C library's
    // macro, so the name cannot be spelled that way in C++.)
    bool Eof() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};
using StyledTextPrinterRef = std::shared_ptr<StyledTextPrinter>;
