// The mechanism every window class follows: controls made from a table of
// property lists, their events bound by number to the window's handlers, typed
// accessors of controls and menu items, menu handlers bound by item name, and
// the one-instance accessor.
#pragma once

#include "framework/Controls.h"
#include "framework/Menu.h"
#include "framework/Runtime.h"
#include "framework/Window.h"

#include <functional>
#include <memory>
#include <vector>

namespace windows {

constexpr int32_t kNoIndex = -2147483647 - 1;

struct ControlSpec {
    const char* name;
    std::function<std::shared_ptr<Control>(Window&)> make;
    PropertyList properties;
    // Properties set in code after the text unit and before the list.
    std::function<void(Control&)> setInCode = nullptr;
};

template <class C>
std::shared_ptr<Control> Make(Window& window) {
    return std::make_shared<C>(window);
}

template <class W>
struct EventBinding {
    const char* control;
    int event;
    std::function<void(W&, Control&)> handler;
};

// A control event handler of the window, taking its control as kind C.
template <class W, class C>
std::function<void(W&, Control&)> Handler(void (W::*method)(C&)) {
    return [method](W& window, Control& control) { (window.*method)(dynamic_cast<C&>(control)); };
}

template <class C>
std::shared_ptr<C> ControlAs(const Window& window, const char* name) {
    auto control = std::dynamic_pointer_cast<C>(window.ControlByName(QString::fromLatin1(name)));
    if (!control) throw NilObjectException(QStringLiteral("No control named %1").arg(QLatin1String(name)));
    return control;
}

template <class M>
std::shared_ptr<M> MenuItemAs(const Window& window, const char* name) {
    auto bar = window.MenuBar();
    if (!bar) throw NilObjectException(QStringLiteral("The window has no menu bar"));
    auto item = std::dynamic_pointer_cast<M>(bar->Lookup(QString::fromLatin1(name)));
    if (!item) throw NilObjectException(QStringLiteral("No menu item named %1").arg(QLatin1String(name)));
    return item;
}

// Makes the controls in table order: each is added under its name, gets its
// text unit and code-set properties, its property list, then its bindings.
// Events are bound after the list, so applying it runs no handler.
template <class W>
void CreateControlsFrom(W& window, const std::vector<ControlSpec>& controls,
                        const std::vector<EventBinding<W>>& bindings) {
    for (const ControlSpec& spec : controls) {
        const QString name = QString::fromLatin1(spec.name);
        window.AddControl(name, spec.make(window));
        std::shared_ptr<Control> control = window.ControlByName(name);
        if (std::dynamic_pointer_cast<RectControl>(control))
            control->SetProperty(QStringLiteral("TextUnit"), 0);
        if (spec.setInCode) spec.setInCode(*control);
        SetProperties(*control, spec.properties);
        std::weak_ptr<W> weakWindow = std::static_pointer_cast<W>(window.shared_from_this());
        std::weak_ptr<Control> weakControl = control;
        for (const EventBinding<W>& binding : bindings) {
            if (QLatin1String(binding.control) != name) continue;
            auto handler = binding.handler;
            control->AddEventHandler(binding.event, [weakWindow, weakControl, handler] {
                auto w = weakWindow.lock();
                auto c = weakControl.lock();
                if (w && c) handler(*w, *c);
            });
        }
    }
}

// Binds a menu handler of the given window, taken as a W, to the item name.
template <class W>
void BindMenuHandler(Window& given, const char* itemName, bool (W::*method)()) {
    std::weak_ptr<W> weak = std::dynamic_pointer_cast<W>(given.shared_from_this());
    if (weak.expired()) throw NilObjectException(QStringLiteral("Menu handler bound to another window"));
    given.AddMenuHandler(QString::fromLatin1(itemName), [weak, method] {
        auto window = weak.lock();
        return window ? ((*window).*method)() : false;
    });
}

// The open window of class W, or a new one, built, opened and shown. While a
// window is being built or closed it is the open one, so its own handlers
// reach it here and never start a second build.
template <class W>
std::shared_ptr<W> ImplicitInstance() {
    if (auto open = GetImplicitWindow(QString::fromLatin1(W::kFullName))) {
        auto window = std::dynamic_pointer_cast<W>(open);
        if (!window) throw NilObjectException(QStringLiteral("Window of another class"));
        return window;
    }
    auto window = std::make_shared<W>();
    window->Constructor();
    return window;
}

}  // namespace windows
