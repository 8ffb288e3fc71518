#pragma once
// The service side of the program: the service entry, the control handler and
// the status the service manager sees.
#include <windows.h>

#include "platform/handle.h"
#include "platform/lock.h"

class KxESvcInst {
public:
    // The one instance of the process, made on first use.
    static KxESvcInst& Instance();
    virtual ~KxESvcInst() = default;
    KxESvcInst(const KxESvcInst&) = delete;
    KxESvcInst& operator=(const KxESvcInst&) = delete;

    // Entry given to the service dispatcher: registers the handler, reports
    // RUNNING, does the work on this thread and reports STOPPED once.
    static void WINAPI ServiceMain(DWORD argc, LPWSTR* argv);
    // Stop and shutdown report STOP_PENDING and end the work's waits; the
    // work then reports STOPPED. Any other control is not implemented.
    static DWORD WINAPI ServiceCtrlHandler(DWORD control, DWORD eventType, LPVOID eventData, LPVOID context);

    // Starts the search program in the user's session unless automatic start
    // is off or a stop comes first; NO_ERROR or the Win32 error of the failed
    // step.
    DWORD Run();

    DWORD CurrentState() const;
    bool StopRequested() const;

private:
    KxESvcInst();
    // Once STOPPED is reported, nothing more goes to the manager.
    void ReportState(DWORD state, DWORD exitCode);

    SERVICE_STATUS_HANDLE statusHandle_ = nullptr;
    SERVICE_STATUS status_ = {};
    bool stoppedReported_ = false;
    // Manual-reset: set by stop or shutdown, waited on by the work.
    platform::UniqueHandle stopEvent_;
    // The handler runs on the main thread, the work on the dispatcher's.
    mutable platform::CriticalSection lock_;
};

// The process's entry: no argument runs the service dispatcher (its failure
// code is the exit code), else the console commands print their lines and
// the answer is 0.
int PelvaneMain(int argc, const wchar_t* commandLine);
