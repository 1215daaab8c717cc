// Printing the help text, from whichever window asks: the page layout of the
// note, with footers in Arial, and the help window closed at the end.
#pragma once

namespace HelpPrinting {

// Always true; the help window is closed afterwards, also after a cancel.
bool PrintHelp();

}  // namespace HelpPrinting
