#include "tests/Harness.h"

#include <csignal>

#include "app/App.h"
#include "app/Startup.h"
#include "framework/Dialogs.h"
#include "framework/Window.h"
#include "windows/editor/Window2.h"
#include "windows/password/Window1.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QStyle>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>

namespace harness {

QString PrefsPath(const QString& name) {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)).filePath(name);
}

void WriteFile(const QString& name, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(PrefsPath(name)).absolutePath());
    QFile file(PrefsPath(name));
    if (!file.open(QIODevice::WriteOnly)) qFatal("cannot write test file");
    file.write(bytes);
}

QByteArray ReadFile(const QString& name) {
    QFile file(PrefsPath(name));
    if (!file.open(QIODevice::ReadOnly)) return QByteArray();
    return file.readAll();
}

bool FileExists(const QString& name) { return QFile::exists(PrefsPath(name)); }

QStringList FolderEntries() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

QByteArray Junk(int size, quint32 seed) {
    QRandomGenerator random(seed);
    QByteArray bytes(size, '\0');
    for (char& b : bytes) b = static_cast<char>(random.bounded(256));
    return bytes;
}

QByteArray PasswordFileFor(const QByteArray& password) {
    return password.toBase64().toBase64().toBase64().toBase64() + '\n';
}

QByteArray DataFileFor(const QString& text) {
    QByteArray bytes = (text + QStringLiteral("\n\n")).toUtf8();
    for (char& b : bytes) b = static_cast<char>(static_cast<uint8_t>(b) ^ 0xC9);
    return bytes + '\n';
}

const std::vector<StoredTextCase>& StoredTextCases() {
    const QString eAcute = QString::fromUtf8("\xC3\xA9");
    const QString euro = QString::fromUtf8("\xE2\x82\xAC");
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");
    const QString key = QString::fromUtf8("\xF0\x9F\x94\x91");
    const QString bom(QChar(0xFEFF));  // a character like any other, also at the start
    static const std::vector<StoredTextCase> cases = {
        {"Empty", ""},
        {"OneCharacter", "a"},
        {"TwoCharacters", "ab"},
        {"OneLineEnd", "\n"},
        {"TwoLineEnds", "\n\n"},
        {"OneFourByteCharacter", emoji},
        {"TwoTwoByteCharacters", eAcute + eAcute},  // 4 bytes, but 2 characters
        {"TwoFourByteCharacters", emoji + emoji},   // 8 bytes, but 2 characters
        {"ThreeCharacters", "abc"},
        {"FourCharacters", "abcd"},
        {"TwoCharactersAndALineEnd", "ab\n"},
        {"ThreeLineEnds", "\n\n\n"},
        {"ThreeCharactersOfTwoToFourBytes", eAcute + euro + emoji},
        {"ThreeMultiByteCharacters", euro + euro + euro},
        {"TrailingLineEnds", "lines\n\n"},
        {"OwnLineEnds", "my notes\n\n\n"},  // its own line ends are kept
        {"SeveralLines", "line one\nline two\n\nTHIS IS THE LAST LINE.\n\n\n"},
        {"NonAscii", eAcute + "t" + eAcute + " " + key + "\n"},
        {"NonAsciiOnTwoLines", "Caf" + eAcute + " " + emoji + "\n" + euro},
        {"Tab", "tab\there"},
        {"ByteOrderMarkAndTwoCharacters", bom + "ab"},
        {"ByteOrderMarkAndALine", bom + "first line\nsecond"},
    };
    return cases;
}

std::shared_ptr<::Window1> OpenWindow1() { return OpenWindowOf<::Window1>(); }

std::shared_ptr<::Window2> OpenWindow2() { return OpenWindowOf<::Window2>(); }

void Launch() {
    Startup::EarlyStartup();
    App::Instance()->Launch();
    if (auto w = OpenWindow1()) (void)QTest::qWaitForWindowActive(w->NativeWindow());
}

void Wait(int ms) { QTest::qWait(ms); }

