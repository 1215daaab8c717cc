#include "framework/Controls.h"

#include "framework/Runtime.h"
#include "framework/Window.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>
#include <QTextDocument>
#include <QMimeData>
#include <QPalette>
#include <QTextOption>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTextDocumentFragment>
#include <QTimer>

#include <algorithm>

namespace {
// Larger sizes would only make the text unreadable and its layout slow.
constexpr double kLargestShownTextSize = 1000.0;

bool Is(const QString& key, const char* name) { return key == QLatin1String(name); }
}  // namespace

// ---- Control ---------------------------------------------------------------

Control::Control(::Window& window) : window_(window.weak_from_this()) {}

Control::~Control() = default;

void Control::AddEventHandler(int eventNumber, std::function<void()> handler) {
    handlers_.emplace(eventNumber, std::move(handler));
}

bool Control::HasEventHandler(int eventNumber) const { return handlers_.count(eventNumber) > 0; }

void Control::RaiseEvent(int eventNumber) {
    auto window = window_.lock();
    if (!window || !window->IsOpen()) return;
    auto self = shared_from_this();
    std::vector<std::function<void()>> handlers;
    const auto range = handlers_.equal_range(eventNumber);
    for (auto it = range.first; it != range.second; ++it) handlers.push_back(it->second);
    for (const auto& handler : handlers) Invoke(handler);
}

void Control::SetProperty(const QString& key, const PropertyValue& value) {
    if (Is(key, "Name")) name_ = value.toString();
    else if (Is(key, "Index")) index_ = value.toInt();
    else KeyNotApplied(key, value);
}

// ---- RectControl -----------------------------------------------------------

RectControl::RectControl(::Window& window, QWidget* widget) : Control(window), widget_(widget) {}

RectControl::~RectControl() = default;

bool RectControl::Enabled() const { return widget_->isEnabled(); }
void RectControl::SetEnabled(bool on) { widget_->setEnabled(on); }

void RectControl::SetVisible(bool on) {
    visible_ = on;
    widget_->setVisible(on);
}

void RectControl::SetFocus() { widget_->setFocus(Qt::OtherFocusReason); }

void RectControl::Refresh(bool) { widget_->update(); }

void RectControl::SetProperty(const QString& key, const PropertyValue& value) {
    if (Is(key, "Left")) left_ = value.toInt(), ApplyGeometry();
    else if (Is(key, "Top")) top_ = value.toInt(), ApplyGeometry();
    else if (Is(key, "Width")) width_ = value.toInt(), ApplyGeometry();
    else if (Is(key, "Height")) height_ = value.toInt(), ApplyGeometry();
    else if (Is(key, "LockLeft")) lockLeft_ = value.toBool();
    else if (Is(key, "LockTop")) lockTop_ = value.toBool();
    else if (Is(key, "LockRight")) lockRight_ = value.toBool();
    else if (Is(key, "LockBottom")) lockBottom_ = value.toBool();
    else if (Is(key, "Enabled")) SetEnabled(value.toBool());
    else if (Is(key, "Visible")) SetVisible(value.toBool());
    else if (Is(key, "TabIndex")) tabIndex_ = value.toInt();
    else if (Is(key, "TabStop")) {
        tabStop_ = value.toBool();
        if (!tabStop_ && widget_->focusPolicy() != Qt::NoFocus) widget_->setFocusPolicy(Qt::ClickFocus);
    } else if (Is(key, "HelpTag")) widget_->setToolTip(value.toString());
    else if (Is(key, "TextFont")) fontName_ = value.toString(), ApplyFont();
    else if (Is(key, "TextSize")) textSize_ = value.toInt(), ApplyFont();
    else if (Is(key, "Bold")) bold_ = value.toBool(), ApplyFont();
    else if (Is(key, "Italic")) italic_ = value.toBool(), ApplyFont();
    else if (Is(key, "Underline")) underline_ = value.toBool(), ApplyFont();
    else if (Is(key, "TextColor")) {
        const Color c = value.toColor();
        QPalette palette = widget_->palette();
        palette.setColor(QPalette::WindowText, QColor(c.r, c.g, c.b));
        palette.setColor(QPalette::Text, QColor(c.r, c.g, c.b));
        widget_->setPalette(palette);
    }
    // 0 is the default unit, the one every size here is in.
    else if (Is(key, "TextUnit") && value.toInt() == 0) {}
    else Control::SetProperty(key, value);
}

