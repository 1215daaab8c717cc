#include "app/MenuBars.h"

#include "windows/MenuBuilder.h"

using menus::BuildMenu;
using menus::Entry;
using menus::InstanceOf;
using menus::ReleaseInstance;
using menus::MenuSpec;

namespace {

const Entry kSeparator0{Entry::Item, "UntitledMenu0", "-", ""};
const Entry kCut{Entry::Item, "EditCut", "Cu&t", "Cmd+X"};
const Entry kCopy{Entry::Item, "EditCopy", "&Copy", "Cmd+C"};
const Entry kPaste{Entry::Item, "EditPaste", "&Paste", "Cmd+V"};
const Entry kDelete{Entry::Item, "EditClear", "&Delete", ""};
const Entry kSelectAll{Entry::Item, "EditSelectAll", "Select &All", "Cmd+A"};
const Entry kPrintHelp{Entry::Item, "FilePrintHelp", "Print Help", "Cmd+Shift+P"};
const Entry kQuit{Entry::Quit, "FileQuit", "&Quit", "Cmd+Q"};
const Entry kCheckNow{Entry::Item, "CheckforUpdateCheckNow", "Check Now", ""};
const Entry kShowHelp{Entry::Item, "TindrelHelpShowMorvellanHelp", "Show Morvellan Help", ""};
const Entry kAbout{Entry::About, "TindrelHelpAboutMorvellan", "About Morvellan", ""};

const MenuSpec kBar1[] = {
    {"FileMenu", "&File", {kPrintHelp, kQuit}},
    {"EditMenu", "&Edit", {kCut, kCopy, kPaste, kDelete, kSeparator0, kSelectAll}},
    {"ResetAllMenu", "Reset All", {{Entry::Item, "ResetAllYesdoitnow", "Yes - do it now", ""}}},
    {"CheckforUpdateMenu", "Check for Update", {kCheckNow}},
    {"HelpMenu", "Morvellan Help", {kShowHelp, kAbout}},
};

const MenuSpec kBar2[] = {
    {"FileMenu",
     "&File",
     {{Entry::Item, "FilePrint", "Print", "Cmd+P"},
      kPrintHelp,
      {Entry::Item, "UntitledSeparator", "-", ""},
      kQuit}},
    {"EditMenu",
     "&Edit",
     {kCut, kCopy, kPaste, kDelete, kSeparator0, kSelectAll,
      {Entry::Item, "UntitledItem1", "-", ""},
      {Entry::Item, "EditFind", "Find", "Cmd+F"},
      {Entry::Item, "EditFindNext", "Find Next", "Cmd+G"},
      {Entry::Item, "EditFindPrevious", "Find Previous", "Cmd+Shift+G"}}},
    {"CheckforUpdateMenu", "Check for Update", {kCheckNow}},
    {"FontSizeMenu",
     "Font Size",
     {{Entry::Item, "FontSizeSmaller", "Smaller", ""}, {Entry::Item, "FontSizeLarger", "Larger", ""}}},
    {"MorvellanHelpMenu", "Morvellan Help", {kShowHelp, kAbout}},
};

}  // namespace

std::shared_ptr<MenuBar1> MenuBar1::implicitInstance;
std::shared_ptr<MenuBar2> MenuBar2::implicitInstance;

std::shared_ptr<MenuBar1> MenuBar1::Instance() { return InstanceOf(implicitInstance); }

void MenuBar1::Constructor() {
    Untitled0();
    Untitled1();
    Untitled2();
    Untitled3();
    Untitled4();
}

void MenuBar1::Untitled0() { BuildMenu(*this, kBar1[0]); }
void MenuBar1::Untitled1() { BuildMenu(*this, kBar1[1]); }
void MenuBar1::Untitled2() { BuildMenu(*this, kBar1[2]); }
void MenuBar1::Untitled3() { BuildMenu(*this, kBar1[3]); }
void MenuBar1::Untitled4() { BuildMenu(*this, kBar1[4]); }

void MenuBar1::Exit() { ReleaseInstance(implicitInstance); }

std::shared_ptr<MenuBar2> MenuBar2::Instance() { return InstanceOf(implicitInstance); }

void MenuBar2::Constructor() {
    Untitled0();
    Untitled1();
    Untitled2();
    Untitled3();
    Untitled4();
}

void MenuBar2::Untitled0() { BuildMenu(*this, kBar2[0]); }
void MenuBar2::Untitled1() { BuildMenu(*this, kBar2[1]); }
void MenuBar2::Untitled2() { BuildMenu(*this, kBar2[2]); }
void MenuBar2::Untitled3() { BuildMenu(*this, kBar2[3]); }
void MenuBar2::Untitled4() { BuildMenu(*this, kBar2[4]); }

void MenuBar2::Exit() { ReleaseInstance(implicitInstance); }
