#include "update/updateWindow.h"

#include "framework/Application.h"
#include "framework/Dialogs.h"
#include "framework/Links.h"
#include "text/TextFunctions.h"
#include "update/Manifest.h"
#include "update/selfTest.h"
#include "windows/Site.h"
#include "windows/WindowClass.h"

using namespace windows;

namespace {

const PropertyList kWindowProperties = {
    {"Placement", 0},        {"Width", 300},          {"Height", 120},
    {"MinWidth", 64},        {"MinHeight", 64},       {"MaxWidth", 32000},
    {"MaxHeight", 32000},    {"Frame", 1},            {"Composite", false},
    {"HasBackColor", false}, {"BackColor", Color{255, 255, 255}}, {"Title", "Update"},
    {"Visible", true},       {"FullScreen", false},   {"MenuBarVisible", true},
    {"CloseButton", true},   {"Resizeable", false},   {"LiveResize", false},
    {"MaximizeButton", false}, {"MinimizeButton", true}, {"MacProcID", 0},
};

const std::vector<ControlSpec>& ControlTable() {
    static const std::vector<ControlSpec> controls = {
        {"StaticText1", Make<Label>,
         {{"Index", kNoIndex}, {"Left", 20}, {"Top", 19}, {"Width", 266}, {"Height", 20},
          {"TabIndex", 0}, {"Text", "Checking for updates..."}, {"TextFont", "Arial"}, {"Bold", false},
          {"TextAlign", 0}, {"Multiline", false}, {"TextColor", Color{0, 0, 0}}},
         [](Control& c) { dynamic_cast<Label&>(c).SetTextSize(12); }},
        {"ProgressBar1", Make<ProgressBar>,
         {{"Index", kNoIndex}, {"Left", 20}, {"Top", 46}, {"Width", 260}, {"Height", 12},
          {"TabIndex", 1}, {"Maximum", 100}, {"Value", 0}}},
        {"hp", Make<HTTPSocket>, {{"yield", false}, {"Port", 0}, {"Address", ""}}},
        {"PushButton1", Make<PushButton>,
         {{"Index", kNoIndex}, {"Left", 208}, {"Top", 80}, {"Width", 72}, {"Height", 20},
          {"TabIndex", 1}, {"Caption", "Cancel"}, {"TextFont", "System"}, {"Bold", false},
          {"Default", true}, {"Cancel", true}, {"ButtonStyle", 0}}},
    };
    return controls;
}

void PageReceived(updateWindow& window, Control& control) {
    auto& socket = dynamic_cast<HTTPSocket&>(control);
    window.hp_PageReceived(socket, socket.PageURL(), socket.PageStatus(), socket.PageHeaders(),
                           socket.PageContent());
}

void Error(updateWindow& window, Control& control) {
    auto& socket = dynamic_cast<HTTPSocket&>(control);
    window.hp_Error(socket, socket.ErrorCode());
}

const std::vector<EventBinding<updateWindow>>& BindingTable() {
    static const std::vector<EventBinding<updateWindow>> bindings = {
        {"hp", kEventPageReceived, PageReceived},
        {"hp", kEventError, Error},
        {"PushButton1", kEventAction, Handler(&updateWindow::PushButton1_Action)},
    };
    return bindings;
}

}  // namespace

std::shared_ptr<updateWindow> updateWindow::Instance() { return ImplicitInstance<updateWindow>(); }

void updateWindow::Layout() { SetProperties(*this, kWindowProperties); }

void updateWindow::CreateControls() { CreateControls0(); }

void updateWindow::CreateControls0() { CreateControlsFrom(*this, ControlTable(), BindingTable()); }

std::shared_ptr<Label> updateWindow::StaticText1() const { return ControlAs<Label>(*this, "StaticText1"); }
std::shared_ptr<ProgressBar> updateWindow::ProgressBar1() const { return ControlAs<ProgressBar>(*this, "ProgressBar1"); }
std::shared_ptr<HTTPSocket> updateWindow::hp() const { return ControlAs<HTTPSocket>(*this, "hp"); }
std::shared_ptr<PushButton> updateWindow::PushButton1() const { return ControlAs<PushButton>(*this, "PushButton1"); }

