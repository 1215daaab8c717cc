// The window each modal belongs to while it is shown: the window the user
// acted in, else the front visible one. The window manager keeps a modal
// above that window and gives the focus back to it; it learns the link from
// the modal's transient parent, which it reads for dialogs only.
#include "tests/Harness.h"
#include "tests/PrintHarness.h"

#include "framework/Dialogs.h"
#include "framework/Menu.h"
#include "framework/Runtime.h"
#include "update/selfTest.h"
#include "windows/editor/Window2.h"

#include <QApplication>
#include <QHostAddress>
#include <QMessageBox>
#include <QKeySequence>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QTest>
#include <QWindow>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <ostream>
#include <utility>
#include <vector>

using namespace harness;

namespace {

// What the window manager is told about a modal: "<what> -> <owner>", the
// modal's text for a box and its title otherwise, the owner's title or
// "none"; a modal that is no dialog is marked, since no link then reaches
// the window manager.
QString LinkOf(const QWidget& modal) {
    const auto* box = qobject_cast<const QMessageBox*>(&modal);
    QString owner = QStringLiteral("none");
    if (const QWindow* parent = modal.windowHandle() ? modal.windowHandle()->transientParent() : nullptr)
        for (const QWidget* w : QApplication::topLevelWidgets())
            if (w->windowHandle() == parent) owner = w->windowTitle();
    return (box ? box->text() : modal.windowTitle()) + QStringLiteral(" -> ") + owner +
           (modal.windowType() == Qt::Dialog ? QString() : QStringLiteral(" (no dialog)"));
}

// The link of every modal as it was last shown, in the order they first
// showed (a window shown again as a modal is the same entry).
class ModalLinks : public QObject {
public:
    ModalLinks() { qApp->installEventFilter(this); }
    ~ModalLinks() override { qApp->removeEventFilter(this); }
    QStringList links() const {
        QStringList all;
        for (const auto& [modal, link] : seen_) all << link;
        return all;
    }

protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        auto* widget = qobject_cast<QWidget*>(object);
        if (event->type() == QEvent::Show && widget && widget->isWindow() &&
            widget->windowModality() == Qt::ApplicationModal) {
            auto same = std::find_if(seen_.begin(), seen_.end(), [widget](const auto& s) { return s.first == widget; });
            if (same == seen_.end()) seen_.emplace_back(widget, LinkOf(*widget));
            else same->second = LinkOf(*widget);
        }
        return false;
    }

private:
    std::vector<std::pair<QPointer<QWidget>, QString>> seen_;
};

// Points the update check at a port where nothing listens: the check fails
// at once with a box in the update window.
void NothingListening() {
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    qputenv("MORVELLAN_SITE", QByteArray("127.0.0.1:") + QByteArray::number(probe.serverPort()));
}

// Answers every request with a manifest that offers a newer version.
class OfferingServer {
public:
    OfferingServer() {
        if (!server_.listen(QHostAddress::LocalHost, 0)) ADD_FAILURE() << "cannot listen";
        qputenv("MORVELLAN_SITE", QByteArray("127.0.0.1:") + QByteArray::number(server_.serverPort()));
        QObject::connect(&server_, &QTcpServer::newConnection, [this] {
            QTcpSocket* socket = server_.nextPendingConnection();
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket] {
                if (!socket->readAll().contains("\r\n\r\n")) return;
                const QByteArray body = "<CurrentVersion>2.0.0</CurrentVersion><Free>Yes</Free>";
                socket->write("HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(body.size()) +
                              "\r\nConnection: close\r\n\r\n" + body);
                socket->disconnectFromHost();
            });
        });
    }

private:
    QTcpServer server_;
};

struct OwnerCase {
    const char* name;
    std::function<void()> run;
    QStringList links;
};

std::shared_ptr<Window2> Editor() {
    auto w2 = Unlock(QStringLiteral("a short note"));
    EXPECT_TRUE(w2);
    return w2;
}

const QString kError =
    QStringLiteral("There was a communication error with the website. Please try again later. (Code: 1)");

