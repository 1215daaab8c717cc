#include "windows/editor/Window2.h"

#include "app/MenuBars.h"
#include "framework/Dialogs.h"
#include "framework/Printing.h"
#include "framework/Runtime.h"
#include "print/PageLayout.h"
#include "store/Module1.h"
#include "text/TextFunctions.h"
#include "windows/WindowClass.h"
#include "windows/help/HelpPrinting.h"
#include "windows/password/Window1.h"

using namespace windows;

namespace {

const PropertyList kWindowProperties = {
    {"Placement", 0},        {"Width", 450},          {"Height", 500},
    {"MinWidth", 450},       {"MinHeight", 500},      {"MaxWidth", 32000},
    {"MaxHeight", 32000},    {"Frame", 0},            {"Composite", false},
    {"HasBackColor", false}, {"BackColor", Color{255, 255, 255}}, {"Title", "My Secret Info"},
    {"Visible", true},       {"FullScreen", false},   {"MenuBarVisible", true},
    {"CloseButton", true},   {"Resizeable", true},    {"LiveResize", false},
    {"MaximizeButton", false}, {"MinimizeButton", true}, {"MacProcID", 0},
};

const std::vector<ControlSpec>& ControlTable() {
    static const std::vector<ControlSpec> controls = {
        {"EditField1", Make<TextArea>,
         {{"Index", kNoIndex}, {"Left", 20}, {"Top", 79}, {"Width", 410}, {"Height", 401},
          {"LockLeft", true}, {"LockTop", true}, {"LockRight", true}, {"LockBottom", true},
          {"TabIndex", 0}, {"Text", ""}, {"TextFont", "System"}, {"Multiline", true},
          {"Styled", true}, {"ScrollbarVertical", true}, {"ScrollbarHorizontal", false},
          {"HideSelection", true}, {"AcceptTabs", true}, {"AutomaticallyCheckSpelling", true},
          {"ReadOnly", false}, {"LimitText", 0}, {"Bold", false}},
         [](Control& c) { dynamic_cast<TextArea&>(c).SetLineSpacing(1.0); }},
        {"FindString", Make<TextField>,
         {{"Index", kNoIndex}, {"Left", 20}, {"Top", 40}, {"Width", 163}, {"Height", 22},
          {"LockLeft", true}, {"LockTop", true}, {"TabIndex", 1}, {"Text", ""},
          {"TextFont", "System"}, {"AutomaticallyCheckSpelling", false}, {"AcceptTabs", false},
          {"Password", false}, {"ReadOnly", false}, {"Bold", false}}},
        {"StaticText1", Make<Label>,
         {{"Index", kNoIndex}, {"Left", 20}, {"Top", 20}, {"Width", 163}, {"Height", 20},
          {"LockLeft", true}, {"LockTop", true}, {"TabIndex", 2}, {"Text", "Find Text"},
          {"TextFont", "System"}, {"Bold", true}, {"TextAlign", 1}, {"Multiline", false}}},
        {"Find", Make<PushButton>,
         {{"Index", kNoIndex}, {"Left", 195}, {"Top", 41}, {"Width", 80}, {"Height", 20},
          {"LockLeft", true}, {"LockTop", true}, {"TabIndex", 3}, {"Caption", "Find"},
          {"TextFont", "System"}, {"Bold", true}, {"Default", false}, {"Cancel", false}}},
        {"FindNext", Make<PushButton>,
         {{"Index", kNoIndex}, {"Left", 195}, {"Top", 9}, {"Width", 80}, {"Height", 20},
          {"LockLeft", true}, {"LockTop", true}, {"TabIndex", 4}, {"Caption", "Find Next"},
          {"TextFont", "System"}, {"Bold", true}, {"Default", false}, {"Cancel", false}}},
        {"FindPrevious", Make<PushButton>,
         {{"Index", kNoIndex}, {"Left", 287}, {"Top", 9}, {"Width", 120}, {"Height", 20},
          {"LockLeft", true}, {"LockTop", true}, {"TabIndex", 5}, {"Caption", "Find Previous"},
          {"TextFont", "System"}, {"Bold", true}, {"Default", false}, {"Cancel", false}}},
        {"ThisScroll", Make<TextField>,
         {{"Index", kNoIndex}, {"Left", 124}, {"Top", 794}, {"Width", 98}, {"Height", 22},
          {"TabIndex", 6}, {"Text", ""}, {"TextFont", "System"}, {"Visible", false},
          {"ReadOnly", true}, {"Alignment", 2}, {"AutomaticallyCheckSpelling", false},
          {"AcceptTabs", false}, {"Password", false}, {"Bold", false}}},
        {"StaticText2", Make<Label>,
         {{"Index", kNoIndex}, {"Left", 20}, {"Top", 795}, {"Width", 100}, {"Height", 20},
          {"TabIndex", 7}, {"Text", "Scroll Position"}, {"TextFont", "System"}, {"Visible", false},
          {"Bold", true}, {"TextAlign", 1}, {"Multiline", false}}},
        {"IgnoreCase", Make<CheckBox>,
         {{"Index", kNoIndex}, {"Left", 295}, {"Top", 42}, {"Width", 119}, {"Height", 20},
          {"TabIndex", 8}, {"Caption", "Ignore Case"}, {"TextFont", "System"}, {"Value", true},
          {"State", 1}, {"Bold", true}}},
        {"Timer1", Make<Timer>, {{"Period", 500}, {"Mode", 0}}},
    };
    return controls;
}

const std::vector<EventBinding<Window2>>& BindingTable() {
    static const std::vector<EventBinding<Window2>> bindings = {
        {"FindString", kEventTextChange, Handler(&Window2::FindString_TextChange)},
        {"Find", kEventAction, Handler(&Window2::Find_Action)},
        {"FindNext", kEventAction, Handler(&Window2::FindNext_Action)},
        {"FindPrevious", kEventAction, Handler(&Window2::FindPrevious_Action)},
        {"ThisScroll", kEventTextChange, Handler(&Window2::ThisScroll_TextChange)},
        {"Timer1", kEventTimerAction, Handler(&Window2::Timer1_Action)},
    };
    return bindings;
}

}  // namespace

