#pragma once
// The engine object: volumes, journal monitor entries, worker threads and the
// two locks. The sections below are kept apart by concern: lifecycle, load and
// scan (index_manager.cpp, index_scan.cpp); search and sort; change journal.
#include <windows.h>
#include <winioctl.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "index/index_record.h"
#include "index/search_query.h"
#include "index/usn_journal_io.h"
#include "index/volume_index.h"
#include "platform/handle.h"
#include "platform/lock.h"
#include "platform/thread.h"

struct ISearchFile;
class CSearchWorkers;
struct SearchShares;

// One drive followed by the change-journal monitor, in drive-listing order.
struct UsnMonitorEntry {
    int64_t NextUsn = 0;        // next journal position to read
    uint64_t UsnJournalID = 0;  // identifier of the volume's journal
    // "\\.\X:" opened for the journal; invalid when the journal could not be
    // queried or created -- the drive is then loaded but not followed.
    platform::FileHandle Volume;
    wchar_t Letter = 0;
};

// Asks a running sort to end; polled by the sort thread.
extern volatile LONG g_bSearchAbort;

class CIndexManager {
public:
    // ===================================================================
    // Lifecycle, load and scan
    // ===================================================================
    CIndexManager();
    ~CIndexManager();
    CIndexManager(const CIndexManager&) = delete;
    CIndexManager& operator=(const CIndexManager&) = delete;

    // Starts a scan through the scanner library unless one runs; returns 1.
    int StartScan();
    // Stops sort, search and journal threads and reloads the index files;
    // returns 1 (also when a load already runs).
    int StartLoad();
    // No load thread was started, or the last one has ended.
    bool IsLoadDone() const;
    // The scan thread exists and has not ended.
    bool IsScanRunning() const;
    // No volume is loaded (reads under the record lock).
    bool IsIndexEmpty();

    // Binds ISearchFile from a loaded scanner library: E_FAIL without the
    // export, the export's failure code, else 0.
    static HRESULT BindSearchFile(HMODULE library, ISearchFile** out);

    static unsigned __stdcall LoadIndexThreadProc(void* manager);
    static unsigned __stdcall ScanThreadProc(void* manager);

    // Folder of "index_%c" and "name_%c"; empty (the default) is the current
    // directory. Set before the first load or scan.
    void SetIndexFolder(const std::wstring& folder) { indexFolder_ = folder; }
    const std::wstring& IndexFolder() const { return indexFolder_; }
    // Full path of a file of the index folder, e.g. IndexFilePath(L"index_%c", 'C').
    std::wstring IndexFilePath(const wchar_t* pattern, wchar_t letter) const;
    // The scanner library; by default the program's folder + "\searchfile.dll".
    void SetScannerPath(const std::wstring& path) { scannerPath_ = path; }
    const std::wstring& ScannerPath() const { return scannerPath_; }

    // Lock order: record lock first, then query lock; never the other way.
    platform::CriticalSection& RecordLock() { return recordLock_; }
    platform::CriticalSection& QueryLock() { return queryLock_; }

    // Volume list, under the record lock. Position p belongs to the p-th
    // monitor entry among the drives that loaded; check Letter() before
    // applying anything from a monitor entry to it.
    size_t VolumeCount() const { return volumes_.size(); }
    CVolumeIndex* GetVolume(size_t position) {
        return position < volumes_.size() ? volumes_[position].get() : nullptr;
    }
    // Monitor list: changed only by the scan and load threads (under the record
    // lock), never while the journal thread runs.
    const std::vector<UsnMonitorEntry>& MonitorEntries() const { return monitors_; }

    // Drives whose last scan could not be saved (their index lives in memory
    // until the next start), not yet told to the user, as letters in drive
    // order. Each drive is answered once a run: the answer marks it told.
    std::wstring TakeUnsavedDrives();

    // Window that receives the engine's WM_SEARCH_RESULTS / WM_SEARCH_CHANGED.
    void SetNotifyWindow(HWND window) { notifyWnd_ = window; }
    HWND NotifyWindow() const { return notifyWnd_; }