const OwnerCase kOwnerCases[] = {
    // The password window is the one window.
    {"FirstUse",
     [] { EnterPassword("Secret123", {"OK"}); },
     {"I don't see a password on file.  Do you want to use this password? -> Morvellan"}},
    // The editor, not the password window hidden behind it.
    {"FindWithoutMatch",
     [] {
         auto w2 = Editor();
         if (!w2) return;
         ModalAnswers answers({"OK"});
         w2->FindString()->SetText(QStringLiteral("zzzz"));
         QTest::mouseClick(w2->Find()->NativeWidget(), Qt::LeftButton);
     },
     {"There are no matches! -> My Secret Info"}},
    {"PrintDialog",
     [] {
         auto w2 = Editor();
         if (!w2) return;
         PrintAnswer cancel(PrintAnswer::Cancel);
         ChooseMenuItem(w2, QStringLiteral("FilePrint"));
     },
     {"Print -> My Secret Info"}},
    // The update window closes the version window as it opens: it belongs to
    // the editor, which stays; its box belongs to it.
    {"UpdateCheck",
     [] {
         NothingListening();
         auto w2 = Editor();
         if (!w2) return;
         ModalAnswers answers({"OK"});
         ChooseMenuItem(w2, QStringLiteral("CheckforUpdateCheckNow"));
         auto version = OpenWindowOf<selfTest>();
         if (!version) return;
         QTest::mouseClick(version->PushButton1()->NativeWidget(), Qt::LeftButton);
     },
     {"Update -> My Secret Info", kError + " -> Update"}},
    // The upgrade dialog belongs to the update window.
    {"UpgradeDialog",
     [] {
         OfferingServer server;
         auto w2 = Editor();
         if (!w2) return;
         ModalAnswers answers({"Cancel"});
         ChooseMenuItem(w2, QStringLiteral("CheckforUpdateCheckNow"));
         auto version = OpenWindowOf<selfTest>();
         if (!version) return;
         QTest::mouseClick(version->PushButton1()->NativeWidget(), Qt::LeftButton);
     },
     {"Update -> My Secret Info", "New version available! -> Update"}},
    // A hidden window is never chosen, not even when it is the front one.
    {"HiddenFrontWindow",
     [] {
         auto w2 = Editor();
         if (!w2) return;
         ChooseMenuItem(w2, QStringLiteral("CheckforUpdateCheckNow"));
         auto version = OpenWindowOf<selfTest>();
         if (!version || !QTest::qWaitForWindowActive(version->NativeWindow())) return;
         // Hidden, it leaves no active window and stays in front.
         version->Hide();
         ModalAnswers answers({"OK"});
         MsgBox(QStringLiteral("A box"));
     },
     {"A box -> My Secret Info"}},
};

void PrintTo(const OwnerCase& c, std::ostream* os) { *os << c.name; }

class ModalOwner : public ::testing::TestWithParam<OwnerCase> {};

}  // namespace

TEST_P(ModalOwner, IsTheWindowTheUserActedIn) {
    ModalLinks links;
    GetParam().run();
    EXPECT_EQ(links.links().join('\n').toStdString(), GetParam().links.join('\n').toStdString());
}

