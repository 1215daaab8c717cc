// What every window shows: every menu of its bar, every control's text whole.
#include "tests/Harness.h"

#include "framework/Controls.h"
#include "framework/Window.h"
#include "update/selfTest.h"
#include "update/updateWindow.h"
#include "windows/about/AboutBox.h"
#include "windows/editor/Window2.h"
#include "windows/help/Help.h"
#include "windows/password/Window1.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTcpServer>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace harness;

namespace {

// Every window of the program, opened as the program opens them. The update
// window asks a server on this machine that never answers, so it stays in
// its first state.
std::vector<std::shared_ptr<Window>> OpenEveryWindow(QTcpServer& silent) {
    EXPECT_TRUE(silent.listen(QHostAddress::LocalHost));
    qputenv("MORVELLAN_SITE", QByteArray("127.0.0.1:") + QByteArray::number(silent.serverPort()));
    StoreNote("notes");
    Launch();
    std::vector<std::shared_ptr<Window>> windows = {OpenWindow1()};
    EXPECT_EQ(EnterPassword("Secret123"), QStringList{});
    windows.push_back(OpenWindow2());
    windows.push_back(Help::Instance());
    windows.push_back(AboutBox::Instance());
    windows.push_back(selfTest::Instance());
    // The update window closes the version window as it opens.
    windows.push_back(updateWindow::Instance());
    for (const auto& window : windows) {
        EXPECT_TRUE(window);
        if (window) (void)QTest::qWaitForWindowExposed(window->NativeWindow());
    }
    return windows;
}

// What of the control's text its box cuts off, as "text: needs W x H, has
// W x H", or empty when it shows whole.
QString Cut(const RectControl& control) {
    QWidget* widget = control.NativeWidget();
    const QFontMetrics metrics = widget->fontMetrics();
    QStyle* style = widget->style();
    QString text;
    QSize needed, room;
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        text = label->text();
        room = label->contentsRect().size();
        const int flags = label->wordWrap() ? Qt::TextWordWrap : 0;
        needed = metrics.boundingRect(QRect(QPoint(), QSize(room.width(), 100000)), flags, text).size();
        if (label->wordWrap())
            for (const QString& word : text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts))
                needed.setWidth(std::max(needed.width(), metrics.horizontalAdvance(word)));
    } else if (auto* box = qobject_cast<QCheckBox*>(widget)) {
        text = box->text();
        room = box->size();
        needed = box->sizeHint();
    } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
        text = button->text();
        // The caption stands inside the button's frame.
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = text;
        option.features = button->isDefault() ? QStyleOptionButton::DefaultButton : QStyleOptionButton::None;
        room = style->subElementRect(QStyle::SE_PushButtonContents, &option, button).size();
        needed = metrics.size(Qt::TextShowMnemonic, text);
    } else {
        return QString();
    }
    if (needed.width() <= room.width() && needed.height() <= room.height()) return QString();
    return QStringLiteral("%1: needs %2 x %3, has %4 x %5")
        .arg(text)
        .arg(needed.width())
        .arg(needed.height())
        .arg(room.width())
        .arg(room.height());
}

}  // namespace

TEST(Layout, EveryControlShowsItsTextWholeAtTheUsualDpi) {
    QTcpServer silent;
    const auto windows = OpenEveryWindow(silent);
    ASSERT_EQ(windows.size(), 6u);
    QStringList cut;
    int checked = 0;
    for (const auto& window : windows) {
        ASSERT_TRUE(window);
        ASSERT_EQ(window->NativeWindow()->logicalDpiY(), 96) << "the test is for the usual dpi";
        for (const auto& control : window->Controls()) {
            auto rect = std::dynamic_pointer_cast<RectControl>(control);
            if (!rect || !rect->Visible()) continue;
            ++checked;
            const QString what = Cut(*rect);
            if (!what.isEmpty()) cut << window->FullName() + "." + control->Name() + " " + what;
        }
    }
    // The update window's label also shows the outcome of a check.
    auto update = std::dynamic_pointer_cast<updateWindow>(windows[5]);
    ASSERT_TRUE(update);
    update->StaticText1()->SetText("This version is current.");
    const QString outcome = Cut(*update->StaticText1());
    if (!outcome.isEmpty()) cut << outcome;
    EXPECT_GE(checked, 20);
    EXPECT_TRUE(cut.isEmpty()) << cut.join("\n").toStdString();
    // A size given with the layout is a pixel: the about window's 12-point
    // labels are 12 pixels, its 30-point title 30. The reader's text keeps
    // true points.
    auto about = std::dynamic_pointer_cast<AboutBox>(windows[3]);
    EXPECT_EQ(QFontInfo(about->StaticText3()->NativeWidget()->font()).pixelSize(), 12);
    EXPECT_EQ(QFontInfo(about->StaticText1()->NativeWidget()->font()).pixelSize(), 30);
    auto editor = std::dynamic_pointer_cast<Window2>(windows[1]);
    editor->EditField1()->SetTextSize(12);
    EXPECT_EQ(editor->EditField1()->NativeWidget()->font().pointSizeF(), 12.0);
}

