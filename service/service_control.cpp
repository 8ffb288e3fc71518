#include "service/service_control.h"

#include <cstdio>

#include "platform/command_line.h"
#include "service/log.h"

const wchar_t kServiceName[] = L"pelvane";
const wchar_t kServiceDisplayName[] = L"lumsek run service";
const wchar_t kServiceDescription[] =
    L"Lumsek\u542f\u52a8\u670d\u52a1\uff0c\u5982\u679c\u6b64\u670d\u52a1\u88ab\u505c\u6b62\uff0cLumsek\u5c06\u4e0d\u4f1a"
    L"\u968f\u5f00\u673a\u800c\u542f\u52a8\uff0c\u5e76\u4e14\u663e\u793a\u7684\u6587\u4ef6\u5217\u8868\u53ef\u80fd"
    L"\u4f1a\u4e0d\u591f\u5b9e\u65f6\u3002";

namespace {

constexpr DWORD kStatusPollMs = 100;

// A service manager or service handle.
class ScHandle {
public:
    explicit ScHandle(SC_HANDLE h) noexcept : h_(h) {}
    ~ScHandle() {
        if (h_) ::CloseServiceHandle(h_);
    }
    ScHandle(const ScHandle&) = delete;
    ScHandle& operator=(const ScHandle&) = delete;
    SC_HANDLE Get() const noexcept { return h_; }
    explicit operator bool() const noexcept { return h_ != nullptr; }

private:
    SC_HANDLE h_;
};

DWORD LogFailure(const wchar_t* what) {
    const DWORD error = ::GetLastError();
    ServiceLog(L"%ls failed, error: %lu", what, static_cast<unsigned long>(error));
    return error;
}

void SetDescription(SC_HANDLE manager, SC_HANDLE service) {
    // The database lock is advisory on current systems; the description is
    // set whether or not it could be had.
    SC_LOCK lock = ::LockServiceDatabase(manager);
    SERVICE_DESCRIPTIONW description = {};
    description.lpDescription = const_cast<wchar_t*>(kServiceDescription);
    if (!::ChangeServiceConfig2W(service, SERVICE_CONFIG_DESCRIPTION, &description))
        LogFailure(L"ChangeServiceConfig2W");
    if (lock) ::UnlockServiceDatabase(lock);
}

// Polls every 100 ms until the service reaches `target`; a stop on the way
// to RUNNING answers SVC_E_SERVICE_STOPPED, a service that hangs in a pending
// state ERROR_SERVICE_REQUEST_TIMEOUT after kServiceWaitLimitMs.
DWORD WaitForState(SC_HANDLE service, DWORD target) {
    for (DWORD waited = 0;; waited += kStatusPollMs) {
        SERVICE_STATUS status = {};
        if (!::QueryServiceStatus(service, &status)) return LogFailure(L"QueryServiceStatus");
        if (status.dwCurrentState == target) return NO_ERROR;
        if (target == SERVICE_RUNNING && status.dwCurrentState == SERVICE_STOPPED) return SVC_E_SERVICE_STOPPED;
        if (waited >= kServiceWaitLimitMs) {
            ServiceLog(L"Service still in state %lu after %lu ms", static_cast<unsigned long>(status.dwCurrentState),
                       static_cast<unsigned long>(waited));
            return ERROR_SERVICE_REQUEST_TIMEOUT;
        }
        ::Sleep(kStatusPollMs);
    }
}

void AppendCodeLine(std::string& output, const char* text, long code) {
    char line[128];
    std::snprintf(line, sizeof(line), "%s%ld\n", text, code);
    output += line;
}

} // namespace

