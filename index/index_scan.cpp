// Index manager: the scan that rebuilds the index files through the scanner
// library.
#include "index/index_manager.h"

#include <algorithm>
#include <memory>

#include "index/drive_list.h"
#include "index/index_files.h"
#include "platform/com_ptr.h"
#include "platform/strconv.h"
#include "platform/trace.h"
#include "scanner/search_file.h"

HRESULT CIndexManager::BindSearchFile(HMODULE library, ISearchFile** out) {
    if (!library) return E_FAIL;
    auto getClassObject =
        reinterpret_cast<DllGetClassObjectProc>(reinterpret_cast<void*>(::GetProcAddress(library, "DllGetClassObject")));
    if (!getClassObject) return E_FAIL;
    const CLSID none = {};
    ISearchFile* local = nullptr;
    HRESULT hr = getClassObject(none, IID_ISearchFile, reinterpret_cast<void**>(&local));
    if (FAILED(hr)) return hr;
    if (out)
        *out = local;
    else if (local)
        local->Release();
    return 0;
}

int CIndexManager::StartScan() {
    if (scanThread_.IsRunning()) return 1;
    scanThread_.Close();
    StopJournalThread();
    if (!scanThread_.Start(&CIndexManager::ScanThreadProc, this)) {
        platform::Trace("StartScan: the scan thread did not start");
        return 1;
    }
    // A rescan while searches are answered from a loaded index yields to them.
    if (!IsIndexEmpty()) ::SetThreadPriority(scanThread_.Handle(), THREAD_PRIORITY_BELOW_NORMAL);
    return 1;
}

unsigned __stdcall CIndexManager::ScanThreadProc(void* manager) {
    return static_cast<CIndexManager*>(manager)->ScanDrives();
}

unsigned CIndexManager::ScanDrives() {
    ::OutputDebugStringW(L"ScanFiles");
    std::vector<wchar_t> letters;
    if (!ListIndexableDrives(letters)) return 0;
    // Volumes of earlier unsaved scans that no drive needs any more; freed
    // without holding the record lock.
    std::vector<std::unique_ptr<CVolumeIndex>> dropped;
    {
        // The journal thread is not running (StartScan stopped it); the lock
        // keeps a load that runs at the same time from reading a list in change.
        platform::ScopedLock lock(recordLock_);
        monitors_.clear();
        // Drives that are gone take their unsaved index with them.
        for (wchar_t letter : std::wstring(memoryOnly_))
            if (std::find(letters.begin(), letters.end(), letter) == letters.end())
                dropped.push_back(ForgetUnsavedScan(letter));
    }
    dropped.clear();

    platform::ModuleHandle library;
    platform::ComPtr<ISearchFile> scanner;
    for (wchar_t letter : letters) {
        if (scanStop_) break;
        const wchar_t root[4] = {letter, L':', L'\\', 0};
        wchar_t fileSystem[20] = {};
        if (!::GetVolumeInformationW(root, nullptr, 0, nullptr, nullptr, nullptr, fileSystem,
                                     ARRAYSIZE(fileSystem)))
            fileSystem[0] = 0;

        // Every drive is read by a freshly loaded library.
        if (!library) library.Reset(::LoadLibraryW(scannerPath_.c_str()));
        if (library && !scanner) BindSearchFile(library.Get(), scanner.Receive());
        if (!library || !scanner) {
            platform::TraceW(L"ScanFiles: scanner library %ls not usable (error %lu); the saved index stays",
                             scannerPath_.c_str(), ::GetLastError());
            return 0;  // scanner released and library unloaded by their owners
        }
        if (wcscmp(fileSystem, L"NTFS") != 0) {
            std::unique_ptr<CVolumeIndex> gone;
            platform::ScopedLock lock(recordLock_);
            gone = ForgetUnsavedScan(letter);
            continue;
        }

        ScanVolumeResult* answer = nullptr;
        const std::string rootAnsi = platform::WideToAnsi(root);
        scanner->ScanVolume(rootAnsi.c_str(), &answer);
        if (answer && PrepareScanAnswer(*answer)) {
            DWORD error = 0;
            const bool saved = SaveScanAnswer(indexFolder_, letter, *answer, &error);
            std::unique_ptr<CVolumeIndex> unsaved;
            if (!saved) {
                // The scan's work is not lost: its answer becomes the drive's
                // volume for this run, as loading the files would have made
                // it, and the next start scans the drive again.
                platform::Trace("ScanFiles: the index of %c: could not be saved (error %lu); kept in memory",
                                static_cast<char>(letter), error);
                unsaved.reset(new CVolumeIndex(letter));
                if (!unsaved->LoadScanAnswer(*answer)) unsaved.reset();
            }
            UsnMonitorEntry entry;
            entry.Letter = letter;
            // A drive whose journal cannot be followed is still listed, so the
            // next load reads the files just written; the journal loop skips
            // entries without a volume handle.
            if (!OpenVolumeJournal(entry))
                platform::Trace("ScanFiles: no change journal on %c:, drive not followed", static_cast<char>(letter));
            std::unique_ptr<CVolumeIndex> replaced;
            platform::ScopedLock lock(recordLock_);
            monitors_.push_back(std::move(entry));
            replaced = saved ? ForgetUnsavedScan(letter) : KeepUnsavedScan(letter, std::move(unsaved));
        } else {
            // Not indexed this time: nothing of an earlier unsaved scan stays.
            std::unique_ptr<CVolumeIndex> gone;
            platform::ScopedLock lock(recordLock_);
            gone = ForgetUnsavedScan(letter);
        }
        scanner.Reset();
        library.Reset();
    }
    return 0;
}

bool CIndexManager::OpenVolumeJournal(UsnMonitorEntry& entry) {
    const wchar_t device[] = {L'\\', L'\\', L'.', L'\\', entry.Letter, L':', 0};
    platform::FileHandle volume(::CreateFileW(device, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                              nullptr, OPEN_EXISTING, 0, nullptr));
    if (!volume) {
        platform::TraceLastError("open volume for the change journal");
        return false;
    }
    USN_JOURNAL_DATA data = {};
    if (!QueryUsnJournal(&data, volume.Get())) {
        platform::TraceLastError("QueryUsnJournal");
        return false;
    }
    entry.NextUsn = data.NextUsn;
    entry.UsnJournalID = data.UsnJournalID;
    entry.Volume = std::move(volume);
    return true;
}
