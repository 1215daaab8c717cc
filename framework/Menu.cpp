#include "framework/Menu.h"

#include "framework/Application.h"
#include "framework/MenuNative.h"
#include "framework/Runtime.h"
#include "framework/Window.h"

#include <QAction>
#include <QApplication>
#include <QKeySequence>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QStringList>
#include <QStyle>
#include <QStyleOptionMenuItem>

#include <utility>
#include <vector>

namespace {

// "Cmd" becomes Ctrl (which Qt shows as Cmd on macOS).
QString PortableShortcut(const QString& shortcut) {
    QStringList parts = shortcut.split(QLatin1Char('+'));
    for (QString& part : parts)
        if (part == QLatin1String("Cmd")) part = QStringLiteral("Ctrl");
    return parts.join(QLatin1Char('+'));
}

// The framework's own commands, acting on the focused text control.
bool RunBuiltIn(const QString& name) {
    if (name == QLatin1String("FileQuit")) {
        QuitCommand();
        return true;
    }
    QWidget* focus = QApplication::focusWidget();
    if (auto* field = qobject_cast<QLineEdit*>(focus)) {
        if (name == QLatin1String("EditCut")) field->cut();
        else if (name == QLatin1String("EditCopy")) field->copy();
        else if (name == QLatin1String("EditPaste")) field->paste();
        // Delete removes the selection only; with none it does nothing,
        // unlike the Delete key.
        else if (name == QLatin1String("EditClear")) {
            if (field->hasSelectedText()) field->del();
        }
        else if (name == QLatin1String("EditSelectAll")) field->selectAll();
        else if (name == QLatin1String("EditUndo")) field->undo();
        else return false;
        return true;
    }
    if (auto* area = qobject_cast<QPlainTextEdit*>(focus)) {
        if (name == QLatin1String("EditCut")) area->cut();
        else if (name == QLatin1String("EditCopy")) area->copy();
        else if (name == QLatin1String("EditPaste")) area->paste();
        // A cursor edits the document even when the area is read-only.
        else if (name == QLatin1String("EditClear")) { if (!area->isReadOnly()) area->textCursor().removeSelectedText(); }
        else if (name == QLatin1String("EditSelectAll")) area->selectAll();
        else if (name == QLatin1String("EditUndo")) area->undo();
        else return false;
        return true;
    }
    return false;
}

}  // namespace

void MenuItem::Append(std::shared_ptr<MenuItem> item) { children_.push_back(std::move(item)); }

std::shared_ptr<MenuItem> MenuItem::Child(const QString& name) const {
    for (const auto& child : children_)
        if (child->Name() == name) return child;
    return nullptr;
}

std::shared_ptr<MenuItem> MenuItem::Lookup(const QString& name) const {
    for (const auto& child : children_) {
        if (child->Name() == name) return child;
        if (auto found = child->Lookup(name)) return found;
    }
    return nullptr;
}


// The width a bar needs to show every menu in one row, laid out as QMenuBar
// lays out its items: a panel and a margin on each side, and the item
// spacing before, between and after the items.
int MenuBarWidth(QMenuBar* bar) {
    QStyle* style = bar->style();
    const int panel = style->pixelMetric(QStyle::PM_MenuBarPanelWidth, nullptr, bar);
    const int margin = style->pixelMetric(QStyle::PM_MenuBarHMargin, nullptr, bar);
    const int spacing = style->pixelMetric(QStyle::PM_MenuBarItemSpacing, nullptr, bar);
    int width = 2 * (panel + margin) + spacing;
    for (QAction* action : bar->actions()) {
        if (!action->isVisible()) continue;
        QStyleOptionMenuItem option;
        option.initFrom(bar);
        option.menuItemType = QStyleOptionMenuItem::Normal;
        option.checkType = QStyleOptionMenuItem::NotCheckable;
        option.text = action->text();
        option.font = bar->font();
        const QSize text = bar->fontMetrics().size(Qt::TextShowMnemonic, action->text());
        width += style->sizeFromContents(QStyle::CT_MenuBarItem, &option, text, bar).width() + spacing;
    }
    return width;
}

