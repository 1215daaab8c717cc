#include "windows/about/AboutBox.h"

#include "framework/Application.h"
#include "framework/Links.h"
#include "windows/Site.h"
#include "windows/WindowClass.h"

using namespace windows;

namespace {

const PropertyList kWindowProperties = {
    {"Placement", 0},        {"Width", 264},          {"Height", 295},
    {"MinWidth", 64},        {"MinHeight", 64},       {"MaxWidth", 32000},
    {"MaxHeight", 32000},    {"Frame", 0},            {"Composite", false},
    {"HasBackColor", false}, {"BackColor", Color{255, 255, 255}}, {"Title", "About..."},
    {"Visible", true},       {"FullScreen", false},   {"MenuBarVisible", true},
    {"CloseButton", true},   {"Resizeable", false},   {"LiveResize", false},
    {"MaximizeButton", false}, {"MinimizeButton", false}, {"MacProcID", 0},
};

// Five lines joined by single carriage returns.
const char* const kCredits = "Developed by\rHalvord\r\rSr. Beta Tester\rBrenlow";

void SetTextSize(Control& control, double size) { dynamic_cast<Label&>(control).SetTextSize(size); }

const std::vector<ControlSpec>& ControlTable() {
    static const std::vector<ControlSpec> controls = {
        {"PushButton1", Make<PushButton>,
         {{"Index", kNoIndex}, {"Left", 72}, {"Top", 180}, {"Width", 120}, {"Height", 21},
          {"TabIndex", 0}, {"Caption", "Email Author"}, {"TextFont", "System"}, {"Bold", true},
          {"Default", false}, {"Cancel", false}}},
        {"PushButton2", Make<PushButton>,
         {{"Index", kNoIndex}, {"Left", 72}, {"Top", 217}, {"Width", 120}, {"Height", 21},
          {"TabIndex", 1}, {"Caption", "Visit Web Site"}, {"TextFont", "System"}, {"Bold", true},
          {"Default", false}, {"Cancel", false}}},
        {"StaticText2", Make<Label>,
         {{"Index", kNoIndex}, {"Left", 80}, {"Top", 86}, {"Width", 104}, {"Height", 87},
          {"TabIndex", 2}, {"Text", kCredits}, {"TextFont", "System"}, {"Bold", false},
          {"TextAlign", 1}, {"Multiline", true}}},
        {"StaticText1", Make<Label>,
         {{"Index", kNoIndex}, {"Left", 20}, {"Top", 20}, {"Width", 224}, {"Height", 45},
          {"TabIndex", 3}, {"Text", "Morvellan"}, {"TextFont", "Arial"}, {"Bold", true},
          {"TextAlign", 1}, {"Multiline", false}},
         [](Control& c) { SetTextSize(c, 30); }},
        {"StaticText3", Make<Label>,
         {{"Index", kNoIndex}, {"Left", 77}, {"Top", 60}, {"Width", 56}, {"Height", 20},
          {"TabIndex", 4}, {"Text", "Version:"}, {"TextFont", "Arial"}, {"Bold", true},
          {"TextAlign", 0}, {"Multiline", false}},
         [](Control& c) { SetTextSize(c, 12); }},
        {"StaticText4", Make<Label>,
         {{"Index", kNoIndex}, {"Left", 133}, {"Top", 60}, {"Width", 54}, {"Height", 20},
          {"TabIndex", 5}, {"Text", "1.1.0 Intel"}, {"TextFont", "Arial"}, {"Bold", true},
          {"TextAlign", 2}, {"Multiline", false}},
         [](Control& c) { SetTextSize(c, 12); }},
        {"Oskavel", Make<PushButton>,
         {{"Index", kNoIndex}, {"Left", 72}, {"Top", 254}, {"Width", 120}, {"Height", 21},
          {"TabIndex", 6}, {"Caption", "Support Oskavel"}, {"TextFont", "System"}, {"Bold", true},
          {"Default", true}, {"Cancel", false}}},
    };
    return controls;
}

const std::vector<EventBinding<AboutBox>>& BindingTable() {
    static const std::vector<EventBinding<AboutBox>> bindings = {
        {"PushButton1", kEventAction, Handler(&AboutBox::PushButton1_Action)},
        {"PushButton2", kEventAction, Handler(&AboutBox::PushButton2_Action)},
        {"StaticText4", kEventOpen, Handler(&AboutBox::StaticText4_Open)},
        {"Oskavel", kEventAction, Handler(&AboutBox::Oskavel_Action)},
    };
    return bindings;
}

}  // namespace

std::shared_ptr<AboutBox> AboutBox::Instance() { return ImplicitInstance<AboutBox>(); }

void AboutBox::Layout() { SetProperties(*this, kWindowProperties); }

void AboutBox::CreateControls() { CreateControls0(); }

void AboutBox::CreateControls0() { CreateControlsFrom(*this, ControlTable(), BindingTable()); }

std::shared_ptr<PushButton> AboutBox::PushButton1() const { return ControlAs<PushButton>(*this, "PushButton1"); }
std::shared_ptr<PushButton> AboutBox::PushButton2() const { return ControlAs<PushButton>(*this, "PushButton2"); }
std::shared_ptr<Label> AboutBox::StaticText2() const { return ControlAs<Label>(*this, "StaticText2"); }
std::shared_ptr<Label> AboutBox::StaticText1() const { return ControlAs<Label>(*this, "StaticText1"); }
std::shared_ptr<Label> AboutBox::StaticText3() const { return ControlAs<Label>(*this, "StaticText3"); }
std::shared_ptr<Label> AboutBox::StaticText4() const { return ControlAs<Label>(*this, "StaticText4"); }
std::shared_ptr<PushButton> AboutBox::Oskavel() const { return ControlAs<PushButton>(*this, "Oskavel"); }

void AboutBox::PushButton1_Action(PushButton&) {
    ShowURL(QStringLiteral("mailto:") + QString::fromLatin1(Site::kAuthorAddress));
}

void AboutBox::PushButton2_Action(PushButton&) { ShowURL(Site::MakerHomePage()); }

// The version of the running build; the text stored in the list is only a
// stand-in until the window opens.
void AboutBox::StaticText4_Open(Label& label) { label.SetText(Application::LongVersion()); }

void AboutBox::Oskavel_Action(PushButton&) {
    ShowURL(QStringLiteral("http://") + QString::fromLatin1(Site::kStoreHost) + QStringLiteral("/?") +
            QString::fromLatin1(Site::kProductCode) + QStringLiteral("&lang=en"));
}
