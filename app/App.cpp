#include "app/App.h"

#include "framework/Runtime.h"
#include "store/Module1.h"
#include "windows/about/AboutBox.h"
#include "update/selfTest.h"
#include "windows/editor/Window2.h"
#include "windows/help/Help.h"
#include "windows/password/Window1.h"

#include <limits>

std::shared_ptr<App> App::Instance() {
    auto app = std::dynamic_pointer_cast<App>(GetAppObject());
    if (!app) throw NilObjectException(QStringLiteral("No application object"));
    return app;
}

std::shared_ptr<MenuItem> ResetAllYesdoitnow() {
    auto bar = App::Instance()->MenuBar();
    if (!bar) throw NilObjectException(QStringLiteral("The application has no menu bar"));
    auto item = bar->Lookup(QStringLiteral("ResetAllYesdoitnow"));
    if (!item) throw NilObjectException(QStringLiteral("No menu item named ResetAllYesdoitnow"));
    return item;
}

void App::Event_Open() {
    Module1::Window2OpenFlag = false;
    Window1::Instance()->Show();
}

void App::Event_EnableMenuItems() { ResetAllYesdoitnow()->SetEnabled(true); }

bool App::CheckforUpdateCheckNow_Action() {
    selfTest::Instance()->Show();
    return false;
}

bool App::EditFind_Action() {
    Window2::Instance()->Find()->Push();
    return false;
}

bool App::EditFindNext_Action() {
    Window2::Instance()->FindNext()->Push();
    return false;
}

bool App::EditFindPrevious_Action() {
    Window2::Instance()->FindPrevious()->Push();
    return false;
}

bool App::FontSizeLarger_Action() {
    int32_t& size = Module1::FontSize;
    if (size < 12) size = 12;
    // No upper limit, but never past the largest int32.
    size = size > std::numeric_limits<int32_t>::max() - 2 ? std::numeric_limits<int32_t>::max() : size + 2;
    Window2::Instance()->EditField1()->SetTextSize(static_cast<double>(size));
    Module1::saveFontSize();
    Window2::Instance()->EditField1()->Refresh(true);
    return true;
}

bool App::FontSizeSmaller_Action() {
    int32_t& size = Module1::FontSize;
    if (size == 0) size = 12;
    if (size > 11) {
        size -= 2;
        Window2::Instance()->EditField1()->SetTextSize(static_cast<double>(size));
    }
    Module1::saveFontSize();
    Window2::Instance()->EditField1()->Refresh(true);
    return true;
}

bool App::TindrelHelpAboutMorvellan_Action() {
    AboutBox::Instance()->Show();
    return true;
}

bool App::TindrelHelpShowMorvellanHelp_Action() {
    Help::Instance()->Show();
    return true;
}
