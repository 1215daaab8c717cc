#include "framework/Dialogs.h"

#include "framework/Runtime.h"
#include "framework/Window.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>

#include <algorithm>
#include <vector>

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

// Every label of the box shows its text literally. QMessageBox takes its
// text format for the message only; its label for the explanation would
// render markup and open links.
void KeepPlain(QMessageBox& box) {
    box.setTextFormat(Qt::PlainText);
    for (QLabel* label : box.findChildren<QLabel*>()) {
        label->setTextFormat(Qt::PlainText);
        label->setOpenExternalLinks(false);
        label->setTextInteractionFlags(label->textInteractionFlags() & ~Qt::LinksAccessibleByMouse &
                                       ~Qt::LinksAccessibleByKeyboard);
    }
}

// A message box whose message and explanation are shown whole. A text that
// lets the box fit the free area of its screen stands in the box's label, as
// in any message box; a longer one scrolls in a read-only area in its place,
// so the box fits the screen and its buttons stay in reach. A text that
// cannot fit is never handed to a label at all: laying out a megabyte in a
// label freezes the program for many seconds.
class WholeTextBox : public QMessageBox {
public:
    WholeTextBox(const QString& message, const QString& explanation) : message_(message), explanation_(explanation) {
        setTextFormat(Qt::PlainText);
    }

    // Puts each text in its label, unless it cannot fit the free area; an
    // explanation in its label takes the box's plain-text format too.
    void SetTexts() {
        const QSize room = Room();
        setText(MightFit(message_, room) ? message_ : QString());
        setInformativeText(MightFit(explanation_, room) ? explanation_ : QString());
        KeepPlain(*this);
    }

protected:
    // Before the box sizes and places itself for its first showing: by now
    // it knows its screen, and it sizes itself to its labels whenever a
    // text is set while it is shown.
    void showEvent(QShowEvent* event) override {
        if (!event->spontaneous() && !fitted_) {
            fitted_ = true;
            Fit();
        }
        QMessageBox::showEvent(event);
    }

private:
    // The box's free area on its screen, less the window frame around it.
    QSize Room() const {
        const QScreen* on = screen() ? screen() : QGuiApplication::primaryScreen();
        return on->availableGeometry().size() - FrameSizeOf(*this);
    }

    // False for a text that cannot fit a label in the room: more lines than
    // its height holds, or more than twice the characters of average width
    // that it holds. Counting is cheap; laying out is not.
    bool MightFit(const QString& text, const QSize& room) const {
        const QFontMetrics metrics = fontMetrics();
        const qsizetype lines = room.height() / metrics.lineSpacing();
        const qsizetype perLine = room.width() / std::max(1, metrics.averageCharWidth());
        return text.count(QLatin1Char('\n')) < lines && text.size() <= 2 * lines * perLine;
    }

    // Wrapping at word boundaries costs the square of a word's length when
    // the word is longer than a line: a text with a run of more characters
    // than this without a blank wraps anywhere.
    static constexpr qsizetype kLongestWord = 1000;

    static bool HasRunBeyond(const QString& text, qsizetype longest) {
        qsizetype run = 0;
        for (const QChar c : text) {
            run = c.isSpace() ? 0 : run + 1;
            if (run > longest) return true;
        }
        return false;
    }

    // QMessageBox sizes itself to its contents whenever its text is set
    // while it is shown.
    void Resize() { setText(text()); }

    void Fit() {
        const QSize room = Room();
        // An area shows at least a few lines.
        const int least = 4 * fontMetrics().lineSpacing();
        int inAreas = int(text().isEmpty() && !message_.isEmpty()) +
                      int(informativeText().isEmpty() && !explanation_.isEmpty());
        const auto fits = [&] {
            return width() <= room.width() && height() + inAreas * least <= room.height();
        };
        Resize();
        // Too tall: the explanation leaves its label first, then the message.
        if (!informativeText().isEmpty() && !fits()) {
            setInformativeText(QString());
            ++inAreas;
        }
        if (!text().isEmpty() && !fits()) {
            setText(QString());
            ++inAreas;
        }
        if (inAreas == 0) return;

        auto* grid = qobject_cast<QGridLayout*>(layout());
        auto* label = findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        if (!grid || !label) return;
        int row = 0, column = 0, rowSpan = 0, columnSpan = 0;
        grid->getItemPosition(grid->indexOf(label), &row, &column, &rowSpan, &columnSpan);
        std::vector<std::pair<QPlainTextEdit*, const QString*>> areas;
        const auto place = [&](const QString& whole, const char* name, int atRow) {
            auto* area = new QPlainTextEdit(this);
            area->setObjectName(QString::fromLatin1(name));
            area->setReadOnly(true);
            if (HasRunBeyond(whole, kLongestWord)) area->setWordWrapMode(QTextOption::WrapAnywhere);
            // As wide as a message box lets a long message grow unwrapped.
            area->setMinimumWidth(std::min(room.width() / 2, 500));
            area->setFixedHeight(least);
            grid->addWidget(area, atRow, column, 1, columnSpan);
            // The box is already on its way to the screen.
            area->show();
            areas.emplace_back(area, &whole);
        };
        if (text().isEmpty() && !message_.isEmpty()) {
            label->hide();
            place(message_, kMessageAreaName, row);
        }
        if (informativeText().isEmpty() && !explanation_.isEmpty()) place(explanation_, kExplanationAreaName, row + 1);

        // The areas share what the rest of the box leaves of the room, at
        // most two thirds of it.
        Resize();
        const int count = int(areas.size());
        const int rest = height() - count * least;
        const int share = std::min(room.height() - rest, room.height() * 2 / 3) / count;
        // The text comes last: each change of an area's size lays out a
        // long line of it again.
        for (const auto& [area, whole] : areas) {
            area->setFixedHeight(std::max(share, least));
            area->setPlainText(*whole);
        }
    }

    const QString message_, explanation_;
    bool fitted_ = false;
};

}  // namespace

void MsgBox(const QString& message) {
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), message, QMessageBox::Ok);
    // Messages name files and give the system's words: never markup.
    KeepPlain(box);
    RunBox(box, kMsgBoxOK);
}

int32_t MsgBox(const QString& prompt, int32_t flags, const QString& title) {
    QMessageBox box(IconOf(flags), title, prompt);
    KeepPlain(box);
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
    WholeTextBox box(message_, explanation_);
    box.setWindowTitle(title_);
    switch (icon_) {
    case kIconNote: box.setIcon(QMessageBox::Information); break;
    case kIconCaution: box.setIcon(QMessageBox::Warning); break;
    case kIconStop: box.setIcon(QMessageBox::Critical); break;
    case kIconQuestion: box.setIcon(QMessageBox::Question); break;
    default: box.setIcon(QMessageBox::NoIcon); break;
    }
    box.SetTexts();

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
