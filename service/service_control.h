#pragma once
// Installing, starting, stopping and removing the service through the service
// control manager, and the console commands that do it.
#include <windows.h>

#include <string>

class CCommandLine;

extern const wchar_t kServiceName[];         // "pelvane"
extern const wchar_t kServiceDisplayName[];  // "lumsek run service"
extern const wchar_t kServiceDescription[];

// A start-and-wait saw the service reach STOPPED instead of RUNNING.
constexpr DWORD SVC_E_SERVICE_STOPPED = 0xE0000018;
// The longest a start or stop waits for the state it asked for.
constexpr DWORD kServiceWaitLimitMs = 60000;

// Creates the automatic LocalSystem service for this program (an existing one
// counts as success) and sets its description.
bool InstallService();
// NO_ERROR or the Win32 error; with `wait`, polls every 100 ms until the
// service runs (SVC_E_SERVICE_STOPPED when it stopped instead,
// ERROR_SERVICE_REQUEST_TIMEOUT after kServiceWaitLimitMs).
DWORD StartSvc(bool wait);
// NO_ERROR or the Win32 error; with `wait`, polls until the service stopped.
DWORD StopSvc(bool wait);
// Marks the service for deletion without stopping it first.
bool UninstallService();

// The console commands, behind a seam so their order and texts can be checked
// without a service manager.
class IServiceCommands {
public:
    virtual ~IServiceCommands() = default;
    virtual bool Install() = 0;
    virtual DWORD Start(bool wait) = 0;
    virtual DWORD Stop(bool wait) = 0;
    virtual bool Uninstall() = 0;
};

class CServiceCommands : public IServiceCommands {
public:
    bool Install() override { return InstallService(); }
    DWORD Start(bool wait) override { return StartSvc(wait); }
    DWORD Stop(bool wait) override { return StopSvc(wait); }
    bool Uninstall() override { return UninstallService(); }
};

// Carries out every command option present, in the fixed order install,
// start, start_until_running, stop, stop_until_stopped, uninstall, appending
// one line each to `output`; with none of them, appends the usage text.
void RunServiceCommands(const CCommandLine& options, IServiceCommands& commands, std::string& output);