std::shared_ptr<Window2> Window2::Instance() { return ImplicitInstance<Window2>(); }

void Window2::Layout() {
    SetMenuBar(MenuBar2::Instance());
    SetProperties(*this, kWindowProperties);
}

void Window2::CreateControls() { CreateControls0(); }

void Window2::CreateControls0() { CreateControlsFrom(*this, ControlTable(), BindingTable()); }

std::shared_ptr<TextArea> Window2::EditField1() const { return ControlAs<TextArea>(*this, "EditField1"); }
std::shared_ptr<TextField> Window2::FindString() const { return ControlAs<TextField>(*this, "FindString"); }
std::shared_ptr<Label> Window2::StaticText1() const { return ControlAs<Label>(*this, "StaticText1"); }
std::shared_ptr<PushButton> Window2::Find() const { return ControlAs<PushButton>(*this, "Find"); }
std::shared_ptr<PushButton> Window2::FindNext() const { return ControlAs<PushButton>(*this, "FindNext"); }
std::shared_ptr<PushButton> Window2::FindPrevious() const { return ControlAs<PushButton>(*this, "FindPrevious"); }
std::shared_ptr<TextField> Window2::ThisScroll() const { return ControlAs<TextField>(*this, "ThisScroll"); }
std::shared_ptr<Label> Window2::StaticText2() const { return ControlAs<Label>(*this, "StaticText2"); }
std::shared_ptr<CheckBox> Window2::IgnoreCase() const { return ControlAs<CheckBox>(*this, "IgnoreCase"); }
std::shared_ptr<Timer> Window2::Timer1() const { return ControlAs<Timer>(*this, "Timer1"); }

void Window2::FindString_TextChange(TextField&) {
    if (Text::Len(Instance()->FindString()->Text()) > 2) Instance()->Find()->SetDefault(true);
}

void Window2::Find_Action(PushButton&) {
    Module1::Q = 1;
    Module1::S = Instance()->EditField1()->Text();
    Module1::W = Instance()->FindString()->Text();
    if (Text::Len(Module1::W) < 3) {
        MsgBox(QStringLiteral("The find text should be at least three characters!"));
        return;
    }
    SearchForward();
    if (Module1::P == 0) {
        MsgBox(QStringLiteral("There are no matches!"));
        return;
    }
    ShowMatch(true);
}

void Window2::FindNext_Action(PushButton&) {
    Module1::S = Instance()->EditField1()->Text();
    Module1::W = Instance()->FindString()->Text();
    SearchForward();
    if (Module1::P == 0) {
        Module1::Q = 1;
        SearchForward();
    }
    if (Module1::P == 0) {
        MsgBox(QStringLiteral("There are no matches!"));
        return;
    }
    ShowMatch(true);
}

