#include "module/update_worker.h"

#include <zlib.h>

#include <cwchar>
#include <vector>

#include "module/file_version.h"
#include "module/http_transfer.h"
#include "module/ini_file.h"
#include "module/md5.h"
#include "platform/handle.h"
#include "platform/strconv.h"
#include "platform/trace.h"
#include "service/log.h"

namespace {

constexpr int kDownloadTries = 3;

bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::wstring Lower(std::wstring text) {
    if (!text.empty()) ::CharLowerBuffW(&text[0], static_cast<DWORD>(text.size()));
    return text;
}

bool SameText(const std::wstring& a, const std::wstring& b) { return Lower(a) == Lower(b); }

std::wstring Backslashes(std::wstring path) {
    for (auto& c : path)
        if (c == L'/') c = L'\\';
    return path;
}

std::wstring NameOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

HRESULT LastErrorResult() {
    const DWORD error = ::GetLastError();
    return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
}

std::wstring NewGuidText() {
    GUID guid = {};
    wchar_t text[64] = {};
    if (FAILED(::CoCreateGuid(&guid)) || ::StringFromGUID2(guid, text, 64) == 0) {
        // Still unique within this machine for the life of the file.
        std::swprintf(text, 64, L"{%08lX-%08lX}", static_cast<unsigned long>(::GetCurrentProcessId()),
                      static_cast<unsigned long>(::GetTickCount()));
    }
    return text;
}

// zlib's CRC-32 of a file; a file that cannot be opened counts as 0; false
// when a read fails part-way (the caller then treats the file as current).
bool FileCrc(const std::wstring& path, uint32_t& crc) {
    crc = 0;
    platform::FileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return true;
    uLong value = crc32(0L, Z_NULL, 0);
    unsigned char block[4096];
    for (;;) {
        DWORD got = 0;
        if (!::ReadFile(file.Get(), block, sizeof(block), &got, nullptr)) return false;
        if (got == 0) break;
        value = crc32(value, block, got);
    }
    crc = static_cast<uint32_t>(value);
    return true;
}

bool IsInUseError(HRESULT hr) {
    if (HRESULT_FACILITY(hr) != FACILITY_WIN32) return false;
    const DWORD code = HRESULT_CODE(hr);
    return code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION || code == ERROR_ACCESS_DENIED ||
           code == ERROR_USER_MAPPED_FILE;
}

// An empty INI file marked UTF-16LE, so the profile functions keep every
// path exactly, whatever the code page.
bool CreateUnicodeIni(const std::wstring& path) {
    EnsureDirectoryExists(path.c_str());
    platform::FileHandle file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    const unsigned char bom[2] = {0xFF, 0xFE};
    DWORD written = 0;
    return ::WriteFile(file.Get(), bom, 2, &written, nullptr) && written == 2;
}

bool CommitFile(const std::wstring& temp, const std::wstring& path) {
    if (::MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    UpdateLog(L"MoveFileExW %ls -> %ls failed, error %lu", temp.c_str(), path.c_str(),
              static_cast<unsigned long>(::GetLastError()));
    ::DeleteFileW(temp.c_str());
    return false;
}

// Serialises the runs over one folder between threads and processes.
class FolderMutex {
public:
    explicit FolderMutex(const std::wstring& folder) {
        const std::string key = platform::WideToUtf8(Lower(folder));
        const std::wstring name = L"Local\\LumsekUpdate." + platform::AnsiToWide(Md5HexOfBuffer(key.data(), key.size()));
        mutex_.Reset(::CreateMutexW(nullptr, FALSE, name.c_str()));
        if (!mutex_) {
            platform::TraceLastError("FolderMutex: CreateMutexW");
            return;
        }
        const DWORD wait = ::WaitForSingleObject(mutex_.Get(), 0);
        owned_ = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
    }
    ~FolderMutex() {
        if (owned_) ::ReleaseMutex(mutex_.Get());
    }
    FolderMutex(const FolderMutex&) = delete;
    FolderMutex& operator=(const FolderMutex&) = delete;
    bool Owned() const noexcept { return owned_; }

private:
    platform::UniqueHandle mutex_;
    bool owned_ = false;
};

} // namespace

std::wstring CUpdateWorker::BaseUrl() const {
    return task_.Location.ServerUrl + ChannelBasePath(task_.ChannelToken);
}

int CUpdateWorker::CheckForUpdates() {
    task_.Entries.clear();
    reserved_.clear();
    indexCount_ = 0;
    const std::wstring list = task_.DeferredListPath();
    reserved_.insert(Lower(list));
    reserved_.insert(Lower(list + L".tmp"));
    const int rc = FetchIndex(BaseUrl(), L"", task_.StagingFolder(), TopIndexRemoteName(task_.ChannelToken),
                              TopIndexLocalName(task_.ChannelToken), L"", 0);
    if (rc < 0) return rc;
    // Staged or packed files must not land on the updater's own files.
    std::vector<CUpdateEntry> kept;
    for (CUpdateEntry& entry : task_.Entries) {
        const std::wstring sub = task_.StagingFolder() + Backslashes(entry.SubPath);
        if (IsReservedStagingPath(sub + entry.Destination) || IsReservedStagingPath(sub + entry.ServerFileName)) {
            UpdateLog(L"Skipped %ls: its staging path is the updater's own file", entry.Destination.c_str());
            continue;
        }
        kept.push_back(std::move(entry));
    }
    task_.Entries.swap(kept);
    return task_.Entries.empty() ? 1 : 0;
}

bool CUpdateWorker::IsReservedStagingPath(const std::wstring& path) const {
    return reserved_.count(Lower(path)) != 0;
}

int CUpdateWorker::FetchIndex(const std::wstring& url, const std::wstring& subPath, const std::wstring& localFolder,
                              const std::wstring& remoteName, const std::wstring& localName,
                              const std::wstring& checkValue, int depth) {
    if (depth > kMaxIndexDepth || ++indexCount_ > kMaxIndexCount) {
        UpdateLog(L"Update index tree too deep or too large at %ls", url.c_str());
        return UPD_E_INDEX_TREE;
    }
    const std::wstring indexUrl = url + remoteName;
    const std::wstring packed = localFolder + remoteName;
    const std::wstring text = localFolder + localName;
    reserved_.insert(Lower(packed));
    reserved_.insert(Lower(text));
    CProgressScope scope;  // index fetches do not move the progress shown
    // Index addresses go out in UTF-8, file addresses in the ANSI code page.
    const int code =
        DownloadAndVerify(platform::WideToUtf8(indexUrl), packed, text, &scope, checkValue, task_.StopEvent());
    if (code != 0) {
        UpdateLog(L"\u4e0b\u8f7d\u5347\u7ea7\u4fe1\u606f\u6587\u4ef6%ls\u5931\u8d25\uff0c\u9519\u8bef\u7801\uff1a%d",
                  indexUrl.c_str(), code);
        return static_cast<int>(0x80000000u | static_cast<unsigned>(code));
    }
    CIniFile index;
    index.Load(text.c_str());
    index.SetSubPath(subPath);
    if (IsSubIndexList(index)) {
        if (ListsSelfOrAncestor(index)) {
            UpdateLog(L"Update index %ls lists itself or a folder above it", indexUrl.c_str());
            return UPD_E_INDEX_TREE;
        }
        for (const UpdateSubIndex& sub : ReadSubIndexes(index)) {
            const int rc = FetchIndex(url + sub.Path, subPath + sub.Path, localFolder + Backslashes(sub.Path),
                                      kSubIndexRemoteName, kSubIndexLocalName, sub.CheckValue, depth + 1);
            if (rc < 0) return rc;
        }
        return 0;
    }
    for (CUpdateEntry& entry : ReadUpdateEntries(index)) {
        if (NeedsUpdate(entry)) task_.Entries.push_back(std::move(entry));
    }
    return 0;
}

bool CUpdateWorker::NeedsUpdate(const CUpdateEntry& entry) const {
    const std::wstring path = task_.Location.Folder + entry.Destination;
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        const bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        ModuleLog(L" %-60ls %ls", entry.Destination.c_str(), missing ? L"Missing" : L"Unreadable");
        return missing;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        // Removed only when the new file is ready to take its place.
        ModuleLog(L" %-60ls Path to file", entry.Destination.c_str());
        return true;
    }
    bool crcTest = false;
    bool update = false;
    if (entry.CheckMode == CHECK_VERSION_THEN_CRC) {
        DWORD ms = 0, ls = 0;
        if (GetFileVersion(path.c_str(), ms, ls)) {
            const uint64_t installed = PackVersion(ms, ls);
            const uint64_t offered = ParseVersion(entry.Version);
            if (offered > installed) update = true;
            else if (offered == installed) crcTest = true;
        } else {
            crcTest = true;
        }
    } else if (entry.CheckMode == CHECK_CRC_ONLY) {
        crcTest = true;
    }
    if (crcTest) {
        uint32_t crc = 0;
        update = FileCrc(path, crc) && crc != entry.Crc;
    }
    if (!update) ModuleLog(L" %-60ls Up-to-date", entry.Destination.c_str());
    return update;
}

