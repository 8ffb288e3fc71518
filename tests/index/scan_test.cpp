// Scanning drives through searchfile.dll into saved index files and loading
// them back, and the library's operations as the program's callers reach them.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "index/index_files.h"
#include "index/index_manager.h"
#include "platform/com_ptr.h"
#include "platform/handle.h"
#include "platform/strconv.h"
#include "scanner/search_file.h"
#include "tests/support/test_support.h"

using testing_support::PathExists;
using testing_support::ReadFileBytes;

namespace {

bool WaitUntil(const std::function<bool()>& done) { return testing_support::PumpMessagesUntil(done, 120000); }

// A drive T: with a small tree, Chinese names included. Its volume reports the
// file system NTFS, as the scan requires: the device is a small, empty NTFS
// image, while the files come from a fresh folder.
void MakeTree() {
    static const std::string image = testing_support::UnixWorkFolder() + "/ntfs-label.img";
    static const int made = testing_support::RunUnixCommand("truncate -s 8M '" + image + "' && mkntfs -F -q -f '" +
                                                            image + "' >/dev/null 2>&1");
    ASSERT_EQ(made, 0);
    ASSERT_EQ(testing_support::MapDriveToTempFolder(L'T'), L"T:\\");
    ASSERT_TRUE(testing_support::MapDriveDevice(L'T', image));
    ASSERT_TRUE(testing_support::WriteFileBytes(L"T:\\a.txt", "abc"));
    ASSERT_TRUE(testing_support::WriteFileBytes(L"T:\\docs\\\u62A5\u544A.txt", std::string(12345, 'x')));
    ASSERT_TRUE(testing_support::WriteFileBytes(L"T:\\docs\\sub\\\u6DF1\u5C42\\\u6587\u4EF6.doc", "d"));
    ASSERT_TRUE(testing_support::WriteFileBytes(L"T:\\docs\\sub\\x y.bin", ""));
    ASSERT_TRUE(::CreateDirectoryW(L"T:\\empty", nullptr));
}

// Under Wine the test program's folder has no drive path, so the default
// (program folder + "\\searchfile.dll") cannot be loaded; a bare name makes the
// loader look in the program's folder first.
void UseTestScanner(CIndexManager& m) {
    if (m.ScannerPath().find(L"nowhere") == std::wstring::npos) m.SetScannerPath(L"searchfile.dll");
}

class IndexScan : public ::testing::Test {
protected:
    void SetUp() override {
        static int n = 0;
        folder_ = L"C:\\index-scan-" + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(++n);
        ASSERT_TRUE(::CreateDirectoryW(folder_.c_str(), nullptr));
    }
    void TearDown() override { testing_support::UnmapDrive(L'T'); }
    std::wstring Path(const wchar_t* pattern, wchar_t letter = L'T') { return IndexFileName(folder_, pattern, letter); }

    void ScanAndWait(CIndexManager& m) {
        UseTestScanner(m);
        EXPECT_EQ(m.StartScan(), 1);
        ASSERT_TRUE(WaitUntil([&] { return !m.IsScanRunning(); }));
    }
    void LoadAndWait(CIndexManager& m) {
        EXPECT_EQ(m.StartLoad(), 1);
        ASSERT_TRUE(WaitUntil([&] { return m.IsLoadDone(); }));
    }
    // No scan leaves its new files behind.
    void ExpectNoNewFiles() { EXPECT_FALSE(PathExists(Path(L"indexnew_%c")) || PathExists(Path(L"namenew_%c"))); }
    CVolumeIndex* VolumeOf(CIndexManager& m, wchar_t letter) {
        for (size_t i = 0; i < m.VolumeCount(); ++i)
            if (m.GetVolume(i)->Letter() == letter) return m.GetVolume(i);
        return nullptr;
    }

    std::wstring folder_;
};

} // namespace

