// The about window: the product's name, the running version, the credits and
// three links (the author's mail, the maker's site, the store's order page).
#pragma once

#include "framework/Controls.h"
#include "framework/Window.h"

#include <memory>

class AboutBox : public Window {
public:
    static constexpr const char* kFullName = "AboutBox.AboutBox";
    static std::shared_ptr<AboutBox> Instance();

    AboutBox() : Window(QString::fromLatin1(kFullName)) {}

    void Layout() override;
    void CreateControls() override;
    void CreateControls0();

    std::shared_ptr<PushButton> PushButton1() const;
    std::shared_ptr<PushButton> PushButton2() const;
    std::shared_ptr<Label> StaticText2() const;
    std::shared_ptr<Label> StaticText1() const;
    std::shared_ptr<Label> StaticText3() const;
    std::shared_ptr<Label> StaticText4() const;
    std::shared_ptr<PushButton> Oskavel() const;

    void PushButton1_Action(PushButton& button);
    void PushButton2_Action(PushButton& button);
    void StaticText4_Open(Label& label);
    void Oskavel_Action(PushButton& button);
};
