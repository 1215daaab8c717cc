#include "framework/Dialogs.h"

#include "framework/Runtime.h"
#include "framework/Window.h"

#include <QAbstractButton>
#include <QDialog>
#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QStyle>
#include <QTextBoundaryFinder>
#include <QTextLayout>
#include <QTextOption>
#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>

#include <algorithm>
#include <cmath>
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

// The parts of a text between the places where a line may break: the units
// that wrapping at word boundaries never splits, line ends included.
template <class Each>
void ForEachUnit(const QString& text, Each&& each) {
    QTextBoundaryFinder breaks(QTextBoundaryFinder::Line, text);
    qsizetype from = 0;
    for (qsizetype at = breaks.toNextBoundary(); at != -1; at = breaks.toNextBoundary()) {
        if (at > from) each(from, at - from);
        from = at;
    }
}

// Wrapping at word boundaries, and anywhere only where a word is longer than
// a line, looks for each line's break through the rest of the word: its cost
// grows with the square of a word's length (a word of a megabyte takes most
// of a minute). A text whose words cost more than this in all, counted in
// characters squared, wraps anywhere (a word of 32,000 characters takes some
// 50 ms).
constexpr double kWordWrapBudget = 1e9;

bool WrapsAtWords(const QString& text) {
    double cost = 0;
    ForEachUnit(text, [&](qsizetype, qsizetype length) { cost += double(length) * double(length); });
    return cost <= kWordWrapBudget;
}

// Above this many characters a text's height in an area is not worked out:
// it scrolls in what room there is.
constexpr qsizetype kMeasuredArea = 1 << 16;

