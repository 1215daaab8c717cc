// Menus: the framework's own tree of menu items. A window with a bar shows it
// as its Qt menu bar; choosing an item dispatches its name.
#pragma once

#include <QString>
#include <memory>
#include <optional>
#include <vector>

class MenuItem : public std::enable_shared_from_this<MenuItem> {
public:
    MenuItem() = default;
    virtual ~MenuItem() = default;

    QString Name() const { return name_; }
    void SetName(const QString& name) { name_ = name; }
    bool AutoEnable() const { return autoEnable_; }
    void SetAutoEnable(bool on) { autoEnable_ = on; }
    // The caption; "&" marks the mnemonic, "-" makes a separator.
    QString Text() const { return text_; }
    void SetText(const QString& text) { text_ = text; }
    // "Cmd+Shift+P" and the like; empty when never assigned.
    std::optional<QString> KeyboardShortcut() const { return shortcut_; }
    void SetKeyboardShortcut(const QString& shortcut) { shortcut_ = shortcut; }
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool on) { enabled_ = on; }

    bool IsSeparator() const { return text_ == QLatin1String("-"); }

    void Append(std::shared_ptr<MenuItem> item);
    int Count() const { return static_cast<int>(children_.size()); }
    std::shared_ptr<MenuItem> Item(int index) const { return children_.at(index); }
    // The direct child of that name, or null.
    std::shared_ptr<MenuItem> Child(const QString& name) const;
    // The object of that name at any depth below this one, or null.
    std::shared_ptr<MenuItem> Lookup(const QString& name) const;

private:
    QString name_, text_;
    std::optional<QString> shortcut_;
    bool autoEnable_ = false;
    bool enabled_ = true;
    std::vector<std::shared_ptr<MenuItem>> children_;
};

class MenuBar : public MenuItem {};

// The platform's quit command (takes Qt's Quit role).
class QuitMenuItem : public MenuItem {};

// Shown in the application menu where the platform has one (Qt's About role).
class AppleMenuItem : public MenuItem {};

class Window;

// Chooses the menu item of that name on behalf of the window: raises
// EnableMenuItems (application, then the window), then runs the window's
// handler for the name, else the application's, else the framework's own
// (the quit command and the Edit commands on the focused text control).
void ChooseMenuItem(const std::shared_ptr<Window>& window, const QString& itemName);