    // Stops a running sort thread (g_bSearchAbort, wait, close) and clears
    // the sorted flag.
    void StopSort();
    bool IsSorted() const { return sorted_ != 0; }

    // The program's instance handle; the application object carries it.
    HINSTANCE Instance = nullptr;

    // ===================================================================
    // Search and sort
    // ===================================================================
    // Ends a running sort and search, copies the query (query lock) and starts
    // a search thread; returns 1.
    int StartSearch(const CSearchQuery& query);
    // Sorts the results on a SORT_* key in a thread, after a running search
    // has finished; false when the thread could not start.
    bool StartSort(int key);
    int GetSortKey() const { return SortKey; }
    // A sort thread exists and has not ended.
    bool IsSortRunning() const { return sortThread_.IsRunning(); }
    // Ends a running search (stop flag, wait without limit); the search
    // thread stays for the next one. Nothing when none runs.
    void StopSearch() { StopSearchThread(); }
    // A search has been started and has not finished.
    bool IsSearchRunning() const;

    // Rows of the result list, read under the record lock. Each answers false
    // when the row, its volume or its slot is out of range or the record has
    // no name: a window may ask for a row that a reload has just made stale.
    bool GetResultRecord(size_t row, IndexRecord* record);
    bool GetResultPath(size_t row, std::string* path);
    bool GetResultName(size_t row, std::string* name);
    size_t GetResultCount();

    // The active query: read and written under the query lock.
    CSearchQuery& ActiveQuery() { return activeQuery_; }
    // Tests a record of `volume` against the active query (the caller holds
    // the record lock, and the query lock when it changes the query).
    int MatchRecord(const CVolumeIndex& volume, const IndexRecord& record, const wchar_t* fullPath,
                    bool* deleted) const;

    // Runs the active query: FullSearch when its FullScan is set, else
    // NarrowSearch; returns 1.
    static unsigned __stdcall SearchThreadProc(void* manager);
    static unsigned __stdcall SortThreadProc(void* manager);

    // ===================================================================
    // Change-journal monitor
    // ===================================================================
    // Fills the journal data of an open volume, creating the journal when
    // needed; non-zero on success (else the last error tells why).
    BOOL QueryUsnJournal(USN_JOURNAL_DATA* data, HANDLE volume);
    // Follows drive `letter` through an already open volume handle, which is
    // taken over (its monitor entry owns it, or it is closed); false when the
    // drive has no entry or its journal cannot be had. Not while the journal
    // thread runs.
    bool FollowVolume(wchar_t letter, HANDLE volume);
    // Where journal requests go: the system's by default; tests plug in an
    // in-memory journal. Set while no scan or journal thread runs.
    void SetUsnJournalIo(IUsnJournalIo* io) { usnIo_ = io; }
    IUsnJournalIo& UsnJournalIo();
    // Opens "\\.\X:" for `entry.Letter` and reads its journal position into
    // the entry; false (entry left without a volume handle) when either fails.
    bool OpenVolumeJournal(UsnMonitorEntry& entry);
    // Starts the journal poll thread, stopping a running one first; 0 while a
    // scan or a load runs or when the thread cannot start, else 1.
    int StartUsnMonitor();
    static unsigned __stdcall UsnMonitorThreadProc(void* manager);
    // Applies one journal record to the volume at `volumePosition` (nothing
    // when the list has no volume there); sets `changed` when the record
    // matched the active query before or after the change. The caller holds
    // the record lock.
    void ApplyUsnRecord(size_t volumePosition, const USN_RECORD_V2& record, bool& changed);

