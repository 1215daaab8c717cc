// The about window: its controls as laid out, its three links, Return and
// Escape, one window at most; and the icon every window carries.
#include "tests/ControlRows.h"
#include "tests/Harness.h"

#include "app/App.h"
#include "framework/Runtime.h"
#include "windows/about/AboutBox.h"
#include "windows/editor/Window2.h"
#include "windows/password/Window1.h"

#include <QAction>
#include <QApplication>
#include <QFontInfo>
#include <QDesktopServices>
#include <QDir>
#include <QIcon>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>

#include <cstdlib>

using namespace harness;

namespace {

const QString kMail = QStringLiteral("mailto:author@morvellan.invalid");
const QString kHome = QStringLiteral("http://www.morvellan.invalid");
const QString kStore = QStringLiteral("http://store.morvellan.invalid/?MRV110&lang=en");

// Takes every link the program hands to the system, in order, instead of
// starting a browser or a mail client.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    UrlCatcher() {
        for (const char* scheme : kSchemes) QDesktopServices::setUrlHandler(scheme, this, "Catch");
    }
    ~UrlCatcher() override {
        for (const char* scheme : kSchemes) QDesktopServices::unsetUrlHandler(scheme);
    }
    QStringList urls;

public slots:
    void Catch(const QUrl& url) { urls << url.toString(QUrl::FullyEncoded); }

private:
    static constexpr const char* kSchemes[] = {"http", "https", "mailto"};
};

// Chooses "About Morvellan" in the window's menu bar, as a user would.
void ChooseAbout(const Window& window) {
    QAction* action = ActionNamed(QtBarOf(window), QStringLiteral("TindrelHelpAboutMorvellan"));
    ASSERT_TRUE(action);
    ASSERT_EQ(action->text(), "About Morvellan");
    action->trigger();
}

int OpenAboutBoxes() {
    int count = 0;
    for (const auto& window : OpenWindows()) count += window->FullName() == AboutBox::kFullName;
    return count;
}

}  // namespace

TEST(AboutBox, OpensWithItsControlsAsLaidOut) {
    Launch();
    ChooseAbout(*OpenWindow1());
    auto about = OpenWindowOf<AboutBox>();
    ASSERT_TRUE(about);
    QWidget* native = about->NativeWindow();
    EXPECT_TRUE(native->isVisible());
    EXPECT_EQ(native->windowTitle(), "About...");
    EXPECT_EQ(about->Content()->size(), QSize(264, 295));
    EXPECT_EQ(native->minimumSize(), native->maximumSize()) << "not resizable";
    EXPECT_FALSE(native->findChild<QMenuBar*>()) << "no menu bar of its own";
    EXPECT_FALSE(native->isModal());

    const QFont system = QApplication::font();
    const QString sys = system.family();
    const int size = QFontInfo(system).pixelSize();
    const int left = Qt::AlignLeft, centre = Qt::AlignHCenter, right = Qt::AlignRight;
    const std::vector<ControlRow> expected = {
        {"PushButton1", "PushButton", {72, 180, 120, 21}, "Email Author", sys, size, true},
        {"PushButton2", "PushButton", {72, 217, 120, 21}, "Visit Web Site", sys, size, true},
        {"StaticText2", "Label", {80, 86, 104, 87}, "Developed by\rHalvord\r\rSr. Beta Tester\rBrenlow", sys,
         size, false, centre, true},
        {"StaticText1", "Label", {20, 20, 224, 45}, "Morvellan", "Arial", 30, true, centre},
        {"StaticText3", "Label", {77, 60, 56, 20}, "Version:", "Arial", 12, true, left},
        {"StaticText4", "Label", {133, 60, 54, 20}, Application::LongVersion(), "Arial", 12, true, right},
        {"Oskavel", "PushButton", {72, 254, 120, 21}, "Support Oskavel", sys, size, true, -1, false, true},
    };
    EXPECT_EQ(ControlRowsOf(*about), expected);

    // The version is the running build's, never the stand-in of the list.
    EXPECT_NE(about->StaticText4()->Text(), "1.1.0 Intel");
    // The credits show as five lines.
    EXPECT_EQ(static_cast<QLabel*>(about->StaticText2()->NativeWidget())->text(),
              "Developed by\nHalvord\n\nSr. Beta Tester\nBrenlow");
}