void RectControl::ApplyGeometry() {
    if (auto window = Window()) {
        designContentWidth_ = window->Width();
        designContentHeight_ = window->Height();
    }
    widget_->setGeometry(left_, top_, width_, height_);
}

void RectControl::Relayout(int contentWidth, int contentHeight) {
    int x = left_, y = top_, w = width_, h = height_;
    const int right = designContentWidth_ - (left_ + width_);
    const int bottom = designContentHeight_ - (top_ + height_);
    if (lockRight_) {
        if (lockLeft_) w = std::max(0, contentWidth - left_ - right);
        else x = contentWidth - right - width_;
    }
    if (lockBottom_) {
        if (lockTop_) h = std::max(0, contentHeight - top_ - bottom);
        else y = contentHeight - bottom - height_;
    }
    widget_->setGeometry(x, y, w, h);
}

void RectControl::ApplyFont() {
    QFont font = QApplication::font();
    if (!fontName_.isEmpty() && fontName_ != QLatin1String("System")) font.setFamily(fontName_);
    if (textSize_ > 0) {
        double points = std::min(textSize_, kLargestShownTextSize);
        // A layout's positions and sizes are screen pixels, and a text size
        // given with it is in the same unit: 12 points are 12 pixels, as on
        // the 72-dpi screens the layouts were drawn for, so the text fits the
        // box laid out for it at any dpi. Qt's point is 1/72 inch at the
        // screen's logical dpi (96 as a rule), so the size is scaled by 72/dpi.
        if (TextSizeInLayoutUnits()) points = points * 72.0 / std::max(1, widget_->logicalDpiY());
        font.setPointSizeF(points);
    }
    font.setBold(bold_);
    font.setItalic(italic_);
    font.setUnderline(underline_);
    widget_->setFont(font);
}

// ---- Label -----------------------------------------------------------------

Label::Label(::Window& window) : RectControl(window, new QLabel(window.Content())) {
    static_cast<QLabel*>(NativeWidget())->setTextFormat(Qt::PlainText);
}

void Label::SetText(const QString& text) {
    text_ = text;
    // Qt draws a lone carriage return as a blank, so it becomes a line feed.
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    static_cast<QLabel*>(NativeWidget())->setText(shown);
}

void Label::SetTextSize(double size) {
    textSize_ = size;
    ApplyFont();
}

void Label::SetProperty(const QString& key, const PropertyValue& value) {
    auto* label = static_cast<QLabel*>(NativeWidget());
    if (Is(key, "Text")) SetText(value.toString());
    else if (Is(key, "TextAlign")) {
        const int align = value.toInt();
        const Qt::Alignment h = align == 1 ? Qt::AlignHCenter : align == 2 ? Qt::AlignRight : Qt::AlignLeft;
        label->setAlignment(h | Qt::AlignVCenter);
    } else if (Is(key, "Multiline")) label->setWordWrap(value.toBool());
    else if (Is(key, "Selectable"))
        label->setTextInteractionFlags(value.toBool() ? Qt::TextSelectableByMouse : Qt::NoTextInteraction);
    else RectControl::SetProperty(key, value);
}

// ---- TextField -------------------------------------------------------------

TextField::TextField(::Window& window) : RectControl(window, new QLineEdit(window.Content())) {
    auto* field = static_cast<QLineEdit*>(NativeWidget());
    QObject::connect(field, &QLineEdit::textChanged, field, [this] { RaiseEvent(kEventTextChange); });
}

QString TextField::Text() const { return static_cast<QLineEdit*>(NativeWidget())->text(); }
void TextField::SetText(const QString& text) { static_cast<QLineEdit*>(NativeWidget())->setText(text); }

bool TextField::Password() const {
    return static_cast<QLineEdit*>(NativeWidget())->echoMode() == QLineEdit::Password;
}

void TextField::SetPassword(bool on) {
    static_cast<QLineEdit*>(NativeWidget())->setEchoMode(on ? QLineEdit::Password : QLineEdit::Normal);
}

