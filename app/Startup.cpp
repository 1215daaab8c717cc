#include "app/Startup.h"

#include "app/App.h"
#include "app/MenuBars.h"
#include "framework/Runtime.h"
#include "store/Module1.h"
#include "windows/help/Help.h"

namespace Startup {

namespace {
// The program has no document types and opens no files given by the system.
void InitFileTypes() {}
}  // namespace

void NewAppInstance() {
    auto app = std::make_shared<App>();
    app->Constructor();
    app->SetMenuBar(MenuBar1::Instance());
    RegisterAppObject(app);
}

void ApplicationAddMenuHandlers() {
    auto app = App::Instance();
    const std::pair<const char*, bool (App::*)()> handlers[] = {
        {"CheckforUpdateCheckNow", &App::CheckforUpdateCheckNow_Action},
        {"EditFind", &App::EditFind_Action},
        {"EditFindNext", &App::EditFindNext_Action},
        {"EditFindPrevious", &App::EditFindPrevious_Action},
        {"FontSizeLarger", &App::FontSizeLarger_Action},
        {"FontSizeSmaller", &App::FontSizeSmaller_Action},
        {"TindrelHelpAboutMorvellan", &App::TindrelHelpAboutMorvellan_Action},
        {"TindrelHelpShowMorvellanHelp", &App::TindrelHelpShowMorvellanHelp_Action},
    };
    for (const auto& [name, method] : handlers) {
        app->AddMenuHandler(QString::fromLatin1(name), [method = method] {
            return ((*App::Instance()).*method)();
        });
    }
}

void EarlyStartup() {
    InitFileTypes();
    NewAppInstance();
    ApplicationAddMenuHandlers();
}

void Finalize() {
    Module1::Finalize();
    MenuBar1::Exit();
    MenuBar2::Exit();
    MenuBar3::Exit();
}

int Main(int argc, char** argv) {
    Runtime runtime(argc, argv);
    int code = 1;
    if (Invoke(EarlyStartup)) code = App::Instance()->Run();
    runtime.Shutdown();
    Finalize();
    return code;
}

}  // namespace Startup
