// A menu bar as rows: the tree the program built and what the window's Qt
// menu bar shows, in forms a test compares whole with an expected table.
#pragma once

#include "tests/Harness.h"

#include <QAction>
#include <QString>
#include <optional>
#include <ostream>
#include <vector>

class MenuItem;
class QMenuBar;
class Window;

namespace harness {

// One object of a bar: a menu (no parent) or an item of a menu.
struct Row {
    QString parent;
    QString name;
    QString kind;
    QString caption;
    std::optional<QString> shortcut;  // nullopt: never assigned
    QString qtShortcut;               // as the window's menu shows it
    bool autoEnable = true;
};

inline const std::optional<QString> kNotAssigned = std::nullopt;

// The tree as the program built it, depth first.
std::vector<Row> RowsOf(const MenuItem& node);
// The rows without what the Qt side shows.
std::vector<Row> TreePart(std::vector<Row> rows);

// What the window's Qt menu bar shows, in the same form: separators are
// named after their item, captions and shortcuts as the actions carry them;
// the role of a menu or a separator is not part of it.
struct QtRow {
    QString parent;
    QString name;
    QString text;
    bool separator = false;
    QString shortcut;
    QAction::MenuRole role = QAction::NoRole;
};

std::vector<QtRow> QtRowsOf(QMenuBar* bar);
std::vector<QtRow> ExpectedQtRows(const std::vector<Row>& rows);

bool operator==(const Row& a, const Row& b);
bool operator==(const QtRow& a, const QtRow& b);
void PrintTo(const Row& row, std::ostream* os);
void PrintTo(const QtRow& row, std::ostream* os);

}  // namespace harness
