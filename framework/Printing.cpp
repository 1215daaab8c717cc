#include "framework/Printing.h"

#include "framework/Dialogs.h"
#include "framework/Runtime.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include <algorithm>
#include <cerrno>
#include <optional>

// ---- Date ------------------------------------------------------------------

namespace {
std::function<qint64()>& DateClock() {
    static std::function<qint64()> clock;
    return clock;
}
}  // namespace

Date::Date()
    : msecsSinceEpoch_(DateClock() ? DateClock()() : QDateTime::currentMSecsSinceEpoch()) {}

void Date::SetClock(std::function<qint64()> clock) { DateClock() = std::move(clock); }

QString Date::ShortTime() const {
    return QLocale().toString(QDateTime::fromMSecsSinceEpoch(msecsSinceEpoch_).time(), QLocale::ShortFormat);
}

QString Date::ShortDate() const {
    return QLocale().toString(QDateTime::fromMSecsSinceEpoch(msecsSinceEpoch_).date(), QLocale::ShortFormat);
}

// ---- Graphics --------------------------------------------------------------

namespace {

// The system's reason why the file cannot be opened as the print engine
// opens it: for writing, emptied.
QString OpenFailure(const QString& path) {
    const bool existed = QFileInfo::exists(path);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return file.errorString();
    // It opens now, though it did not for the job: no reason to give, and
    // no empty file left behind.
    file.close();
    if (!existed) file.remove();
    return QStringLiteral("it could not be opened");
}

// What failed, in the words of a file's failure for a PDF file, else naming
// the printer. A job that began failed in writing, for the reason in
// `writeError` (the system's error number, 0 when it left none); one that
// did not could not open its file.
QString JobFailure(const QPrinter& printer, bool began, int writeError) {
    const QString path = printer.outputFileName();
    if (printer.outputFormat() == QPrinter::PdfFormat && !path.isEmpty()) {
        QString reason;
        if (!began)
            reason = OpenFailure(path);
        else if (writeError != 0)
            reason = qt_error_string(writeError);
        else
            reason = QStringLiteral("it could not be written");
        return FileError(QStringLiteral("print to"), path, reason).message();
    }
    if (printer.printerName().isEmpty()) return QStringLiteral("The printer refused the print job.");
    return QStringLiteral("The printer \"%1\" refused the print job.").arg(printer.printerName());
}

// True when the file ends with a PDF file's last line.
bool EndsWithTrailer(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    constexpr qint64 kTail = 32;
    if (!file.seek(std::max<qint64>(0, file.size() - kTail))) return false;
    return file.readAll().trimmed().endsWith("%%EOF");
}

}  // namespace

Graphics::Graphics(std::unique_ptr<QPrinter> printer) : printer_(std::move(printer)) {
    // The painter's origin is the printable area's top left (the printer is
    // not in full-page mode); drawing happens in device units so that fonts
    // keep their point sizes, and every coordinate is scaled from points.
    printer_->setFullPage(false);
    if (printer_->printRange() == QPrinter::PageRange && printer_->fromPage() > 0) {
        firstPage_ = printer_->fromPage();
        lastPage_ = printer_->toPage();
    }
    // Where the printing system cannot make the copies, the caller draws
    // them, one whole print after the other.
    if (!printer_->supportsMultipleCopies()) {
        copies_ = std::max(1, printer_->copyCount());
        printer_->setCopyCount(1);
    }
    printer_->setCollateCopies(true);
    // The painter opens the job on the first page asked for, so that a range
    // after the last page sends out nothing, not a blank sheet.
    painter_ = std::make_unique<QPainter>();
    scale_ = printer_->resolution() / 72.0;
    StartPage();
}

Graphics::~Graphics() {
    if (painter_->isActive()) painter_->end();
}

void Graphics::SetTextFont(const QString& family) {
    textFont_ = family;
    ApplyFont();
}

void Graphics::SetTextSize(double points) {
    textSize_ = points;
    ApplyFont();
}

void Graphics::SetForeColor(const Color& color) {
    color_ = color;
    if (painter_->isActive()) painter_->setPen(QColor(color.r, color.g, color.b));
}

void Graphics::SetBold(bool on) {
    bold_ = on;
    ApplyFont();
}

void Graphics::ApplyFont() {
    // "Courier", "Arial" and the like are resolved by the system's font
    // configuration to whatever metric-compatible face it has.
    QFont font;
    if (textFont_ != QLatin1String("System")) font.setFamily(textFont_);
    if (textSize_ > 0) font.setPointSizeF(textSize_);
    font.setBold(bold_);
    if (painter_->isActive()) painter_->setFont(QFont(font, printer_.get()));
}

void Graphics::DrawString(const QString& text, double x, double y, double, bool) {
    if (PageWanted()) painter_->drawText(QPointF(x * scale_, y * scale_), text);
}

bool Graphics::PageWanted() const {
    return !failed_ && page_ >= firstPage_ && (lastPage_ == 0 || page_ <= lastPage_);
}

void Graphics::StartPage() {
    if (!PageWanted()) return;
    // The first page asked for opens the job; every later one takes a new
    // sheet. The painter keeps its settings from one sheet to the next.
    if (sheets_ > 0) {
        // A PDF file is written as each page ends; a write that fails
        // leaves the system's reason in errno.
        errno = 0;
        if (!printer_->newPage()) {
            Fail(JobFailure(*printer_, true, errno), QStringLiteral("Printing stopped before the last page."));
            return;
        }
    } else {
        if (!painter_->begin(printer_.get())) {
            Fail(JobFailure(*printer_, false, 0), QStringLiteral("Nothing was printed."));
            return;
        }
        SetForeColor(color_);
        ApplyFont();
        painter_->scale(fit_, fit_);
    }
    ++sheets_;
}

