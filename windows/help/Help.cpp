#include "windows/help/Help.h"

#include "windows/MenuBuilder.h"
#include "windows/WindowClass.h"
#include "windows/help/HelpPrinting.h"

using namespace windows;

const char* const kHelpText =
    "Morvellan keeps your important information safe from prying eyes.  Your password and your "
    "information are saved on this computer in a protected format.\r\r"
    "When Morvellan starts, it asks for a password of \"8-12 alphanumeric characters\".  On the first "
    "launch it asks whether this password is to protect your information.  Once you click the \"OK\" "
    "button, the password is set, and from then on you must enter the same password each time to reach "
    "your information.\r\r"
    "Your information goes into the \"My Secret Info\" window.  It is a good idea to add the line "
    "\"THIS IS THE LAST LINE.\" and three empty lines at the bottom of your text, so that you can always "
    "see where it ends.  The \"Font Size\" menu makes the font larger or smaller.  You can make the "
    "window larger by dragging its bottom right corner.  The font size and the window size are "
    "remembered from one run of Morvellan to the next.  To search the text, type what you are looking "
    "for and click the \"Find\" button (\"Ctrl-F\"); the \"Find Next\" (\"Ctrl-G\") and \"Find "
    "Previous\" (\"Shift-Ctrl-G\") buttons move between the occurrences.  Searches may be "
    "\"case-sensitive\" or \"case-insensitive\"; tick \"Ignore Case\" for the latter.  The password and "
    "your information are saved when the \"My Secret Info\" window is closed or the program is quit.\r\r"
    "Note:  The text must have at least three characters; otherwise, text will be blank.\r\r"
    "To delete the key and information files and start afresh, choose the \"Reset All\" menu item "
    "before you enter the password.\r\r"
    "Legal Disclaimer:  Your password and your information are saved in a \"protected\" manner; they "
    "are not encrypted.  The developer accepts no responsibility for any loss of information, "
    "including a forgotten password or reverse engineering.\r\r"
    "The application icon was drawn for Morvellan by its own developers.";

namespace {

const PropertyList kWindowProperties = {
    {"Placement", 0},        {"Width", 350},          {"Height", 348},
    {"MinWidth", 64},        {"MinHeight", 64},       {"MaxWidth", 32000},
    {"MaxHeight", 32000},    {"Frame", 0},            {"Composite", false},
    {"HasBackColor", false}, {"BackColor", Color{255, 255, 255}}, {"Title", "Help"},
    {"Visible", true},       {"FullScreen", false},   {"MenuBarVisible", true},
    {"CloseButton", true},   {"Resizeable", false},   {"LiveResize", false},
    {"MaximizeButton", false}, {"MinimizeButton", false}, {"MacProcID", 0},
};

const std::vector<ControlSpec>& ControlTable() {
    static const std::vector<ControlSpec> controls = {
        {"TextArea1", Make<TextArea>,
         {{"AutomaticallyCheckSpelling", true}, {"Alignment", 0}, {"AcceptTabs", false},
          {"LimitText", 0}, {"ReadOnly", true}, {"Text", QString::fromUtf8(kHelpText)},
          {"Underline", false}, {"Italic", false}, {"Bold", false}, {"TextFont", "System"},
          {"HideSelection", true}, {"Visible", true}, {"Enabled", true}, {"Styled", true},
          {"ScrollbarVertical", true}, {"ScrollbarHorizontal", false}, {"Multiline", true},
          {"Border", true}, {"TabStop", true}, {"TabIndex", 0}, {"LockBottom", false},
          {"LockRight", false}, {"LockTop", false}, {"LockLeft", false}, {"Height", 309},
          {"Width", 310}, {"Top", 19}, {"Left", 20}, {"Index", kNoIndex}},
         [](Control& c) { dynamic_cast<TextArea&>(c).SetLineSpacing(1.0); }},
    };
    return controls;
}

const menus::MenuSpec kBar3[] = {
    {"FileMenu",
     "&File",
     {{menus::Entry::Item, "FilePrintHelp", "Print Help", "Cmd+Shift+P"},
      {menus::Entry::Quit, "FileQuit", "&Quit", "Cmd+Q"}}},
    {"EditMenu",
     "&Edit",
     {{menus::Entry::Item, "EditUndo", "&Undo", "Cmd+Z"},
      {menus::Entry::Item, "EditSeparator1", "-", ""},
      {menus::Entry::Item, "EditCut", "Cu&t", "Cmd+X"},
      {menus::Entry::Item, "EditCopy", "&Copy", "Cmd+C"},
      {menus::Entry::Item, "EditPaste", "&Paste", "Cmd+V"},
      {menus::Entry::Item, "EditClear", "&Delete", ""},
      {menus::Entry::Item, "EditSeparator2", "-", ""},
      {menus::Entry::Item, "EditSelectAll", "Select &All", "Cmd+A"}}},
};

}  // namespace