// A modal dialog that shows its message and explanation whole, each in its
// own part of the box: a text that fits stands in a label; a text that does
// not (too long for the screen's free area, or with a word wider than the
// label) scrolls in a read-only area that wraps anywhere a word is longer
// than a line, so nothing is cut and the buttons stay on the screen. A text
// that cannot fit is never handed to a label: laying out a megabyte in a
// label freezes the program for many seconds. It fits itself to its screen
// as it is first shown, and again when its style or font changes.
class WholeTextDialog : public QDialog {
public:
    WholeTextDialog(const QString& title, const QString& message, const QString& explanation, int32_t icon)
        : QDialog(nullptr, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                               Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
          icon_(icon) {
        setObjectName(QString::fromLatin1(kMessageDialogName));
        setWindowTitle(title);
        auto* grid = new QGridLayout(this);
        grid->setSizeConstraint(QLayout::SetFixedSize);
        iconLabel_ = new QLabel(this);
        iconLabel_->setObjectName(QString::fromLatin1(kMessageIconName));
        grid->addWidget(iconLabel_, 0, 0, 2, 1, Qt::AlignTop);
        // Made before the buttons, so that Tab goes from the texts to them.
        parts_[0] = MakePart(message, kMessageLabelName, kMessageAreaName, 0);
        parts_[1] = MakePart(explanation, kExplanationLabelName, kExplanationAreaName, 1);
        buttons_ = new QDialogButtonBox(Qt::Horizontal, this);
        grid->addWidget(buttons_, 2, 0, 1, 2);
        QObject::connect(buttons_, &QDialogButtonBox::clicked, this, [this](QAbstractButton* button) {
            clicked_ = button;
            done(QDialog::Accepted);
        });
    }

    QPushButton* AddButton(const QString& caption, QDialogButtonBox::ButtonRole role) {
        return buttons_->addButton(caption, role);
    }
    void SetDefaultButton(QPushButton* button) {
        default_ = button;
        button->setDefault(true);
    }
    void SetEscapeButton(QAbstractButton* button) { escape_ = button; }
    QAbstractButton* Clicked() const { return clicked_; }

    void setVisible(bool visible) override {
        if (visible && !isVisible()) {
            Fit();
            // The keyboard starts on the default button, as in any message box.
            if (default_) default_->setFocus();
        }
        QDialog::setVisible(visible);
    }

protected:
    // Escape and the close box press the escape button; without one, they
    // do nothing: the dialog ends only with a button.
    void reject() override {
        if (QAbstractButton* escape = EscapeButton()) escape->click();
    }

    // A button's mnemonic letter presses it without Alt too.
    void keyPressEvent(QKeyEvent* event) override {
        if (!(event->modifiers() & (Qt::AltModifier | Qt::ControlModifier | Qt::MetaModifier))) {
            for (QAbstractButton* button : buttons_->buttons()) {
                const QKeySequence shortcut = button->shortcut();
                if (!shortcut.isEmpty() && event->key() == shortcut[0].key() && button->isVisible()) {
                    button->animateClick();
                    return;
                }
            }
        }
        QDialog::keyPressEvent(event);
    }

    // A new style brings its own icon, margins and metrics, a new font its
    // own widths: the dialog fits itself again once every part has taken
    // them on.
    void changeEvent(QEvent* event) override {
        QDialog::changeEvent(event);
        const QEvent::Type type = event->type();
        if ((type == QEvent::StyleChange || type == QEvent::FontChange) && isVisible() && !refitting_) {
            refitting_ = true;
            QMetaObject::invokeMethod(
                this,
                [this] {
                    refitting_ = false;
                    if (isVisible()) Fit();
                },
                Qt::QueuedConnection);
        }
    }

private:
    struct Part {
        QString text;
        QLabel* label = nullptr;
        QPlainTextEdit* area = nullptr;
        bool inArea = false, areaFilled = false, labelFilled = false;
        int wrapsAtWords = -1;  // not yet known
        int height = 0;   // in its label, or what its area would need
        int natural = 0;  // its widest line unwrapped, in a label
    };

    Part MakePart(const QString& text, const char* labelName, const char* areaName, int row) {
        auto* grid = static_cast<QGridLayout*>(layout());
        Part part;
        part.text = text;
        part.label = new QLabel(this);
        part.label->setObjectName(QString::fromLatin1(labelName));
        // Messages name files and give the system's and the server's words:
        // never markup, links or images.
        part.label->setTextFormat(Qt::PlainText);
        part.label->setOpenExternalLinks(false);
        part.label->setWordWrap(true);
        part.label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        part.area = new QPlainTextEdit(this);
        part.area->setObjectName(QString::fromLatin1(areaName));
        part.area->setReadOnly(true);
        part.area->setLineWrapMode(QPlainTextEdit::WidgetWidth);
        grid->addWidget(part.label, row, 1, Qt::AlignLeft | Qt::AlignTop);
        grid->addWidget(part.area, row, 1, Qt::AlignLeft | Qt::AlignTop);
        part.label->hide();
        part.area->hide();
        return part;
    }

    // The escape button given, else the only button.
    QAbstractButton* EscapeButton() const {
        if (escape_) return escape_;
        const QList<QAbstractButton*> all = buttons_->buttons();
        return all.size() == 1 ? all.front() : nullptr;
    }

    // The dialog's free area on its screen, less the window frame around it.
    QSize Room() const {
        const QScreen* on = screen() ? screen() : QGuiApplication::primaryScreen();
        return on->availableGeometry().size() - FrameSizeOf(*this);
    }

    // False for a text that cannot fit a label of that width and height: more
    // lines than the height holds, more than twice the characters of average
    // width that it holds, or a word wider than the label. Counting is cheap;
    // laying out is not.
    static bool MightFit(const QString& text, const QFontMetrics& metrics, int width, int height) {
        const qsizetype lines = height / std::max(1, metrics.lineSpacing());
        const qsizetype perLine = width / std::max(1, metrics.averageCharWidth());
        if (text.count(QLatin1Char('\n')) >= lines || text.size() > 2 * lines * perLine) return false;
        bool fits = true;
        ForEachUnit(text, [&](qsizetype from, qsizetype length) {
            // The blanks after a word may stand beyond the line's end.
            while (length > 0 && text.at(from + length - 1).isSpace()) --length;
            if (fits && length > 0 && metrics.horizontalAdvance(text.mid(from, length)) > width) fits = false;
        });
        return fits;
    }

    // The widest line of the text, unwrapped.
    static int NaturalWidth(const QString& text, const QFontMetrics& metrics) {
        int widest = 0;
        for (const QStringView line : QStringView(text).split(QLatin1Char('\n')))
            widest = std::max(widest, metrics.horizontalAdvance(line.toString()));
        return widest + 1;
    }

    // The height the area needs to show the whole text at that width without
    // scrolling, worked out no further than `enough`.
    static int AreaHeight(const QPlainTextEdit& area, const QString& text, int width, int enough,
                          QTextOption::WrapMode wrap) {
        if (text.size() > kMeasuredArea) return enough;
        const int chrome = 2 * area.frameWidth() + 2 * int(std::ceil(area.document()->documentMargin())) + 2;
        // Laid out as wide as the text stands beside a vertical scroll bar:
        // at least as many lines as without.
        const int lineWidth = width - chrome -
                              area.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, &area);
        qreal height = chrome;
        QTextOption option;
        option.setWrapMode(wrap);
        for (const QStringView line : QStringView(text).split(QLatin1Char('\n'))) {
            QTextLayout layout(line.toString(), area.font());
            layout.setTextOption(option);
            layout.beginLayout();
            for (QTextLine row = layout.createLine(); row.isValid(); row = layout.createLine()) {
                row.setLeadingIncluded(true);
                row.setLineWidth(std::max(1, lineWidth));
                height += row.height();
                if (height >= enough) break;
            }
            layout.endLayout();
            if (height >= enough) return enough;
        }
        return int(std::ceil(height));
    }

