#pragma once
// One run of the updater (or of the companion installer): what the worker
// thread and its caller share.
#include <windows.h>

#include <string>
#include <vector>

#include "module/progress_scope.h"
#include "module/update_index.h"
#include "platform/handle.h"
#include "platform/lock.h"

// Results of an update run.
constexpr int UPD_S_RESTART_NEEDED = 0x20010001;  // files wait in the deferred list
constexpr int UPD_S_CANCELLED = 0x20010002;       // the stop event was set
constexpr int UPD_E_DOWNLOAD_FAILED = 89;         // download, unpack or check failed
// The index tree names itself or an ancestor, or is too deep or too large.
constexpr int UPD_E_INDEX_TREE = static_cast<int>(0x80070423);  // HRESULT of ERROR_CIRCULAR_DEPENDENCY
// Another update works on the same folder.
constexpr int UPD_E_BUSY = static_cast<int>(0x800700AA);  // HRESULT of ERROR_BUSY
// A worker thread could not be started.
constexpr int UPD_E_NO_THREAD = static_cast<int>(0x800705AA);  // HRESULT of ERROR_NO_SYSTEM_RESOURCES

// Where an update run reads and writes: hosts and folders are parameters so
// that the same code runs against a test server and a temporary folder.
struct UpdateLocation {
    std::wstring Folder;     // absolute, with a trailing backslash: the installed files
    std::wstring ServerUrl;  // "http://host[:port]" of the update server, no trailing slash
};

// The module (Lumsek.dll, or the program a test links it into) that holds this code.
HMODULE GetLibraryModule();
// The folder of that module, with a trailing backslash.
std::wstring GetModuleFolder();
// The full path of a module (null: the running program); empty on failure.
std::wstring GetModulePath(HMODULE module);

class CUpdateTask {
public:
    // A manual-reset stop event is created non-signalled.
    CUpdateTask(std::wstring channelToken, UpdateLocation location);
    CUpdateTask(const CUpdateTask&) = delete;
    CUpdateTask& operator=(const CUpdateTask&) = delete;

    bool DeferFlag = false;  // entries with UR=1 go to the deferred list
    std::wstring ChannelToken;
    UpdateLocation Location;
    std::vector<CUpdateEntry> Entries;
    CProgressScope Root;

    HANDLE StopEvent() const noexcept { return stop_.Get(); }
    bool StopRequested() const noexcept;
    void RequestStop() noexcept;

    void SetStatusText(const std::wstring& text);
    std::wstring StatusText();

    // Folder + "update\".
    std::wstring StagingFolder() const { return Location.Folder + L"update\\"; }
    // StagingFolder + "pemour.dat".
    std::wstring DeferredListPath() const { return StagingFolder() + L"pemour.dat"; }

private:
    platform::UniqueHandle stop_;
    platform::CriticalSection statusLock_;
    std::wstring status_;
};
