#include "windows/password/Window1.h"

#include "app/MenuBars.h"
#include "framework/Dialogs.h"
#include "framework/Runtime.h"
#include "store/Module1.h"
#include "text/TextFunctions.h"
#include "windows/WindowClass.h"
#include "windows/help/HelpPrinting.h"

using namespace windows;

namespace {

const PropertyList kWindowProperties = {
    {"Placement", 0},        {"Width", 350},          {"Height", 85},
    {"MinWidth", 64},        {"MinHeight", 64},       {"MaxWidth", 32000},
    {"MaxHeight", 32000},    {"Frame", 0},            {"Composite", false},
    {"HasBackColor", false}, {"BackColor", Color{255, 255, 255}}, {"Title", "Morvellan"},
    {"Visible", true},       {"FullScreen", false},   {"MenuBarVisible", true},
    {"CloseButton", true},   {"Resizeable", false},   {"LiveResize", false},
    {"MaximizeButton", false}, {"MinimizeButton", false}, {"MacProcID", 0},
};

const std::vector<ControlSpec>& ControlTable() {
    static const std::vector<ControlSpec> controls = {
        {"StaticText1", Make<Label>,
         {{"Index", kNoIndex}, {"Left", 20}, {"Top", 45}, {"Width", 72}, {"Height", 20},
          {"TabIndex", 0}, {"Text", "Password:"}, {"TextFont", "System"}, {"Bold", true},
          {"TextAlign", 0}, {"Multiline", false}}},
        {"ThisPassword", Make<TextField>,
         {{"Index", kNoIndex}, {"Left", 94}, {"Top", 45}, {"Width", 144}, {"Height", 22},
          {"TabIndex", 1}, {"Text", ""}, {"TextFont", "System"}, {"Bold", false},
          {"Mask", "AAAAAAAAaaaa"}, {"Password", false}, {"ReadOnly", false}, {"LimitText", 0},
          {"AcceptTabs", false}, {"Alignment", 0}, {"AutomaticallyCheckSpelling", false},
          {"Border", true}}},
        {"Enter", Make<PushButton>,
         {{"Index", kNoIndex}, {"Left", 250}, {"Top", 45}, {"Width", 80}, {"Height", 20},
          {"TabIndex", 2}, {"Caption", "Enter"}, {"TextFont", "System"}, {"Bold", true},
          {"Enabled", false}, {"Default", false}, {"Cancel", false}}},
        {"StaticText2", Make<Label>,
         {{"Index", kNoIndex}, {"Left", 93}, {"Top", 20}, {"Width", 145}, {"Height", 20},
          {"TabIndex", 3}, {"Text", "8 - 12 characters"}, {"TextFont", "System"}, {"Bold", true},
          {"TextAlign", 1}, {"Multiline", false}}},
    };
    return controls;
}

const std::vector<EventBinding<Window1>>& BindingTable() {
    static const std::vector<EventBinding<Window1>> bindings = {
        {"ThisPassword", kEventTextChange, Handler(&Window1::ThisPassword_TextChange)},
        {"ThisPassword", kEventOpen, Handler(&Window1::ThisPassword_Open)},
        {"Enter", kEventAction, Handler(&Window1::Enter_Action)},
        {"Enter", kEventOpen, Handler(&Window1::Enter_Open)},
    };
    return bindings;
}

}  // namespace

std::shared_ptr<Window1> Window1::Instance() { return ImplicitInstance<Window1>(); }

void Window1::Layout() {
    SetMenuBar(MenuBar1::Instance());
    SetProperties(*this, kWindowProperties);
}

void Window1::CreateControls() { CreateControls0(); }

void Window1::CreateControls0() { CreateControlsFrom(*this, ControlTable(), BindingTable()); }

std::shared_ptr<Label> Window1::StaticText1() const { return ControlAs<Label>(*this, "StaticText1"); }
std::shared_ptr<TextField> Window1::ThisPassword() const { return ControlAs<TextField>(*this, "ThisPassword"); }
std::shared_ptr<PushButton> Window1::Enter() const { return ControlAs<PushButton>(*this, "Enter"); }
std::shared_ptr<Label> Window1::StaticText2() const { return ControlAs<Label>(*this, "StaticText2"); }

void Window1::ThisPassword_TextChange(TextField&) {
    const bool ready = Text::Len(ThisPassword()->Text()) > 7;
    Enter()->SetEnabled(ready);
    Enter()->SetDefault(ready);
}

