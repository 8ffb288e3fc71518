#include "service/svc_inst.h"

#include <cstdio>
#include <string>

#include "platform/command_line.h"
#include "service/log.h"
#include "service/service_control.h"
#include "service/session_launch.h"

KxESvcInst& KxESvcInst::Instance() {
    // Kept until the process ends: once STOPPED is reported the dispatcher
    // returns and the process exits while the service thread may still be
    // leaving ReportState.
    static KxESvcInst* const instance = new KxESvcInst();
    return *instance;
}

KxESvcInst::KxESvcInst() {
    status_.dwServiceType = SERVICE_WIN32;  // 0x30
    status_.dwCurrentState = SERVICE_START_PENDING;
    status_.dwControlsAccepted = SERVICE_ACCEPT_STOP;
    stopEvent_.Reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!stopEvent_) ServiceLog(L"CreateEventW failed, error: %lu", static_cast<unsigned long>(::GetLastError()));
}

bool KxESvcInst::StopRequested() const {
    return stopEvent_ && ::WaitForSingleObject(stopEvent_.Get(), 0) == WAIT_OBJECT_0;
}

DWORD KxESvcInst::CurrentState() const {
    platform::ScopedLock guard(lock_);
    return status_.dwCurrentState;
}

void KxESvcInst::ReportState(DWORD state, DWORD exitCode) {
    SERVICE_STATUS status;
    SERVICE_STATUS_HANDLE handle;
    {
        platform::ScopedLock guard(lock_);
        // Nothing may follow STOPPED: the manager may already have ended us.
        if (stoppedReported_) return;
        stoppedReported_ = state == SERVICE_STOPPED;
        status_.dwCurrentState = state;
        // A stopping service takes no further controls.
        status_.dwControlsAccepted = state == SERVICE_STOP_PENDING || state == SERVICE_STOPPED ? 0 : SERVICE_ACCEPT_STOP;
        status_.dwWin32ExitCode = exitCode;
        status = status_;
        handle = statusHandle_;
    }
    if (handle && !::SetServiceStatus(handle, &status))
        ServiceLog(L"SetServiceStatus failed, error: %lu", static_cast<unsigned long>(::GetLastError()));
}

DWORD WINAPI KxESvcInst::ServiceCtrlHandler(DWORD control, DWORD, LPVOID, LPVOID) {
    if (control == SERVICE_CONTROL_STOP || control == SERVICE_CONTROL_SHUTDOWN) {
        KxESvcInst& self = Instance();
        // The work sees the event within its wait and reports STOPPED itself.
        self.ReportState(SERVICE_STOP_PENDING, NO_ERROR);
        if (self.stopEvent_) ::SetEvent(self.stopEvent_.Get());
        return NO_ERROR;
    }
    return ERROR_CALL_NOT_IMPLEMENTED;
}

void WINAPI KxESvcInst::ServiceMain(DWORD, LPWSTR*) {
    KxESvcInst& self = Instance();
    SERVICE_STATUS_HANDLE handle = ::RegisterServiceCtrlHandlerExW(kServiceName, &ServiceCtrlHandler, nullptr);
    if (handle == nullptr) {
        ServiceLog(L"RegisterServiceCtrlHandlerExW failed, error: %lu", static_cast<unsigned long>(::GetLastError()));
        return;
    }
    {
        platform::ScopedLock guard(self.lock_);
        self.statusHandle_ = handle;
    }
    // Registered and able to take a stop: the manager sees RUNNING while the
    // work waits for the user's shell. The exit code is the work's own
    // result, so a launch that worked is not reported as a failure.
    self.ReportState(SERVICE_RUNNING, NO_ERROR);
    const DWORD result = self.Run();
    self.ReportState(SERVICE_STOPPED, result);
}

DWORD KxESvcInst::Run() {
    if (StopRequested()) return NO_ERROR;
    CSystemSession system(stopEvent_.Get());
    return RunSessionLaunch(system, GetOwnProgramFolder());
}

int PelvaneMain(int argc, const wchar_t* commandLine) {
    if (argc <= 1) {
        wchar_t name[] = L"pelvane";
        SERVICE_TABLE_ENTRYW table[] = {{name, &KxESvcInst::ServiceMain}, {nullptr, nullptr}};
        if (!::StartServiceCtrlDispatcherW(table)) {
            const DWORD error = ::GetLastError();
            std::printf("It failed to StartServiceCtrlDispatcher. error: %ld\n", static_cast<long>(static_cast<LONG>(error)));
            std::fflush(stdout);
            return static_cast<int>(error);
        }
        return 0;
    }
    CCommandLine options;
    options.Parse(commandLine);
    CServiceCommands commands;
    std::string output;
    RunServiceCommands(options, commands, output);
    std::fputs(output.c_str(), stdout);
    std::fflush(stdout);
    return 0;
}
