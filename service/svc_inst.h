#pragma once
// The service side of the program: the service entry, the control handler and
// the status the service manager sees.
#include <windows.h>

#include "platform/lock.h"

class KxESvcInst {
public:
    // The one instance of the process, made on first use.
    static KxESvcInst& Instance();
    virtual ~KxESvcInst() = default;
    KxESvcInst(const KxESvcInst&) = delete;
    KxESvcInst& operator=(const KxESvcInst&) = delete;

    // Entry given to the service dispatcher: registers the handler, does the
    // work on this thread and reports STOPPED.
    static void WINAPI ServiceMain(DWORD argc, LPWSTR* argv);
    // Stop and shutdown report STOPPED at once; any other control is not
    // implemented.
    static DWORD WINAPI ServiceCtrlHandler(DWORD control, DWORD eventType, LPVOID eventData, LPVOID context);

    // Starts the search program in the user's session unless automatic start
    // is off; NO_ERROR or the Win32 error of the failed step.
    DWORD Run();

    DWORD CurrentState() const;

private:
    KxESvcInst();
    void ReportState(DWORD state, DWORD exitCode);

    SERVICE_STATUS_HANDLE statusHandle_ = nullptr;
    SERVICE_STATUS status_ = {};
    // The handler runs on the main thread, the work on the dispatcher's.
    mutable platform::CriticalSection lock_;
};

// The process's entry: no argument runs the service dispatcher (its failure
// code is the exit code), else the console commands print their lines and
// the answer is 0.
int PelvaneMain(int argc, const wchar_t* commandLine);