TEST(AboutBox, EachLinkHandsItsWholeUrlOnEveryPressAndLeavesTheWindowAsItWas) {
    struct Case {
        const char* site;  // MORVELLAN_SITE, or null
        std::shared_ptr<PushButton> (AboutBox::*button)() const;
        QString url;
    };
    const Case cases[] = {
        {nullptr, &AboutBox::PushButton1, kMail},
        {nullptr, &AboutBox::PushButton2, kHome},
        {nullptr, &AboutBox::Oskavel, kStore},
        {"127.0.0.1:8080", &AboutBox::PushButton2, "http://127.0.0.1:8080"},
        {"127.0.0.1:8080", &AboutBox::Oskavel, kStore},
    };
    Launch();
    ChooseAbout(*OpenWindow1());
    auto about = OpenWindowOf<AboutBox>();
    ASSERT_TRUE(about);
    const auto before = ControlRowsOf(*about);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url.toStdString());
        if (c.site) setenv("MORVELLAN_SITE", c.site, 1);
        else unsetenv("MORVELLAN_SITE");
        UrlCatcher catcher;
        QWidget* button = ((*about).*c.button)()->NativeWidget();
        QTest::mouseClick(button, Qt::LeftButton);
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_EQ(catcher.urls, (QStringList{c.url, c.url}));
        EXPECT_EQ(OpenWindowOf<AboutBox>(), about);
        EXPECT_TRUE(about->NativeWindow()->isVisible());
        EXPECT_EQ(ControlRowsOf(*about), before);
    }
    unsetenv("MORVELLAN_SITE");
    EXPECT_FALSE(IsQuitting());
}

TEST(AboutBox, ReturnPressesSupportOskavelAndEscapeNothing) {
    Launch();
    ChooseAbout(*OpenWindow1());
    auto about = OpenWindowOf<AboutBox>();
    ASSERT_TRUE(about);
    UrlCatcher catcher;
    // Wherever the focus stands, Return presses the default button once.
    QWidget* targets[] = {about->PushButton1()->NativeWidget(), about->PushButton2()->NativeWidget(),
                          about->Oskavel()->NativeWidget(), about->Content()};
    for (QWidget* target : targets) {
        SCOPED_TRACE(target->objectName().toStdString() + " " + target->metaObject()->className());
        catcher.urls.clear();
        QTest::keyClick(target, Qt::Key_Return);
        EXPECT_EQ(catcher.urls, QStringList{kStore});
        QTest::keyClick(target, Qt::Key_Escape);
        EXPECT_EQ(catcher.urls, QStringList{kStore}) << "Escape presses nothing";
        EXPECT_EQ(OpenWindowOf<AboutBox>(), about);
        EXPECT_TRUE(about->NativeWindow()->isVisible());
    }
}

TEST(AboutBox, OneWindowAtMostAndNothingOfItSurvivesItsClose) {
    Launch();
    auto w1 = OpenWindow1();
    ChooseAbout(*w1);
    auto about = OpenWindowOf<AboutBox>();
    ASSERT_TRUE(about);
    auto version = about->StaticText4();
    version->SetText("seen once");

    w1->Show();
    ASSERT_EQ(OpenWindows().front(), w1);
    ChooseAbout(*w1);
    EXPECT_EQ(OpenWindowOf<AboutBox>(), about);
    EXPECT_EQ(OpenAboutBoxes(), 1);
    EXPECT_EQ(OpenWindows().front(), about) << "brought to the front";
    EXPECT_EQ(about->StaticText4(), version) << "the controls are not made again";
    EXPECT_EQ(version->Text(), "seen once") << "the version is not read again";

    const QStringList filesBefore = QDir(PrefsPath(QString())).entryList(QDir::Files);
    CloseByUser(about->NativeWindow());
    EXPECT_FALSE(OpenWindowOf<AboutBox>());
    EXPECT_FALSE(about->NativeWindow()->isVisible());
    EXPECT_EQ(QDir(PrefsPath(QString())).entryList(QDir::Files), filesBefore) << "closing writes nothing";
    EXPECT_FALSE(IsQuitting());
    EXPECT_TRUE(w1->NativeWindow()->isVisible());

    ChooseAbout(*w1);
    auto again = OpenWindowOf<AboutBox>();
    ASSERT_TRUE(again);
    EXPECT_NE(again, about);
    EXPECT_EQ(again->StaticText4()->Text(), Application::LongVersion());
    EXPECT_EQ(OpenAboutBoxes(), 1);
}

TEST(WindowIcon, EveryWindowCarriesTheProgramsIcon) {
    const QImage drawn = QIcon(QStringLiteral(":/icons/morvellan.svg")).pixmap(48, 48).toImage();
    ASSERT_FALSE(drawn.isNull()) << "the icon is built in and its SVG renders";
    auto w2 = OpenEditorOnFirstUse();
    ASSERT_TRUE(w2);
    ChooseAbout(*w2);
    const std::shared_ptr<Window> windows[] = {OpenWindow1(), w2, OpenWindowOf<AboutBox>()};
    for (const auto& window : windows) {
        ASSERT_TRUE(window);
        SCOPED_TRACE(window->FullName().toStdString());
        EXPECT_EQ(window->NativeWindow()->windowIcon().pixmap(48, 48).toImage(), drawn);
    }
}

#include "AboutTests.moc"
