// Printing a note of about 1 MB and 10 MB to PDF: our path (the framework's
// surface and whole-line printer under the program's page layout, as the
// print command runs it once the dialog is answered) beside bare Qt doing the
// same job by hand, in one run.
//
//   morvellan_print_bench [--sizes 1,10] [--reps 5]
//
// Both sides print the same pages: the same printer set-up (PDF, high
// resolution, the default paper), the text laid out paragraph by paragraph
// with QTextLayout at 492 points in the text area's font, as many whole lines
// per page as fit 672 points, and a footer in bold Courier on every page. The
// bare side is one QPainter on a QPrinter with a loop of its own. Before the
// timed runs each side prints once untimed (fonts and glyph caches warm), and
// the two PDFs are checked to hold the same text page for page. The runs
// alternate between the sides; the table gives the median time of each side
// and the ratio ours / bare Qt as the median of the runs' ratios, each with
// its smallest and largest.
#include "bench/BenchSupport.h"
#include "framework/Printing.h"
#include "print/PageLayout.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextLayout>

#include <cstdio>
#include <vector>

using bench::Fail;
using bench::SpreadOf;

namespace {

QString Note(qsizetype bytes) {
    QString text;
    text.reserve(bytes + 100);
    for (int i = 0; text.size() < bytes; ++i)
        text += QStringLiteral("Line %1: the quick brown fox jumps over the lazy dog, again and again.\n").arg(i);
    return text;
}

std::unique_ptr<QPrinter> PdfPrinter(const QString& path) {
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(path);
    return printer;
}

// Our path; returns the number of pages.
int PrintOurs(const QPlainTextEdit& area, const QString& path, const QString& stamp) {
    using namespace PageLayout;
    auto g = std::make_shared<Graphics>(PdfPrinter(path));
    ApplyPageSettings(*g);
    int pages = 0;
    PrintPages(
        *g, [&] { return std::make_shared<StyledTextPrinter>(g, *area.document(), area.font(), kBlockWidth); },
        stamp, [&](Graphics&) { ++pages; });
    return pages;
}

// Bare Qt, the same pages by hand.
int PrintBare(const QPlainTextEdit& area, const QString& path, const QString& stamp) {
    auto printer = PdfPrinter(path);
    QPainter painter(printer.get());
    const double s = printer->resolution() / 72.0;
    const QRectF printable = printer->pageLayout().paintRectPoints();
    const double fit = std::min({1.0, printable.width() / 540, printable.height() / 720});
    painter.scale(fit, fit);
    QFont footerFont(QStringLiteral("Courier"));
    footerFont.setPointSizeF(10);
    footerFont.setBold(true);
    footerFont = QFont(footerFont, printer.get());
    const QFont body(area.font(), printer.get());
    const double width = 492 * s, room = 672 * s;
    const QPointF origin(36 * s, 36 * s);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);

    int page = 1;
    double used = 0;
    bool drewAny = false;
    const auto footer = [&] {
        painter.setFont(footerFont);
        painter.drawText(QPointF(40 * s, 720 * s), QStringLiteral("page ") + QString::number(page));
        painter.drawText(QPointF(100 * s, 720 * s), stamp);
    };
    const auto roomFor = [&](double height) {
        if (drewAny && used + height > room) {
            footer();
            printer->newPage();
            ++page;
            used = 0;
            drewAny = false;
        }
    };
    for (QTextBlock block = area.document()->firstBlock(); block.isValid(); block = block.next()) {
        QTextLayout layout(block.text(), body, printer.get());
        layout.setTextOption(option);
        layout.beginLayout();
        double y = 0;
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            line.setPosition(QPointF(0, y));
            y += line.height();
        }
        layout.endLayout();
        if (layout.lineCount() == 0) {
            const double h = QFontMetricsF(body, printer.get()).height();
            roomFor(h);
            used += h;
            drewAny = true;
        }
        for (int i = 0; i < layout.lineCount(); ++i) {
            QTextLine line = layout.lineAt(i);
            roomFor(line.height());
            line.draw(&painter, QPointF(origin.x(), origin.y() + used - line.y()));
            used += line.height();
            drewAny = true;
        }
    }
    footer();
    return page;
}

QString PdfText(const QString& path) {
    QProcess process;
    process.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    if (!process.waitForFinished(300000) || process.exitCode() != 0) Fail(QStringLiteral("pdftotext failed on %1").arg(path));
    return QString::fromUtf8(process.readAllStandardOutput());
}

double Ms(const std::function<void()>& run) {
    QElapsedTimer timer;
    timer.start();
    run();
    return timer.nsecsElapsed() / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    std::vector<int> sizes{1, 10};
    int reps = 5;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == QLatin1String("--sizes")) {
            sizes.clear();
            for (const QString& n : args[i + 1].split(QLatin1Char(','))) sizes.push_back(n.toInt());
        } else if (args[i] == QLatin1String("--reps")) {
            reps = std::max(1, args[i + 1].toInt());
        }
    }
    QTemporaryDir dir;
    const QString stamp = PageLayout::TimeStamp();
    const QString ours = dir.filePath(QStringLiteral("ours.pdf")), bare = dir.filePath(QStringLiteral("bare.pdf"));

    std::printf("print to PDF, %d runs a size after one untimed run a side; ms as median [min, max]\n", reps);
    for (int mb : sizes) {
        QPlainTextEdit area;
        area.setPlainText(Note(qsizetype(mb) * 1024 * 1024));
        // Warm both sides, and check that they print the same pages.
        const int pages = PrintOurs(area, ours, stamp);
        if (PrintBare(area, bare, stamp) != pages) Fail(QStringLiteral("the two sides print different page counts"));
        if (PdfText(ours) != PdfText(bare)) Fail(QStringLiteral("the two sides print different pages at %1 MB").arg(mb));

        std::vector<double> oursMs, bareMs, ratios;
        for (int r = 0; r < reps; ++r) {
            double a = 0, b = 0;
            // Alternate which side goes first.
            if (r % 2 == 0) {
                a = Ms([&] { PrintOurs(area, ours, stamp); });
                b = Ms([&] { PrintBare(area, bare, stamp); });
            } else {
                b = Ms([&] { PrintBare(area, bare, stamp); });
                a = Ms([&] { PrintOurs(area, ours, stamp); });
            }
            oursMs.push_back(a);
            bareMs.push_back(b);
            ratios.push_back(a / b);
        }
        const auto o = SpreadOf(oursMs), q = SpreadOf(bareMs), k = SpreadOf(ratios);
        std::printf("%3d MB, %5d pages: ours %8.0f [%.0f, %.0f]  bare Qt %8.0f [%.0f, %.0f]  ratio %.2f [%.2f, %.2f]\n",
                    mb, pages, o.median, o.min, o.max, q.median, q.min, q.max, k.median, k.min, k.max);
        std::fflush(stdout);
    }
    return 0;
}
