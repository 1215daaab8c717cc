// The version window: the running version and the way into the update check.
#pragma once

#include "framework/Controls.h"
#include "framework/Window.h"

#include <memory>

class selfTest : public Window {
public:
    static constexpr const char* kFullName = "selfTest.selfTest";
    static std::shared_ptr<selfTest> Instance();

    selfTest() : Window(QString::fromLatin1(kFullName)) {}

    void Layout() override;
    void CreateControls() override;
    void CreateControls0();

    std::shared_ptr<Label> StaticText1() const;
    std::shared_ptr<Label> StaticText2() const;
    std::shared_ptr<PushButton> PushButton1() const;

    void StaticText2_Open(Label& label);
    // "Check for Updates": runs the check in the modal update window.
    void PushButton1_Action(PushButton& button);
};
