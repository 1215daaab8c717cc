#include "framework/Window.h"

#include "framework/Application.h"
#include "framework/Controls.h"
#include "framework/MenuNative.h"
#include "framework/Runtime.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDeadlineTimer>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMoveEvent>
#include <QPalette>
#include <QPointer>
#include <QResizeEvent>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <cstdlib>

#include <xcb/xcb.h>

namespace {

struct Registry {
    std::map<QString, std::shared_ptr<Window>> open;   // by full class name
    std::vector<std::weak_ptr<Window>> order;          // front to back
};

// Never destroyed: when the display goes away Qt ends the process with
// exit(), and static destructors must not then delete widgets of a platform
// that is gone. Runtime::Shutdown releases the windows on a normal exit.
Registry& R() {
    static Registry* registry = new Registry;
    return *registry;
}

void ForgetOrder(const Window* window) {
    auto& order = R().order;
    order.erase(std::remove_if(order.begin(), order.end(),
                               [window](const std::weak_ptr<Window>& w) {
                                   auto locked = w.lock();
                                   return !locked || locked.get() == window;
                               }),
                order.end());
}

void MoveToFront(const std::shared_ptr<Window>& window) {
    ForgetOrder(window.get());
    R().order.insert(R().order.begin(), window);
}

// The quit command walks the registry. One runs at a time; one asked for
// while it or a window's Close runs waits and then runs once.
struct QuitState {
    bool running = false;
    bool pending = false;
    int closesRunning = 0;
};

QuitState& Q() {
    static QuitState state;
    return state;
}

// Runs a quit that waited, from the event loop once the stack that asked
// for it has unwound.
void RunPendingQuit() {
    QuitState& q = Q();
    if (!q.pending || IsQuitting() || !QCoreApplication::instance()) return;
    q.pending = false;
    QMetaObject::invokeMethod(QCoreApplication::instance(), [] { QuitCommand(); }, Qt::QueuedConnection);
}

// Window::Close brackets its work with these; a quit that arrived
// meanwhile runs once the last Close has ended.
void BeginClose() { ++Q().closesRunning; }

void EndClose() {
    QuitState& q = Q();
    if (--q.closesRunning == 0 && !q.running) RunPendingQuit();
}

}  // namespace

// The content: the area below the menu bar where the controls stand.
class ContentWidget : public QWidget {
public:
    explicit ContentWidget(Window* owner) : owner_(owner) {}
    void Detach() { owner_ = nullptr; }

protected:
    void resizeEvent(QResizeEvent* event) override {
        QWidget::resizeEvent(event);
        if (owner_) owner_->OnContentResized(event->size());
    }

    // Return (or the keypad's Enter) presses the default button and Escape
    // the cancel button, as in a dialog; a control that uses the key itself
    // never lets it reach here.
    void keyPressEvent(QKeyEvent* event) override {
        const bool isReturn = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
        const bool isEscape = event->key() == Qt::Key_Escape;
        const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
        if (owner_ && (isReturn || isEscape) && modifiers == Qt::NoModifier) {
            for (const auto& control : owner_->Controls()) {
                auto button = std::dynamic_pointer_cast<PushButton>(control);
                if (!button || !button->Enabled() || !button->Visible()) continue;
                if ((isReturn && button->Default()) || (isEscape && button->Cancel())) {
                    button->Push();
                    return;
                }
            }
        }
        QWidget::keyPressEvent(event);
    }

private:
    Window* owner_;
};

class WindowNative : public QMainWindow {
public:
    explicit WindowNative(Window* owner) : owner_(owner), content_(new ContentWidget(owner)) {
        setCentralWidget(content_);
    }
    ContentWidget* content() const { return content_; }
    void Detach() {
        owner_ = nullptr;
        content_->Detach();
    }

protected:
    void closeEvent(QCloseEvent* event) override {
        event->ignore();  // the framework takes the window off the screen itself
        if (owner_) owner_->OnUserClose();
    }
    void moveEvent(QMoveEvent* event) override {
        QMainWindow::moveEvent(event);
        if (owner_) owner_->OnMoved();
    }
    void resizeEvent(QResizeEvent* event) override {
        QMainWindow::resizeEvent(event);
        if (owner_) owner_->OnNativeResized();
    }
    void changeEvent(QEvent* event) override {
        QMainWindow::changeEvent(event);
        if (owner_ && event->type() == QEvent::ActivationChange && isActiveWindow())
            owner_->OnActivated();
    }

private:
    Window* owner_;
    ContentWidget* content_;
};

Window::Window(const QString& fullName)
    : fullName_(fullName), native_(std::make_unique<WindowNative>(this)) {
    native_->setAttribute(Qt::WA_DeleteOnClose, false);
}

