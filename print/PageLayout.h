// The page layout both printing commands share: a 540 x 720 point page box at
// the printable area's top left, one text block per page and a footer line
// with the page number and the time the command began.
#pragma once

#include "framework/Printing.h"

#include <QString>
#include <functional>

namespace PageLayout {

constexpr double kBlockLeft = 36;
constexpr double kBlockTop = 36;
constexpr double kBlockWidth = 492;   // page box width - 48
constexpr double kBlockHeight = 672;  // page box height - 48
constexpr double kPageBoxWidth = 540;
constexpr double kPageBoxHeight = 720;
constexpr double kFooterBaseline = 720;  // the page box's bottom edge
constexpr double kPageLabelLeft = 40;
constexpr double kTimeStampLeft = 100;

// Short time, ", ", short date: taken once, before the print dialog opens.
QString TimeStamp();

// "Courier" 10 pt black bold.
void ApplyPageSettings(Graphics& g);

// "page N" and the time stamp on the footer's baseline, in the surface's
// current font.
void DrawFooter(Graphics& g, int32_t pageNumber, const QString& timeStamp);

// Draws the text one block a page from page 1 on, every page with exactly
// one footer: each but the last right before the next page, the last after
// the text has run out, so no empty page follows. The page box is scaled down
// as a whole on paper too small for it. Each copy the surface asks for is a
// whole print of its own, from a fresh printer that `newPrinter` gives.
// `footerStyle` sets the font of each footer and `blockStyle` that of each
// block after the first; either may be left out to keep the surface's
// settings as they are.
void PrintPages(Graphics& g, const std::function<StyledTextPrinterRef()>& newPrinter, const QString& timeStamp,
                const std::function<void(Graphics&)>& footerStyle = nullptr,
                const std::function<void(Graphics&)>& blockStyle = nullptr);

}  // namespace PageLayout