void Window2::FindPrevious_Action(PushButton&) {
    const int64_t findLength = Text::Len(Module1::W);
    // With one or two characters the usual start would try the current
    // match, or the one after it, first and never move backward: start at
    // the character before the current match instead.
    const int64_t first = findLength == 1 || findLength == 2 ? int64_t{Module1::Q} - 2
                                                             : int64_t{Module1::Q} - findLength + 1;
    const int64_t p = Text::SearchBackward(Module1::S, Module1::W, first, Instance()->IgnoreCase()->Value());
    if (p < 1) {
        Module1::P = static_cast<int32_t>(std::min<int64_t>(p, 0));
        MsgBox(QStringLiteral("Sorry, no more found!"));
        return;
    }
    Module1::P = static_cast<int32_t>(p);
    Module1::Q = Module1::P + 1;
    ShowMatch(false);
}

void Window2::ThisScroll_TextChange(TextField&) {
    auto editor = Instance();
    editor->ThisScroll()->SetText(Text::Str(editor->EditField1()->ScrollPosition()));
    editor->ThisScroll()->Refresh(true);
}

void Window2::SearchForward() {
    const int32_t start = Module1::Q;
    Module1::P = Instance()->IgnoreCase()->Value() ? Text::InStr(start, Module1::S, Module1::W)
                                                   : Text::InStrB(start, Module1::S, Module1::W);
}

void Window2::ShowMatch(bool forward) {
    auto editor = Instance();
    auto area = editor->EditField1();
    area->SetFocus();
    area->SetSelStart(Module1::P - 1);
    area->SetSelLength(Text::Len(Module1::W));
    if (forward) Module1::Q = Module1::P + 1;
    Module1::A = area->LineNumAtCharPos(Module1::P) - 5;
    area->SetScrollPosition(Module1::A);
    editor->ThisScroll()->SetText(Text::Str(Module1::A));
    if (!forward) editor->ThisScroll()->Refresh(true);
    editor->Refresh(true);
}

void Window2::Timer1_Action(Timer&) {
    auto field = Instance()->FindString();
    field->SetText(QString());
    field->SetFocus();
}

std::shared_ptr<MenuItem> Window2::MorvellanHelpMenu() const { return MenuItemAs<MenuItem>(*this, "MorvellanHelpMenu"); }
std::shared_ptr<AppleMenuItem> Window2::TindrelHelpAboutMorvellan() const { return MenuItemAs<AppleMenuItem>(*this, "TindrelHelpAboutMorvellan"); }
std::shared_ptr<MenuItem> Window2::TindrelHelpShowMorvellanHelp() const { return MenuItemAs<MenuItem>(*this, "TindrelHelpShowMorvellanHelp"); }
std::shared_ptr<MenuItem> Window2::FontSizeMenu() const { return MenuItemAs<MenuItem>(*this, "FontSizeMenu"); }
std::shared_ptr<MenuItem> Window2::FontSizeLarger() const { return MenuItemAs<MenuItem>(*this, "FontSizeLarger"); }
std::shared_ptr<MenuItem> Window2::FontSizeSmaller() const { return MenuItemAs<MenuItem>(*this, "FontSizeSmaller"); }
std::shared_ptr<MenuItem> Window2::CheckforUpdateMenu() const { return MenuItemAs<MenuItem>(*this, "CheckforUpdateMenu"); }
std::shared_ptr<MenuItem> Window2::CheckforUpdateCheckNow() const { return MenuItemAs<MenuItem>(*this, "CheckforUpdateCheckNow"); }
std::shared_ptr<MenuItem> Window2::EditMenu() const { return MenuItemAs<MenuItem>(*this, "EditMenu"); }
std::shared_ptr<MenuItem> Window2::EditFindPrevious() const { return MenuItemAs<MenuItem>(*this, "EditFindPrevious"); }
std::shared_ptr<MenuItem> Window2::EditFindNext() const { return MenuItemAs<MenuItem>(*this, "EditFindNext"); }
std::shared_ptr<MenuItem> Window2::EditFind() const { return MenuItemAs<MenuItem>(*this, "EditFind"); }
std::shared_ptr<MenuItem> Window2::UntitledItem1() const { return MenuItemAs<MenuItem>(*this, "UntitledItem1"); }
std::shared_ptr<MenuItem> Window2::EditSelectAll() const { return MenuItemAs<MenuItem>(*this, "EditSelectAll"); }
std::shared_ptr<MenuItem> Window2::UntitledMenu0() const { return MenuItemAs<MenuItem>(*this, "UntitledMenu0"); }
std::shared_ptr<MenuItem> Window2::EditClear() const { return MenuItemAs<MenuItem>(*this, "EditClear"); }
std::shared_ptr<MenuItem> Window2::EditPaste() const { return MenuItemAs<MenuItem>(*this, "EditPaste"); }
std::shared_ptr<MenuItem> Window2::EditCopy() const { return MenuItemAs<MenuItem>(*this, "EditCopy"); }
std::shared_ptr<MenuItem> Window2::EditCut() const { return MenuItemAs<MenuItem>(*this, "EditCut"); }
std::shared_ptr<MenuItem> Window2::FileMenu() const { return MenuItemAs<MenuItem>(*this, "FileMenu"); }
std::shared_ptr<QuitMenuItem> Window2::FileQuit() const { return MenuItemAs<QuitMenuItem>(*this, "FileQuit"); }
std::shared_ptr<MenuItem> Window2::UntitledSeparator() const { return MenuItemAs<MenuItem>(*this, "UntitledSeparator"); }
std::shared_ptr<MenuItem> Window2::FilePrintHelp() const { return MenuItemAs<MenuItem>(*this, "FilePrintHelp"); }
std::shared_ptr<MenuItem> Window2::FilePrint() const { return MenuItemAs<MenuItem>(*this, "FilePrint"); }