void Window1::ThisPassword_Open(TextField&) {
    ThisPassword()->SetPassword(true);
    Enter()->SetEnabled(false);
    Enter()->SetDefault(false);
}

void Window1::Enter_Action(PushButton&) {
    Module1::MyKey = ThisPassword()->Text();
    Module1::getPlistCypher();
}

void Window1::Enter_Open(PushButton&) { ThisPassword()->SetText(QString()); }

std::shared_ptr<MenuItem> Window1::HelpMenu() const { return MenuItemAs<MenuItem>(*this, "HelpMenu"); }
std::shared_ptr<AppleMenuItem> Window1::TindrelHelpAboutMorvellan() const { return MenuItemAs<AppleMenuItem>(*this, "TindrelHelpAboutMorvellan"); }
std::shared_ptr<MenuItem> Window1::TindrelHelpShowMorvellanHelp() const { return MenuItemAs<MenuItem>(*this, "TindrelHelpShowMorvellanHelp"); }
std::shared_ptr<MenuItem> Window1::CheckforUpdateMenu() const { return MenuItemAs<MenuItem>(*this, "CheckforUpdateMenu"); }
std::shared_ptr<MenuItem> Window1::CheckforUpdateCheckNow() const { return MenuItemAs<MenuItem>(*this, "CheckforUpdateCheckNow"); }
std::shared_ptr<MenuItem> Window1::ResetAllMenu() const { return MenuItemAs<MenuItem>(*this, "ResetAllMenu"); }
std::shared_ptr<MenuItem> Window1::ResetAllYesdoitnow() const { return MenuItemAs<MenuItem>(*this, "ResetAllYesdoitnow"); }
std::shared_ptr<MenuItem> Window1::EditMenu() const { return MenuItemAs<MenuItem>(*this, "EditMenu"); }
std::shared_ptr<MenuItem> Window1::EditSelectAll() const { return MenuItemAs<MenuItem>(*this, "EditSelectAll"); }
std::shared_ptr<MenuItem> Window1::UntitledMenu0() const { return MenuItemAs<MenuItem>(*this, "UntitledMenu0"); }
std::shared_ptr<MenuItem> Window1::EditClear() const { return MenuItemAs<MenuItem>(*this, "EditClear"); }
std::shared_ptr<MenuItem> Window1::EditPaste() const { return MenuItemAs<MenuItem>(*this, "EditPaste"); }
std::shared_ptr<MenuItem> Window1::EditCopy() const { return MenuItemAs<MenuItem>(*this, "EditCopy"); }
std::shared_ptr<MenuItem> Window1::EditCut() const { return MenuItemAs<MenuItem>(*this, "EditCut"); }
std::shared_ptr<MenuItem> Window1::FileMenu() const { return MenuItemAs<MenuItem>(*this, "FileMenu"); }
std::shared_ptr<QuitMenuItem> Window1::FileQuit() const { return MenuItemAs<QuitMenuItem>(*this, "FileQuit"); }
std::shared_ptr<MenuItem> Window1::FilePrintHelp() const { return MenuItemAs<MenuItem>(*this, "FilePrintHelp"); }

void Window1::AddMenuHandlers(Window& window) {
    BindMenuHandler(window, "ResetAllYesdoitnow", &Window1::ResetAllYesdoitnow_Action);
    BindMenuHandler(window, "FilePrintHelp", &Window1::FilePrintHelp_Action);
}

void Window1::Event_Close() {
    // FontSize is only read when the editor opens; writing it before the
    // editor has really opened (also when its opening failed half-way)
    // would replace the user's saved size with 0.
    if (Module1::Window2OpenFlag && Module1::NoteShown) Module1::saveFontSize();
    Quit(0);
}

bool Window1::ResetAllYesdoitnow_Action() {
    if (Module1::Window2OpenFlag) {
        MsgBox(QStringLiteral(
            "You can only reset password and data files when the My Secret Info window is closed!"));
    } else if (MsgBox(QStringLiteral("This will delete the password and data files with no way to get "
                                     "files back!  Are you sure you want to do this?"),
                      305, QString()) == kMsgBoxOK) {
        Module1::ResetAll();
    }
    return false;
}

bool Window1::FilePrintHelp_Action() { return HelpPrinting::PrintHelp(); }