std::shared_ptr<Help> Help::Instance() { return ImplicitInstance<Help>(); }

void Help::Layout() {
    SetMenuBar(MenuBar3::Instance());
    SetProperties(*this, kWindowProperties);
}

void Help::CreateControls() { CreateControls0(); }

void Help::CreateControls0() { CreateControlsFrom<Help>(*this, ControlTable(), {}); }

std::shared_ptr<TextArea> Help::TextArea1() const { return ControlAs<TextArea>(*this, "TextArea1"); }

std::shared_ptr<MenuItem> Help::EditMenu() const { return MenuItemAs<MenuItem>(*this, "EditMenu"); }
std::shared_ptr<MenuItem> Help::EditSelectAll() const { return MenuItemAs<MenuItem>(*this, "EditSelectAll"); }
std::shared_ptr<MenuItem> Help::EditSeparator2() const { return MenuItemAs<MenuItem>(*this, "EditSeparator2"); }
std::shared_ptr<MenuItem> Help::EditClear() const { return MenuItemAs<MenuItem>(*this, "EditClear"); }
std::shared_ptr<MenuItem> Help::EditPaste() const { return MenuItemAs<MenuItem>(*this, "EditPaste"); }
std::shared_ptr<MenuItem> Help::EditCopy() const { return MenuItemAs<MenuItem>(*this, "EditCopy"); }
std::shared_ptr<MenuItem> Help::EditCut() const { return MenuItemAs<MenuItem>(*this, "EditCut"); }
std::shared_ptr<MenuItem> Help::EditSeparator1() const { return MenuItemAs<MenuItem>(*this, "EditSeparator1"); }
std::shared_ptr<MenuItem> Help::EditUndo() const { return MenuItemAs<MenuItem>(*this, "EditUndo"); }
std::shared_ptr<MenuItem> Help::FileMenu() const { return MenuItemAs<MenuItem>(*this, "FileMenu"); }
std::shared_ptr<QuitMenuItem> Help::FileQuit() const { return MenuItemAs<QuitMenuItem>(*this, "FileQuit"); }
std::shared_ptr<MenuItem> Help::FilePrintHelp() const { return MenuItemAs<MenuItem>(*this, "FilePrintHelp"); }

void Help::AddMenuHandlers(Window& window) { BindMenuHandler(window, "FilePrintHelp", &Help::FilePrintHelp_Action); }

bool Help::FilePrintHelp_Action() { return HelpPrinting::PrintHelp(); }

std::shared_ptr<MenuBar3> MenuBar3::implicitInstance;

std::shared_ptr<MenuBar3> MenuBar3::Instance() { return menus::InstanceOf(implicitInstance); }

void MenuBar3::Constructor() {
    Untitled0();
    Untitled1();
}

void MenuBar3::Untitled0() { menus::BuildMenu(*this, kBar3[0]); }
void MenuBar3::Untitled1() { menus::BuildMenu(*this, kBar3[1]); }

void MenuBar3::Exit() { menus::ReleaseInstance(implicitInstance); }
