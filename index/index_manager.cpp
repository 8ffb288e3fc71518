// Index manager: construction, destruction, thread control and the load.
#include "index/index_manager.h"

#include <algorithm>

#include "index/drive_list.h"
#include "index/index_files.h"
#include "platform/module_path.h"
#include "platform/trace.h"

volatile LONG g_bSearchAbort = 0;

namespace {

std::wstring DefaultScannerPath() {
    return platform::FolderOfPath(platform::ModuleFileName(nullptr)) + L"\\searchfile.dll";
}

// Takes the volume of drive `letter` out of `volumes`, or null.
std::unique_ptr<CVolumeIndex> TakeVolume(std::vector<std::unique_ptr<CVolumeIndex>>& volumes, wchar_t letter) {
    for (auto& v : volumes)
        if (v && v->Letter() == letter) return std::move(v);
    return nullptr;
}

} // namespace

CIndexManager::CIndexManager() : scannerPath_(DefaultScannerPath()) {
    std::vector<wchar_t> letters;
    if (ListIndexableDrives(letters)) {
        for (wchar_t letter : letters) {
            monitors_.emplace_back();
            monitors_.back().Letter = letter;
        }
    }
}

CIndexManager::~CIndexManager() {
    loadThread_.Join();
    loadThread_.Close();
    // A scan still running would write files and the monitor list of a
    // destroyed object: stop it after its current drive and wait.
    StopThread(scanThread_, scanStop_);
    EndSearchThread();
    StopJournalThread();
    StopThread(sortThread_, g_bSearchAbort);
    sorted_ = 0;
    {
        platform::ScopedLock lock(recordLock_);
        for (auto& v : volumes_) v->Clear();
        volumes_.clear();
        unsavedScans_.clear();
        monitors_.clear();
    }
}

void CIndexManager::StopThread(platform::Thread& thread, volatile LONG& stopFlag) {
    if (!thread.IsStarted()) return;
    if (thread.IsRunning()) {
        ::InterlockedExchange(&stopFlag, 1);
        thread.Join();
    }
    thread.Close();
    ::InterlockedExchange(&stopFlag, 0);
}

void CIndexManager::StopSort() {
    StopThread(sortThread_, g_bSearchAbort);
    sorted_ = 0;
}

bool CIndexManager::IsLoadDone() const {
    return !loadThread_.IsRunning();
}

bool CIndexManager::IsScanRunning() const {
    return scanThread_.IsRunning();
}

bool CIndexManager::IsIndexEmpty() {
    platform::ScopedLock lock(recordLock_);
    return volumes_.empty();
}

std::wstring CIndexManager::IndexFilePath(const wchar_t* pattern, wchar_t letter) const {
    return IndexFileName(indexFolder_, pattern, letter);
}

int CIndexManager::StartLoad() {
    if (loadThread_.IsRunning()) return 1;
    loadThread_.Close();
    StopSort();
    StopSearchThread();
    StopJournalThread();
    if (!loadThread_.Start(&CIndexManager::LoadIndexThreadProc, this))
        platform::Trace("StartLoad: the load thread did not start");
    return 1;
}

unsigned __stdcall CIndexManager::LoadIndexThreadProc(void* manager) {
    return static_cast<CIndexManager*>(manager)->LoadIndex();
}

unsigned CIndexManager::LoadIndex() {
    // The volume list is emptied at once; the volumes themselves are kept
    // aside so a drive's new load can reuse its old storage.
    std::vector<std::unique_ptr<CVolumeIndex>> old;
    {
        platform::ScopedLock lock(recordLock_);
        old.swap(volumes_);
    }
    // The drives come from the monitor list, which a scan rebuilds; the first
    // load fills it from the drive list. Drives whose scan could not be saved
    // come from memory instead of their files.
    std::vector<wchar_t> letters;
    std::vector<std::unique_ptr<CVolumeIndex>> scanned;
    std::wstring memoryOnly;
    {
        platform::ScopedLock lock(recordLock_);
        if (monitors_.empty()) {
            std::vector<wchar_t> drives;
            if (!ListIndexableDrives(drives)) return 0;
            for (wchar_t letter : drives) {
                monitors_.emplace_back();
                monitors_.back().Letter = letter;
            }
        }
        for (const UsnMonitorEntry& e : monitors_) letters.push_back(e.Letter);
        scanned.swap(unsavedScans_);
        memoryOnly = memoryOnly_;
    }
    for (wchar_t letter : letters) {
        // A scan's answer that could not be saved is the drive's index; after
        // that, the volume made from it stays as the journal has kept it.
        std::unique_ptr<CVolumeIndex> volume = TakeVolume(scanned, letter);
        if (!volume && memoryOnly.find(letter) != std::wstring::npos) volume = TakeVolume(old, letter);
        if (!volume) {
            volume = TakeVolume(old, letter);
            if (!volume) volume.reset(new CVolumeIndex(letter));
            if (!volume->LoadFiles(IndexFilePath(L"index_%c", letter), IndexFilePath(L"name_%c", letter)))
                continue;  // without names the drive is not indexed
        }
        platform::ScopedLock lock(recordLock_);
        volumes_.push_back(std::move(volume));
    }
    return 1;
}

std::wstring CIndexManager::TakeUnsavedDrives() {
    platform::ScopedLock lock(recordLock_);
    std::wstring drives;
    drives.swap(unsavedToTell_);
    unsavedTold_ += drives;
    return drives;
}

std::unique_ptr<CVolumeIndex> CIndexManager::KeepUnsavedScan(wchar_t letter, std::unique_ptr<CVolumeIndex> volume) {
    std::unique_ptr<CVolumeIndex> dropped = ForgetUnsavedScan(letter);
    if (volume) {
        unsavedScans_.push_back(std::move(volume));
        memoryOnly_ += letter;
    }
    if (unsavedTold_.find(letter) == std::wstring::npos && unsavedToTell_.find(letter) == std::wstring::npos)
        unsavedToTell_ += letter;
    return dropped;
}

std::unique_ptr<CVolumeIndex> CIndexManager::ForgetUnsavedScan(wchar_t letter) {
    std::unique_ptr<CVolumeIndex> dropped = TakeVolume(unsavedScans_, letter);
    unsavedScans_.erase(std::remove(unsavedScans_.begin(), unsavedScans_.end(), nullptr), unsavedScans_.end());
    memoryOnly_.erase(std::remove(memoryOnly_.begin(), memoryOnly_.end(), letter), memoryOnly_.end());
    return dropped;
}
