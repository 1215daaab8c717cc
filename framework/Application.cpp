#include "framework/Application.h"

#include "framework/Runtime.h"
#include "morvellan_version.h"

#include <QEventLoop>

namespace {
// Never destroyed, like the window registry: released by Runtime::Shutdown
// while Qt still runs, not by a static destructor after exit().
std::shared_ptr<Application>& AppObject() {
    static auto* app = new std::shared_ptr<Application>;
    return *app;
}
}  // namespace

void Application::AddMenuHandler(const QString& itemName, std::function<bool()> handler) {
    menuHandlers_[itemName] = std::move(handler);
}

std::function<bool()> Application::MenuHandler(const QString& itemName) const {
    const auto it = menuHandlers_.find(itemName);
    return it == menuHandlers_.end() ? std::function<bool()>() : it->second;
}

int32_t Application::MajorVersion() { return MORVELLAN_VERSION_MAJOR; }
int32_t Application::MinorVersion() { return MORVELLAN_VERSION_MINOR; }
int32_t Application::BugVersion() { return MORVELLAN_VERSION_PATCH; }
QString Application::ShortVersion() { return QStringLiteral(MORVELLAN_VERSION_STRING); }
QString Application::LongVersion() { return QStringLiteral(MORVELLAN_VERSION_STRING); }

void Application::Launch() {
    auto self = shared_from_this();
    Invoke([&] { self->Event_Open(); });
}

int Application::Run() {
    Launch();
    if (!IsQuitting()) {
        ModalLoop main;
        main.Run();
    }
    return ExitCode();
}

void RegisterAppObject(std::shared_ptr<Application> app) { AppObject() = std::move(app); }

std::shared_ptr<Application> GetAppObject() { return AppObject(); }
