#include "print/PageLayout.h"

#include "text/TextFunctions.h"

namespace PageLayout {

QString TimeStamp() {
    Date now;
    return now.ShortTime() + QStringLiteral(", ") + now.ShortDate();
}

void ApplyPageSettings(Graphics& g) {
    g.SetTextFont(QStringLiteral("Courier"));
    g.SetTextSize(10);
    g.SetForeColor(Color{0, 0, 0});
    g.SetBold(true);
}

void DrawFooter(Graphics& g, int32_t pageNumber, const QString& timeStamp) {
    g.DrawString(QStringLiteral("page ") + Text::Str(pageNumber), kPageLabelLeft, kFooterBaseline, 0, false);
    g.DrawString(timeStamp, kTimeStampLeft, kFooterBaseline, 0, false);
}

void PrintPages(Graphics& g, const std::function<StyledTextPrinterRef()>& newPrinter, const QString& timeStamp,
                const std::function<void(Graphics&)>& footerStyle,
                const std::function<void(Graphics&)>& blockStyle) {
    g.SetPageBox(kPageBoxWidth, kPageBoxHeight);
    for (int copy = 1; copy <= g.Copies(); ++copy) {
        if (copy > 1) {
            if (blockStyle) blockStyle(g);
            g.NextCopy();
        }
        StyledTextPrinterRef printer = newPrinter();
        int32_t pageNumber = 1;
        const auto footer = [&] {
            if (footerStyle) footerStyle(g);
            DrawFooter(g, pageNumber, timeStamp);
        };
        while (!printer->Eof()) {
            printer->DrawBlock(kBlockLeft, kBlockTop, kBlockHeight);
            if (!printer->Eof()) {
                footer();
                if (blockStyle) blockStyle(g);
                ++pageNumber;
                g.NextPage();
            }
        }
        footer();
    }
    g.Finish();
}

}  // namespace PageLayout
