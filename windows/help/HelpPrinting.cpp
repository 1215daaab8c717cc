#include "windows/help/HelpPrinting.h"

#include "print/PageLayout.h"
#include "windows/help/Help.h"

namespace HelpPrinting {

bool PrintHelp() {
    using namespace PageLayout;
    const QString timeStamp = TimeStamp();
    GraphicsRef g = OpenPrinterDialog({QStringLiteral("Morvellan Help"), QStringLiteral("the help text")});
    if (g) {
        ApplyPageSettings(*g);
        // Footers in the sans font, not bold; the text again in the page
        // settings' Courier bold. Nothing is set back after the last footer.
        PrintPages(*g, [&] { return Help::Instance()->TextArea1()->styledTextPrinter(g, kBlockWidth); }, timeStamp,
                   [](Graphics& page) {
                       page.SetTextFont(QStringLiteral("Arial"));
                       page.SetBold(false);
                   },
                   [](Graphics& page) {
                       page.SetTextFont(QStringLiteral("Courier"));
                       page.SetBold(true);
                   });
    }
    // The pages are finished before the help window goes.
    g.reset();
    Help::Instance()->Close();
    return true;
}

}  // namespace HelpPrinting