INSTANTIATE_TEST_SUITE_P(Modals, ModalOwner, ::testing::ValuesIn(kOwnerCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A box whose window closes and is released while the box is shown stays
// on the screen and answers; the window's widgets go only after the box has
// let them go, so nothing is deleted twice.
TEST(ModalOwnerLifetime, BoxOutlivesItsWindowClosingUnderIt) {
    auto w2 = Editor();
    ASSERT_TRUE(w2);
    ChooseMenuItem(w2, QStringLiteral("CheckforUpdateCheckNow"));
    auto version = OpenWindowOf<selfTest>();
    ASSERT_TRUE(version);
    ASSERT_TRUE(QTest::qWaitForWindowActive(version->NativeWindow()));
    QPointer<QWidget> versionWidgets = version->NativeWindow();
    bool stayed = false;
    ModalAnswers answers({"OK"}, [&](const Seen&) {
        QWidget* box = QApplication::activeModalWidget();
        EXPECT_EQ(box->parentWidget(), versionWidgets.data());
        version->Close();
        version.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        stayed = box->isVisible() && box == QApplication::activeModalWidget();
    });
    MsgBox(QStringLiteral("Still here"));
    EXPECT_EQ(answers.texts(), QStringList{"Still here"});
    EXPECT_TRUE(stayed) << "the box stayed on the screen";
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(versionWidgets) << "the closed window's widgets went once the box let them go";
    Wait(50);
    EXPECT_EQ(QApplication::activeWindow(), w2->NativeWindow());
}


// ---- The keyboard and the close box in a message dialog -------------------

struct KeysCase {
    const char* name;
    bool cancel, alternate;       // shown besides the action button "OK"
    QString alternateCaption;
    QString explanation;
    std::vector<QKeySequence> keys;  // typed into the focused part; empty: the close box
    QString pressed;              // the button the dialog returns, by caption
};

void PrintTo(const KeysCase& c, std::ostream* os) { *os << c.name; }

class MessageDialogKeys : public ::testing::TestWithParam<KeysCase> {};

TEST_P(MessageDialogKeys, PressTheButtonAUserExpects) {
    const KeysCase& c = GetParam();
    Launch();
    MessageDialog dialog;
    dialog.SetTitle(QStringLiteral("Keys"));
    dialog.SetMessage(QStringLiteral("A question."));
    dialog.SetExplanation(c.explanation);
    dialog.CancelButton()->SetVisible(c.cancel);
    dialog.AlternateActionButton()->SetCaption(c.alternateCaption);
    dialog.AlternateActionButton()->SetVisible(c.alternate);
    QTimer typing;
    QObject::connect(&typing, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible() || QApplication::activeWindow() != modal) return;
        typing.stop();
        if (c.keys.empty()) modal->close();
        for (const QKeySequence& key : c.keys)
            QTest::keySequence(QApplication::focusWidget() ? QApplication::focusWidget() : modal, key);
        // A dialog still shown after the keys ends with its close box, or
        // is left to the quit.
        QTimer::singleShot(200, [modal = QPointer<QWidget>(modal)] {
            if (modal && modal->isVisible()) Quit(0);
        });
    });
    typing.start(5);
    const std::shared_ptr<MessageDialogButton> pressed = dialog.ShowModal();
    EXPECT_EQ(pressed ? pressed->Caption() : QStringLiteral("(none)"), c.pressed);
}

const QString kLong = QStringLiteral("line\n").repeated(200);

INSTANTIATE_TEST_SUITE_P(
    Keys, MessageDialogKeys,
    ::testing::Values(
        KeysCase{"ReturnPressesTheDefault", true, true, "Go to Website", "", {QKeySequence(Qt::Key_Return)}, "OK"},
        KeysCase{"EnterPressesTheDefault", true, true, "Go to Website", "", {QKeySequence(Qt::Key_Enter)}, "OK"},
        KeysCase{"EscapePressesCancel", true, true, "Go to Website", "", {QKeySequence(Qt::Key_Escape)}, "Cancel"},
        KeysCase{"CloseBoxPressesCancel", true, true, "Go to Website", "", {}, "Cancel"},
        // The focus starts on the default button; Tab goes on to the next,
        // which Return then presses.
        KeysCase{"TabThenReturn", true, true, "Go to Website", "",
                 {QKeySequence(Qt::Key_Tab), QKeySequence(Qt::Key_Return)}, "Go to Website"},
        // In a scrolling explanation, Return still presses the default.
        KeysCase{"ReturnInTheScrollingArea", true, true, "Go to Website", kLong,
                 {QKeySequence(Qt::SHIFT | Qt::Key_Tab), QKeySequence(Qt::Key_PageDown), QKeySequence(Qt::Key_Return)},
                 "OK"},
        // Without a cancel button Escape and the close box do nothing; with
        // one button only, they press it.
        KeysCase{"EscapeWithoutCancel", false, true, "Go to Website", "",
                 {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::Key_Return)}, "OK"},
        KeysCase{"CloseBoxWithoutCancel", false, true, "Go to Website", "", {}, "(none)"},
        KeysCase{"EscapeWithTheOnlyButton", false, false, "", "", {QKeySequence(Qt::Key_Escape)}, "OK"},
        // A caption's mnemonic presses its button, with Alt or without.
        KeysCase{"MnemonicWithAlt", true, true, "&Later", "", {QKeySequence(Qt::ALT | Qt::Key_L)}, "&Later"},
        KeysCase{"MnemonicAlone", true, true, "&Later", "", {QKeySequence(Qt::Key_L)}, "&Later"}),
    [](const auto& info) { return std::string(info.param.name); });
