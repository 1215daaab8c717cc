#include "tests/ControlRows.h"

#include "framework/Controls.h"
#include "framework/Window.h"

#include <QFontInfo>
#include <QLabel>
#include <QPushButton>

namespace harness {

void PrintTo(const ControlRow& r, std::ostream* os) {
    *os << r.name.toStdString() << " " << r.kind.toStdString() << " (" << r.geometry.x() << ","
        << r.geometry.y() << " " << r.geometry.width() << "x" << r.geometry.height() << ") \""
        << r.text.toStdString() << "\" " << r.family.toStdString() << " " << r.pixelSize << "px"
        << (r.bold ? " bold" : "") << " align " << r.align << (r.wrap ? " wrap" : "")
        << (r.isDefault ? " default" : "") << (r.isCancel ? " cancel" : "");
}

std::vector<ControlRow> ControlRowsOf(const Window& window) {
    std::vector<ControlRow> rows;
    for (const auto& control : window.Controls()) {
        ControlRow row;
        row.name = control->Name();
        auto rect = std::dynamic_pointer_cast<RectControl>(control);
        if (!rect) continue;
        QWidget* widget = rect->NativeWidget();
        row.geometry = widget->geometry();
        row.family = widget->font().family();
        row.pixelSize = QFontInfo(widget->font()).pixelSize();
        row.bold = widget->font().bold();
        if (auto label = std::dynamic_pointer_cast<Label>(control)) {
            auto* qlabel = static_cast<QLabel*>(widget);
            row.kind = QStringLiteral("Label");
            row.text = label->Text();
            row.align = static_cast<int>(qlabel->alignment() & Qt::AlignHorizontal_Mask);
            row.wrap = qlabel->wordWrap();
        } else if (auto button = std::dynamic_pointer_cast<PushButton>(control)) {
            row.kind = QStringLiteral("PushButton");
            row.text = static_cast<QPushButton*>(widget)->text();
            row.isDefault = button->Default();
            row.isCancel = button->Cancel();
        }
        rows.push_back(row);
    }
    return rows;
}

}  // namespace harness
