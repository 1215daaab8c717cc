// Menu bars are built from tables: one table per top-level menu.
#pragma once

#include "framework/Menu.h"

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

}  // namespace menus
