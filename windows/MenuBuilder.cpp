#include "windows/MenuBuilder.h"

#include "framework/Runtime.h"

namespace menus {

namespace {
std::shared_ptr<MenuItem> NewOfKind(Entry::Kind kind) {
    switch (kind) {
    case Entry::Quit: return std::make_shared<QuitMenuItem>();
    case Entry::About: return std::make_shared<AppleMenuItem>();
    case Entry::Item: break;
    }
    return std::make_shared<MenuItem>();
}
}  // namespace

void BuildMenu(MenuBar& bar, const MenuSpec& spec) {
    auto menu = std::make_shared<MenuItem>();
    menu->SetName(QString::fromLatin1(spec.name));
    menu->SetAutoEnable(true);
    menu->SetText(QString::fromUtf8(spec.caption));
    menu->SetKeyboardShortcut(QString());
    bar.Append(menu);
    for (const Entry& entry : spec.items) {
        auto item = NewOfKind(entry.kind);
        item->SetName(QString::fromLatin1(entry.name));
        item->SetAutoEnable(true);
        item->SetText(QString::fromUtf8(entry.caption));
        if (!item->IsSeparator()) item->SetKeyboardShortcut(QString::fromLatin1(entry.shortcut));
        auto parent = bar.Child(menu->Name());
        if (!parent) throw NilObjectException(QStringLiteral("Menu %1 is missing").arg(menu->Name()));
        parent->Append(item);
    }
}

}  // namespace menus
