// Printing: the print dialog, a page surface that draws in points from the
// top left corner of the printable page, and a printer that lays a text
// area's text out in whole lines, block by block.
#pragma once

#include "framework/Properties.h"

#include <QString>
#include <memory>

class QPainter;
class QPrinter;
class QTextDocument;
class QFont;

// The current date and time, with the user's short formats.
class Date {
public:
    Date();
    QString ShortTime() const;
    QString ShortDate() const;

private:
    qint64 msecsSinceEpoch_;
};

// One print job's drawing surface. Coordinates are points (1/72 inch) from
// the top left of the printable area, whatever paper or orientation was
// chosen. The job ends when the last reference is released.
class Graphics {
public:
    explicit Graphics(std::unique_ptr<QPrinter> printer);
    ~Graphics();
    Graphics(const Graphics&) = delete;
    Graphics& operator=(const Graphics&) = delete;

    QString TextFont() const { return textFont_; }
    void SetTextFont(const QString& family);
    double TextSize() const { return textSize_; }
    void SetTextSize(double points);
    void SetForeColor(const Color& color);
    bool Bold() const { return bold_; }
    void SetBold(bool on);

    // Draws one line with its baseline at y. A wrap width of 0 means no
    // wrapping; condensing is not offered.
    void DrawString(const QString& text, double x, double y, double wrapWidth = 0, bool condense = false);
    // Ends this page and starts the next on the same surface.
    void NextPage();

    // For the framework's own drawing.
    QPainter& Painter() const { return *painter_; }
    QPrinter& Printer() const { return *printer_; }
    // Device units per point.
    double Scale() const { return scale_; }

private:
    void ApplyFont();
    std::unique_ptr<QPrinter> printer_;
    std::unique_ptr<QPainter> painter_;
    double scale_ = 1.0;
    QString textFont_ = QStringLiteral("System");
    double textSize_ = 12;
    bool bold_ = false;
};
using GraphicsRef = std::shared_ptr<Graphics>;

// Shows the print dialog (the platform's default page set-up when none is
// given, no parent window). Returns the first page's surface, or null when
// the user cancels.
GraphicsRef OpenPrinterDialog(std::nullptr_t pageSetup = nullptr, std::nullptr_t parent = nullptr);

// Draws a text area's text in blocks of whole lines, laid out at a fixed
// width in the area's font. Every block takes at least one line, so a loop
// of DrawBlock until EOF always ends; no line is cut across two blocks.
class StyledTextPrinter {
public:
    StyledTextPrinter(GraphicsRef surface, const QTextDocument& document, const QFont& font, double width);
    ~StyledTextPrinter();
    StyledTextPrinter(const StyledTextPrinter&) = delete;
    StyledTextPrinter& operator=(const StyledTextPrinter&) = delete;

    // Draws the lines that fit the height, from the top left at x, y (points).
    void DrawBlock(double x, double y, double height);
    // True once every line has been drawn. (EOF itself is the C library's
    // macro, so the name cannot be spelled that way in C++.)
    bool Eof() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};
using StyledTextPrinterRef = std::shared_ptr<StyledTextPrinter>;
