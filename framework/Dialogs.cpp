#include "framework/Dialogs.h"

#include "framework/Runtime.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPushButton>

namespace {

QMessageBox::Icon IconOf(int32_t flags) {
    switch (flags & 0x70) {
    case 16: return QMessageBox::Critical;
    case 32: return QMessageBox::Question;
    case 48: return QMessageBox::Warning;
    case 64: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
    }
}

// Runs the box application-modal in a loop that Quit also ends. Returns the
// number of the button pressed, `dismissed` when none was.
int32_t RunBox(QMessageBox& box, int32_t dismissed) {
    if (IsQuitting()) return dismissed;
    int32_t result = dismissed;
    ModalLoop loop;
    QObject::connect(&box, &QMessageBox::buttonClicked, [&](QAbstractButton* button) {
        result = box.standardButton(button) == QMessageBox::Ok ? kMsgBoxOK : kMsgBoxCancel;
    });
    QObject::connect(&box, &QDialog::finished, [&loop](int) { loop.Exit(); });
    box.setWindowModality(Qt::ApplicationModal);
    box.show();
    loop.Run();
    box.hide();
    return result;
}

}  // namespace

void MsgBox(const QString& message) {
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Morvellan"), message, QMessageBox::Ok);
    RunBox(box, kMsgBoxOK);
}

int32_t MsgBox(const QString& prompt, int32_t flags, const QString& title) {
    QMessageBox box(IconOf(flags), title, prompt);
    std::vector<QPushButton*> buttons;
    buttons.push_back(box.addButton(QMessageBox::Ok));
    if ((flags & 7) == 1) {
        buttons.push_back(box.addButton(QMessageBox::Cancel));
        box.setEscapeButton(buttons.back());
    }
    const size_t defaultIndex = (flags & 0x300) == 256 ? 1 : 0;
    box.setDefaultButton(buttons.at(std::min(defaultIndex, buttons.size() - 1)));
    return RunBox(box, buttons.size() > 1 ? kMsgBoxCancel : kMsgBoxOK);
}