void TextField::SetMask(const QString& mask) {
    auto* field = static_cast<QLineEdit*>(NativeWidget());
    delete field->validator();
    if (mask.isEmpty()) {
        field->setValidator(nullptr);
        field->setMaxLength(32767);
        return;
    }
    // Every position of the masks in use takes an ASCII letter or digit; "A"
    // positions are required, which the program checks itself before use.
    const QRegularExpression pattern(QStringLiteral("[A-Za-z0-9]{0,%1}").arg(mask.size()));
    field->setValidator(new QRegularExpressionValidator(pattern, field));
    field->setMaxLength(static_cast<int>(mask.size()));
}

bool TextField::ReadOnly() const { return static_cast<QLineEdit*>(NativeWidget())->isReadOnly(); }
void TextField::SetReadOnly(bool on) { static_cast<QLineEdit*>(NativeWidget())->setReadOnly(on); }

void TextField::SetProperty(const QString& key, const PropertyValue& value) {
    auto* field = static_cast<QLineEdit*>(NativeWidget());
    if (Is(key, "Text")) SetText(value.toString());
    else if (Is(key, "Mask")) SetMask(value.toString());
    else if (Is(key, "Password")) SetPassword(value.toBool());
    else if (Is(key, "ReadOnly")) SetReadOnly(value.toBool());
    else if (Is(key, "LimitText")) {
        if (value.toInt() > 0) field->setMaxLength(value.toInt());
    } else if (Is(key, "Alignment")) {
        const int align = value.toInt();
        field->setAlignment(align == 1 ? Qt::AlignHCenter : align == 2 ? Qt::AlignRight : Qt::AlignLeft);
    } else if (Is(key, "CueText")) field->setPlaceholderText(value.toString());
    // A one-line field never takes a tab: Tab moves the focus.
    else if (Is(key, "AcceptTabs") && !value.toBool()) {}
    else if (Is(key, "Border")) field->setFrame(value.toBool());
    else RectControl::SetProperty(key, value);
}