TEST_F(IndexScan, MappedDriveIsScannedSavedAndLoadedBackWithRealPaths) {
    ASSERT_EQ(::GetACP(), 936u);
    MakeTree();
    CIndexManager m;
    m.SetIndexFolder(folder_);
    ScanAndWait(m);

    ExpectNoNewFiles();
    EXPECT_EQ(ReadFileBytes(Path(L"index_%c")).size() % 45, 0u);
    EXPECT_EQ(ReadFileBytes(Path(L"name_%c")).size() % 0x400000, 0u);
    // Listed for the monitor (though Wine has no journal), in drive order.
    std::wstring letters;
    for (const UsnMonitorEntry& e : m.MonitorEntries()) letters += e.Letter;
    EXPECT_EQ(letters, L"CT");

    LoadAndWait(m);
    platform::ScopedLock lock(m.RecordLock());
    CVolumeIndex* v = VolumeOf(m, L'T');
    ASSERT_NE(v, nullptr);
    EXPECT_STREQ(v->GetName(kRootSlot), ".");

    std::map<std::string, bool> expected;  // full path -> is a folder
    for (const wchar_t* file : {L"a.txt", L"docs\\\u62A5\u544A.txt", L"docs\\sub\\\u6DF1\u5C42\\\u6587\u4EF6.doc",
                                L"docs\\sub\\x y.bin"})
        expected[platform::WideToAnsi(std::wstring(L"T:\\") + file)] = false;
    for (const wchar_t* dir : {L"docs", L"docs\\sub", L"docs\\sub\\\u6DF1\u5C42", L"empty"})
        expected[platform::WideToAnsi(std::wstring(L"T:\\") + dir)] = true;
    std::map<std::string, bool> indexed;
    for (uint32_t slot = 0; slot < v->RecordCount(); ++slot) {
        if (!v->GetName(slot)) continue;
        if (slot < kFirstUserSlot) {
            EXPECT_EQ(slot, kRootSlot);
            continue;
        }
        const IndexRecord* r = v->GetRecord(slot);
        const std::string path = v->GetFullPath(slot);
        EXPECT_TRUE(indexed.emplace(path, (r->Flags & IRF_DIRECTORY) != 0).second) << "twice: " << path;
        EXPECT_TRUE(r->Flags & IRF_EXISTS);
        // Time2 is the local modification time, Size the file's.
        WIN32_FILE_ATTRIBUTE_DATA data;
        ASSERT_TRUE(::GetFileAttributesExW(platform::AnsiToWide(path).c_str(), GetFileExInfoStandard, &data)) << path;
        FILETIME local;
        ::FileTimeToLocalFileTime(&data.ftLastWriteTime, &local);
        EXPECT_EQ(FileTimeValue(r->Time2), FileTimeValue(local)) << path;
        if (!(r->Flags & IRF_DIRECTORY)) {
            EXPECT_EQ(static_cast<uint64_t>(r->Size),
                      (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
        }
    }
    EXPECT_EQ(indexed, expected);
}

TEST_F(IndexScan, WithoutTheScannerLibraryTheSavedIndexStaysAndLoads) {
    MakeTree();
    // Files of a drive the machine does not have are left alone.
    ASSERT_TRUE(testing_support::WriteFileBytes(Path(L"index_%c", L'Q'), std::string(45, '\0')));
    ASSERT_TRUE(testing_support::WriteFileBytes(Path(L"name_%c", L'Q'), std::string("q\0", 2)));
    {
        CIndexManager first;
        first.SetIndexFolder(folder_);
        ScanAndWait(first);
    }
    const std::string index = ReadFileBytes(Path(L"index_%c"));
    const std::string names = ReadFileBytes(Path(L"name_%c"));
    ASSERT_GT(index.size(), 0u);
    ASSERT_TRUE(testing_support::WriteFileBytes(L"T:\\later.txt", "new"));

    CIndexManager m;
    m.SetIndexFolder(folder_);
    m.SetScannerPath(L"C:\\nowhere\\searchfile.dll");
    ScanAndWait(m);
    EXPECT_EQ(ReadFileBytes(Path(L"index_%c")), index);
    EXPECT_EQ(ReadFileBytes(Path(L"name_%c")), names);

    EXPECT_TRUE(m.IsLoadDone());  // nothing started yet
    LoadAndWait(m);
    EXPECT_FALSE(m.IsIndexEmpty());
    platform::ScopedLock lock(m.RecordLock());
    CVolumeIndex* v = VolumeOf(m, L'T');
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->RecordCount() * 45u, index.size());
    EXPECT_EQ(VolumeOf(m, L'Q'), nullptr);
}

TEST_F(IndexScan, SecondStartWhileScanningChangesNothingAndDestructionStopsTheScan) {
    MakeTree();
    CIndexManager m;
    m.SetIndexFolder(folder_);
    {
        // The scan stops at its first step under the record lock.
        UseTestScanner(m);
        platform::ScopedLock lock(m.RecordLock());
        EXPECT_EQ(m.StartScan(), 1);
        ::Sleep(200);
        EXPECT_EQ(m.StartScan(), 1);
        EXPECT_TRUE(m.IsScanRunning());
        EXPECT_FALSE(PathExists(Path(L"indexnew_%c")));
    }
    ASSERT_TRUE(WaitUntil([&] { return !m.IsScanRunning(); }));
    EXPECT_TRUE(PathExists(Path(L"index_%c")));
    ExpectNoNewFiles();

    // Destroying the manager stops a running scan; whatever it had reached,
    // nothing is left half written.
    {
        CIndexManager second;
        second.SetIndexFolder(folder_);
        UseTestScanner(second);
        second.StartScan();
    }
    ExpectNoNewFiles();
}

namespace {

// The names of the files and folders of drive `letter` in the loaded index,
// or {"<not loaded>"}.
std::set<std::string> LoadedNames(CIndexManager& m, wchar_t letter) {
    platform::ScopedLock lock(m.RecordLock());
    for (size_t i = 0; i < m.VolumeCount(); ++i) {
        CVolumeIndex* v = m.GetVolume(i);
        if (v->Letter() != letter) continue;
        std::set<std::string> names;
        for (uint32_t slot = kFirstUserSlot; slot < v->RecordCount(); ++slot)
            if (v->GetName(slot)) names.insert(v->GetFileName(slot));
        return names;
    }
    return {"<not loaded>"};
}

bool Has(const std::set<std::string>& names, const char* name) { return names.count(name) != 0; }

} // namespace

TEST_F(IndexScan, ADriveWhoseIndexCannotBeSavedIsSearchedFromMemoryAndToldOnce) {
    MakeTree();
    // No file can be made under the temporary name: a folder of someone's
    // files lies there, which is not ours to remove.
    ASSERT_TRUE(testing_support::WriteFileBytes(Path(L"indexnew_%c") + L"\\keep.txt", "the user's"));
    CIndexManager m;
    m.SetIndexFolder(folder_);
    ScanAndWait(m);
    EXPECT_FALSE(PathExists(Path(L"index_%c")) || PathExists(Path(L"name_%c")));
    EXPECT_EQ(ReadFileBytes(Path(L"indexnew_%c") + L"\\keep.txt"), "the user's");
    EXPECT_TRUE(PathExists(Path(L"index_%c", L'C')));  // other drives are saved as usual
    // Still followed, in drive order.
    std::wstring letters;
    for (const UsnMonitorEntry& e : m.MonitorEntries()) letters += e.Letter;
    EXPECT_EQ(letters, L"CT");
    EXPECT_TRUE(m.IsLoadDone());

    // The reload brings the scan's answer in from memory.
    LoadAndWait(m);
    std::set<std::string> names = LoadedNames(m, L'T');
    EXPECT_TRUE(Has(names, "a.txt") && Has(names, "x y.bin") && Has(names, "empty"));
    {
        platform::ScopedLock lock(m.RecordLock());
        CVolumeIndex* v = VolumeOf(m, L'T');
        ASSERT_NE(v, nullptr);
        EXPECT_EQ(v->GetFullPath(v->RecordCount() - 1).compare(0, 3, "T:\\"), 0);
        // A change from the journal, as the monitor applies it.
        ASSERT_TRUE(v->InsertIndex(v->RecordCount() + 7, kRootSlot, "journal.txt", 11, IRF_EXISTS, false));
    }
    // Told once.
    EXPECT_EQ(m.TakeUnsavedDrives(), L"T");
    EXPECT_EQ(m.TakeUnsavedDrives(), L"");

    // A reload without a scan keeps the volume as the journal left it: its
    // files are not there to be read.
    LoadAndWait(m);
    EXPECT_TRUE(Has(LoadedNames(m, L'T'), "journal.txt"));
    EXPECT_TRUE(Has(LoadedNames(m, L'T'), "a.txt"));

    // Failing again later in the run: the new answer, not told again.
    ScanAndWait(m);
    LoadAndWait(m);
    names = LoadedNames(m, L'T');
    EXPECT_TRUE(Has(names, "a.txt"));
    EXPECT_FALSE(Has(names, "journal.txt"));
    EXPECT_EQ(m.TakeUnsavedDrives(), L"");

    // Once the folder takes files again, the drive is saved and loaded from them.
    ASSERT_TRUE(::DeleteFileW((Path(L"indexnew_%c") + L"\\keep.txt").c_str()));
    ASSERT_TRUE(::RemoveDirectoryW(Path(L"indexnew_%c").c_str()));
    ASSERT_TRUE(testing_support::WriteFileBytes(L"T:\\later.txt", "new"));
    ScanAndWait(m);
    EXPECT_TRUE(PathExists(Path(L"name_%c")));
    ExpectNoNewFiles();
    LoadAndWait(m);
    EXPECT_TRUE(Has(LoadedNames(m, L'T'), "later.txt"));
    // And a reload reads the files again.
    ASSERT_TRUE(::DeleteFileW(Path(L"name_%c").c_str()));
    LoadAndWait(m);
    EXPECT_EQ(LoadedNames(m, L'T'), std::set<std::string>{"<not loaded>"});
}

TEST_F(IndexScan, AReadOnlyIndexLoadsAndTheScanStillCounts) {
    MakeTree();
    {
        CIndexManager first;
        first.SetIndexFolder(folder_);
        ScanAndWait(first);
    }
    const std::string index = ReadFileBytes(Path(L"index_%c")), names = ReadFileBytes(Path(L"name_%c"));
    ASSERT_GT(index.size(), 0u);
    // Read-only, and held open by a reader that lets no one else write them.
    std::vector<platform::FileHandle> held;
    for (const wchar_t* pattern : {L"index_%c", L"name_%c"}) {
        ASSERT_TRUE(::SetFileAttributesW(Path(pattern).c_str(), FILE_ATTRIBUTE_READONLY));
        held.emplace_back(::CreateFileW(Path(pattern).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        0, nullptr));
        ASSERT_TRUE(held.back());
    }
    ASSERT_TRUE(testing_support::WriteFileBytes(L"T:\\later.txt", "new"));

    CIndexManager m;
    m.SetIndexFolder(folder_);
    LoadAndWait(m);
    std::set<std::string> loaded = LoadedNames(m, L'T');
    EXPECT_TRUE(Has(loaded, "a.txt"));
    EXPECT_FALSE(Has(loaded, "later.txt"));  // from the files of the last run

    // The scan cannot replace them; its answer is searched all the same.
    ScanAndWait(m);
    EXPECT_EQ(ReadFileBytes(Path(L"index_%c")), index);
    EXPECT_EQ(ReadFileBytes(Path(L"name_%c")), names);
    ExpectNoNewFiles();
    LoadAndWait(m);
    loaded = LoadedNames(m, L'T');
    EXPECT_TRUE(Has(loaded, "a.txt") && Has(loaded, "later.txt"));
    EXPECT_EQ(m.TakeUnsavedDrives(), L"T");
    held.clear();
    for (const wchar_t* pattern : {L"index_%c", L"name_%c"})
        ::SetFileAttributesW(Path(pattern).c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(SearchFileLibrary, OperationsSitInTheirSlots) {
    ASSERT_EQ(testing_support::MapDriveToTempFolder(L'T'), L"T:\\");
    ASSERT_TRUE(testing_support::WriteFileBytes(L"T:\\b\\c.txt", "12345"));
    ASSERT_TRUE(testing_support::WriteFileBytes(L"T:\\a.txt", ""));

    platform::ModuleHandle library(::LoadLibraryW(L"searchfile.dll"));
    ASSERT_TRUE(library);
    ISearchFile* raw = nullptr;
    ASSERT_EQ(CIndexManager::BindSearchFile(library.Get(), &raw), 0);
    ASSERT_NE(raw, nullptr);
    platform::ComPtr<ISearchFile> sf = platform::ComPtr<ISearchFile>::Adopt(raw);

    // Reach the operations by slot, as the program's callers do.
    void** table = *reinterpret_cast<void***>(raw);
    using ScanFn = HRESULT(STDMETHODCALLTYPE*)(ISearchFile*, const char*, ScanVolumeResult**);
    using SectorsFn = DWORD(STDMETHODCALLTYPE*)(ISearchFile*);
    using RecoverFn = HRESULT(STDMETHODCALLTYPE*)(ISearchFile*, const char*, char*, DWORD);
    ScanVolumeResult* answer = nullptr;
    reinterpret_cast<ScanFn>(table[kSearchFileSlotScanVolume])(raw, "T:\\", &answer);
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(reinterpret_cast<SectorsFn>(table[kSearchFileSlotGetRecoveredSectors])(raw), 0u);
    char target[260] = "C:\\";
    EXPECT_NE(reinterpret_cast<RecoverFn>(table[kSearchFileSlotRecoverFile])(raw, "T:\\a.txt", target, 0), 0);

    // Root 5, entries from 50 up, breadth first in name order: a.txt, b, b\c.txt.
    ASSERT_EQ(answer->Records.Count(), 53u);
    ASSERT_EQ(answer->Pools.Count(), 1u);
    EXPECT_GE(answer->Records.End, answer->Records.Last);
    const IndexRecord* r = answer->Records.First;
    for (uint32_t slot = 0; slot < 50; ++slot) EXPECT_EQ(r[slot].FileName == 0, slot != kRootSlot) << slot;
    auto nameAt = [&](uint32_t slot) {
        uint32_t offset = ScanNameToFileOffset(r[slot].FileName, answer->Pools.First, answer->Pools.Count());
        return offset == kNoNameOffset ? std::string("<none>") : std::string(answer->Pools.First[0] + offset);
    };
    EXPECT_EQ(nameAt(5) + nameAt(50) + "|" + nameAt(51) + "|" + nameAt(52), ".a.txt|b|c.txt");
    EXPECT_EQ(std::make_tuple(r[51].FatherID, r[51].Flags, r[52].FatherID, r[52].Flags, r[52].Size),
              std::make_tuple(5u, uint8_t(IRF_EXISTS | IRF_DIRECTORY), 51u, uint8_t(IRF_EXISTS), int64_t(5)));

    // Another class of request is refused.
    auto get = reinterpret_cast<DllGetClassObjectProc>(reinterpret_cast<void*>(::GetProcAddress(library.Get(), "DllGetClassObject")));
    void* other = nullptr;
    EXPECT_EQ(get(CLSID{}, IID_IClassFactory, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
    sf.Reset();
    testing_support::UnmapDrive(L'T');
}