    // The same in steps, as the poll loop runs them so that the record lock
    // is never held across a file-system call: Prepare (no lock) reads the
    // record; Apply (record lock) changes the index and notes the path whose
    // size is to be looked up; LookUp (no lock) asks the file system; Finish
    // (record lock) stores the size and time and matches the changed record.
    struct UsnChangeWork {
        size_t Volume = 0;
        uint32_t Slot = 0, Parent = 0;
        DWORD Reason = 0;
        uint8_t Flags = 0;
        std::string Name;      // ANSI
        bool Valid = false;    // a closed change with a name
        bool Applied = false;  // the index was changed
        int Before = 0;        // MATCH_* before the change
        std::string Path;      // full path after the change; empty: nothing to look up
        uint32_t NameRef = 0;  // the name the change stored, to spot a later change
        bool Found = false;
        int64_t Size = 0;
        bool HasNow = false;   // Now holds the time of the lookup
        FILETIME Now{};
    };
    // Applies the records of one read answer as the poll loop does: in
    // batches, each applied in one short hold of the record lock and finished
    // in another, with the file-system lookups and traces between. What a
    // hold would allocate or ask the system for -- room in the tables, a
    // name pool, the time -- is had before it. When `holds` is given, the
    // holds are timed into it (benchmark).
    struct UsnHoldStats {
        double Longest = 0, Total = 0;  // seconds
        int Holds = 0;
    };
    void ApplyUsnAnswer(size_t volumePosition, CUsnReadBuffer& answer, bool& changed, UsnHoldStats* holds = nullptr);
    static bool PrepareUsnChange(size_t volumePosition, const USN_RECORD_V2& record, UsnChangeWork& work);
    void ApplyUsnChange(UsnChangeWork& work, bool changed);
    static void LookUpUsnChange(UsnChangeWork& work);
    void FinishUsnChange(const UsnChangeWork& work, bool& changed);

private:
    // ===================================================================
    // Lifecycle, load and scan
    // ===================================================================
    unsigned LoadIndex();
    unsigned ScanDrives();
    // Bookkeeping of drives whose scan could not be saved (record lock held):
    // Keep hands over the volume built from the scan (or none, when that
    // failed too) for the next load; Forget drops what a drive had, once its
    // files are current again or it is no longer indexed. Both answer the
    // volume they replaced, for the caller to free after letting go of the lock.
    std::unique_ptr<CVolumeIndex> KeepUnsavedScan(wchar_t letter, std::unique_ptr<CVolumeIndex> volume);
    std::unique_ptr<CVolumeIndex> ForgetUnsavedScan(wchar_t letter);
    // Plain flag, wait without limit, close the handle, clear the flag.
    static void StopThread(platform::Thread& thread, volatile LONG& stopFlag);
    // Stop flag, wait for the running search to end, clear the flag; the
    // thread itself stays for the next search.
    void StopSearchThread();
    // Waits until no search runs.
    void WaitForSearch();
    // Ends the search thread for good (destruction).
    void EndSearchThread();
    static unsigned __stdcall SearchLoopProc(void* manager);
    void StopJournalThread() { StopThread(journalThread_, journalStop_); }

    platform::CriticalSection recordLock_;  // volumes, records, names, result lists
    platform::CriticalSection queryLock_;   // active query, g_bUseRegex

    std::vector<UsnMonitorEntry> monitors_;
    std::vector<std::unique_ptr<CVolumeIndex>> volumes_;
    // Drives whose scan succeeded but whose files could not be saved, all
    // under the record lock. The scan leaves the volume built from its answer
    // in unsavedScans_; the next load takes it instead of the files. Letters
    // in memoryOnly_ have no current files: a load keeps their volume as it
    // is, journal changes included. unsavedToTell_/unsavedTold_: the user is
    // told of each such drive once.
    std::vector<std::unique_ptr<CVolumeIndex>> unsavedScans_;
    std::wstring memoryOnly_;
    std::wstring unsavedToTell_;
    std::wstring unsavedTold_;

    // Worker threads; a handle is empty (never started), running, or ended
    // but not yet closed. Every start first checks the old one.
    platform::Thread loadThread_;
    platform::Thread scanThread_;
    platform::Thread journalThread_;  // runs the journal poll loop; polls journalStop_
    platform::Thread searchThread_;   // runs the searches one by one; polls searchStop_
    platform::Thread sortThread_;     // runs a sort; polls g_bSearchAbort

