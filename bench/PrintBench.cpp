// Time to print a 1 MB note to PDF: our page layout and whole-line printer
// beside bare Qt's QPlainTextEdit::print, in one run, with the ratio.
#include "framework/Printing.h"
#include "print/PageLayout.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QTemporaryDir>

#include <cstdio>

namespace {

QString Note() {
    QString text;
    for (int i = 0; text.size() < 1024 * 1024; ++i)
        text += QStringLiteral("Line %1: the quick brown fox jumps over the lazy dog, again and again.\n").arg(i);
    return text;
}

std::unique_ptr<QPrinter> PdfPrinter(const QString& path) {
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(path);
    return printer;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    QTemporaryDir dir;
    QPlainTextEdit area;
    area.setPlainText(Note());

    QElapsedTimer timer;
    timer.start();
    int pages = 1;
    {
        using namespace PageLayout;
        auto g = std::make_shared<Graphics>(PdfPrinter(dir.filePath("ours.pdf")));
        ApplyPageSettings(*g);
        StyledTextPrinter printer(g, *area.document(), area.font(), kBlockWidth);
        const QString stamp = TimeStamp();
        while (!printer.Eof()) {
            printer.DrawBlock(kBlockLeft, kBlockTop, kBlockHeight);
            if (!printer.Eof()) {
                DrawFooter(*g, pages++, stamp);
                g->NextPage();
            }
        }
        DrawFooter(*g, pages, stamp);
    }
    const double ours = timer.nsecsElapsed() / 1e6;

    timer.restart();
    {
        auto printer = PdfPrinter(dir.filePath("bare.pdf"));
        area.print(printer.get());
    }
    const double bare = timer.nsecsElapsed() / 1e6;

    std::printf("print 1 MB note to PDF: ours %.0f ms (%d pages), bare QPlainTextEdit::print %.0f ms, ratio %.2f\n",
                ours, pages, bare, ours / bare);
    return 0;
}
