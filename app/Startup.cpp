#include "app/Startup.h"

#include "app/App.h"
#include "app/MenuBars.h"
#include "framework/Dialogs.h"
#include "framework/Files.h"
#include "framework/Runtime.h"
#include "store/Module1.h"
#include "windows/help/Help.h"

namespace Startup {

namespace {
// The program has no document types and opens no files given by the system.
void InitFileTypes() {}
}  // namespace

ApplicationIdentity Identity() {
    return {QStringLiteral("Morvellan"), QStringLiteral(":/icons/morvellan.svg"), QStringLiteral("morvellan")};
}

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

int Run() {
    // A second copy on the same files would overwrite the first one's note
    // with its own when it closes.
    PreferencesLock lock(QStringLiteral("tindrel.lock"));
    if (!lock.TryLock()) {
        MsgBox(QStringLiteral("Morvellan is already running.  Only one copy can be open at a time."));
        return 1;
    }
    int code = 1;
    if (Invoke(EarlyStartup)) code = App::Instance()->Run();
    return code;
}

int Main(int argc, char** argv) {
    Runtime runtime(argc, argv, Identity());
    const int code = Run();
    runtime.Shutdown();
    Finalize();
    return code;
}

}  // namespace Startup