    volatile LONG scanStop_ = 0;     // checked between drives; set at destruction
    volatile LONG journalStop_ = 0;
    volatile LONG searchStop_ = 0;
    volatile LONG sorted_ = 0;       // set by a finished sort

    HWND notifyWnd_ = nullptr;
    std::wstring indexFolder_;
    std::wstring scannerPath_;

    // ===================================================================
    // Search and sort
    // ===================================================================
    unsigned FullSearch();
    // One pass of a full search; sets *retry when the index changed under a
    // kept candidate list, which must then be made afresh.
    unsigned FullSearchPass(bool keepCandidates, bool* retry);
    unsigned NarrowSearch();
    unsigned SortResults();
    void PostSearchResults(WPARAM count, LPARAM detail);
    void EnsureSearchWorkers();
    void SetNarrowBase(const CSearchQuery& query, LONG stampAtStart);

    CSearchQuery activeQuery_;  // query lock
    // Every record that passed state and filters in the last full search, and
    // the full matches (row n is entry n), both under the record lock.
    std::vector<SearchResult> CandidateList;
    std::vector<SearchResult> ResultList;
    volatile LONG SortKey = 0;  // SORT_* of the last sort request
    // Helper threads and their working storage, made by the first full search.
    std::shared_ptr<CSearchWorkers> searchWorkers_;
    std::shared_ptr<SearchShares> searchShares_;
    // What the result list was made from, when a narrowing may start from it
    // instead of from every candidate (record lock).
    struct NarrowBase {
        bool Valid = false;
        std::wstring FoldedPattern;
        uint32_t FileState = 0;
        LONG Stamp = 0;
    } narrowBase_;
    std::vector<SearchResult> narrowSource_;  // the previous results while narrowing
    // What the candidate list was made from (record lock): a full search with
    // the same file state and filters, on the same day, over an unchanged
    // index finds the same candidates, so it keeps the list instead of
    // writing it again.
    struct CandidateBase {
        bool Valid = false;
        LONG Stamp = 0;
        uint32_t FileState = 0, FilterMask = 0;
        ULONGLONG SizeMin = 0, SizeMax = 0, DateFrom = 0, DateTo = 0;
        WORD Year = 0, Month = 0, Day = 0;
        std::wstring PathPrefix;
        bool SameAs(const CandidateBase& other) const;
    } candidateBase_;
    static CandidateBase CandidateBaseOf(const CSearchQuery& query, LONG stamp);
    // The search thread waits between searches for the next one: a new
    // thread can take milliseconds to start, which a keystroke should not
    // wait for. StartSearch hands it a search with searchGo_; searchIdle_ is
    // set while it runs none.
    platform::UniqueHandle searchGo_ = platform::UniqueHandle(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
    platform::UniqueHandle searchIdle_ = platform::UniqueHandle(::CreateEventW(nullptr, TRUE, TRUE, nullptr));
    volatile LONG searchQuit_ = 0;

    // ===================================================================
    // Change-journal monitor
    // ===================================================================
    void RunUsnMonitor();
    void PollUsnEntry(UsnMonitorEntry& entry, size_t position, UsnReadStorage& buffer, bool& changed);
    // After a failed read: query (re-creating the journal if need be) and
    // resume a re-created or trimmed journal.
    void RecoverUsnEntry(UsnMonitorEntry& entry, DWORD readError);
    // The volume a monitor entry's changes go to, or VolumeCount() for none.
    size_t VolumePositionOf(const UsnMonitorEntry& entry, size_t position) const;
    int MatchChangedRecord(const CVolumeIndex& volume, uint32_t slot);
    void NotifyUsnChange();

    IUsnJournalIo* usnIo_ = nullptr;  // null: the system's journal
    // Matching a changed record: storage kept between records (the journal
    // thread, or a caller of ApplyUsnRecord, under the record lock).
    std::unique_ptr<MatchScratch> usnScratch_ = std::unique_ptr<MatchScratch>(new MatchScratch);
};
