// The Qt side of menus, for the framework's windows: a menu bar tree made
// into Qt menus and actions, whose choosing dispatches through ChooseMenuItem.
#pragma once

#include <memory>

class MenuBar;
class QMenuBar;
class QWidget;
class Window;

// Adds the tree's menus and their actions to the (empty) Qt bar. An action
// chooses its item on behalf of the window; a menu about to show first
// raises EnableMenuItems (application, then the window) and each action
// follows its item's state.
void BuildQtMenuBar(QMenuBar& bar, const MenuBar& tree, const std::weak_ptr<Window>& window);

// The width the bar needs to show every menu in one row.
int MenuBarWidth(QMenuBar* bar);

// Window-scoped actions on the widget for the tree's keyboard shortcuts, as
// its menus would answer them: an item that is not AutoEnable and that
// EnableMenuItems leaves disabled does nothing.
void AddShortcutActions(QWidget& widget, const MenuBar& tree, const std::weak_ptr<Window>& window);