int CUpdateWorker::DownloadFiles() {
    CProgressScope range(&task_.Root, task_.Root.Value(), 0.9);
    const size_t count = task_.Entries.size();
    for (size_t k = 0; k < count; ++k) {
        CUpdateEntry& entry = task_.Entries[k];
        if (task_.StopRequested()) return UPD_S_CANCELLED;
        const std::wstring url = BaseUrl() + entry.RemotePath + entry.ServerFileName;
        const std::wstring sub = task_.StagingFolder() + Backslashes(entry.SubPath);
        const std::wstring packed = sub + entry.ServerFileName;
        const std::wstring staged = sub + entry.Destination;
        task_.SetStatusText(entry.Destination);
        CProgressScope scope(&range, static_cast<double>(k) / count, static_cast<double>(k + 1) / count);
        const int code = DownloadAndVerify(platform::WideToAnsi(url), packed, staged, &scope, entry.ServerFileName,
                                           task_.StopEvent());
        ::DeleteFileW(packed.c_str());
        if (code != 0) {
            ::DeleteFileW(staged.c_str());
            UpdateLog(L"\u4e0b\u8f7d\u6587\u4ef6:%ls \u672c\u5730\u6587\u4ef6:%ls \u5931\u8d25\uff0c\u9519\u8bef\u7801%d",
                      url.c_str(), entry.Destination.c_str(), code);
            entry.Status = UES_DOWNLOAD_FAILED;
            return static_cast<int>(0x80000000u | static_cast<unsigned>(code));
        }
        entry.StagedPath = staged;
        entry.Status = UES_DOWNLOADED;
        ModuleLog(L" %-60ls Downloaded", entry.Destination.c_str());
        scope.SetValue(1.0);
    }
    return 0;
}

