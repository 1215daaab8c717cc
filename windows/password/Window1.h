// The password window: the gate to the protected text.
#pragma once

#include "framework/Controls.h"
#include "framework/Menu.h"
#include "framework/Window.h"

#include <memory>

class Window1 : public Window {
public:
    static constexpr const char* kFullName = "Window1.Window1";
    static std::shared_ptr<Window1> Instance();

    Window1() : Window(QString::fromLatin1(kFullName)) {}

    void Layout() override;
    void CreateControls() override;
    void CreateControls0();

    std::shared_ptr<Label> StaticText1() const;
    std::shared_ptr<TextField> ThisPassword() const;
    std::shared_ptr<PushButton> Enter() const;
    std::shared_ptr<Label> StaticText2() const;

    void ThisPassword_TextChange(TextField& field);
    void ThisPassword_Open(TextField& field);
    void Enter_Action(PushButton& button);
    void Enter_Open(PushButton& button);

    std::shared_ptr<MenuItem> HelpMenu() const;
    std::shared_ptr<AppleMenuItem> TindrelHelpAboutMorvellan() const;
    std::shared_ptr<MenuItem> TindrelHelpShowMorvellanHelp() const;
    std::shared_ptr<MenuItem> CheckforUpdateMenu() const;
    std::shared_ptr<MenuItem> CheckforUpdateCheckNow() const;
    std::shared_ptr<MenuItem> ResetAllMenu() const;
    std::shared_ptr<MenuItem> ResetAllYesdoitnow() const;
    std::shared_ptr<MenuItem> EditMenu() const;
    std::shared_ptr<MenuItem> EditSelectAll() const;
    std::shared_ptr<MenuItem> UntitledMenu0() const;
    std::shared_ptr<MenuItem> EditClear() const;
    std::shared_ptr<MenuItem> EditPaste() const;
    std::shared_ptr<MenuItem> EditCopy() const;
    std::shared_ptr<MenuItem> EditCut() const;
    std::shared_ptr<MenuItem> FileMenu() const;
    std::shared_ptr<QuitMenuItem> FileQuit() const;
    std::shared_ptr<MenuItem> FilePrintHelp() const;

    void AddMenuHandlers(Window& window) override;

    void Event_Close() override;

    bool ResetAllYesdoitnow_Action();
    bool FilePrintHelp_Action();
};
