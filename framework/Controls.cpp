#include "framework/Controls.h"

#include "framework/Runtime.h"
#include "framework/Window.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QPalette>
#include <QProgressBar>
#include <QTimer>

#include <algorithm>

namespace {
// Larger sizes would only make the text unreadable and its layout slow.
constexpr double kLargestShownTextSize = 1000.0;
}  // namespace

// ---- Control ---------------------------------------------------------------

Control::Control(::Window& window) : window_(window.weak_from_this()) {}

Control::~Control() = default;

void Control::AddEventHandler(int eventNumber, std::function<void()> handler) {
    handlers_.emplace(eventNumber, std::move(handler));
}

void Control::RaiseEvent(int eventNumber) {
    auto window = window_.lock();
    if (!window || !window->IsOpen()) return;
    auto self = shared_from_this();
    for (const auto& handler : HandlersOf(eventNumber)) Invoke(handler);
}

void Control::RunHandlers(int eventNumber) {
    auto window = window_.lock();
    if (!window || !window->IsOpen()) return;
    auto self = shared_from_this();
    for (const auto& handler : HandlersOf(eventNumber)) handler();
}

std::vector<std::function<void()>> Control::HandlersOf(int eventNumber) const {
    std::vector<std::function<void()>> handlers;
    const auto range = handlers_.equal_range(eventNumber);
    for (auto it = range.first; it != range.second; ++it) handlers.push_back(it->second);
    return handlers;
}

void Control::SetProperty(const QString& key, const PropertyValue& value) {
    if (IsKey(key, "Name")) name_ = value.toString();
    // No control here is one of a control array: every list gives no index.
    else if (IsKey(key, "Index")) {}
    else KeyNotApplied(key, value);
}

// ---- RectControl -----------------------------------------------------------

RectControl::RectControl(::Window& window, QWidget* widget)
    : Control(window), widget_(widget), connections_(std::make_unique<QObject>()) {}

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
    if (IsKey(key, "Left")) left_ = value.toInt(), ApplyGeometry();
    else if (IsKey(key, "Top")) top_ = value.toInt(), ApplyGeometry();
    else if (IsKey(key, "Width")) width_ = value.toInt(), ApplyGeometry();
    else if (IsKey(key, "Height")) height_ = value.toInt(), ApplyGeometry();
    else if (IsKey(key, "LockLeft")) lockLeft_ = value.toBool();
    else if (IsKey(key, "LockTop")) lockTop_ = value.toBool();
    else if (IsKey(key, "LockRight")) lockRight_ = value.toBool();
    else if (IsKey(key, "LockBottom")) lockBottom_ = value.toBool();
    else if (IsKey(key, "Enabled")) SetEnabled(value.toBool());
    else if (IsKey(key, "Visible")) SetVisible(value.toBool());
    else if (IsKey(key, "TabIndex")) tabIndex_ = value.toInt();
    else if (IsKey(key, "TabStop")) {
        if (!value.toBool() && widget_->focusPolicy() != Qt::NoFocus) widget_->setFocusPolicy(Qt::ClickFocus);
    } else if (IsKey(key, "HelpTag")) widget_->setToolTip(value.toString());
    else if (IsKey(key, "TextFont")) fontName_ = value.toString(), ApplyFont();
    else if (IsKey(key, "TextSize")) textSize_ = value.toInt(), ApplyFont();
    else if (IsKey(key, "Bold")) bold_ = value.toBool(), ApplyFont();
    else if (IsKey(key, "Italic")) italic_ = value.toBool(), ApplyFont();
    else if (IsKey(key, "Underline")) underline_ = value.toBool(), ApplyFont();
    else if (IsKey(key, "TextColor")) {
        const Color c = value.toColor();
        QPalette palette = widget_->palette();
        palette.setColor(QPalette::WindowText, QColor(c.r, c.g, c.b));
        palette.setColor(QPalette::Text, QColor(c.r, c.g, c.b));
        widget_->setPalette(palette);
    }
    // 0 is the default unit, the one every size here is in.
    else if (IsKey(key, "TextUnit") && value.toInt() == 0) {}
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
    if (IsKey(key, "Text")) SetText(value.toString());
    else if (IsKey(key, "TextAlign")) {
        const int align = value.toInt();
        const Qt::Alignment h = align == 1 ? Qt::AlignHCenter : align == 2 ? Qt::AlignRight : Qt::AlignLeft;
        label->setAlignment(h | Qt::AlignVCenter);
    } else if (IsKey(key, "Multiline")) label->setWordWrap(value.toBool());
    else if (IsKey(key, "Selectable"))
        label->setTextInteractionFlags(value.toBool() ? Qt::TextSelectableByMouse : Qt::NoTextInteraction);
    else RectControl::SetProperty(key, value);
}