    void Fit() {
        QStyle* look = style();
        const int iconSize = look->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
        const QIcon standard = StandardIcon(look);
        iconLabel_->setVisible(!standard.isNull());
        if (!standard.isNull()) {
            iconLabel_->setPixmap(standard.pixmap(QSize(iconSize, iconSize), devicePixelRatio()));
            iconLabel_->setFixedSize(iconSize, iconSize);
        }
        buttons_->setCenterButtons(look->styleHint(QStyle::SH_MessageBox_CenterButtons, nullptr, this));
        const auto interaction =
            Qt::TextInteractionFlags(look->styleHint(QStyle::SH_MessageBox_TextInteractionFlags, nullptr, this));

        auto* grid = static_cast<QGridLayout*>(layout());
        const QMargins margins = grid->contentsMargins();
        const int across = std::max(0, grid->horizontalSpacing());
        const int down = std::max(0, grid->verticalSpacing());
        const QSize room = Room();
        const int beside = margins.left() + margins.right() + (iconLabel_->isVisibleTo(this) ? iconSize + across : 0);
        // As wide as a message box lets a long message grow before it wraps.
        const int column = std::max(1, std::min(room.width() - beside, std::min(room.width() / 2, 500)));
        const int shown = int(!parts_[0].text.isEmpty()) + int(!parts_[1].text.isEmpty());
        const int free = room.height() - margins.top() - margins.bottom() - buttons_->sizeHint().height() -
                         down * shown;

        // Each text in its label where it might fit; the rest in areas.
        for (Part& part : parts_) {
            if (part.text.isEmpty()) continue;
            part.inArea = !MightFit(part.text, part.label->fontMetrics(), column, free);
            if (!part.inArea) {
                if (!part.labelFilled) part.label->setText(part.text);
                part.labelFilled = true;
                part.label->setTextInteractionFlags(interaction);
                part.height = part.label->heightForWidth(column);
                part.natural = NaturalWidth(part.text, part.label->fontMetrics());
            }
        }
        // An area shows at least a few lines, or its whole text when that is
        // shorter.
        const auto least = [&](Part& part) {
            const QFontMetrics metrics = part.area->fontMetrics();
            const int fewLines = 4 * metrics.lineSpacing() + 2 * part.area->frameWidth() +
                                 2 * int(std::ceil(part.area->document()->documentMargin()));
            return std::min(fewLines, Needed(part, column, fewLines));
        };
        const auto total = [&] {
            int sum = 0;
            for (Part& part : parts_)
                if (!part.text.isEmpty()) sum += part.inArea ? least(part) : part.height;
            return sum;
        };
        // Too tall: the tallest label gives its text to an area, until the
        // texts fit or none is left in a label.
        while (total() > free) {
            Part* tallest = nullptr;
            for (Part& part : parts_)
                if (!part.text.isEmpty() && !part.inArea && (!tallest || part.height > tallest->height))
                    tallest = &part;
            if (!tallest) break;
            tallest->inArea = true;
        }

        // The areas share what the labels leave, at most two thirds of the
        // room: the smaller need first.
        int labels = 0, areas = 0, widest = 1;
        for (const Part& part : parts_) {
            if (part.text.isEmpty()) continue;
            if (part.inArea) ++areas;
            else {
                labels += part.height;
                widest = std::max(widest, part.natural);
            }
        }
        const int width = areas > 0 ? column : std::min(column, widest);
        int share = std::min(free - labels, room.height() * 2 / 3);
        std::vector<Part*> inAreas;
        for (Part& part : parts_)
            if (!part.text.isEmpty() && part.inArea) inAreas.push_back(&part);
        for (Part* part : inAreas) part->height = Needed(*part, width, std::max(share, 1));
        std::sort(inAreas.begin(), inAreas.end(), [](const Part* a, const Part* b) { return a->height < b->height; });
        for (size_t i = 0; i < inAreas.size(); ++i) {
            Part& part = *inAreas[i];
            const int fair = share / int(inAreas.size() - i);
            part.height = std::max(least(part), std::min(part.height, fair));
            share -= part.height;
        }

        for (Part& part : parts_) {
            const bool text = !part.text.isEmpty();
            part.label->setVisible(text && !part.inArea);
            part.area->setVisible(text && part.inArea);
            if (!text) continue;
            if (part.inArea) {
                part.area->setFixedSize(width, part.height);
                // The text comes last: each change of the area's size lays a
                // long line of it out again.
                if (!part.areaFilled) {
                    part.area->setWordWrapMode(WrapOf(part));
                    part.area->setPlainText(part.text);
                    part.areaFilled = true;
                }
            } else {
                part.label->setFixedSize(width, part.label->heightForWidth(width));
            }
        }
        grid->activate();
        KeepOnScreen();
    }

