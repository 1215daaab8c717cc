#include "framework/Dialogs.h"

#include "framework/Runtime.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>

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
    QObject::connect(&box, &QMessageBox::buttonClicked, [&](QAbstractButton* button) {
        result = box.standardButton(button) == QMessageBox::Ok ? kMsgBoxOK : kMsgBoxCancel;
    });
    RunModalDialog(box);
    return result;
}

// A dialog's text as shown: a text of more than kShownLines lines or
// kShownChars characters keeps its beginning and its end around an
// ellipsis. Laying out a megabyte of text freezes the program for many
// seconds and makes a box taller than the screen, its buttons out of reach.
constexpr int kShownLines = 24;
constexpr qsizetype kShownChars = 1200;

QString Shown(const QString& text) {
    const QString ellipsis = QString(QChar(0x2026));
    QString shown = text;
    QStringList lines = shown.split(QLatin1Char('\n'));
    if (lines.size() > kShownLines) {
        lines = lines.mid(0, kShownLines / 2) + QStringList(ellipsis) + lines.mid(lines.size() - kShownLines / 2);
        shown = lines.join(QLatin1Char('\n'));
    }
    if (shown.size() > kShownChars) {
        qsizetype head = kShownChars / 2, tail = kShownChars / 2;
        // Never split a surrogate pair.
        if (shown.at(head - 1).isHighSurrogate()) --head;
        if (shown.at(shown.size() - tail).isLowSurrogate()) --tail;
        shown = shown.left(head) + ellipsis + shown.right(tail);
    }
    return shown;
}

}  // namespace

void MsgBox(const QString& message) {
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), message, QMessageBox::Ok);
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

MessageDialog::MessageDialog()
    : action_(std::make_shared<MessageDialogButton>(QStringLiteral("OK"), true)),
      cancel_(std::make_shared<MessageDialogButton>(QStringLiteral("Cancel"), false)),
      alternate_(std::make_shared<MessageDialogButton>(QString(), false)) {}

std::shared_ptr<MessageDialogButton> MessageDialog::ShowModal() {
    if (IsQuitting()) return nullptr;
    QMessageBox box;
    box.setWindowTitle(title_);
    box.setTextFormat(Qt::PlainText);
    box.setText(Shown(message_));
    box.setInformativeText(Shown(explanation_));
    switch (icon_) {
    case kIconNote: box.setIcon(QMessageBox::Information); break;
    case kIconCaution: box.setIcon(QMessageBox::Warning); break;
    case kIconStop: box.setIcon(QMessageBox::Critical); break;
    case kIconQuestion: box.setIcon(QMessageBox::Question); break;
    default: box.setIcon(QMessageBox::NoIcon); break;
    }
    // QMessageBox takes its text format for the message only; its label for
    // the explanation would render markup and open links.
    for (QLabel* label : box.findChildren<QLabel*>()) {
        label->setTextFormat(Qt::PlainText);
        label->setOpenExternalLinks(false);
        label->setTextInteractionFlags(label->textInteractionFlags() & ~Qt::LinksAccessibleByMouse &
                                       ~Qt::LinksAccessibleByKeyboard);
    }

    std::vector<std::pair<QPushButton*, std::shared_ptr<MessageDialogButton>>> buttons;
    auto add = [&](const std::shared_ptr<MessageDialogButton>& button, QMessageBox::ButtonRole role) {
        if (!button->Visible()) return static_cast<QPushButton*>(nullptr);
        QPushButton* b = box.addButton(button->Caption(), role);
        buttons.emplace_back(b, button);
        return b;
    };
    QPushButton* action = add(action_, QMessageBox::AcceptRole);
    add(alternate_, QMessageBox::ActionRole);
    QPushButton* cancel = add(cancel_, QMessageBox::RejectRole);
    if (action) box.setDefaultButton(action);
    // Escape and the close box press the cancel button; without one, Qt's
    // choice (the only button, when there is one).
    if (cancel) box.setEscapeButton(cancel);

    std::shared_ptr<MessageDialogButton> pressed;
    QObject::connect(&box, &QMessageBox::buttonClicked, [&](QAbstractButton* clicked) {
        for (const auto& [b, button] : buttons)
            if (b == clicked) pressed = button;
    });
    RunModalDialog(box);
    return IsQuitting() ? nullptr : pressed;
}

namespace {
int32_t& Beeps() {
    static int32_t count = 0;
    return count;
}
}  // namespace

void Beep() {
    ++Beeps();
    QApplication::beep();
}

int32_t BeepCount() { return Beeps(); }
