#pragma once
// Brings the installed files of one product channel up to the state the
// update server describes: walk the index tree, download and verify the files
// that differ into "update\", then replace them or list them in
// "update\pemour.dat" for the re-update program.
#include <windows.h>

#include <set>
#include <string>

#include "module/update_task.h"

class CProgressScope;

// Limits of the index tree: a server (or a man in the middle) must not keep
// the updater walking for ever.
constexpr int kMaxIndexDepth = 8;
constexpr int kMaxIndexCount = 256;

class CUpdateWorker {
public:
    explicit CUpdateWorker(CUpdateTask& task) : task_(task) {}

    // 1 nothing to update, 0 entries collected, negative on failure.
    int CheckForUpdates();
    // 0, UPD_S_CANCELLED or 0x80000000 | code.
    int DownloadFiles();
    // 0, UPD_S_RESTART_NEEDED, UPD_S_CANCELLED or the failing HRESULT.
    int InstallFiles();
    // Whether an entry's installed file differs from the index.
    bool NeedsUpdate(const CUpdateEntry& entry) const;

    // Base URL of the channel: server + "/lumsek/update/<token>/".
    std::wstring BaseUrl() const;

private:
    int FetchIndex(const std::wstring& url, const std::wstring& subPath, const std::wstring& localFolder,
                   const std::wstring& remoteName, const std::wstring& localName, const std::wstring& checkValue,
                   int depth);
    bool IsReservedStagingPath(const std::wstring& path) const;
    int DeferEntry(const CUpdateEntry& entry, const std::wstring& listPath, int& deferred);

    CUpdateTask& task_;
    int indexCount_ = 0;
    // Lower-cased staging paths the updater keeps for itself (index files,
    // the deferred list): no entry may be staged over them.
    std::set<std::wstring> reserved_;
};

// The worker thread's body: 0 nothing to update; 1 files were updated;
// UPD_S_RESTART_NEEDED; UPD_S_CANCELLED; negative on failure. A null task
// gives 0. Runs are serialised per folder: a second one fails with UPD_E_BUSY.
int RunUpdate(CUpdateTask* task);
unsigned __stdcall UpdateWorkerThread(void* task);

// Downloads url into packedPath, unpacks it into textPath and, when a check
// value is given, verifies the text file; up to 3 tries. A text file that
// already matches the check value is not fetched again. 0 or an error code;
// on failure the text file is removed and the packed file is always removed.
int DownloadAndVerify(const std::string& url, const std::wstring& packedPath, const std::wstring& textPath,
                      CProgressScope* scope, const std::wstring& checkValue, HANDLE stopEvent);

// MD5 of (MD5 hex of the file's bytes + name) lower-cased, as 32 lower-case
// hex digits; "" when the file cannot be read.
std::wstring FileCheckValue(const std::wstring& path, const std::wstring& name);

// Replaces destination by the staged file: copied to a temporary name beside
// it and moved over in one step; a destination in use is moved aside first
// (and moved back when the new file cannot follow). 0 when replaced, else
// the HRESULT of the failure (the destination is then as it was).
HRESULT ReplaceStagedFile(const std::wstring& staged, const std::wstring& destination);
// Schedules destination's replacement by a copy of the staged file at the
// next reboot: 1 when scheduled, else an HRESULT.
HRESULT ReplaceStagedFileAtReboot(const std::wstring& staged, const std::wstring& destination);

// Deletes a folder and everything below it. Reparse points (junctions,
// links) are removed themselves, never followed.
bool DeleteDirectoryTree(const std::wstring& path);

// Writes the ini value into `listPath` by way of a temporary copy renamed
// over it, so a reader never sees half a list. The copy has a name of its
// own, never the worker's listPath + ".tmp". False on failure (logged).
bool WriteDeferredValue(const std::wstring& listPath, const wchar_t* section, const wchar_t* key,
                        const std::wstring& value);