void BuildQtMenuBar(QMenuBar& bar, const MenuBar& tree, const std::weak_ptr<Window>& owner) {
    auto choose = [owner](const QString& name) {
        if (auto window = owner.lock()) ChooseMenuItem(window, name);
    };
    for (int m = 0; m < tree.Count(); ++m) {
        const auto menuItem = tree.Item(m);
        QMenu* menu = bar.addMenu(menuItem->Text());
        menu->setObjectName(menuItem->Name());
        std::vector<std::pair<QAction*, std::shared_ptr<MenuItem>>> actions;
        for (int i = 0; i < menuItem->Count(); ++i) {
            const auto item = menuItem->Item(i);
            if (item->IsSeparator()) {
                menu->addSeparator()->setObjectName(item->Name());
                continue;
            }
            QAction* action = menu->addAction(item->Text());
            action->setObjectName(item->Name());
            const QString shortcut = item->KeyboardShortcut().value_or(QString());
            if (!shortcut.isEmpty()) action->setShortcut(QKeySequence(PortableShortcut(shortcut)));
            if (std::dynamic_pointer_cast<QuitMenuItem>(item)) action->setMenuRole(QAction::QuitRole);
            else if (std::dynamic_pointer_cast<AppleMenuItem>(item)) action->setMenuRole(QAction::AboutRole);
            else action->setMenuRole(QAction::NoRole);
            const QString name = item->Name();
            QObject::connect(action, &QAction::triggered, action, [choose, name] { choose(name); });
            actions.emplace_back(action, item);
        }
        // Bringing the menu up to date: EnableMenuItems, then each action
        // follows its item's state.
        QObject::connect(menu, &QMenu::aboutToShow, menu, [owner, actions] {
            auto window = owner.lock();
            Invoke([&] {
                if (auto app = GetAppObject()) app->Event_EnableMenuItems();
                if (window && window->IsOpen()) window->Event_EnableMenuItems();
            });
            for (const auto& [action, item] : actions)
                action->setEnabled(item->AutoEnable() || item->Enabled());
        });
    }
}

void AddShortcutActions(QWidget& widget, const MenuBar& tree, const std::weak_ptr<Window>& owner) {
    for (int m = 0; m < tree.Count(); ++m) {
        const auto menu = tree.Item(m);
        for (int i = 0; i < menu->Count(); ++i) {
            const auto item = menu->Item(i);
            const QString shortcut = item->KeyboardShortcut().value_or(QString());
            if (item->IsSeparator() || shortcut.isEmpty()) continue;
            auto* action = new QAction(&widget);
            action->setObjectName(item->Name());
            action->setShortcut(QKeySequence(PortableShortcut(shortcut)));
            action->setShortcutContext(Qt::WindowShortcut);
            widget.addAction(action);
            QObject::connect(action, &QAction::triggered, action, [owner, item] {
                auto window = owner.lock();
                if (!window || !window->IsOpen()) return;
                // As in a menu: an item its EnableMenuItems leaves disabled
                // does nothing.
                if (!item->AutoEnable()) {
                    if (!Invoke([] {
                            if (auto app = GetAppObject()) app->Event_EnableMenuItems();
                        }))
                        return;
                    if (!item->Enabled()) return;
                }
                ChooseMenuItem(window, item->Name());
            });
        }
    }
}

void ChooseMenuItem(const std::shared_ptr<Window>& window, const QString& itemName) {
    Invoke([&] {
        auto app = GetAppObject();
        if (app) app->Event_EnableMenuItems();
        if (window && window->IsOpen()) window->Event_EnableMenuItems();
        if (window) {
            if (auto handler = window->MenuHandler(itemName)) {
                handler();
                return;
            }
        }
        if (app) {
            if (auto handler = app->MenuHandler(itemName)) {
                handler();
                return;
            }
        }
        RunBuiltIn(itemName);
    });
}
