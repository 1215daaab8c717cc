// The application object: starts every run with the password window and
// serves the application-wide menu commands.
#pragma once

#include "framework/Application.h"
#include "framework/Menu.h"

#include <memory>

class App : public Application {
public:
    // The registered application object.
    static std::shared_ptr<App> Instance();

    void Event_Open() override;
    void Event_EnableMenuItems() override;
    bool CheckforUpdateCheckNow_Action();
    bool EditFind_Action();
    bool EditFindNext_Action();
    bool EditFindPrevious_Action();
    bool FontSizeLarger_Action();
    bool FontSizeSmaller_Action();
    bool TindrelHelpAboutMorvellan_Action();
    bool TindrelHelpShowMorvellanHelp_Action();
    void Constructor() {}
};

// The "Yes - do it now" item of the application's menu bar.
std::shared_ptr<MenuItem> ResetAllYesdoitnow();