// ---- TextArea --------------------------------------------------------------

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
    QObject::connect(area->document(), &QTextDocument::contentsChange, area,
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

bool TextArea::ReadOnly() const { return AreaOf(NativeWidget())->isReadOnly(); }
void TextArea::SetReadOnly(bool on) { AreaOf(NativeWidget())->setReadOnly(on); }

void TextArea::SetProperty(const QString& key, const PropertyValue& value) {
    auto* area = AreaOf(NativeWidget());
    if (Is(key, "Text")) SetText(value.toString());
    else if (Is(key, "ReadOnly")) SetReadOnly(value.toBool());
    else if (Is(key, "AcceptTabs")) area->setTabChangesFocus(!value.toBool());
    else if (Is(key, "ScrollbarVertical"))
        area->setVerticalScrollBarPolicy(value.toBool() ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    else if (Is(key, "ScrollbarHorizontal")) {
        area->setLineWrapMode(value.toBool() ? QPlainTextEdit::NoWrap : QPlainTextEdit::WidgetWidth);
        area->setHorizontalScrollBarPolicy(value.toBool() ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    } else if (Is(key, "Border")) area->setFrameShape(value.toBool() ? QFrame::StyledPanel : QFrame::NoFrame);
    else if (Is(key, "HideSelection")) SetHideSelection(value.toBool());
    else if (Is(key, "Alignment")) {
        const int align = value.toInt();
        QTextOption option = area->document()->defaultTextOption();
        option.setAlignment(align == 1 ? Qt::AlignHCenter : align == 2 ? Qt::AlignRight : Qt::AlignLeft);
        area->document()->setDefaultTextOption(option);
    }
    // The area always wraps onto several lines and takes any length.
    else if (Is(key, "Multiline") && value.toBool()) {}
    else if (Is(key, "LimitText") && value.toInt() == 0) {}
    // "Styled" keeps its place in the lists: the area holds plain text only.
    else RectControl::SetProperty(key, value);
}

// ---- PushButton ------------------------------------------------------------

PushButton::PushButton(::Window& window) : RectControl(window, new QPushButton(window.Content())) {
    auto* button = static_cast<QPushButton*>(NativeWidget());
    button->setAutoDefault(false);
    QObject::connect(button, &QPushButton::clicked, button, [this] { RaiseEvent(kEventAction); });
}

QString PushButton::Caption() const { return static_cast<QPushButton*>(NativeWidget())->text(); }
void PushButton::SetCaption(const QString& caption) { static_cast<QPushButton*>(NativeWidget())->setText(caption); }

void PushButton::SetDefault(bool on) {
    default_ = on;
    static_cast<QPushButton*>(NativeWidget())->setDefault(on);
}

void PushButton::Push() { static_cast<QPushButton*>(NativeWidget())->click(); }

void PushButton::SetProperty(const QString& key, const PropertyValue& value) {
    if (Is(key, "Caption")) SetCaption(value.toString());
    else if (Is(key, "Default")) SetDefault(value.toBool());
    else if (Is(key, "Cancel")) SetCancel(value.toBool());
    // 0 is the platform's push button.
    else if (Is(key, "ButtonStyle") && value.toInt() == 0) {}
    else RectControl::SetProperty(key, value);
}

// ---- CheckBox --------------------------------------------------------------

CheckBox::CheckBox(::Window& window) : RectControl(window, new QCheckBox(window.Content())) {}

QString CheckBox::Caption() const { return static_cast<QCheckBox*>(NativeWidget())->text(); }
void CheckBox::SetCaption(const QString& caption) { static_cast<QCheckBox*>(NativeWidget())->setText(caption); }
bool CheckBox::Value() const { return static_cast<QCheckBox*>(NativeWidget())->isChecked(); }
void CheckBox::SetValue(bool on) { static_cast<QCheckBox*>(NativeWidget())->setChecked(on); }

void CheckBox::SetProperty(const QString& key, const PropertyValue& value) {
    if (Is(key, "Caption")) SetCaption(value.toString());
    else if (Is(key, "Value")) SetValue(value.toBool());
    else if (Is(key, "State")) SetValue(value.toInt() == 1);
    else RectControl::SetProperty(key, value);
}

// ---- Timer -----------------------------------------------------------------

Timer::Timer(::Window& window) : Control(window), timer_(std::make_unique<QTimer>()) {
    QObject::connect(timer_.get(), &QTimer::timeout, timer_.get(), [this] {
        if (mode_ == 1) mode_ = 0;  // a single shot is over once it fires
        RaiseEvent(kEventTimerAction);
    });
    Apply();
}

Timer::~Timer() = default;

void Timer::SetPeriod(int32_t ms) {
    period_ = ms;
    Apply();
}

void Timer::SetMode(int32_t mode) {
    mode_ = mode;
    Apply();
}

void Timer::Reset() { Apply(); }

void Timer::Apply() {
    timer_->stop();
    if (mode_ == 0) return;
    timer_->setSingleShot(mode_ == 1);
    timer_->start(std::max(period_, 0));
}

void Timer::SetProperty(const QString& key, const PropertyValue& value) {
    if (Is(key, "Period")) SetPeriod(value.toInt());
    else if (Is(key, "Mode")) SetMode(value.toInt());
    else Control::SetProperty(key, value);
}

// ---- ProgressBar -----------------------------------------------------------

ProgressBar::ProgressBar(::Window& window) : RectControl(window, new QProgressBar(window.Content())) {
    static_cast<QProgressBar*>(NativeWidget())->setTextVisible(false);
    Apply();
}

void ProgressBar::SetMaximum(int32_t maximum) {
    maximum_ = maximum;
    Apply();
}

void ProgressBar::SetValue(int32_t value) {
    value_ = value;
    Apply();
}

void ProgressBar::Apply() {
    auto* bar = static_cast<QProgressBar*>(NativeWidget());
    // A range of 0 to 0 is Qt's busy bar.
    const int32_t maximum = std::max(maximum_, 0);
    bar->setRange(0, maximum);
    bar->setValue(std::clamp(value_, 0, maximum));
}

void ProgressBar::SetProperty(const QString& key, const PropertyValue& value) {
    if (Is(key, "Maximum")) SetMaximum(value.toInt());
    else if (Is(key, "Value")) SetValue(value.toInt());
    else RectControl::SetProperty(key, value);
}