void updateWindow::hp_PageReceived(HTTPSocket&, const QString&, int32_t, const InternetHeaders&,
                                   const QString& content) {
    // Only the body counts; an empty one (nothing answered) ends the check
    // without a word.
    if (content.isEmpty()) {
        Close();
        return;
    }
    const QString version = returnValue(content, QStringLiteral("CurrentVersion"));
    const QString description = returnValue(content, QStringLiteral("Description"));
    const bool free = Manifest::IsFreeUpgrade(returnValue(content, QStringLiteral("Free")));
    ProgressBar1()->SetVisible(false);
    if (Manifest::VersionIsCurrent(version)) {
        StaticText1()->SetText(QStringLiteral("This version is current."));
        StaticText1()->Refresh(true);
        if (!automaticCheck) MsgBox(QStringLiteral("You are using the current version. No update is available."));
        Close();
    } else {
        // The manifest names no download address: the maker's download page
        // is where the newest version is offered.
        askUpgrade(version, description, Site::DownloadPage(), free);
    }
}

void updateWindow::hp_Error(HTTPSocket&, int32_t code) {
    Beep();
    MsgBox(QStringLiteral("There was a communication error ") + QStringLiteral("with the website. Please try ") +
           QStringLiteral("again later. (Code: ") + Text::Str(code) + QStringLiteral(")"));
    Close();
}

void updateWindow::PushButton1_Action(PushButton&) { Close(); }

void updateWindow::Event_Open() {
    ProgressBar1()->SetMaximum(0);
    hp()->Get(Manifest::Address());
    selfTest::Instance()->Close();
}

QString updateWindow::startTag(const QString& name) { return QStringLiteral("<") + name + QStringLiteral(">"); }

QString updateWindow::endTag(const QString& name) { return QStringLiteral("</") + name + QStringLiteral(">"); }

void updateWindow::askUpgrade(const QString& version, const QString& description, const QString& downloadAddress,
                              bool free) {
    auto dialog = std::make_shared<MessageDialog>();
    dialog->SetTitle(QStringLiteral("New version available!"));
    dialog->SetMessage(QStringLiteral("Version ") + version + QStringLiteral(" is now available. "));
    dialog->SetMessage(dialog->Message() + QStringLiteral("(You are using version ") +
                       Application::ShortVersion() + QStringLiteral(".) "));
    if (free) {
        dialog->SetMessage(dialog->Message() + QStringLiteral("This is a free upgrade. ") +
                           QStringLiteral("Would you like to automatically download ") +
                           QStringLiteral("this update (using your web browser)?"));
    } else {
        dialog->SetMessage(dialog->Message() + QStringLiteral("This is a paid upgrade. ") +
                           QStringLiteral("Would you like to automatically download ") +
                           QStringLiteral("the trial version (using your web browser)?"));
    }
    dialog->SetExplanation(description);
    dialog->CancelButton()->SetVisible(true);
    dialog->AlternateActionButton()->SetCaption(QStringLiteral("Go to Website"));
    dialog->AlternateActionButton()->SetVisible(true);
    dialog->SetIcon(MessageDialog::kIconQuestion);

    const std::shared_ptr<MessageDialogButton> pressed = dialog->ShowModal();
    if (pressed == dialog->CancelButton()) {
        Close();
    } else if (pressed == dialog->ActionButton()) {
        ShowURL(downloadAddress);
        Close();
    } else if (pressed == dialog->AlternateActionButton()) {
        // The window stays until the user closes it.
        ShowURL(Site::MakerHomePage());
    }
}

QString updateWindow::returnValue(const QString& text, const QString& name) {
    const int32_t opening = Text::InStr(0, text, startTag(name));
    const int32_t start = opening + Text::Len(startTag(name));
    const int32_t closing = Text::InStr(start, text, endTag(name));
    // Without a closing tag the count is negative, which gives "".
    return Text::Mid(text, start, closing - start);
}
