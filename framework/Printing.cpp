#include "framework/Printing.h"

#include "framework/Dialogs.h"
#include "framework/Runtime.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QPageRanges>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrintEngine>
#include <QPrinter>
#include <QSaveFile>
#include <QTemporaryFile>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include <cups/cups.h>

#include <algorithm>
#include <cerrno>
#include <vector>

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

using Page = std::vector<std::function<void(QPainter&)>>;

// The print system's option that holds the dialog's choices for a CUPS
// printer (job sheets, page set, pages per sheet, the printer's own
// settings), as name, value, name, value ...
const auto kCupsOptions = QPrintEngine::PrintEnginePropertyKey(0xfe00);

QString WithoutFullStop(QString text) {
    text = text.trimmed();
    if (text.endsWith(QLatin1Char('.'))) text.chop(1);
    return text;
}

// No password is asked for on a terminal the user does not see: a print
// server that wants one refuses the job, and says so.
const char* NoPassword(const char*, http_t*, const char*, const char*, void*) { return nullptr; }

}  // namespace

// Where the pages go: the PDF being written, and the file it is written to.
struct Graphics::Output {
    bool toPrinter = false;
    QString path;  // the chosen file, or the temporary file's template
    QString printerName;
    QPageRanges ranges;  // empty: all pages
    bool lastFirst = false;
    QStringList cupsOptions;
    // One of: the chosen file written whole beside it (QSaveFile), the
    // chosen file written in place (a device), the printer's temporary file.
    std::unique_ptr<QFileDevice> file;
    QSaveFile* saveFile = nullptr;
    std::unique_ptr<QPdfWriter> writer;
    QPainter painter;
    QFont font;
    Page page;                // the current page, as drawn so far
    std::vector<Page> kept;   // this copy's pages, when the last comes first
    int sheets = 0;

    // What became of a print that stopped: for a file written whole or the
    // printer's, nothing at all, since neither is put out unfinished.
    QString Outcome(const QString& inPlace) const {
        return saveFile || toPrinter ? QStringLiteral("Nothing was printed.") : inPlace;
    }
    QString WriteFailure(const QString& reason) const {
        if (toPrinter)
            return QStringLiteral("Could not write the print job for the printer \"%1\" to the temporary file \"%2\": %3.")
                .arg(printerName, path, reason);
        return FileError(QStringLiteral("print to"), path, reason).message();
    }
    // The file's error, in the system's words: a buffered write that fails
    // leaves Qt's generic text on the file, and the reason in errno (set to
    // 0 before each step that writes).
    QString FileFailure() const {
        QString reason = file->errorString();
        if (errno != 0 && (reason.isEmpty() || reason == QFile().errorString())) reason = qt_error_string(errno);
        return WriteFailure(reason);
    }
    // Nothing more is written; what is unfinished is dropped.
    void Discard() {
        if (painter.isActive()) painter.end();
        writer.reset();
        file.reset();  // an uncommitted QSaveFile and a QTemporaryFile remove their file
        saveFile = nullptr;
    }
};

Graphics::Graphics(std::unique_ptr<QPrinter> printer, PrintJob job)
    : printer_(std::move(printer)), job_(std::move(job)), out_(std::make_unique<Output>()) {
    Output& out = *out_;
    // The page's origin is the printable area's top left (the printer is
    // not in full-page mode); drawing happens in device units so that fonts
    // keep their point sizes, and every coordinate is scaled from points.
    printer_->setFullPage(false);
    out.toPrinter = printer_->outputFormat() == QPrinter::NativeFormat;
    out.path = printer_->outputFileName();
    out.printerName = printer_->printerName();
    if (printer_->printRange() == QPrinter::PageRange) out.ranges = printer_->pageRanges();
    out.lastFirst = printer_->pageOrder() == QPrinter::LastPageFirst;
    if (out.toPrinter) {
        out.cupsOptions = printer_->printEngine()->property(kCupsOptions).toStringList();
        // Pages the dialog left to the print system to pick are picked here,
        // so that they are the note's pages by their numbers, whatever order
        // they come out in.
        for (int i = 0; i + 1 < out.cupsOptions.size(); i += 2) {
            if (out.cupsOptions[i] != QLatin1String("page-ranges")) continue;
            out.ranges = QPageRanges::fromString(out.cupsOptions[i + 1]);
            out.cupsOptions.remove(i, 2);
            break;
        }
    }
    // Where the printing system cannot make the copies, the caller draws
    // them, one whole print after the other.
    if (!printer_->supportsMultipleCopies()) {
        copies_ = std::max(1, printer_->copyCount());
        printer_->setCopyCount(1);
    }
    printer_->setCollateCopies(true);
    scale_ = printer_->resolution() / 72.0;
    ApplyFont();
    StartPage();
}

