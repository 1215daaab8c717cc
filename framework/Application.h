// The application object: one per run, registered with the framework.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>

class MenuBar;

class Application : public std::enable_shared_from_this<Application> {
public:
    virtual ~Application() = default;

    virtual void Event_Open() {}
    virtual void Event_EnableMenuItems() {}

    std::shared_ptr<::MenuBar> MenuBar() const { return menuBar_; }
    void SetMenuBar(std::shared_ptr<::MenuBar> bar) { menuBar_ = std::move(bar); }

    void AddMenuHandler(const QString& itemName, std::function<bool()> handler);
    std::function<bool()> MenuHandler(const QString& itemName) const;

    // The running build's version.
    static int32_t MajorVersion();
    static int32_t MinorVersion();
    static int32_t BugVersion();
    static QString ShortVersion();
    static QString LongVersion();

    // Raises the Open event once (the start of every run).
    void Launch();
    // Launch, then the event loop until Quit; returns the exit code.
    int Run();

private:
    std::shared_ptr<::MenuBar> menuBar_;
    std::map<QString, std::function<bool()>> menuHandlers_;
};

void RegisterAppObject(std::shared_ptr<Application> app);
std::shared_ptr<Application> GetAppObject();
