#include "framework/TextArea.h"

#include "framework/Printing.h"
#include "framework/Window.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QMimeData>
#include <QPalette>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextLayout>
#include <QTextOption>

#include <algorithm>

namespace {

// Characters Qt uses inside a document to stand for frames, tables and
// objects; in a plain note they would only be stored as garbage.
bool IsObjectMarker(QChar c) {
    const char16_t u = c.unicode();
    return u == 0xFFFC || (u >= 0xFDD0 && u <= 0xFDEF);
}

// One font for the whole area: whatever is pasted arrives as plain text.
class PlainTextArea : public QPlainTextEdit {
public:
    using QPlainTextEdit::QPlainTextEdit;

protected:
    bool canInsertFromMimeData(const QMimeData* source) const override {
        return source->hasText() || source->hasHtml();
    }
    void insertFromMimeData(const QMimeData* source) override {
        if (isReadOnly()) return;
        QString text = source->hasText() ? source->text()
                                         : QTextDocumentFragment::fromHtml(source->html()).toPlainText();
        text.removeIf(IsObjectMarker);
        if (!text.isEmpty()) insertPlainText(text);
    }
};

QPlainTextEdit* AreaOf(QWidget* widget) { return static_cast<QPlainTextEdit*>(widget); }

}  // namespace

TextArea::TextArea(::Window& window) : RectControl(window, new PlainTextArea(window.Content())) {
    auto* area = AreaOf(NativeWidget());
    area->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    area->setTabChangesFocus(true);
    QObject::connect(area->document(), &QTextDocument::contentsChange, Connections(),
                     [this](int, int removed, int added) {
                         if (removed != 0 || added != 0) pairsValid_ = false;
                     });
}

QString TextArea::Text() const {
    // The document's characters as they are (no blank stands in for a
    // non-breaking space); paragraph and line breaks become the line end.
    QString text = AreaOf(NativeWidget())->document()->toRawText();
    const bool collect = !pairsValid_;
    if (collect) pairs_.clear();
    const qsizetype n = text.size();
    QChar* c = text.data();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = c[i].unicode();
        if (u == QChar::ParagraphSeparator || u == QChar::LineSeparator) c[i] = QLatin1Char('\n');
        else if (collect && QChar::isHighSurrogate(u) && i + 1 < n && QChar::isLowSurrogate(c[i + 1].unicode()))
            pairs_.push_back(static_cast<int>(i));
    }
    pairsValid_ = true;
    return text;
}

void TextArea::SetText(const QString& text) { AreaOf(NativeWidget())->setPlainText(text); }

void TextArea::SetTextSize(double size) {
    textSize_ = size;
    ApplyFont();
}

const std::vector<int>& TextArea::SurrogatePairs() const {
    if (!pairsValid_) (void)Text();
    return pairs_;
}

int TextArea::UnitPosition(int64_t chars) const {
    const int end = AreaOf(NativeWidget())->document()->characterCount() - 1;
    if (chars <= 0) return 0;
    // Pair k stands at pairs[k], which is character pairs[k] - k; the pairs
    // before the character are those whose character index is below it.
    const std::vector<int>& pairs = SurrogatePairs();
    int lo = 0, hi = static_cast<int>(pairs.size());
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (static_cast<int64_t>(pairs[mid]) - mid < chars) lo = mid + 1;
        else hi = mid;
    }
    return static_cast<int>(std::min<int64_t>(chars + lo, end));
}

int32_t TextArea::CharPosition(int units) const {
    const std::vector<int>& pairs = SurrogatePairs();
    // Every pair that begins before the position counts one unit too many.
    const auto before = std::lower_bound(pairs.begin(), pairs.end(), units) - pairs.begin();
    return static_cast<int32_t>(units - before);
}

int32_t TextArea::SelStart() const {
    return CharPosition(AreaOf(NativeWidget())->textCursor().selectionStart());
}

void TextArea::SetSelStart(int32_t offset) {
    auto* area = AreaOf(NativeWidget());
    QTextCursor cursor = area->textCursor();
    cursor.setPosition(UnitPosition(offset));
    area->setTextCursor(cursor);
}

int32_t TextArea::SelLength() const {
    const QTextCursor cursor = AreaOf(NativeWidget())->textCursor();
    return CharPosition(cursor.selectionEnd()) - CharPosition(cursor.selectionStart());
}

void TextArea::SetSelLength(int32_t length) {
    auto* area = AreaOf(NativeWidget());
    QTextCursor cursor = area->textCursor();
    const int start = cursor.selectionStart();
    const int64_t startChars = CharPosition(start);
    cursor.setPosition(start);
    cursor.setPosition(std::max(start, UnitPosition(startChars + std::max(length, 0))), QTextCursor::KeepAnchor);
    area->setTextCursor(cursor);
}