int CUpdateWorker::DeferEntry(const CUpdateEntry& entry, const std::wstring& listPath, int& deferred) {
    if (deferred == 0 && !CreateUnicodeIni(listPath)) return LastErrorResult();
    wchar_t section[32];
    std::swprintf(section, 32, L"file%d", deferred);
    const std::wstring destination = task_.Location.Folder + entry.Destination;
    if (!::WritePrivateProfileStringW(section, L"DES", destination.c_str(), listPath.c_str()) ||
        !::WritePrivateProfileStringW(section, L"FROM", entry.StagedPath.c_str(), listPath.c_str())) {
        return LastErrorResult();
    }
    ++deferred;
    return 0;
}

int CUpdateWorker::InstallFiles() {
    const std::wstring list = task_.DeferredListPath();
    const std::wstring temp = list + L".tmp";
    ::DeleteFileW(temp.c_str());
    int deferred = 0;
    int failure = 0;
    for (CUpdateEntry& entry : task_.Entries) {
        if (task_.StopRequested()) {
            ::DeleteFileW(temp.c_str());
            return UPD_S_CANCELLED;
        }
        const std::wstring destination = task_.Location.Folder + entry.Destination;
        if (entry.ReplaceAtRestart == 1 && task_.DeferFlag) {
            failure = DeferEntry(entry, temp, deferred);
            ModuleLog(L" %-60ls %ls", entry.Destination.c_str(), failure ? L"Defer failed" : L"Deferred");
            if (failure) break;
            continue;
        }
        const DWORD attributes = ::GetFileAttributesW(destination.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            // A folder stands where the file goes: now that the file is ready it
            // goes. A link is removed itself, never what it points to.
            const bool removed = (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
                                     ? ::RemoveDirectoryW(destination.c_str()) != FALSE
                                     : DeleteDirectoryTree(destination);
            if (!removed) {
                failure = LastErrorResult();
                entry.Status = UES_REPLACE_FAILED;
                UpdateLog(L"Cannot remove the folder %ls, error 0x%08lX", destination.c_str(),
                          static_cast<unsigned long>(failure));
                break;
            }
        }
        HRESULT hr = ReplaceStagedFile(entry.StagedPath, destination);
        if (hr == S_OK) {
            entry.Status = UES_REPLACED;
        } else if (IsInUseError(hr) && task_.DeferFlag) {
            // In use even after moving it aside: the re-update program
            // replaces it once the program has ended.
            hr = DeferEntry(entry, temp, deferred);
            entry.Status = hr == S_OK ? UES_REPLACED_AT_REBOOT : UES_REPLACE_FAILED;
        } else if (IsInUseError(hr)) {
            hr = ReplaceStagedFileAtReboot(entry.StagedPath, destination);
            entry.Status = hr == 1 ? UES_REPLACED_AT_REBOOT : UES_REPLACE_FAILED;
            if (hr == 1) hr = S_OK;
        } else {
            entry.Status = UES_REPLACE_FAILED;
        }
        ModuleLog(L" %-60ls status %u", entry.Destination.c_str(), entry.Status);
        if (hr != S_OK) {
            UpdateLog(L"Replacing %ls failed, error 0x%08lX", destination.c_str(), static_cast<unsigned long>(hr));
            failure = hr;
            break;
        }
    }
    if (deferred > 0) {
        if (!CommitFile(temp, list)) return LastErrorResult();
        return UPD_S_RESTART_NEEDED;
    }
    ::DeleteFileW(temp.c_str());
    ::DeleteFileW(list.c_str());
    return failure;
}

int RunUpdate(CUpdateTask* task) {
    if (!task) return 0;
    FolderMutex guard(task->Location.Folder);
    if (!guard.Owned()) {
        UpdateLog(L"Another update works on %ls", task->Location.Folder.c_str());
        return UPD_E_BUSY;
    }
    CUpdateWorker worker(*task);
    int rc = worker.CheckForUpdates();
    if (rc != 0) return rc == 1 ? 0 : rc;
    if ((rc = worker.DownloadFiles()) != 0) return rc;
    rc = worker.InstallFiles();
    return rc == 0 ? 1 : rc;
}

unsigned __stdcall UpdateWorkerThread(void* task) {
    // COM for the GUIDs of the aside names.
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    const int rc = RunUpdate(static_cast<CUpdateTask*>(task));
    if (SUCCEEDED(com)) ::CoUninitialize();
    return static_cast<unsigned>(rc);
}

int DownloadAndVerify(const std::string& url, const std::wstring& packedPath, const std::wstring& textPath,
                      CProgressScope* scope, const std::wstring& checkValue, HANDLE stopEvent) {
    const std::wstring name = NameOf(textPath);
    if (!checkValue.empty() && Exists(textPath) && SameText(FileCheckValue(textPath, name), checkValue)) {
        if (scope) scope->SetValue(1.0);
        return 0;
    }
    EnsureDirectoryExists(packedPath.c_str());
    EnsureDirectoryExists(textPath.c_str());
    int code = UPD_E_DOWNLOAD_FAILED;
    for (int attempt = 0; attempt < kDownloadTries; ++attempt) {
        if (stopEvent && ::WaitForSingleObject(stopEvent, 0) == WAIT_OBJECT_0) {
            code = UPD_E_DOWNLOAD_FAILED;
            break;
        }
        if (scope) scope->SetValue(0.0);
        int rc;
        {
            CDownloadFile file(packedPath, scope, stopEvent);
            rc = HttpDownloadToFile(file, url.c_str());
        }
        if (rc != 0) {
            code = rc;
            continue;
        }
        if (!UnpackFile(textPath.c_str(), packedPath.c_str())) {
            code = UPD_E_DOWNLOAD_FAILED;
            continue;
        }
        if (checkValue.empty() || SameText(FileCheckValue(textPath, name), checkValue)) return 0;
        code = UPD_E_DOWNLOAD_FAILED;
    }
    // Nothing unverified stays where a later run would trust it.
    ::DeleteFileW(textPath.c_str());
    return code;
}

std::wstring FileCheckValue(const std::wstring& path, const std::wstring& name) {
    unsigned char digest[16];
    if (!Md5File(path.c_str(), digest)) return std::wstring();
    const std::wstring text = Lower(platform::AnsiToWide(Md5ToHex(digest)) + name);
    const std::string bytes = platform::WideToAnsi(text);
    return platform::AnsiToWide(Md5HexOfBuffer(bytes.data(), bytes.size()));
}

HRESULT ReplaceStagedFile(const std::wstring& staged, const std::wstring& destination) {
    if (staged.empty() || destination.empty()) return E_FAIL;
    if (!Exists(staged)) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    EnsureDirectoryExists(destination.c_str());
    // The new file is complete beside the old one before anything moves, so
    // the destination is always either the old or the new file.
    const std::wstring temp = destination + L"." + NewGuidText();
    if (!::CopyFileW(staged.c_str(), temp.c_str(), FALSE)) {
        const HRESULT hr = LastErrorResult();
        ::DeleteFileW(temp.c_str());
        return hr;
    }
    ::SetFileAttributesW(temp.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (::MoveFileExW(temp.c_str(), destination.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return S_OK;
    HRESULT hr = LastErrorResult();
    // In use (a running program can be renamed, not overwritten): move it aside.
    const std::wstring aside = destination + L"." + NewGuidText();
    if (::MoveFileExW(destination.c_str(), aside.c_str(), MOVEFILE_WRITE_THROUGH)) {
        if (::MoveFileExW(temp.c_str(), destination.c_str(), MOVEFILE_WRITE_THROUGH)) {
            if (!::DeleteFileW(aside.c_str())) {
                ::SetFileAttributesW(aside.c_str(), FILE_ATTRIBUTE_HIDDEN);
                ::MoveFileExW(aside.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
            }
            return S_OK;
        }
        hr = LastErrorResult();
        if (!::MoveFileExW(aside.c_str(), destination.c_str(), MOVEFILE_WRITE_THROUGH)) {
            UpdateLog(L"Cannot move %ls back to %ls, error %lu", aside.c_str(), destination.c_str(),
                      static_cast<unsigned long>(::GetLastError()));
        }
    }
    ::DeleteFileW(temp.c_str());
    return hr;
}

HRESULT ReplaceStagedFileAtReboot(const std::wstring& staged, const std::wstring& destination) {
    const std::wstring copy = destination + L"." + NewGuidText();
    if (!::CopyFileW(staged.c_str(), copy.c_str(), FALSE)) return LastErrorResult();
    if (::MoveFileExW(copy.c_str(), destination.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT))
        return 1;
    const HRESULT hr = LastErrorResult();
    ::DeleteFileW(copy.c_str());
    return hr;
}

bool DeleteDirectoryTree(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return ::RemoveDirectoryW(path.c_str()) != FALSE;
    WIN32_FIND_DATAW found;
    {
        platform::FindHandle find(::FindFirstFileW((path + L"\\*").c_str(), &found));
        if (find.IsValid()) {
            do {
                const std::wstring name = found.cFileName;
                if (name == L"." || name == L"..") continue;
                const std::wstring child = path + L"\\" + name;
                const DWORD a = found.dwFileAttributes;
                if (a & FILE_ATTRIBUTE_READONLY) ::SetFileAttributesW(child.c_str(), a & ~FILE_ATTRIBUTE_READONLY);
                bool ok;
                if ((a & FILE_ATTRIBUTE_DIRECTORY) && (a & FILE_ATTRIBUTE_REPARSE_POINT))
                    ok = ::RemoveDirectoryW(child.c_str()) != FALSE;
                else if (a & FILE_ATTRIBUTE_DIRECTORY)
                    ok = DeleteDirectoryTree(child);
                else
                    ok = ::DeleteFileW(child.c_str()) != FALSE;
                if (!ok) return false;
            } while (::FindNextFileW(find.Get(), &found));
        }
    }
    return ::RemoveDirectoryW(path.c_str()) != FALSE;
}

bool WriteDeferredValue(const std::wstring& listPath, const wchar_t* section, const wchar_t* key,
                        const std::wstring& value) {
    // A name of its own: the worker builds its new list in listPath + ".tmp",
    // and neither may copy over or rename away the other's half-written file.
    const std::wstring temp = listPath + L"." + NewGuidText() + L".tmp";
    const bool copied = Exists(listPath) ? ::CopyFileW(listPath.c_str(), temp.c_str(), FALSE) != FALSE
                                         : CreateUnicodeIni(temp);
    if (!copied || !::WritePrivateProfileStringW(section, key, value.c_str(), temp.c_str())) {
        UpdateLog(L"Cannot write %ls, error %lu", temp.c_str(), static_cast<unsigned long>(::GetLastError()));
        ::DeleteFileW(temp.c_str());
        return false;
    }
    return CommitFile(temp, listPath);
}
