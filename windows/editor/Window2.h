// The "My Secret Info" editor: the one window that shows the protected text.
#pragma once

#include "framework/Controls.h"
#include "framework/TextArea.h"
#include "framework/Menu.h"
#include "framework/Window.h"

#include <memory>

class Window2 : public Window {
public:
    static constexpr const char* kFullName = "Window2.Window2";
    static std::shared_ptr<Window2> Instance();

    Window2() : Window(QString::fromLatin1(kFullName)) {}

    void Layout() override;
    void CreateControls() override;
    void CreateControls0();

    std::shared_ptr<TextArea> EditField1() const;
    std::shared_ptr<TextField> FindString() const;
    std::shared_ptr<Label> StaticText1() const;
    std::shared_ptr<PushButton> Find() const;
    std::shared_ptr<PushButton> FindNext() const;
    std::shared_ptr<PushButton> FindPrevious() const;
    std::shared_ptr<TextField> ThisScroll() const;
    std::shared_ptr<Label> StaticText2() const;
    std::shared_ptr<CheckBox> IgnoreCase() const;
    std::shared_ptr<Timer> Timer1() const;

    void FindString_TextChange(TextField& field);
    void Find_Action(PushButton& button);
    void FindNext_Action(PushButton& button);
    void FindPrevious_Action(PushButton& button);
    void ThisScroll_TextChange(TextField& field);
    void Timer1_Action(Timer& timer);

    std::shared_ptr<MenuItem> MorvellanHelpMenu() const;
    std::shared_ptr<AppleMenuItem> TindrelHelpAboutMorvellan() const;
    std::shared_ptr<MenuItem> TindrelHelpShowMorvellanHelp() const;
    std::shared_ptr<MenuItem> FontSizeMenu() const;
    std::shared_ptr<MenuItem> FontSizeLarger() const;
    std::shared_ptr<MenuItem> FontSizeSmaller() const;
    std::shared_ptr<MenuItem> CheckforUpdateMenu() const;
    std::shared_ptr<MenuItem> CheckforUpdateCheckNow() const;
    std::shared_ptr<MenuItem> EditMenu() const;
    std::shared_ptr<MenuItem> EditFindPrevious() const;
    std::shared_ptr<MenuItem> EditFindNext() const;
    std::shared_ptr<MenuItem> EditFind() const;
    std::shared_ptr<MenuItem> UntitledItem1() const;
    std::shared_ptr<MenuItem> EditSelectAll() const;
    std::shared_ptr<MenuItem> UntitledMenu0() const;
    std::shared_ptr<MenuItem> EditClear() const;
    std::shared_ptr<MenuItem> EditPaste() const;
    std::shared_ptr<MenuItem> EditCopy() const;
    std::shared_ptr<MenuItem> EditCut() const;
    std::shared_ptr<MenuItem> FileMenu() const;
    std::shared_ptr<QuitMenuItem> FileQuit() const;
    std::shared_ptr<MenuItem> UntitledSeparator() const;
    std::shared_ptr<MenuItem> FilePrintHelp() const;
    std::shared_ptr<MenuItem> FilePrint() const;

    void AddMenuHandlers(Window& window) override;

    void Event_Close() override;
    void Event_Open() override;
    void Event_Resized() override;
    void Event_Moved() override;
    void Event_EnableMenuItems() override;

    bool FilePrint_Action();
    bool FilePrintHelp_Action();

private:
    // The forward search from Q, by the comparison the check box chooses.
    void SearchForward();
    // Selects the match at P and scrolls its line to the sixth visible line.
    void ShowMatch(bool forward);
};