Graphics::~Graphics() { out_->Discard(); }

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
    Draw([c = QColor(color.r, color.g, color.b)](QPainter& p) { p.setPen(c); });
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
    out_->font = QFont(font, printer_.get());
    Draw([font = out_->font](QPainter& p) { p.setFont(font); });
}

void Graphics::DrawString(const QString& text, double x, double y, double, bool) {
    Draw([text, at = QPointF(x * scale_, y * scale_)](QPainter& p) { p.drawText(at, text); });
}

void Graphics::Draw(std::function<void(QPainter&)> paint) {
    if (PageWanted()) out_->page.push_back(std::move(paint));
}

bool Graphics::PageWanted() const {
    return !failed_ && (out_->ranges.isEmpty() || out_->ranges.contains(page_));
}

void Graphics::StartPage() {
    // Each page begins with the surface's settings as they are, whichever
    // page came out before it.
    Draw([font = out_->font, color = QColor(color_.r, color_.g, color_.b), fit = fit_](QPainter& p) {
        p.setFont(font);
        p.setPen(color);
        p.resetTransform();
        p.scale(fit, fit);
    });
}

void Graphics::EndPage() {
    Output& out = *out_;
    Page page = std::move(out.page);
    out.page.clear();
    if (!PageWanted()) return;
    if (out.lastFirst)
        out.kept.push_back(std::move(page));
    else
        PutOut(page);
}

void Graphics::PutOut(const Page& page) {
    Output& out = *out_;
    if (failed_) return;
    // The first page out opens the PDF; every later one takes a new sheet.
    if (!out.painter.isActive()) {
        if (out.toPrinter) {
            // The folder the user's TMPDIR names, as it is: one that does
            // not exist is told, not swapped for another.
            QString folder = qEnvironmentVariable("TMPDIR");
            if (folder.isEmpty()) folder = QStringLiteral("/tmp");
            if (folder.size() > 1 && folder.endsWith(QLatin1Char('/'))) folder.chop(1);
            out.path = folder + QStringLiteral("/morvellan-XXXXXX.pdf");
            auto file = std::make_unique<QTemporaryFile>(out.path);  // owner only
            if (!file->open()) {
                Fail(out.WriteFailure(file->errorString()), QStringLiteral("Nothing was printed."));
                return;
            }
            out.path = file->fileName();
            out.file = std::move(file);
        } else if (QFileInfo(out.path).exists() && !QFileInfo(out.path).isFile()) {
            // A device or a pipe is written in place: it keeps no bytes to
            // protect, and cannot be replaced. A folder fails to open here,
            // with the system's reason.
            auto file = std::make_unique<QFile>(out.path);
            if (!file->open(QIODevice::WriteOnly)) {
                Fail(out.WriteFailure(file->errorString()), QStringLiteral("Nothing was printed."));
                return;
            }
            out.file = std::move(file);
        } else {
            // Written whole beside the chosen file, which it replaces once
            // complete; an existing file stays as it was when the print
            // fails. Readable by its owner only before a byte is written.
            auto file = std::make_unique<QSaveFile>(out.path);
            file->setDirectWriteFallback(false);
            if (!file->open(QIODevice::WriteOnly) ||
                !file->setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
                Fail(out.WriteFailure(file->errorString()), QStringLiteral("Nothing was printed."));
                return;
            }
            out.saveFile = file.get();
            out.file = std::move(file);
        }
        out.writer = std::make_unique<QPdfWriter>(out.file.get());
        out.writer->setTitle(job_.name);
        out.writer->setCreator(QCoreApplication::applicationName());
        out.writer->setResolution(printer_->resolution());
        out.writer->setPageLayout(printer_->pageLayout());
        if (!out.painter.begin(out.writer.get())) {
            Fail(out.FileFailure(), QStringLiteral("Nothing was printed."));
            return;
        }
    } else {
        // Each finished page is written as the next begins; a write that
        // fails leaves its reason on the file.
        errno = 0;
        out.writer->newPage();
        if (out.file->error() != QFileDevice::NoError) {
            Fail(out.FileFailure(), out.Outcome(QStringLiteral("Printing stopped before the last page.")));
            return;
        }
    }
    for (const auto& paint : page) paint(out.painter);
    ++out.sheets;
}