// ---- TextField -------------------------------------------------------------

TextField::TextField(::Window& window) : RectControl(window, new QLineEdit(window.Content())) {
    auto* field = static_cast<QLineEdit*>(NativeWidget());
    QObject::connect(field, &QLineEdit::textChanged, Connections(), [this] { RaiseEvent(kEventTextChange); });
}

QString TextField::Text() const { return static_cast<QLineEdit*>(NativeWidget())->text(); }
void TextField::SetText(const QString& text) { static_cast<QLineEdit*>(NativeWidget())->setText(text); }

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

void TextField::SetReadOnly(bool on) { static_cast<QLineEdit*>(NativeWidget())->setReadOnly(on); }

void TextField::SetProperty(const QString& key, const PropertyValue& value) {
    auto* field = static_cast<QLineEdit*>(NativeWidget());
    if (IsKey(key, "Text")) SetText(value.toString());
    else if (IsKey(key, "Mask")) SetMask(value.toString());
    else if (IsKey(key, "Password")) SetPassword(value.toBool());
    else if (IsKey(key, "ReadOnly")) SetReadOnly(value.toBool());
    else if (IsKey(key, "LimitText")) {
        if (value.toInt() > 0) field->setMaxLength(value.toInt());
    } else if (IsKey(key, "Alignment")) {
        const int align = value.toInt();
        field->setAlignment(align == 1 ? Qt::AlignHCenter : align == 2 ? Qt::AlignRight : Qt::AlignLeft);
    } else if (IsKey(key, "CueText")) field->setPlaceholderText(value.toString());
    // A one-line field never takes a tab: Tab moves the focus.
    else if (IsKey(key, "AcceptTabs") && !value.toBool()) {}
    else if (IsKey(key, "Border")) field->setFrame(value.toBool());
    else RectControl::SetProperty(key, value);
}

// ---- PushButton ------------------------------------------------------------

PushButton::PushButton(::Window& window) : RectControl(window, new QPushButton(window.Content())) {
    auto* button = static_cast<QPushButton*>(NativeWidget());
    button->setAutoDefault(false);
    QObject::connect(button, &QPushButton::clicked, Connections(), [this] { RaiseEvent(kEventAction); });
}

QString PushButton::Caption() const { return static_cast<QPushButton*>(NativeWidget())->text(); }
void PushButton::SetCaption(const QString& caption) { static_cast<QPushButton*>(NativeWidget())->setText(caption); }

void PushButton::SetDefault(bool on) {
    default_ = on;
    static_cast<QPushButton*>(NativeWidget())->setDefault(on);
}

void PushButton::Push() { static_cast<QPushButton*>(NativeWidget())->click(); }

void PushButton::SetProperty(const QString& key, const PropertyValue& value) {
    if (IsKey(key, "Caption")) SetCaption(value.toString());
    else if (IsKey(key, "Default")) SetDefault(value.toBool());
    else if (IsKey(key, "Cancel")) SetCancel(value.toBool());
    // 0 is the platform's push button.
    else if (IsKey(key, "ButtonStyle") && value.toInt() == 0) {}
    else RectControl::SetProperty(key, value);
}

// ---- CheckBox --------------------------------------------------------------

CheckBox::CheckBox(::Window& window) : RectControl(window, new QCheckBox(window.Content())) {}

QString CheckBox::Caption() const { return static_cast<QCheckBox*>(NativeWidget())->text(); }
void CheckBox::SetCaption(const QString& caption) { static_cast<QCheckBox*>(NativeWidget())->setText(caption); }
bool CheckBox::Value() const { return static_cast<QCheckBox*>(NativeWidget())->isChecked(); }
void CheckBox::SetValue(bool on) { static_cast<QCheckBox*>(NativeWidget())->setChecked(on); }

void CheckBox::SetProperty(const QString& key, const PropertyValue& value) {
    if (IsKey(key, "Caption")) SetCaption(value.toString());
    else if (IsKey(key, "Value")) SetValue(value.toBool());
    else if (IsKey(key, "State")) SetValue(value.toInt() == 1);
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

void Timer::Apply() {
    timer_->stop();
    if (mode_ == 0) return;
    timer_->setSingleShot(mode_ == 1);
    timer_->start(std::max(period_, 0));
}

void Timer::SetProperty(const QString& key, const PropertyValue& value) {
    if (IsKey(key, "Period")) SetPeriod(value.toInt());
    else if (IsKey(key, "Mode")) SetMode(value.toInt());
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
    if (IsKey(key, "Maximum")) SetMaximum(value.toInt());
    else if (IsKey(key, "Value")) SetValue(value.toInt());
    else RectControl::SetProperty(key, value);
}