    // What the part's area needs, worked out for its text once per width.
    int Needed(Part& part, int width, int enough) {
        return AreaHeight(*part.area, part.text, width, enough, WrapOf(part));
    }

    static QTextOption::WrapMode WrapOf(Part& part) {
        if (part.wrapsAtWords < 0) part.wrapsAtWords = int(WrapsAtWords(part.text));
        return part.wrapsAtWords ? QTextOption::WrapAtWordBoundaryOrAnywhere : QTextOption::WrapAnywhere;
    }

    // A dialog on the screen that has grown past its free area is moved back
    // onto it.
    void KeepOnScreen() {
        if (!isVisible() || !screen()) return;
        const QRect free = screen()->availableGeometry();
        const QRect frame = frameGeometry();
        QPoint to = frame.topLeft();
        to.setX(std::max(free.left(), std::min(to.x(), free.right() + 1 - frame.width())));
        to.setY(std::max(free.top(), std::min(to.y(), free.bottom() + 1 - frame.height())));
        if (to != frame.topLeft()) move(to);
    }

    QIcon StandardIcon(QStyle* look) const {
        switch (icon_) {
        case MessageDialog::kIconNote: return look->standardIcon(QStyle::SP_MessageBoxInformation, nullptr, this);
        case MessageDialog::kIconCaution: return look->standardIcon(QStyle::SP_MessageBoxWarning, nullptr, this);
        case MessageDialog::kIconStop: return look->standardIcon(QStyle::SP_MessageBoxCritical, nullptr, this);
        case MessageDialog::kIconQuestion: return look->standardIcon(QStyle::SP_MessageBoxQuestion, nullptr, this);
        default: return QIcon();
        }
    }

    const int32_t icon_;
    QLabel* iconLabel_ = nullptr;
    Part parts_[2];
    QDialogButtonBox* buttons_ = nullptr;
    QPushButton* default_ = nullptr;
    QAbstractButton* escape_ = nullptr;
    QAbstractButton* clicked_ = nullptr;
    bool refitting_ = false;
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
    WholeTextDialog dialog(title_, message_, explanation_, icon_);
    std::vector<std::pair<QPushButton*, std::shared_ptr<MessageDialogButton>>> buttons;
    auto add = [&](const std::shared_ptr<MessageDialogButton>& button, QDialogButtonBox::ButtonRole role) {
        if (!button->Visible()) return static_cast<QPushButton*>(nullptr);
        QPushButton* b = dialog.AddButton(button->Caption(), role);
        buttons.emplace_back(b, button);
        return b;
    };
    QPushButton* action = add(action_, QDialogButtonBox::AcceptRole);
    add(alternate_, QDialogButtonBox::ActionRole);
    QPushButton* cancel = add(cancel_, QDialogButtonBox::RejectRole);
    if (action) dialog.SetDefaultButton(action);
    // Escape and the close box press the cancel button; without one, the
    // only button, when there is one.
    if (cancel) dialog.SetEscapeButton(cancel);

    RunModalDialog(dialog);
    if (IsQuitting()) return nullptr;
    for (const auto& [b, button] : buttons)
        if (b == dialog.Clicked()) return button;
    return nullptr;
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
