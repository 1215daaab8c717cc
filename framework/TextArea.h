// The text area: a note's plain text in one font, its selection and lines
// counted in characters (code points), as the text functions count them.
#pragma once

#include "framework/Controls.h"

#include <memory>
#include <vector>

class Graphics;
class StyledTextPrinter;

class TextArea : public RectControl {
public:
    explicit TextArea(::Window& window);
    // The plain text; only characters, no styles.
    QString Text() const;
    void SetText(const QString& text);
    // Points; 0 is the framework's default size.
    void SetTextSize(double size);
    // The area shows its lines single-spaced, which is the spacing (1.0)
    // the windows set; the call keeps its place in their set-up.
    void SetLineSpacing(double) {}
    // 0-based offset and length of the selection in characters (code
    // points, as the text functions count), cut back to the text.
    int32_t SelStart() const;
    void SetSelStart(int32_t offset);
    int32_t SelLength() const;
    void SetSelLength(int32_t length);
    // Lines are the lines on screen, a wrapped paragraph counting each of
    // its lines, as the area's scroll bar counts them; paragraphs the area
    // has not laid out yet count one line each, so a 10 MB note is never
    // laid out as a whole. The 0-based line that holds the 0-based
    // character offset; it lays out the lines that fill the area above it.
    int32_t LineNumAtCharPos(int32_t offset) const;
    // The 0-based top visible line. Setting it puts that line on top; below
    // 0 shows the first line, past the end the last lines.
    int32_t ScrollPosition() const;
    void SetScrollPosition(int32_t line);
    void SetReadOnly(bool on);
    // The selection is hidden while the window is inactive.
    bool HideSelection() const { return hideSelection_; }
    void SetHideSelection(bool on);
    void Refresh(bool eraseBackground);
    // A printer of the text as laid out in the area's font, at the width
    // (points) on the surface.
    std::shared_ptr<StyledTextPrinter> styledTextPrinter(std::shared_ptr<Graphics> surface, double width);
    void SetProperty(const QString& key, const PropertyValue& value) override;

protected:
    bool TextSizeInLayoutUnits() const override { return false; }

private:
    // Conversions between character offsets and the document's UTF-16
    // positions, both cut back to the end of the text.
    int UnitPosition(int64_t chars) const;
    int32_t CharPosition(int units) const;
    const std::vector<int>& SurrogatePairs() const;

    bool hideSelection_ = false;
    // UTF-16 positions of the surrogate pairs in the document, in order;
    // rebuilt after a change only when a conversion needs it.
    mutable std::vector<int> pairs_;
    mutable bool pairsValid_ = false;
};
