#include "update/selfTest.h"

#include "framework/Application.h"
#include "update/updateWindow.h"
#include "windows/WindowClass.h"

using namespace windows;

namespace {

const PropertyList kWindowProperties = {
    {"Placement", 0},        {"Width", 212},          {"Height", 96},
    {"MinWidth", 64},        {"MinHeight", 64},       {"MaxWidth", 32000},
    {"MaxHeight", 32000},    {"Frame", 0},            {"Composite", false},
    {"HasBackColor", false}, {"BackColor", Color{255, 255, 255}}, {"Title", "Self Test"},
    {"Visible", true},       {"FullScreen", false},   {"MenuBarVisible", true},
    {"CloseButton", true},   {"Resizeable", false},   {"LiveResize", false},
    {"MaximizeButton", false}, {"MinimizeButton", false}, {"MacProcID", 0},
};

const std::vector<ControlSpec>& ControlTable() {
    static const std::vector<ControlSpec> controls = {
        {"StaticText1", Make<Label>,
         {{"Index", kNoIndex}, {"Left", 38}, {"Top", 19}, {"Width", 59}, {"Height", 20},
          {"TabIndex", 0}, {"Text", "Version:"}, {"TextFont", "System"}, {"Bold", true},
          {"TextAlign", 0}, {"Multiline", false}}},
        {"StaticText2", Make<Label>,
         {{"Index", kNoIndex}, {"Left", 103}, {"Top", 19}, {"Width", 72}, {"Height", 20},
          {"TabIndex", 1}, {"Text", "1.1.0 Intel"}, {"TextFont", "System"}, {"Bold", false},
          {"TextAlign", 2}, {"Multiline", false}}},
        {"PushButton1", Make<PushButton>,
         {{"Index", kNoIndex}, {"Left", 28}, {"Top", 51}, {"Width", 157}, {"Height", 21},
          {"TabIndex", 2}, {"Caption", "Check for Updates"}, {"TextFont", "System"}, {"Bold", true},
          {"Default", true}, {"Cancel", false}, {"ButtonStyle", 0}}},
    };
    return controls;
}

const std::vector<EventBinding<selfTest>>& BindingTable() {
    static const std::vector<EventBinding<selfTest>> bindings = {
        {"StaticText2", kEventOpen, Handler(&selfTest::StaticText2_Open)},
        {"PushButton1", kEventAction, Handler(&selfTest::PushButton1_Action)},
    };
    return bindings;
}

}  // namespace

std::shared_ptr<selfTest> selfTest::Instance() { return ImplicitInstance<selfTest>(); }

void selfTest::Layout() { SetProperties(*this, kWindowProperties); }

void selfTest::CreateControls() { CreateControls0(); }

void selfTest::CreateControls0() { CreateControlsFrom(*this, ControlTable(), BindingTable()); }

std::shared_ptr<Label> selfTest::StaticText1() const { return ControlAs<Label>(*this, "StaticText1"); }
std::shared_ptr<Label> selfTest::StaticText2() const { return ControlAs<Label>(*this, "StaticText2"); }
std::shared_ptr<PushButton> selfTest::PushButton1() const { return ControlAs<PushButton>(*this, "PushButton1"); }

void selfTest::StaticText2_Open(Label& label) { label.SetText(Application::LongVersion()); }

void selfTest::PushButton1_Action(PushButton&) {
    // The update window's Open closes this window; the running handler keeps
    // it alive until it returns.
    updateWindow::Instance()->ShowModal();
    // Never builds a new version window: only one still open is closed.
    if (auto open = GetImplicitWindow(QString::fromLatin1(kFullName))) open->Close();
}
