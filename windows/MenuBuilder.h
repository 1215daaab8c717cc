// Menu bars are built from tables: one table per top-level menu. Every bar
// class (the application's, the editor's, the help window's) has one
// instance, made on first use.
#pragma once

#include "framework/Menu.h"

#include <memory>
#include <vector>

namespace menus {

struct Entry {
    enum Kind { Item, Quit, About };
    Kind kind;
    const char* name;
    const char* caption;   // "-" makes a separator
    const char* shortcut;  // "" for none; a separator's is never assigned
};

struct MenuSpec {
    const char* name;
    const char* caption;
    std::vector<Entry> items;
};

// Creates the menu, appends it to the bar, then appends each item to the menu
// found again among the bar's children by name.
void BuildMenu(MenuBar& bar, const MenuSpec& spec);

// The bar's one instance, made and constructed on first use. It is stored
// only once its constructor has returned.
template <class Bar>
std::shared_ptr<Bar> InstanceOf(std::shared_ptr<Bar>& stored) {
    if (!stored) {
        auto bar = std::make_shared<Bar>();
        bar->Constructor();
        stored = bar;
    }
    return stored;
}

// Lets the bar's one instance go at the end of the run; the slot is empty
// (moved from) before the bar itself is released.
template <class Bar>
void ReleaseInstance(std::shared_ptr<Bar>& stored) {
    auto bar = std::move(stored);
}

}  // namespace menus