bool InstallService() {
    wchar_t path[MAX_PATH + 1] = {};
    const DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH + 1);
    if (n == 0 || n >= MAX_PATH) {
        ServiceLog(L"Program path unusable for the service, length %lu", static_cast<unsigned long>(n));
        return false;
    }
    const std::wstring quoted = L"\"" + std::wstring(path, n) + L"\"";

    ScHandle manager(::OpenSCManagerW(nullptr, SERVICES_ACTIVE_DATABASEW, SC_MANAGER_ALL_ACCESS));
    if (!manager) {
        LogFailure(L"OpenSCManagerW");
        return false;
    }
    ScHandle service(::CreateServiceW(manager.Get(), kServiceName, kServiceDisplayName, SERVICE_ALL_ACCESS,
                                      SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL,
                                      quoted.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
    if (service) {
        SetDescription(manager.Get(), service.Get());
        return true;
    }
    if (::GetLastError() != ERROR_SERVICE_EXISTS) {
        LogFailure(L"CreateServiceW");
        return false;
    }
    // Installing again refreshes the description of the existing service.
    ScHandle existing(::OpenServiceW(manager.Get(), kServiceName, SERVICE_ALL_ACCESS));
    if (existing)
        SetDescription(manager.Get(), existing.Get());
    else
        LogFailure(L"OpenServiceW");
    return true;
}

DWORD StartSvc(bool wait) {
    ScHandle manager(::OpenSCManagerW(nullptr, nullptr, GENERIC_WRITE));
    if (!manager) return LogFailure(L"OpenSCManagerW");
    ScHandle service(::OpenServiceW(manager.Get(), kServiceName, SERVICE_QUERY_STATUS | SERVICE_START));
    if (!service) return LogFailure(L"OpenServiceW");
    SERVICE_STATUS status = {};
    if (!::QueryServiceStatus(service.Get(), &status)) return LogFailure(L"QueryServiceStatus");
    if (status.dwCurrentState == SERVICE_RUNNING) return NO_ERROR;
    if (!::StartServiceW(service.Get(), 0, nullptr)) return LogFailure(L"StartServiceW");
    return wait ? WaitForState(service.Get(), SERVICE_RUNNING) : NO_ERROR;
}

DWORD StopSvc(bool wait) {
    ScHandle manager(::OpenSCManagerW(nullptr, nullptr, GENERIC_WRITE));
    if (!manager) return LogFailure(L"OpenSCManagerW");
    ScHandle service(::OpenServiceW(manager.Get(), kServiceName, SERVICE_QUERY_STATUS | SERVICE_STOP));
    if (!service) return LogFailure(L"OpenServiceW");
    SERVICE_STATUS status = {};
    if (!::ControlService(service.Get(), SERVICE_CONTROL_STOP, &status)) return LogFailure(L"ControlService");
    return wait ? WaitForState(service.Get(), SERVICE_STOPPED) : NO_ERROR;
}

bool UninstallService() {
    ScHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) {
        LogFailure(L"OpenSCManagerW");
        return false;
    }
    ScHandle service(::OpenServiceW(manager.Get(), kServiceName, SERVICE_ALL_ACCESS));
    if (!service) {
        LogFailure(L"OpenServiceW");
        return false;
    }
    if (!::DeleteService(service.Get())) {
        LogFailure(L"DeleteService");
        return false;
    }
    return true;
}

void RunServiceCommands(const CCommandLine& options, IServiceCommands& commands, std::string& output) {
    bool any = false;
    if (options.HasOption(L"install")) {
        any = true;
        if (commands.Install())
            output += "It successed to install service.\n";
        else
            AppendCodeLine(output, "It failed to install service. error: ", 1);
    }
    const struct {
        const wchar_t* name;
        bool start;
        bool wait;
    } controls[] = {
        {L"start", true, false},
        {L"start_until_running", true, true},
        {L"stop", false, false},
        {L"stop_until_stopped", false, true},
    };
    for (const auto& control : controls) {
        if (!options.HasOption(control.name)) continue;
        any = true;
        const DWORD code = control.start ? commands.Start(control.wait) : commands.Stop(control.wait);
        if (code == NO_ERROR)
            output += control.start ? "It successed to start service.\n" : "It successed to stop service.\n";
        else
            AppendCodeLine(output,
                           control.start ? "It failed to start the service. error: "
                                         : "It failed to stop the service. error: ",
                           static_cast<long>(static_cast<LONG>(code)));
    }
    if (options.HasOption(L"uninstall")) {
        any = true;
        if (commands.Uninstall())
            output += "It successed to uninstall service.\n";
        else
            AppendCodeLine(output, "It failed to uninstall the service. error: ", 1);
    }
    if (!any) {
        output +=
            "It accept the parameter is:\n"
            "pelvane.exe /install  : install the service.\n"
            "pelvane.exe /uninstall: uninstall the service.\n"
            "pelvane.exe /start    : start the service.\n"
            "pelvane.exe /stop     : stop the service.\n"
            "pelvane.exe /start_until_running: finish start until service is running.\n"
            "pelvane.exe /stop_until_stopped: finish stop until servcie is stopped.\n"
            "\n";
    }
}