void Graphics::Finish() {
    if (failed_ || !painter_->isActive()) return;
    // The PDF engine writes the last page and the file's trailer as the
    // painter ends, and tells nothing of a write that fails there (a full
    // disk): a regular file is complete when it ends with the trailer; for
    // anything else the system's error number tells.
    errno = 0;
    painter_->end();
    const int writeError = errno;
    const QString path = printer_->outputFileName();
    if (printer_->outputFormat() != QPrinter::PdfFormat || path.isEmpty()) return;
    const bool complete = QFileInfo(path).isFile() ? EndsWithTrailer(path) : writeError == 0;
    if (!complete) Fail(JobFailure(*printer_, true, writeError), QStringLiteral("The file is incomplete."));
}

void Graphics::Fail(const QString& failure, const QString& outcome) {
    failed_ = true;
    // What was drawn goes out as far as it can; the box shows once the job
    // is over.
    if (painter_->isActive()) painter_->end();
    MsgBox(failure + QStringLiteral("  ") + outcome);
}

void Graphics::NextPage() {
    ++page_;
    StartPage();
}

void Graphics::NextCopy() {
    page_ = 1;
    StartPage();
}

void Graphics::SetPageBox(double width, double height) {
    const QRectF printable = printer_->pageLayout().paintRectPoints();
    fit_ = std::min({1.0, printable.width() / width, printable.height() / height});
    if (!painter_->isActive()) return;
    painter_->resetTransform();
    painter_->scale(fit_, fit_);
}

// ---- OpenPrinterDialog -----------------------------------------------------

GraphicsRef OpenPrinterDialog(std::nullptr_t, std::nullptr_t) {
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    QPrintDialog dialog(printer.get());
    // Copies always come out collated, one whole print after the other.
    dialog.setOption(QAbstractPrintDialog::PrintCollateCopies, false);
    if (RunModalDialog(dialog) != QDialog::Accepted) return nullptr;
    return std::make_shared<Graphics>(std::move(printer));
}

// ---- StyledTextPrinter -----------------------------------------------------

struct StyledTextPrinter::State {
    GraphicsRef surface;
    QFont font;
    double width = 0;  // device units
    QTextBlock block;
    // The current paragraph laid out, and its next line to draw.
    std::optional<QTextLayout> layout;
    int nextLine = 0;

    // Lays out the current paragraph when it has not been yet.
    void Prepare() {
        if (layout || !block.isValid()) return;
        layout.emplace(block.text(), font, &surface->Printer());
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout->setTextOption(option);
        layout->beginLayout();
        double y = 0;
        for (QTextLine line = layout->createLine(); line.isValid(); line = layout->createLine()) {
            line.setLineWidth(width);
            line.setPosition(QPointF(0, y));
            y += line.height();
        }
        layout->endLayout();
        nextLine = 0;
    }
    void Advance() {
        layout.reset();
        block = block.next();
        Prepare();
    }
    bool AtEnd() const { return !block.isValid(); }
};

StyledTextPrinter::StyledTextPrinter(GraphicsRef surface, const QTextDocument& document, const QFont& font,
                                     double width)
    : state_(std::make_unique<State>()) {
    state_->surface = std::move(surface);
    state_->font = QFont(font, &state_->surface->Printer());
    state_->width = width * state_->surface->Scale();
    state_->block = document.firstBlock();
    state_->Prepare();
}

StyledTextPrinter::~StyledTextPrinter() = default;

void StyledTextPrinter::DrawBlock(double x, double y, double height) {
    State& s = *state_;
    const double scale = s.surface->Scale();
    const QPointF origin(x * scale, y * scale);
    const double room = height * scale;
    QPainter& painter = s.surface->Painter();
    double used = 0;
    bool drewAny = false;
    while (!s.AtEnd()) {
        if (s.nextLine >= s.layout->lineCount()) {
            // An empty paragraph still takes one line of the font's height.
            if (s.layout->lineCount() == 0) {
                const double h = QFontMetricsF(s.font, &s.surface->Printer()).height();
                if (drewAny && used + h > room) return;
                used += h;
                drewAny = true;
            }
            s.Advance();
            continue;
        }
        QTextLine line = s.layout->lineAt(s.nextLine);
        // A line taller than the whole block is drawn alone, clipped to the
        // block, so that printing always moves on.
        if (drewAny && used + line.height() > room) return;
        if (s.surface->PageWanted()) {
            painter.save();
            painter.setClipRect(QRectF(origin.x(), origin.y(), s.width, room));
            line.draw(&painter, QPointF(origin.x(), origin.y() + used - line.y()));
            painter.restore();
        }
        used += line.height();
        drewAny = true;
        ++s.nextLine;
    }
}

bool StyledTextPrinter::Eof() const {
    // Lines all drawn, and no paragraph left; or nothing more to draw on.
    State& s = *state_;
    if (s.surface->Failed()) return true;
    while (!s.AtEnd() && s.layout && s.nextLine >= s.layout->lineCount() && s.layout->lineCount() > 0) s.Advance();
    return s.AtEnd();
}