ModalAnswers::ModalAnswers(std::vector<QString> presses, std::function<void(const Seen&)> onShown)
    : presses_(std::move(presses)), onShown_(std::move(onShown)), timer_(std::make_unique<QTimer>()) {
    QObject::connect(timer_.get(), &QTimer::timeout, [this] { Poll(); });
    timer_->start(5);
}

ModalAnswers::~ModalAnswers() = default;

QStringList ModalAnswers::texts() const {
    QStringList list;
    for (const Seen& s : seen_) list << s.text;
    return list;
}

namespace {

// The message dialog shown, or null.
QDialog* MessageDialogShown(QWidget* modal) {
    auto* dialog = qobject_cast<QDialog*>(modal);
    return dialog && dialog->objectName() == QLatin1String(kMessageDialogName) ? dialog : nullptr;
}

// The text a part of a message dialog shows: its label's or its area's,
// whichever is on the screen.
QString PartShown(const QDialog& dialog, const char* labelName, const char* areaName) {
    auto* label = dialog.findChild<QLabel*>(QString::fromLatin1(labelName));
    auto* area = dialog.findChild<QPlainTextEdit*>(QString::fromLatin1(areaName));
    if (label && label->isVisible()) return label->text();
    if (area && area->isVisible()) return area->toPlainText();
    return QString();
}

// The message-box icon whose picture the dialog's icon shows.
int IconShown(const QDialog& dialog) {
    auto* icon = dialog.findChild<QLabel*>(QString::fromLatin1(kMessageIconName));
    if (!icon || !icon->isVisible()) return QMessageBox::NoIcon;
    const QImage shown = icon->pixmap().toImage();
    const std::pair<QMessageBox::Icon, QStyle::StandardPixmap> icons[] = {
        {QMessageBox::Information, QStyle::SP_MessageBoxInformation},
        {QMessageBox::Warning, QStyle::SP_MessageBoxWarning},
        {QMessageBox::Critical, QStyle::SP_MessageBoxCritical},
        {QMessageBox::Question, QStyle::SP_MessageBoxQuestion}};
    for (const auto& [kind, pixmap] : icons) {
        const QIcon standard = dialog.style()->standardIcon(pixmap, nullptr, &dialog);
        if (standard.pixmap(icon->pixmap().deviceIndependentSize().toSize(), dialog.devicePixelRatio()).toImage() ==
            shown)
            return kind;
    }
    return -1;
}

// The buttons a user sees, left to right.
QList<QAbstractButton*> ButtonsShown(const QWidget& modal) {
    QList<QAbstractButton*> buttons;
    for (QAbstractButton* b : modal.findChildren<QAbstractButton*>())
        if (b->isVisible()) buttons << b;
    std::sort(buttons.begin(), buttons.end(), [](QAbstractButton* a, QAbstractButton* b) {
        return a->mapToGlobal(QPoint(0, 0)).x() < b->mapToGlobal(QPoint(0, 0)).x();
    });
    return buttons;
}

Seen SeenIn(QMessageBox& box) {
    Seen seen;
    seen.text = box.text();
    seen.title = box.windowTitle();
    seen.explanation = box.informativeText();
    seen.icon = box.icon();
    for (QAbstractButton* b : box.buttons()) seen.buttons << b->text().remove(QLatin1Char('&'));
    if (box.defaultButton()) seen.defaultButton = box.defaultButton()->text().remove(QLatin1Char('&'));
    return seen;
}

Seen SeenIn(QDialog& dialog) {
    Seen seen;
    seen.text = PartShown(dialog, kMessageLabelName, kMessageAreaName);
    seen.title = dialog.windowTitle();
    seen.explanation = PartShown(dialog, kExplanationLabelName, kExplanationAreaName);
    seen.icon = IconShown(dialog);
    for (QAbstractButton* b : ButtonsShown(dialog)) {
        seen.buttons << b->text().remove(QLatin1Char('&'));
        if (auto* push = qobject_cast<QPushButton*>(b); push && push->isDefault())
            seen.defaultButton = push->text().remove(QLatin1Char('&'));
    }
    return seen;
}

}  // namespace

