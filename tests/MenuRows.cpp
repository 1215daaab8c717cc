#include "tests/MenuRows.h"

#include "framework/Menu.h"
#include "framework/Window.h"

#include <QKeySequence>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

namespace harness {

std::vector<Row> RowsOf(const MenuItem& node) {
    std::vector<Row> rows;
    for (int i = 0; i < node.Count(); ++i) {
        const auto item = node.Item(i);
        QString kind = QStringLiteral("MenuItem");
        if (std::dynamic_pointer_cast<QuitMenuItem>(item)) kind = QStringLiteral("QuitMenuItem");
        else if (std::dynamic_pointer_cast<AppleMenuItem>(item)) kind = QStringLiteral("AppleMenuItem");
        else if (std::dynamic_pointer_cast<MenuBar>(item)) kind = QStringLiteral("MenuBar");
        rows.push_back({node.Name(), item->Name(), kind, item->Text(), item->KeyboardShortcut(), QString(),
                        item->AutoEnable()});
        for (Row& row : RowsOf(*item)) rows.push_back(row);
    }
    return rows;
}

std::vector<Row> TreePart(std::vector<Row> rows) {
    for (Row& row : rows) row.qtShortcut.clear();
    return rows;
}

std::vector<QtRow> QtRowsOf(QMenuBar* bar) {
    std::vector<QtRow> rows;
    for (QAction* menuAction : bar->actions()) {
        QMenu* menu = menuAction->menu();
        if (!menu) {
            rows.push_back({QString(), menuAction->objectName(), menuAction->text(), false, QString()});
            continue;
        }
        rows.push_back({QString(), menu->objectName(), menu->title(), false,
                        menuAction->shortcut().toString(QKeySequence::PortableText)});
        for (QAction* action : menu->actions()) {
            rows.push_back({menu->objectName(), action->objectName(), action->text(), action->isSeparator(),
                            action->shortcut().toString(QKeySequence::PortableText),
                            action->isSeparator() ? QAction::NoRole : action->menuRole()});
        }
    }
    return rows;
}

std::vector<QtRow> ExpectedQtRows(const std::vector<Row>& rows) {
    std::vector<QtRow> expected;
    for (const Row& row : rows) {
        const bool separator = row.caption == QLatin1String("-");
        QAction::MenuRole role = QAction::NoRole;
        if (row.kind == QLatin1String("QuitMenuItem")) role = QAction::QuitRole;
        else if (row.kind == QLatin1String("AppleMenuItem")) role = QAction::AboutRole;
        expected.push_back({row.parent, row.name, separator ? QString() : row.caption, separator,
                            row.qtShortcut, role});
    }
    return expected;
}

bool operator==(const Row& a, const Row& b) {
    return a.parent == b.parent && a.name == b.name && a.kind == b.kind && a.caption == b.caption &&
           a.shortcut == b.shortcut && a.qtShortcut == b.qtShortcut && a.autoEnable == b.autoEnable;
}

bool operator==(const QtRow& a, const QtRow& b) {
    return a.parent == b.parent && a.name == b.name && a.text == b.text && a.separator == b.separator &&
           a.shortcut == b.shortcut && a.role == b.role;
}

void PrintTo(const Row& row, std::ostream* os) {
    *os << row.parent.toStdString() << "/" << row.name.toStdString() << " " << row.kind.toStdString() << " \""
        << row.caption.toStdString() << "\" "
        << (row.shortcut ? "\"" + row.shortcut->toStdString() + "\"" : std::string("(not assigned)"))
        << (row.autoEnable ? " auto" : " not-auto");
}

void PrintTo(const QtRow& row, std::ostream* os) {
    *os << row.parent.toStdString() << "/" << row.name.toStdString() << " \"" << row.text.toStdString() << "\""
        << (row.separator ? " separator" : "") << " \"" << row.shortcut.toStdString() << "\" role "
        << static_cast<int>(row.role);
}

}  // namespace harness