Window::~Window() {
    // Widgets are deleted from the event loop, never from inside a handler
    // that may still be running on one of them.
    native_->Detach();
    native_->hide();
    native_.release()->deleteLater();
}

void Window::Constructor() {
    auto self = shared_from_this();
    auto& open = R().open;
    open[fullName_] = self;
    open_ = true;
    MoveToFront(self);

    // A half-built window is withdrawn before the error is reported: the
    // quit after the report closes the open windows, and a Close on this
    // one would act on state it never loaded (an editor saving an empty
    // text area over the note).
    const bool finished = Invoke([this] {
        try {
            Build();
        } catch (...) {
            Withdraw();
            throw;
        }
    });
    if (!finished || !open_) {
        Withdraw();
        // While quitting, the build does not run (or a quit cut it short):
        // a window without its controls is never handed out, where its
        // caller's next lookup would fail and report an error after the quit.
        if (IsQuitting()) throw QuitInProgress();
        return;
    }
    built_ = true;
    if (visibleProperty_) Show();
}

void Window::Build() {
    Layout();
    CreateControls();

    // Tab order follows each control's TabIndex.
    std::vector<std::shared_ptr<RectControl>> visual;
    for (const auto& control : controls_)
        if (auto rect = std::dynamic_pointer_cast<RectControl>(control)) visual.push_back(rect);
    std::stable_sort(visual.begin(), visual.end(),
                     [](const auto& a, const auto& b) { return a->TabIndex() < b->TabIndex(); });
    for (size_t i = 1; i < visual.size(); ++i)
        QWidget::setTabOrder(visual[i - 1]->NativeWidget(), visual[i]->NativeWidget());

    AddMenuHandlers(*this);
    if (!menuBar_) AddApplicationShortcuts();
    for (const auto& control : controls_) control->RunHandlers(kEventOpen);
    Event_Open();
}

void Window::Show() {
    if (!open_) return;
    const bool placing = !native_->isVisible();
    native_->show();
    // Its own frame is known only once the window manager has framed it,
    // some time after show: until then each move and resize, and a last
    // look a little later, bring a window that reaches past the screen's
    // free area onto it, frame included.
    if (placing) {
        placing_ = true;
        std::weak_ptr<Window> weakSelf = weak_from_this();
        QTimer::singleShot(kPlacingMs, native_.get(), [weakSelf] {
            if (auto self = weakSelf.lock()) {
                self->KeepOnScreen();
                self->placing_ = false;
            }
        });
    }
    KeepOnScreen();
    native_->raise();
    native_->activateWindow();
    MoveToFront(shared_from_this());
}

void Window::ShowModal() {
    if (!open_ || IsQuitting()) return;
    auto self = shared_from_this();
    // Qt takes a new modality only when the window is shown again.
    if (native_->windowModality() != Qt::ApplicationModal) native_->hide();
    ModalLoop loop;
    modalLoops_.push_back(&loop);
    RunModal(*native_, loop, [this] { Show(); });
    modalLoops_.erase(std::remove(modalLoops_.begin(), modalLoops_.end(), &loop), modalLoops_.end());
}

void Window::Hide() { native_->hide(); }

void Window::Close() {
    // Once at a time: a close asked for while its Close event runs (a quit
    // signal during its message box) is that same close.
    if (!open_ || closing_) return;
    auto self = shared_from_this();
    closeRefused_ = false;
    closing_ = true;
    BeginClose();
    Invoke([&] { Event_Close(); });
    closing_ = false;
    struct EndOfClose {
        ~EndOfClose() { EndClose(); }
    } endOfClose;
    if (closeRefused_ && !IsQuitting()) return;
    Withdraw();
}

void Window::Withdraw() {
    if (!open_) return;
    open_ = false;
    auto& open = R().open;
    const auto it = open.find(fullName_);
    if (it != open.end() && it->second.get() == this) open.erase(it);
    ForgetOrder(this);
    for (const auto& control : controls_) control->WindowClosed();
    native_->hide();
    for (ModalLoop* loop : modalLoops_) loop->Exit();
}

void Window::RefuseClose() { closeRefused_ = true; }

void Window::Refresh(bool) { native_->update(); }

QString Window::Title() const { return native_->windowTitle(); }
void Window::SetTitle(const QString& title) { native_->setWindowTitle(title); }

void Window::SetWidth(int32_t width) {
    width_ = width;
    ApplySize();
}

void Window::SetHeight(int32_t height) {
    height_ = height;
    ApplySize();
}

bool Window::Visible() const { return native_->isVisible(); }

