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

}  // namespace PageLayout