void Graphics::PutOutKept() {
    Output& out = *out_;
    if (!out.lastFirst) return;
    std::vector<Page> kept = std::move(out.kept);
    out.kept.clear();
    for (auto page = kept.rbegin(); page != kept.rend(); ++page) PutOut(*page);
}

void Graphics::NextPage() {
    EndPage();
    ++page_;
    pages_ = std::max(pages_, page_);
    StartPage();
}

void Graphics::NextCopy() {
    EndPage();
    PutOutKept();
    page_ = 1;
    StartPage();
}

void Graphics::Finish() {
    Output& out = *out_;
    EndPage();
    PutOutKept();
    if (failed_) return;
    if (out.sheets == 0) {
        // Only a range after the last page leaves nothing to print.
        MsgBox(QStringLiteral("Nothing was printed: %1 has %2 %3.")
                   .arg(job_.document)
                   .arg(pages_)
                   .arg(pages_ == 1 ? QStringLiteral("page") : QStringLiteral("pages")));
        return;
    }
    // The PDF engine writes the last page and the file's end as the painter
    // ends, and tells nothing of a write that fails; the file does.
    errno = 0;
    out.painter.end();
    out.writer.reset();
    if (!out.file->flush() || out.file->error() != QFileDevice::NoError) {
        Fail(out.FileFailure(), out.Outcome(QStringLiteral("The file is incomplete.")));
        return;
    }
    if (out.saveFile) {
        if (!out.saveFile->commit()) Fail(out.FileFailure(), QStringLiteral("Nothing was printed."));
        out.Discard();
        return;
    }
    if (!out.toPrinter) {
        out.file->close();
        if (out.file->error() != QFileDevice::NoError)
            Fail(out.FileFailure(), QStringLiteral("The file is incomplete."));
        out.Discard();
        return;
    }
    Submit();
}