// Every menu of the window's bar stands on the bar, none behind an overflow
// arrow, also once the window is asked to be narrower than the bar needs.
void ExpectEveryMenuShown(Window& window) {
    SCOPED_TRACE(window.FullName().toStdString());
    QMenuBar* bar = QtBarOf(window);
    ASSERT_TRUE(bar->isVisible());
    const auto check = [&] {
        for (QAction* action : bar->actions()) {
            const QRect place = bar->actionGeometry(action);
            EXPECT_FALSE(place.isEmpty()) << action->text().toStdString() << " is hidden";
            EXPECT_TRUE(bar->rect().contains(place)) << action->text().toStdString() << " reaches past the bar";
        }
        auto* overflow = bar->findChild<QToolButton*>(QStringLiteral("qt_menubar_ext_button"));
        EXPECT_TRUE(!overflow || !overflow->isVisible()) << "an overflow arrow is shown";
        EXPECT_EQ(window.Content()->width(), window.Width());
    };
    check();
    const int32_t shown = window.Width();
    window.SetWidth(64);
    QApplication::processEvents();
    check();
    window.SetWidth(shown);
    QApplication::processEvents();
}

TEST(Layout, EveryWindowWithABarShowsEveryMenu) {
    QTcpServer silent;
    QStringList withBar;
    for (const auto& window : OpenEveryWindow(silent)) {
        ASSERT_TRUE(window);
        if (!window->MenuBar() || !window->NativeWindow()->isVisible()) continue;
        withBar << window->FullName();
        ExpectEveryMenuShown(*window);
    }
    // The password window is hidden once the editor is open: the next test.
    EXPECT_EQ(withBar, QStringList({"Window2.Window2", "Help.Help"}));
}

TEST(Layout, PasswordWindowGrowsForItsBarAndItsControlsKeepTheirPlaces) {
    Launch();
    auto w1 = OpenWindow1();
    ASSERT_TRUE(w1);
    EXPECT_GT(w1->Width(), 350) << "350 hides the help menu behind an overflow arrow";
    EXPECT_EQ(w1->Content()->size(), QSize(w1->Width(), 85));
    EXPECT_EQ(w1->ThisPassword()->NativeWidget()->geometry(), QRect(94, 45, 144, 22));
    EXPECT_EQ(w1->Enter()->NativeWidget()->geometry(), QRect(250, 45, 80, 20));
    EXPECT_EQ(w1->StaticText2()->NativeWidget()->geometry(), QRect(93, 20, 145, 20));
    ExpectEveryMenuShown(*w1);
}

TEST(PropertyLists, EveryKeyOfEveryWindowIsAppliedOrWithoutEffectHere) {
    QTcpServer silent;
    const auto windows = OpenEveryWindow(silent);
    EXPECT_TRUE(UnappliedKeys().isEmpty()) << UnappliedKeys().join("\n").toStdString();
    // A key nobody applies is noted, whatever its target; one without effect
    // here is not.
    auto about = std::dynamic_pointer_cast<AboutBox>(windows.at(3));
    ASSERT_TRUE(about);
    about->StaticText3()->SetProperty("Blinking", true);
    about->SetProperty("Placement", 3);
    about->SetProperty("Composite", true);
    std::dynamic_pointer_cast<Window2>(windows.at(1))->Timer1()->SetProperty("Blinking", 2);
    EXPECT_EQ(UnappliedKeys(), QStringList({"Blinking = true", "Placement = 3", "Blinking = 2"}));
}