void Window2::AddMenuHandlers(Window& window) {
    BindMenuHandler(window, "FilePrint", &Window2::FilePrint_Action);
    BindMenuHandler(window, "FilePrintHelp", &Window2::FilePrintHelp_Action);
}

void Window2::Event_Close() {
    // The note is never given up: when it cannot be written, the editor
    // stays open with its text, so the user can mend the cause and close
    // again, or copy the text out. The old file is still as it was.
    // A text area that never received the note is not the note: it is not
    // written over it.
    try {
        if (Module1::NoteShown) Module1::savePlistData();
    } catch (const FileError& e) {
        MsgBox(QStringLiteral("Your text was not saved.  %1  The window stays open: fix the cause "
                              "and close it again, or copy your text elsewhere.")
                   .arg(e.message()));
        Instance()->RefuseClose();
        return;
    }
    Module1::Win2Height = Instance()->Height();
    Module1::Win2Width = Instance()->Width();
    Module1::saveWinSize();
    Quit(0);
}

void Window2::Event_Open() {
    Window1::Instance()->Hide();
    Module1::Window2OpenFlag = true;
    Module1::getWinSize();
    Instance()->SetHeight(Module1::Win2Height);
    Instance()->SetWidth(Module1::Win2Width);
    Module1::getFontSize();
    Instance()->EditField1()->SetTextSize(static_cast<double>(Module1::FontSize));
    Instance()->Timer1()->SetMode(1);
}

void Window2::Event_Resized() {
    auto editor = Instance();
    editor->FindString()->SetText(QString());
    editor->EditField1()->SetFocus();
    editor->EditField1()->SetSelStart(0);
    editor->EditField1()->SetSelLength(0);
    editor->Refresh(true);
}

void Window2::Event_Moved() { Instance()->Refresh(true); }

void Window2::Event_EnableMenuItems() {
    Instance()->Find()->SetEnabled(true);
    Instance()->FindNext()->SetEnabled(true);
    Instance()->FindPrevious()->SetEnabled(true);
}

// Prints the note with a footer on every page; true when the print dialog
// was cancelled and nothing printed.
bool Window2::FilePrint_Action() {
    using namespace PageLayout;
    const QString timeStamp = TimeStamp();
    GraphicsRef g = OpenPrinterDialog({Title(), QStringLiteral("the note")});
    if (!g) return true;
    ApplyPageSettings(*g);
    // The footers are drawn in the page settings too.
    PrintPages(*g, [&] { return EditField1()->styledTextPrinter(g, kBlockWidth); }, timeStamp);
    return false;
}

bool Window2::FilePrintHelp_Action() { return HelpPrinting::PrintHelp(); }
