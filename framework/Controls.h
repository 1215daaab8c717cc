// Controls: each placed on one window under a name, created from a property
// list, with events bound by number to handlers of the window.
#pragma once

#include "framework/Properties.h"

#include <QString>
#include <functional>
#include <map>
#include <memory>
#include <vector>

class QObject;
class QWidget;
class QSize;
class QTimer;
class Window;
using WindowRef = std::shared_ptr<Window>;

// Event numbers.
enum : int {
    kEventTimerAction = 0,
    kEventOpen = 2,
    kEventError = 8,
    kEventPageReceived = 10,
    kEventAction = 15,
    kEventTextChange = 21,
};

class Control : public PropertyTarget, public std::enable_shared_from_this<Control> {
public:
    explicit Control(::Window& window);
    ~Control() override;

    QString Name() const { return name_; }
    // The window that holds the control.
    WindowRef Window() const { return window_.lock(); }

    void AddEventHandler(int eventNumber, std::function<void()> handler);
    // Runs the handlers bound to the event through the exception boundary,
    // holding the window and the control; nothing runs on a closed window
    // once it has been built.
    void RaiseEvent(int eventNumber);
    // Runs them inside the caller's boundary: an exception reaches the
    // caller. The window's build raises the Open events so, and withdraws a
    // window whose Open failed before the failure is reported.
    void RunHandlers(int eventNumber);

    void SetProperty(const QString& key, const PropertyValue& value) override;

    // Called when the window closes; a control ends what it has under way.
    virtual void WindowClosed() {}

private:
    // A copy: a handler may bind or drop handlers while they run.
    std::vector<std::function<void()>> HandlersOf(int eventNumber) const;

    std::weak_ptr<::Window> window_;
    QString name_;
    std::multimap<int, std::function<void()>> handlers_;
};

// A visual control: a widget on the window's content.
class RectControl : public Control {
public:
    RectControl(::Window& window, QWidget* widget);
    ~RectControl() override;

    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }
    bool Enabled() const;
    void SetEnabled(bool on);
    bool Visible() const { return visible_; }
    void SetVisible(bool on);
    int32_t TabIndex() const { return tabIndex_; }
    void SetFocus();
    void Refresh(bool eraseBackground);

    void SetProperty(const QString& key, const PropertyValue& value) override;

    // Follows the window's content size according to the locks.
    void Relayout(int contentWidth, int contentHeight);

    QWidget* NativeWidget() const { return widget_; }

protected:
    // The context of the widget's signal connections that call into this
    // control: it goes with the control, so they are cut the moment the
    // control goes, while its widget may live on until the window's content
    // is deleted.
    QObject* Connections() const { return connections_.get(); }
    void ApplyFont();
    // Whether a text size given to the control is in the layout's unit, a
    // pixel; otherwise it is a true point (the reader's text in a text area,
    // which is printed at that size). The system font keeps the desktop's
    // size either way.
    virtual bool TextSizeInLayoutUnits() const { return true; }
    QString fontName_ = QStringLiteral("System");
    double textSize_ = 0;
    bool bold_ = false, italic_ = false, underline_ = false;

private:
    void ApplyGeometry();
    QWidget* widget_;
    std::unique_ptr<QObject> connections_;
    int32_t left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    int designContentWidth_ = 0, designContentHeight_ = 0;
    bool lockLeft_ = false, lockTop_ = false, lockRight_ = false, lockBottom_ = false;
    bool visible_ = true;
    int32_t tabIndex_ = 0;
};

class Label : public RectControl {
public:
    explicit Label(::Window& window);
    // The text as set; a carriage return, alone or before a line feed, shows
    // as a line break.
    QString Text() const { return text_; }
    void SetText(const QString& text);
    void SetTextSize(double size);
    void SetProperty(const QString& key, const PropertyValue& value) override;

private:
    QString text_;
};

class TextField : public RectControl {
public:
    explicit TextField(::Window& window);
    QString Text() const;
    void SetText(const QString& text);
    void SetPassword(bool on);
    // "A": a letter or digit must stand here; "a": one may. The length of the
    // mask limits the text.
    void SetMask(const QString& mask);
    void SetReadOnly(bool on);
    void SetProperty(const QString& key, const PropertyValue& value) override;
};

class PushButton : public RectControl {
public:
    explicit PushButton(::Window& window);
    QString Caption() const;
    void SetCaption(const QString& caption);
    // Return presses the default button, Escape the cancel button.
    bool Default() const { return default_; }
    void SetDefault(bool on);
    bool Cancel() const { return cancel_; }
    void SetCancel(bool on) { cancel_ = on; }
    // Presses the button as a click would.
    void Push();
    void SetProperty(const QString& key, const PropertyValue& value) override;

private:
    bool default_ = false, cancel_ = false;
};

class CheckBox : public RectControl {
public:
    explicit CheckBox(::Window& window);
    QString Caption() const;
    void SetCaption(const QString& caption);
    bool Value() const;
    void SetValue(bool on);
    void SetProperty(const QString& key, const PropertyValue& value) override;
};

// A non-visual control: raises Action after Period milliseconds; Mode 0 is
// off, 1 fires once, 2 fires repeatedly.
class Timer : public Control {
public:
    explicit Timer(::Window& window);
    ~Timer() override;
    void SetPeriod(int32_t ms);
    int32_t Mode() const { return mode_; }
    void SetMode(int32_t mode);
    void SetProperty(const QString& key, const PropertyValue& value) override;

private:
    void Apply();
    std::unique_ptr<QTimer> timer_;
    int32_t period_ = 1000, mode_ = 0;
};

// A bar that shows how far something has come; a maximum of 0 makes it a
// busy bar without a value.
class ProgressBar : public RectControl {
public:
    explicit ProgressBar(::Window& window);
    void SetMaximum(int32_t maximum);
    int32_t Value() const { return value_; }
    void SetValue(int32_t value);
    void SetProperty(const QString& key, const PropertyValue& value) override;

private:
    void Apply();
    int32_t maximum_ = 100, value_ = 0;
};
