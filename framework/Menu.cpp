#include "framework/Menu.h"

#include <QStringList>

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

QString PortableShortcut(const QString& shortcut) {
    QStringList parts = shortcut.split(QLatin1Char('+'));
    for (QString& part : parts)
        if (part == QLatin1String("Cmd")) part = QStringLiteral("Ctrl");
    return parts.join(QLatin1Char('+'));
}
