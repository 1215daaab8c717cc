// Windows. A window's Width and Height are its content: the area below its
// menu bar, where its controls stand at their given positions.
#pragma once

#include "framework/Menu.h"
#include "framework/Properties.h"

#include <QString>
#include <functional>
#include <map>
#include <memory>
#include <vector>

class Control;
class ModalLoop;
class QWidget;
class QSize;
class WindowNative;

class Window : public PropertyTarget, public std::enable_shared_from_this<Window> {
public:
    // `fullName` identifies the class of the window: one open window per name.
    explicit Window(const QString& fullName);
    ~Window() override;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // Hooks and window events; a class overrides those it handles.
    virtual void Layout() {}
    virtual void CreateControls() {}
    virtual void AddMenuHandlers(Window&) {}
    virtual void Event_Open() {}
    virtual void Event_Close() {}
    virtual void Event_Resized() {}
    virtual void Event_Moved() {}
    virtual void Event_EnableMenuItems() {}

    // Builds the window: it becomes the open window of its class, then its
    // layout, controls and menu handlers are made, the Open events raised,
    // and the window shown when Visible. All of that passes the exception
    // boundary as one handler; a window whose build did not finish never
    // opened: it is withdrawn from its class without its Close event, and
    // stays closed. While the program quits, no window is built: the
    // handler that asked for one ends (QuitInProgress) without a report.
    void Constructor();

    void Show();
    // Shows the window application-modal and returns once it has closed;
    // the event loop runs meanwhile. Returns at once for a closed window.
    void ShowModal();
    void Hide();
    // Raises Close, then ends the window's place as the open window of its
    // class and takes it off the screen. The object lives on.
    void Close();
    // Called from Event_Close: the window stays open with everything in it,
    // and a quit that was closing it stops.
    void RefuseClose();
    void Refresh(bool eraseBackground);

    QString Title() const;
    void SetTitle(const QString& title);
    int32_t Width() const { return width_; }
    void SetWidth(int32_t width);
    int32_t Height() const { return height_; }
    void SetHeight(int32_t height);
    bool Visible() const;
    bool IsOpen() const { return open_; }
    const QString& FullName() const { return fullName_; }

    std::shared_ptr<::MenuBar> MenuBar() const { return menuBar_; }
    void SetMenuBar(std::shared_ptr<::MenuBar> bar);

    void AddControl(const QString& name, std::shared_ptr<Control> control);
    std::shared_ptr<Control> ControlByName(const QString& name) const;
    const std::vector<std::shared_ptr<Control>>& Controls() const { return controls_; }

    void AddMenuHandler(const QString& itemName, std::function<bool()> handler);
    // The handler bound to the name, or null.
    std::function<bool()> MenuHandler(const QString& itemName) const;

    void SetProperty(const QString& key, const PropertyValue& value) override;

    // The Qt side, for the framework and for tests.
    QWidget* NativeWindow() const;
    QWidget* Content() const;

    // Called by the Qt side.
    void OnUserClose();
    void OnContentResized(const QSize& size);
    void OnMoved();
    void OnNativeResized();
    void OnActivated();

private:
    // Layout, controls, menu handlers and the Open events.
    void Build();
    // Ends its place as the open window of its class and takes it off the
    // screen, raising nothing.
    void Withdraw();
    void ApplySize();
    // Brings a shown window whose frame reaches past the screen's free
    // area back within it.
    void KeepOnScreen();
    static constexpr int kPlacingMs = 500;
    void ApplyFlags();
    void ApplyBackColor();
    void RebuildMenuBar();
    // A window without a bar answers the application bar's shortcuts.
    void AddApplicationShortcuts();
    void LayoutControls(int width, int height);

    QString fullName_;
    std::unique_ptr<WindowNative> native_;
    std::shared_ptr<::MenuBar> menuBar_;
    std::vector<std::shared_ptr<Control>> controls_;
    std::map<QString, std::function<bool()>> menuHandlers_;
    int32_t width_ = 100, height_ = 100;
    int32_t minWidth_ = 64, minHeight_ = 64, maxWidth_ = 32000, maxHeight_ = 32000;
    bool resizeable_ = false, closeButton_ = true, minimizeButton_ = false, maximizeButton_ = false;
    bool visibleProperty_ = true, menuBarVisible_ = true, hasBackColor_ = false;
    Color backColor_{255, 255, 255};
    bool open_ = false, applyingSize_ = false, built_ = false, closeRefused_ = false, placing_ = false,
         closing_ = false;
    std::vector<ModalLoop*> modalLoops_;
};

// The size the window manager's frame adds around a top-level widget: its
// own once it is framed; before, that of a framed window of the program,
// which the window manager frames alike.
QSize FrameSizeOf(const QWidget& widget);

// The open window of the class of that full name, or null.
std::shared_ptr<Window> GetImplicitWindow(const QString& fullName);
// The open windows, front to back.
std::vector<std::shared_ptr<Window>> OpenWindows();
// Asks for the modal still shown, else the front visible window, to be the
// active window, so its menu bar and shortcuts answer once a modal has gone,
// also when the system's word on that modal's focus comes late. A focus that
// went to another program is never taken back.
void ActivateFrontWindow();
// Forgets every open window (program end).
void ReleaseAllWindows();

// The platform's quit command: closes the open windows front to back, each
// with its Close event, then quits with 0. A window that refuses to close
// stops it. SIGTERM, SIGHUP and SIGINT run it from the event loop.
// A quit asked for while a window's Close or a quit is running waits for it
// and then runs once, so it is never lost and never nests inside a Close.
void QuitCommand();
