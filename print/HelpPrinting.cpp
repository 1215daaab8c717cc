#include "print/HelpPrinting.h"

#include "print/PageLayout.h"
#include "windows/help/Help.h"

namespace HelpPrinting {

namespace {
void DrawSansFooter(Graphics& g, int32_t pageNumber, const QString& timeStamp) {
    g.SetTextFont(QStringLiteral("Arial"));
    g.SetBold(false);
    PageLayout::DrawFooter(g, pageNumber, timeStamp);
}
}  // namespace

bool PrintHelp() {
    using namespace PageLayout;
    const QString timeStamp = TimeStamp();
    int32_t pageNumber = 1;
    GraphicsRef g = OpenPrinterDialog(nullptr, nullptr);
    if (g) {
        ApplyPageSettings(*g);
        StyledTextPrinterRef printer = Help::Instance()->TextArea1()->styledTextPrinter(g, kBlockWidth);
        while (!printer->Eof()) {
            printer->DrawBlock(kBlockLeft, kBlockTop, kBlockHeight);
            if (!printer->Eof()) {
                DrawSansFooter(*g, pageNumber, timeStamp);
                g->SetTextFont(QStringLiteral("Courier"));
                g->SetBold(true);
                ++pageNumber;
                g->NextPage();
            }
        }
        DrawSansFooter(*g, pageNumber, timeStamp);
    }
    // The pages are finished before the help window goes.
    g.reset();
    Help::Instance()->Close();
    return true;
}

}  // namespace HelpPrinting
