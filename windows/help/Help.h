// The help window: the fixed help text, read only, with a menu bar of its own.
#pragma once

#include "framework/TextArea.h"
#include "framework/Menu.h"
#include "framework/Window.h"

#include <memory>

class Help : public Window {
public:
    static constexpr const char* kFullName = "Help.Help";
    // The open help window, or a new one, built and shown.
    static std::shared_ptr<Help> Instance();

    Help() : Window(QString::fromLatin1(kFullName)) {}

    void Layout() override;
    void CreateControls() override;
    void CreateControls0();

    std::shared_ptr<TextArea> TextArea1() const;

    std::shared_ptr<MenuItem> EditMenu() const;
    std::shared_ptr<MenuItem> EditSelectAll() const;
    std::shared_ptr<MenuItem> EditSeparator2() const;
    std::shared_ptr<MenuItem> EditClear() const;
    std::shared_ptr<MenuItem> EditPaste() const;
    std::shared_ptr<MenuItem> EditCopy() const;
    std::shared_ptr<MenuItem> EditCut() const;
    std::shared_ptr<MenuItem> EditSeparator1() const;
    std::shared_ptr<MenuItem> EditUndo() const;
    std::shared_ptr<MenuItem> FileMenu() const;
    std::shared_ptr<QuitMenuItem> FileQuit() const;
    std::shared_ptr<MenuItem> FilePrintHelp() const;

    void AddMenuHandlers(Window& window) override;

    bool FilePrintHelp_Action();
};

// The help window's bar: File and Edit.
class MenuBar3 : public MenuBar {
public:
    static std::shared_ptr<MenuBar3> Instance();
    void Constructor();
    void Untitled0();
    void Untitled1();

    static std::shared_ptr<MenuBar3> implicitInstance;
    static void Exit();
};

// The help text: seven paragraphs, separated by two carriage returns.
extern const char* const kHelpText;
