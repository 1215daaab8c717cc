// A window's controls as rows, for the tests that compare a window as laid
// out with an expected table, whole.
#pragma once

#include <QRect>
#include <QString>
#include <ostream>
#include <vector>

class Window;

namespace harness {

// One control as the window shows it. Buttons have no alignment (-1).
struct ControlRow {
    QString name;
    QString kind;
    QRect geometry;
    QString text;
    QString family;
    int pixelSize = 0;  // as shown: a size of the layout is a pixel
    bool bold = false;
    int align = -1;
    bool wrap = false;
    bool isDefault = false;
    bool isCancel = false;
    bool operator==(const ControlRow& o) const {
        return name == o.name && kind == o.kind && geometry == o.geometry && text == o.text &&
               family == o.family && pixelSize == o.pixelSize && bold == o.bold && align == o.align &&
               wrap == o.wrap && isDefault == o.isDefault && isCancel == o.isCancel;
    }
};

void PrintTo(const ControlRow& r, std::ostream* os);

// The window's controls that have a place on it, in the window's order.
// Labels and push buttons carry their kind and what is particular to them.
std::vector<ControlRow> ControlRowsOf(const Window& window);

}  // namespace harness