void Graphics::Submit() {
    Output& out = *out_;
    // A printer's instance ("name/instance") is a set of options on this
    // machine; the print system knows the queue by its name.
    const QString queue = printer_->printerName().section(QLatin1Char('/'), 0, 0);
    QList<QByteArray> names, values;
    const auto option = [&](const char* name, const QByteArray& value) {
        names << QByteArray(name);
        values << value;
    };
    // What the pages do not hold: the paper to take, the orientation to
    // print them in, copies, both sides, grey.
    const QPageLayout layout = printer_->pageLayout();
    option("media", layout.pageSize().key().toUtf8());
    if (layout.orientation() == QPageLayout::Landscape) option("landscape", QByteArray());
    if (printer_->copyCount() > 1) {
        option("copies", QByteArray::number(printer_->copyCount()));
        option("Collate", "True");
    }
    switch (printer_->duplex()) {
    case QPrinter::DuplexNone: option("sides", "one-sided"); break;
    case QPrinter::DuplexAuto:
        option("sides", layout.orientation() == QPageLayout::Portrait ? "two-sided-long-edge" : "two-sided-short-edge");
        break;
    case QPrinter::DuplexLongSide: option("sides", "two-sided-long-edge"); break;
    case QPrinter::DuplexShortSide: option("sides", "two-sided-short-edge"); break;
    }
    if (printer_->colorMode() == QPrinter::GrayScale) option("print-color-mode", "monochrome");
    for (int i = 0; i + 1 < out.cupsOptions.size(); i += 2) {
        names << out.cupsOptions[i].toUtf8();
        values << out.cupsOptions[i + 1].toUtf8();
    }
    cups_option_t* options = nullptr;
    int count = 0;
    for (int i = 0; i < names.size(); ++i)
        count = cupsAddOption(names[i].constData(), values[i].constData(), count, &options);

    cupsSetPasswordCB2(NoPassword, nullptr);
    http_t* http = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, 30000, nullptr);
    if (!http) {
        cupsFreeOptions(count, options);
        const QString reason = WithoutFullStop(QString::fromUtf8(cupsLastErrorString()));
        out.Discard();
        Fail(QStringLiteral("The print server \"%1\" of the printer \"%2\" cannot be reached: %3.")
                 .arg(QString::fromUtf8(cupsServer()), queue, reason),
             QStringLiteral("Nothing was printed."));
        return;
    }
    const QByteArray resource = "/printers/" + queue.toUtf8();
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", ippPort(), "/printers/%s",
                     queue.toUtf8().constData());
    ipp_t* request = ippNewRequest(IPP_OP_PRINT_JOB);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "job-name", nullptr, job_.name.toUtf8().constData());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_MIMETYPE, "document-format", nullptr, CUPS_FORMAT_PDF);
    cupsEncodeOptions2(request, count, options, IPP_TAG_OPERATION);
    cupsEncodeOptions2(request, count, options, IPP_TAG_JOB);
    cupsFreeOptions(count, options);
    // The job is made when the print system answers with its number; a
    // job it holds (a stopped queue) is its business from then on.
    ipp_t* response = cupsDoFileRequest(http, request, resource.constData(), QFile::encodeName(out.path).constData());
    const bool made = response && ippGetStatusCode(response) <= IPP_STATUS_OK_EVENTS_COMPLETE &&
                      ippFindAttribute(response, "job-id", IPP_TAG_INTEGER);
    const QString reason = WithoutFullStop(QString::fromUtf8(cupsLastErrorString()));
    ippDelete(response);
    httpClose(http);
    out.Discard();
    if (!made)
        Fail(QStringLiteral("The printer \"%1\" refused the print job: %2.").arg(queue, reason),
             QStringLiteral("Nothing was printed."));
}
void Graphics::Fail(const QString& failure, const QString& outcome) {
    failed_ = true;
    // Nothing more is written: a file written in place keeps what it got,
    // any other is dropped. The box shows once the job is over.
    out_->Discard();
    MsgBox(failure + QStringLiteral("  ") + outcome);
}

void Graphics::SetPageBox(double width, double height) {
    const QRectF printable = printer_->pageLayout().paintRectPoints();
    fit_ = std::min({1.0, printable.width() / width, printable.height() / height});
    Draw([fit = fit_](QPainter& p) {
        p.resetTransform();
        p.scale(fit, fit);
    });
}

// ---- OpenPrinterDialog -----------------------------------------------------

GraphicsRef OpenPrinterDialog(const PrintJob& job, std::nullptr_t, std::nullptr_t) {
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setDocName(job.name);
    QPrintDialog dialog(printer.get());
    // Copies always come out collated, one whole print after the other.
    dialog.setOption(QAbstractPrintDialog::PrintCollateCopies, false);
    if (RunModalDialog(dialog) != QDialog::Accepted) return nullptr;
    return std::make_shared<Graphics>(std::move(printer), job);
}

// ---- StyledTextPrinter -----------------------------------------------------

struct StyledTextPrinter::State {
    GraphicsRef surface;
    QFont font;
    double width = 0;  // device units
    QTextBlock block;
    // The current paragraph laid out, and its next line to draw. Its lines
    // are drawn when their page comes out, which may be after the printer
    // has moved on.
    std::shared_ptr<QTextLayout> layout;
    int nextLine = 0;

    // Lays out the current paragraph when it has not been yet.
    void Prepare() {
        if (layout || !block.isValid()) return;
        layout = std::make_shared<QTextLayout>(block.text(), font, &surface->Printer());
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
            s.surface->Draw([layout = s.layout, index = s.nextLine, clip = QRectF(origin.x(), origin.y(), s.width, room),
                             at = QPointF(origin.x(), origin.y() + used - line.y())](QPainter& painter) {
                painter.save();
                painter.setClipRect(clip);
                layout->lineAt(index).draw(&painter, at);
                painter.restore();
            });
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