void Window::SetMenuBar(std::shared_ptr<::MenuBar> bar) {
    menuBar_ = std::move(bar);
    RebuildMenuBar();
    ApplySize();
}

void Window::AddControl(const QString& name, std::shared_ptr<Control> control) {
    control->SetProperty(QStringLiteral("Name"), name);
    controls_.push_back(std::move(control));
}

std::shared_ptr<Control> Window::ControlByName(const QString& name) const {
    for (const auto& control : controls_)
        if (control->Name() == name) return control;
    return nullptr;
}

void Window::AddMenuHandler(const QString& itemName, std::function<bool()> handler) {
    menuHandlers_[itemName] = std::move(handler);
}

std::function<bool()> Window::MenuHandler(const QString& itemName) const {
    const auto it = menuHandlers_.find(itemName);
    return it == menuHandlers_.end() ? std::function<bool()>() : it->second;
}

void Window::SetProperty(const QString& key, const PropertyValue& value) {
    if (key == QLatin1String("Title")) SetTitle(value.toString());
    else if (key == QLatin1String("Width")) SetWidth(value.toInt());
    else if (key == QLatin1String("Height")) SetHeight(value.toInt());
    else if (key == QLatin1String("MinWidth")) minWidth_ = value.toInt(), ApplySize();
    else if (key == QLatin1String("MinHeight")) minHeight_ = value.toInt(), ApplySize();
    else if (key == QLatin1String("MaxWidth")) maxWidth_ = value.toInt(), ApplySize();
    else if (key == QLatin1String("MaxHeight")) maxHeight_ = value.toInt(), ApplySize();
    else if (key == QLatin1String("Visible")) visibleProperty_ = value.toBool();
    else if (key == QLatin1String("Resizeable")) resizeable_ = value.toBool(), ApplySize();
    else if (key == QLatin1String("CloseButton")) closeButton_ = value.toBool(), ApplyFlags();
    else if (key == QLatin1String("MinimizeButton")) minimizeButton_ = value.toBool(), ApplyFlags();
    else if (key == QLatin1String("MaximizeButton")) maximizeButton_ = value.toBool(), ApplyFlags();
    else if (key == QLatin1String("MenuBarVisible")) {
        menuBarVisible_ = value.toBool();
        if (menuBar_) native_->menuBar()->setVisible(menuBarVisible_);
    }
    else if (key == QLatin1String("Frame")) {
        // 1 is a movable modal window: it blocks every other window while shown.
        native_->setWindowModality(value.toInt() == 1 ? Qt::ApplicationModal : Qt::NonModal);
        ApplyFlags();
    }
    else if (key == QLatin1String("HasBackColor")) hasBackColor_ = value.toBool(), ApplyBackColor();
    else if (key == QLatin1String("BackColor")) backColor_ = value.toColor(), ApplyBackColor();
    // 0 is the platform's default position, and off the ordinary window.
    else if (key == QLatin1String("Placement") && value.toInt() == 0) {}
    else if (key == QLatin1String("FullScreen") && !value.toBool()) {}
    else KeyNotApplied(key, value);
}

void Window::ApplyBackColor() {
    QWidget* content = native_->content();
    QPalette palette = content->palette();
    palette.setColor(QPalette::Window, hasBackColor_ ? QColor(backColor_.r, backColor_.g, backColor_.b)
                                                     : QApplication::palette(content).color(QPalette::Window));
    content->setPalette(palette);
    content->setAutoFillBackground(hasBackColor_);
}

QWidget* Window::NativeWindow() const { return native_.get(); }
QWidget* Window::Content() const { return native_->content(); }

void Window::OnUserClose() { Close(); }

void Window::OnContentResized(const QSize& size) {
    LayoutControls(size.width(), size.height());
    if (applyingSize_ || !built_ || !open_ || !native_->isVisible()) return;
    if (size.width() == width_ && size.height() == height_) return;
    width_ = size.width();
    height_ = size.height();
    auto self = shared_from_this();
    Invoke([&] { Event_Resized(); });
}

void Window::OnNativeResized() {
    if (placing_) KeepOnScreen();
}

void Window::KeepOnScreen() {
    if (!open_ || !native_->isVisible() || applyingSize_) return;
    if (!native_->screen()->availableGeometry().contains(native_->frameGeometry())) ApplySize();
}

void Window::OnMoved() {
    if (placing_) KeepOnScreen();
    if (!built_ || !open_ || !native_->isVisible()) return;
    auto self = shared_from_this();
    Invoke([&] { Event_Moved(); });
}

void Window::OnActivated() {
    if (open_) MoveToFront(shared_from_this());
}

