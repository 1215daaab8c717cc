// The update window: one check of the maker's manifest for a newer version.
#pragma once

#include "framework/Controls.h"
#include "framework/Network.h"
#include "framework/Window.h"

#include <memory>

class updateWindow : public Window {
public:
    static constexpr const char* kFullName = "updateWindow.updateWindow";
    static std::shared_ptr<updateWindow> Instance();

    updateWindow() : Window(QString::fromLatin1(kFullName)) {}

    // True: a current version closes the window without the message box.
    bool automaticCheck = false;

    void Layout() override;
    void CreateControls() override;
    void CreateControls0();

    std::shared_ptr<Label> StaticText1() const;
    std::shared_ptr<ProgressBar> ProgressBar1() const;
    std::shared_ptr<HTTPSocket> hp() const;
    std::shared_ptr<PushButton> PushButton1() const;

    void hp_PageReceived(HTTPSocket& socket, const QString& url, int32_t status,
                         const InternetHeaders& headers, const QString& content);
    void hp_Error(HTTPSocket& socket, int32_t code);
    void PushButton1_Action(PushButton& button);

    void Event_Open() override;

    // The manifest's tags and the value of an element: the text between the
    // first opening tag and the next closing tag after it, letter case
    // ignored, nothing trimmed.
    static QString startTag(const QString& name);
    static QString endTag(const QString& name);
    void askUpgrade(const QString& version, const QString& description, const QString& downloadAddress,
                    bool free);
    static QString returnValue(const QString& text, const QString& name);
};