int32_t TextArea::LineNumAtCharPos(int32_t offset) const {
    auto* area = AreaOf(NativeWidget());
    const QTextDocument* document = area->document();
    QAbstractTextDocumentLayout* layout = document->documentLayout();
    const int position = UnitPosition(offset);
    const QTextBlock block = document->findBlock(position);
    // The layout knows how many lines a block wraps into only once it has
    // laid it out; a block it has not reached counts one line. Laying out
    // the block and those that fill the area above it makes the lines near
    // the position exact without laying out the whole note.
    const double height = area->viewport()->height();
    double above = 0;
    for (QTextBlock b = block.previous(); b.isValid() && above < height; b = b.previous())
        above += layout->blockBoundingRect(b).height();
    layout->blockBoundingRect(block);
    const QTextLine line = block.layout()->lineForTextPosition(position - block.position());
    return block.firstLineNumber() + (line.isValid() ? line.lineNumber() : 0);
}

int32_t TextArea::ScrollPosition() const { return AreaOf(NativeWidget())->verticalScrollBar()->value(); }

void TextArea::SetScrollPosition(int32_t line) {
    // The scroll bar of the area counts the same lines; it stops at the
    // first line and where the last lines fill the area.
    QScrollBar* bar = AreaOf(NativeWidget())->verticalScrollBar();
    bar->setValue(std::clamp(line, bar->minimum(), bar->maximum()));
}

void TextArea::Refresh(bool eraseBackground) {
    RectControl::Refresh(eraseBackground);
    AreaOf(NativeWidget())->viewport()->update();
}

void TextArea::SetHideSelection(bool on) {
    hideSelection_ = on;
    // The selection is drawn in the palette's highlight of the window's
    // state: while the window is inactive, a hidden selection is drawn as
    // the text around it.
    auto* area = AreaOf(NativeWidget());
    QPalette palette = area->palette();
    const QPalette normal = QApplication::palette(area);
    palette.setColor(QPalette::Inactive, QPalette::Highlight,
                     on ? palette.color(QPalette::Inactive, QPalette::Base)
                        : normal.color(QPalette::Inactive, QPalette::Highlight));
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     on ? palette.color(QPalette::Inactive, QPalette::Text)
                        : normal.color(QPalette::Inactive, QPalette::HighlightedText));
    area->setPalette(palette);
}

void TextArea::SetReadOnly(bool on) { AreaOf(NativeWidget())->setReadOnly(on); }

void TextArea::SetProperty(const QString& key, const PropertyValue& value) {
    auto* area = AreaOf(NativeWidget());
    if (IsKey(key, "Text")) SetText(value.toString());
    else if (IsKey(key, "ReadOnly")) SetReadOnly(value.toBool());
    else if (IsKey(key, "AcceptTabs")) area->setTabChangesFocus(!value.toBool());
    else if (IsKey(key, "ScrollbarVertical"))
        area->setVerticalScrollBarPolicy(value.toBool() ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    else if (IsKey(key, "ScrollbarHorizontal")) {
        area->setLineWrapMode(value.toBool() ? QPlainTextEdit::NoWrap : QPlainTextEdit::WidgetWidth);
        area->setHorizontalScrollBarPolicy(value.toBool() ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    } else if (IsKey(key, "Border")) area->setFrameShape(value.toBool() ? QFrame::StyledPanel : QFrame::NoFrame);
    else if (IsKey(key, "HideSelection")) SetHideSelection(value.toBool());
    else if (IsKey(key, "Alignment")) {
        const int align = value.toInt();
        QTextOption option = area->document()->defaultTextOption();
        option.setAlignment(align == 1 ? Qt::AlignHCenter : align == 2 ? Qt::AlignRight : Qt::AlignLeft);
        area->document()->setDefaultTextOption(option);
    }
    // The area always wraps onto several lines and takes any length.
    else if (IsKey(key, "Multiline") && value.toBool()) {}
    else if (IsKey(key, "LimitText") && value.toInt() == 0) {}
    // "Styled" keeps its place in the lists: the area holds plain text only.
    else RectControl::SetProperty(key, value);
}

StyledTextPrinterRef TextArea::styledTextPrinter(GraphicsRef surface, double width) {
    auto* area = AreaOf(NativeWidget());
    return std::make_shared<StyledTextPrinter>(std::move(surface), *area->document(), area->font(), width);
}