QSize FrameSizeOf(const QWidget& widget) {
    const auto frameOf = [](const QWidget* w) { return w->frameGeometry().size() - w->size(); };
    const auto framed = [](const QSize& frame) { return frame.width() > 0 || frame.height() > 0; };
    if (widget.isVisible() && framed(frameOf(&widget))) return frameOf(&widget);
    for (const QWidget* other : QApplication::topLevelWidgets())
        if (other != &widget && other->isVisible() && qobject_cast<const QMainWindow*>(other) &&
            framed(frameOf(other)))
            return frameOf(other);
    return QSize(0, 0);
}

void Window::ApplySize() {
    // A size outside the window's limits, or larger than the screen's free
    // area with the frame and the menu bar, is brought within them; the
    // minimum wins on a screen smaller than that.
    const QRect area = native_->screen()->availableGeometry();
    const QSize frame = FrameSizeOf(*native_);
    const auto fit = [](int32_t value, int32_t min, int32_t max, int32_t screen) {
        const int32_t low = std::min(min, max);
        return std::clamp(value, low, std::max(std::min(max, screen), low));
    };
    // A window with a bar is at least as wide as its bar needs to show every
    // menu: none is hidden behind an overflow arrow. Its controls keep their
    // places; only the content grows to the right.
    QMenuBar* bar = menuBar_ && menuBarVisible_ && !native_->menuBar()->isNativeMenuBar() ? native_->menuBar() : nullptr;
    const int32_t minWidth = bar ? std::max(minWidth_, MenuBarWidth(bar)) : minWidth_;
    width_ = fit(width_, minWidth, maxWidth_, area.width() - frame.width());
    const int barHeight = bar ? std::max(bar->heightForWidth(width_), bar->sizeHint().height()) : 0;
    height_ = fit(height_, minHeight_, maxHeight_, area.height() - frame.height() - barHeight);
    applyingSize_ = true;
    QWidget* content = native_->content();
    if (resizeable_) {
        content->setMinimumSize(std::min(minWidth, maxWidth_), minHeight_);
        content->setMaximumSize(maxWidth_, maxHeight_);
    } else {
        content->setMinimumSize(width_, height_);
        content->setMaximumSize(width_, height_);
    }
    if (resizeable_) {
        native_->setMinimumSize(0, 0);
        native_->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        native_->resize(width_, height_ + barHeight);
    } else {
        native_->setFixedSize(width_, height_ + barHeight);
    }
    // A shown window that now reaches past the screen is moved back onto it.
    if (native_->isVisible()) {
        const QRect outer = native_->frameGeometry();
        if (!area.contains(outer)) {
            const int x = std::clamp(outer.x(), area.left(), std::max(area.left(), area.right() + 1 - outer.width()));
            const int y = std::clamp(outer.y(), area.top(), std::max(area.top(), area.bottom() + 1 - outer.height()));
            native_->move(x, y);
        }
    }
    applyingSize_ = false;
    LayoutControls(width_, height_);
}

void Window::ApplyFlags() {
    // A movable modal window is a dialog to the window manager: Qt tells the
    // system which window a modal belongs to (RunModal) only for a dialog.
    const Qt::WindowType type = native_->windowModality() == Qt::ApplicationModal ? Qt::Dialog : Qt::Window;
    Qt::WindowFlags flags = type | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (closeButton_) flags |= Qt::WindowCloseButtonHint;
    if (minimizeButton_) flags |= Qt::WindowMinimizeButtonHint;
    if (maximizeButton_) flags |= Qt::WindowMaximizeButtonHint;
    const bool shown = native_->isVisible();
    native_->setWindowFlags(flags);
    if (shown) native_->show();
}

void Window::RebuildMenuBar() {
    if (!menuBar_) return;
    QMenuBar* bar = native_->menuBar();
    // clear() only removes the actions; the menus of an earlier bar go too.
    bar->clear();
    for (QMenu* old : bar->findChildren<QMenu*>(QString(), Qt::FindDirectChildrenOnly)) delete old;
    bar->setVisible(menuBarVisible_);
    BuildQtMenuBar(*bar, *menuBar_, weak_from_this());
}

void Window::AddApplicationShortcuts() {
    const auto app = GetAppObject();
    if (const auto bar = app ? app->MenuBar() : nullptr) AddShortcutActions(*native_, *bar, weak_from_this());
}

void Window::LayoutControls(int width, int height) {
    for (const auto& control : controls_)
        if (auto rect = std::dynamic_pointer_cast<RectControl>(control)) rect->Relayout(width, height);
}