Seen Shown(QWidget& modal) {
    Seen seen;
    if (auto* box = qobject_cast<QMessageBox*>(&modal)) seen = SeenIn(*box);
    else if (QDialog* dialog = MessageDialogShown(&modal)) seen = SeenIn(*dialog);
    for (QLabel* label : modal.findChildren<QLabel*>())
        if (!label->text().isEmpty() && (label->textFormat() != Qt::PlainText || label->openExternalLinks()))
            seen.plainText = false;
    return seen;
}

namespace {

// Closes a box nobody was to answer, so that a fault shows as a failure
// rather than as a test that never ends.
void Dismiss(QWidget* modal) {
    modal->setProperty("answered", true);
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        if (QAbstractButton* ok = box->button(QMessageBox::Ok)) ok->click();
        else box->reject();
        return;
    }
    const QList<QAbstractButton*> buttons = ButtonsShown(*modal);
    if (!buttons.isEmpty()) buttons.back()->click();
    else static_cast<QDialog*>(modal)->done(QDialog::Rejected);
}
}  // namespace

void ModalAnswers::Poll() {
    QWidget* modal = QApplication::activeModalWidget();
    auto* box = qobject_cast<QMessageBox*>(modal);
    QDialog* dialog = MessageDialogShown(modal);
    if ((!box && !dialog) || !modal->isVisible() || modal->property("answered").toBool()) return;
    Seen seen = Shown(*modal);
    if (seen_.size() >= presses_.size()) {
        ADD_FAILURE() << "unexpected box: " << seen.text.toStdString();
        Dismiss(modal);
        return;
    }
    if (onShown_) onShown_(seen);
    const QString press = presses_.at(seen_.size());
    seen_.push_back(seen);
    for (QAbstractButton* b : box ? box->buttons() : ButtonsShown(*modal)) {
        if (b->text().remove(QLatin1Char('&')) == press) {
            modal->setProperty("answered", true);
            b->click();
            return;
        }
    }
    ADD_FAILURE() << "no button " << press.toStdString() << " in the box";
    Dismiss(modal);
}

void Type(QWidget* widget, const QString& text) {
    // QTest only maps ASCII to keys; other characters arrive as a key event
    // carrying their text, as from a keyboard layout that has them.
    for (const QChar c : text) {
        if (c.unicode() < 0x80)
            QTest::keyClick(widget, c.toLatin1());
        else
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key(c.toUpper().unicode()), QString(c),
                                Qt::NoModifier);
    }
}

QStringList EnterPassword(const QString& password, std::vector<QString> presses) {
    Launch();
    auto w1 = OpenWindow1();
    Type(w1->ThisPassword()->NativeWidget(), password);
    ModalAnswers answers(std::move(presses));
    QTest::mouseClick(w1->Enter()->NativeWidget(), Qt::LeftButton);
    return answers.texts();
}

std::shared_ptr<::Window2> OpenEditorOnFirstUse() {
    EnterPassword("Secret123", {"OK"});
    return OpenWindow2();
}

void StoreNote(const QString& text, const QByteArray& password) {
    WriteFile("tindrelcypher.plist", PasswordFileFor(password));
    WriteFile("tindrel.plist", DataFileFor(text));
}

std::shared_ptr<::Window2> Unlock(const QString& text, const QString& typed) {
    StoreNote(text);
    EXPECT_EQ(EnterPassword(typed), QStringList{});
    auto w2 = OpenWindow2();
    if (w2) (void)QTest::qWaitForWindowExposed(w2->NativeWindow());
    return w2;
}

QMenuBar* QtBarOf(const ::Window& window) { return static_cast<QMainWindow*>(window.NativeWindow())->menuBar(); }

QAction* ActionNamed(QMenuBar* bar, const QString& name) {
    for (QAction* menuAction : bar->actions())
        if (QMenu* menu = menuAction->menu())
            for (QAction* action : menu->actions())
                if (action->objectName() == name) return action;
    return nullptr;
}

void CloseByUser(QWidget* nativeWindow) { nativeWindow->close(); }

FileSizeLimit::FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = old_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
}

FileSizeLimit::~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &old_); }

}  // namespace harness