std::shared_ptr<Window> GetImplicitWindow(const QString& fullName) {
    const auto& open = R().open;
    const auto it = open.find(fullName);
    return it == open.end() ? nullptr : it->second;
}

std::vector<std::shared_ptr<Window>> OpenWindows() {
    std::vector<std::shared_ptr<Window>> windows;
    for (const auto& weak : R().order)
        if (auto window = weak.lock(); window && window->IsOpen()) windows.push_back(window);
    return windows;
}

namespace {

// Asks for the modal still shown, or else the front visible window, to be
// the active window, and gives that window, or null.
QWidget* MakeFrontWindowActive() {
    if (IsQuitting()) return nullptr;
    QWidget* target = QApplication::activeModalWidget();
    if (!target) {
        for (const auto& window : OpenWindows()) {
            if (window->Visible()) {
                target = window->NativeWindow();
                break;
            }
        }
    }
    if (!target) return nullptr;
    // A closed modal leaves no active window until the system's focus comes
    // back: shortcuts and mnemonics match only in the active window. Asking
    // the window manager for it brings the word that makes it active.
    target->activateWindow();
    return target;
}

// How long after a modal the window manager may still be moving the focus.
constexpr int kSettlingMs = 1000;

// Whether the X server has the keyboard focus in a window of this program,
// whatever Qt last heard: its word can lag behind the server's. Off X
// nothing tells: false.
bool SystemFocusIsOurs() {
    const auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection) return false;
    std::vector<xcb_window_t> ours;
    for (const QWindow* window : QGuiApplication::allWindows())
        if (window->handle()) ours.push_back(static_cast<xcb_window_t>(window->winId()));
    xcb_get_input_focus_reply_t* focus = xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr);
    if (!focus) return false;
    xcb_window_t window = focus->focus;
    std::free(focus);
    // The focus may lie in a window inside one of ours; None and
    // PointerRoot are no window.
    for (int depth = 0; depth < 16 && window != XCB_NONE && window != XCB_INPUT_FOCUS_POINTER_ROOT; ++depth) {
        if (std::find(ours.begin(), ours.end(), window) != ours.end()) return true;
        xcb_query_tree_reply_t* tree = xcb_query_tree_reply(connection, xcb_query_tree(connection, window), nullptr);
        if (!tree) return false;
        const xcb_window_t parent = tree->parent;
        const bool top = parent == tree->root;
        std::free(tree);
        if (top) return false;
        window = parent;
    }
    return false;
}

}  // namespace

void ActivateFrontWindow() {
    QWidget* made = MakeFrontWindowActive();
    // The system's word on a modal's focus can reach Qt after the front
    // window was asked for here: that the modal, now gone, gained the focus,
    // or that a window of ours lost it. Qt then leaves the focus with the
    // hidden modal or with no window, while the system has given it to the
    // front window, and shortcuts and menus go dead. Linking the modal to its
    // owner does not prevent it: a modal that comes and goes at once (an
    // update check whose server closes at once) is given the focus by the
    // window manager as it goes, that word arrives late, and no word that the
    // owner has the focus again follows. While the focus settles, such a
    // focus is mended, but only while the system's focus is in a window of
    // ours: no focus is also what Qt reports when the user turns to another
    // program, and a focus there is the user's and left alone. Once the
    // focus reaches a shown window other than the front one, it has moved on
    // and the watch ends.
    static QMetaObject::Connection settling;
    QObject::disconnect(settling);
    if (!made) return;
    const QPointer<QWidget> target(made);
    const QDeadlineTimer settled(kSettlingMs);
    settling = QObject::connect(
        qApp, &QGuiApplication::focusWindowChanged, qApp, [target, settled](QWindow* focus) {
            const bool onTarget = target && focus && focus == target->windowHandle();
            const bool left = !focus || !focus->isVisible();
            if (settled.hasExpired() || !target || (!left && !onTarget)) {
                QObject::disconnect(settling);
                return;
            }
            if (left)
                QTimer::singleShot(0, qApp, [] {
                    if (SystemFocusIsOurs()) MakeFrontWindowActive();
                });
        });
}

void ReleaseAllWindows() {
    R().open.clear();
    R().order.clear();
}

void QuitCommand() {
    QuitState& q = Q();
    if (IsQuitting()) return;
    if (q.running || q.closesRunning > 0) {
        q.pending = true;
        return;
    }
    q.running = true;
    for (const auto& window : OpenWindows()) {
        if (IsQuitting()) break;
        window->Close();
        if (window->IsOpen()) {
            // The window refused (its text could not be saved): stay.
            q.running = false;
            RunPendingQuit();
            return;
        }
    }
    q.running = false;
    Quit(0);
}

