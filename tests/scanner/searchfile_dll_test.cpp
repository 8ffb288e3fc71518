// searchfile.dll itself on a drive whose raw device is the NTFS image: the
// scan lists every file (deleted ones too) with its true path, size and local
// time; RecoverFile brings deleted files back while GetRecoveredSectors is
// read from another thread; damaged images fall back or give up cleanly.
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <set>
#include <thread>

#include "index/index_manager.h"
#include "platform/handle.h"
#include "platform/strconv.h"
#include "scanner/search_file.h"
#include "tests/scanner/image_fixture.h"
#include "tests/support/test_support.h"

namespace {

using scanner_test::TheImage;

const char* NameOf(const ScanVolumeResult* r, uint32_t field) {
    if (!field) return nullptr;
#if UINTPTR_MAX == 0xFFFFFFFFu
    (void)r;
    return reinterpret_cast<const char*>(static_cast<uintptr_t>(field));
#else
    const size_t v = field - 1;
    if (v / kScanPoolSize >= r->Pools.Count()) return nullptr;
    return r->Pools.First[v / kScanPoolSize] + v % kScanPoolSize;
#endif
}

class SearchFileDll : public ::testing::Test {
protected:
    void SetUp() override {
        library_.Reset(::LoadLibraryW(L"searchfile.dll"));
        ASSERT_TRUE(library_);
        auto get = reinterpret_cast<DllGetClassObjectProc>(
            reinterpret_cast<void*>(::GetProcAddress(library_.Get(), "DllGetClassObject")));
        ASSERT_NE(get, nullptr);
        CLSID none = {};
        ASSERT_EQ(get(none, IID_ISearchFile, reinterpret_cast<void**>(&file_)), S_OK);
    }
    void TearDown() override {
        if (file_) file_->Release();
        testing_support::UnmapDrive(L'N');
    }

    // N: shows an empty folder for files and the image (or a damaged copy)
    // as its raw device.
    void MapImage(const std::string& unixImage) {
        ASSERT_TRUE(testing_support::MapDriveToFolder(L'N', testing_support::UnixWorkFolder() + "/n-folder"));
        ASSERT_TRUE(testing_support::MapDriveDevice(L'N', unixImage));
    }

    // Full paths ("N:\a\b") of the answer's named records, with the records.
    std::map<std::string, IndexRecord> Paths(const ScanVolumeResult* r) {
        std::map<std::string, IndexRecord> out;
        const size_t count = r->Records.Count();
        for (size_t slot = 0; slot < count; ++slot) {
            const IndexRecord& rec = r->Records.First[slot];
            const char* name = NameOf(r, rec.FileName);
            if (!name || slot == kRootSlot) continue;
            std::string path = name;
            uint32_t parent = rec.FatherID;
            for (int depth = 0; parent != kRootSlot && depth < 64; ++depth) {
                if (parent >= count || !NameOf(r, r->Records.First[parent].FileName)) {
                    path = "?\\" + path;
                    break;
                }
                path = std::string(NameOf(r, r->Records.First[parent].FileName)) + "\\" + path;
                parent = r->Records.First[parent].FatherID;
            }
            out["N:\\" + path] = rec;
        }
        return out;
    }

    static std::string DrivePath(const std::string& utf8) {
        std::string p = "N:\\" + platform::WideToAnsi(platform::Utf8ToWide(utf8));
        for (auto& c : p) if (c == '/') c = '\\';
        return p;
    }

    platform::ModuleHandle library_;
    ISearchFile* file_ = nullptr;
};

TEST_F(SearchFileDll, ScanListsEveryFileWithPathSizeLocalTimeAndState) {
    SKIP_WITHOUT_NTFS_IMAGE(TheImage());
    MapImage(TheImage().UnixImage());
    ScanVolumeResult* result = nullptr;
    ASSERT_EQ(file_->ScanVolume("N:\\", &result), S_OK);
    ASSERT_NE(result, nullptr);
    std::map<std::string, IndexRecord> paths = Paths(result);
    for (const auto& m : TheImage().manifest) {
        auto it = paths.find(DrivePath(m.path));
        ASSERT_NE(it, paths.end()) << m.path;
        const IndexRecord& r = it->second;
        EXPECT_EQ((r.Flags & IRF_EXISTS) == 0, m.deleted) << m.path;
        EXPECT_EQ((r.Flags & IRF_DIRECTORY) != 0, m.directory) << m.path;
        if (m.directory) continue;
        EXPECT_EQ(r.Size, m.size) << m.path;
        FILETIME utc = MakeFileTime(scanner_test::UnixToFileTime(m.mtime)), local;
        ASSERT_TRUE(::FileTimeToLocalFileTime(&utc, &local));
        EXPECT_EQ(FileTimeValue(r.Time2) / 10000000, FileTimeValue(local) / 10000000) << m.path;
    }
    // Nothing else: the volume's own files stay out. The only extra entries
    // are the deleted hole files the generator does not track.
    std::set<std::string> known;
    for (const auto& m : TheImage().manifest) known.insert(DrivePath(m.path));
    size_t extra = 0;
    for (const auto& p : paths) {
        if (known.count(p.first)) continue;
        EXPECT_EQ(p.first.compare(0, 9, "N:\\holes\\"), 0) << p.first;
        EXPECT_FALSE(p.second.Flags & IRF_EXISTS) << p.first;
        ++extra;
    }
    EXPECT_LE(extra, 350u);
    EXPECT_STREQ(NameOf(result, result->Records.First[kRootSlot].FileName), ".");
}

TEST_F(SearchFileDll, RecoverFileBringsDeletedFilesBackWhileProgressIsRead) {
    SKIP_WITHOUT_NTFS_IMAGE(TheImage());
    MapImage(TheImage().UnixImage());
    ScanVolumeResult* result = nullptr;
    ASSERT_EQ(file_->ScanVolume("N:\\", &result), S_OK);
    std::map<std::string, IndexRecord> paths = Paths(result);

    std::atomic<bool> done{false};
    std::atomic<bool> wentBack{false};
    DWORD lastSeen = 0;
    std::thread watcher([&] {
        DWORD last = 0;
        while (!done) {
            DWORD now = file_->GetRecoveredSectors();
            if (now < last) wentBack = true;
            last = now;
        }
        lastSeen = last;
    });
    uint64_t total = 0;
    char target[260] = "C:\\dll-recovered\\";
    for (const auto& m : TheImage().manifest) {
        if (m.directory || !m.deleted) continue;
        const IndexRecord& r = paths.at(DrivePath(m.path));
        EXPECT_EQ(file_->RecoverFile(DrivePath(m.path).c_str(), target, r.RecoverHint), S_OK) << m.path;
        std::string got, want;
        std::string name = m.path.substr(m.path.rfind('/') + 1);
        ASSERT_TRUE(scanner_test::ReadWholeFile(L"C:\\dll-recovered\\" + platform::Utf8ToWide(name), got));
        ASSERT_TRUE(scanner_test::ReadWholeFile(
            scanner_test::UnixToWindowsPath(TheImage().unixDir + "/orig/" + m.copy), want));
        EXPECT_TRUE(got == want) << m.path;
        total += want.size();
    }
    done = true;
    watcher.join();
    EXPECT_FALSE(wentBack);
    EXPECT_EQ(file_->GetRecoveredSectors(), total / 512);
    EXPECT_LE(lastSeen, total / 512);

    // Never onto the volume being read.
    char same[260] = "n:\\back\\";
    const std::string small = DrivePath("docs/small.txt");
    EXPECT_NE(file_->RecoverFile(small.c_str(), same, paths.at(small).RecoverHint), S_OK);
    // A hint that names another record recovers nothing.
    EXPECT_NE(file_->RecoverFile(small.c_str(), target, paths.at(DrivePath("large.bin")).RecoverHint), S_OK);
}

TEST_F(SearchFileDll, DamagedImagesFallBackOrListWhatIsSound) {
    SKIP_WITHOUT_NTFS_IMAGE(TheImage());
    const std::string dir = testing_support::UnixWorkFolder();
    const std::string bad = dir + "/damaged.img";
    // Boot sector no longer NTFS: the folder walk answers (the root only).
    ASSERT_EQ(testing_support::RunUnixCommand("cp '" + TheImage().UnixImage() + "' '" + bad +
                                              "' && printf 'XXXX' | dd of='" + bad +
                                              "' bs=1 seek=3 conv=notrunc status=none"),
              0);
    MapImage(bad);
    ScanVolumeResult* result = nullptr;
    ASSERT_EQ(file_->ScanVolume("N:\\", &result), S_OK);
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(Paths(result).size(), 0u);

    // Garbage over a stretch of the table: the sound records stay listed.
    ASSERT_EQ(testing_support::RunUnixCommand("cp '" + TheImage().UnixImage() + "' '" + bad +
                                              "' && lcn=$(od -An -t u8 -j 48 -N 8 '" + bad +
                                              "') && head -c 2000000 /dev/urandom | dd of='" + bad +
                                              "' bs=4096 seek=$((lcn + 40)) conv=notrunc status=none"),
              0);
    result = nullptr;
    ASSERT_EQ(file_->ScanVolume("N:\\", &result), S_OK);
    ASSERT_NE(result, nullptr);
    size_t listed = Paths(result).size();
    EXPECT_GT(listed, 1000u);
    EXPECT_LT(listed, TheImage().manifest.size());
}

TEST_F(SearchFileDll, AFolderWithoutARawDeviceIsWalked) {
    std::wstring root = testing_support::MapDriveToTempFolder(L'N');
    ASSERT_EQ(root, L"N:\\");
    ASSERT_TRUE(testing_support::WriteFileBytes(L"N:\\sub\\walked.txt", "abc"));
    ScanVolumeResult* result = nullptr;
    ASSERT_EQ(file_->ScanVolume("N:\\", &result), S_OK);
    ASSERT_NE(result, nullptr);
    std::map<std::string, IndexRecord> paths = Paths(result);
    ASSERT_EQ(paths.count("N:\\sub\\walked.txt"), 1u);
    EXPECT_EQ(paths["N:\\sub\\walked.txt"].Size, 3);
}

// The engine's scan thread through the library, saved and loaded back.
TEST(IndexManagerOverImage, ScanSavesAndLoadsTheRawTable) {
    SKIP_WITHOUT_NTFS_IMAGE(TheImage());
    ASSERT_TRUE(testing_support::MapDriveToFolder(L'N', testing_support::UnixWorkFolder() + "/n-folder2"));
    ASSERT_TRUE(testing_support::MapDriveDevice(L'N', TheImage().UnixImage()));
    wchar_t fs[20] = {};
    ASSERT_TRUE(::GetVolumeInformationW(L"N:\\", nullptr, 0, nullptr, nullptr, nullptr, fs, 20));
    ASSERT_STREQ(fs, L"NTFS");
    ASSERT_TRUE(::CreateDirectoryW(L"C:\\engine-index", nullptr));
    {
        CIndexManager m;
        m.SetIndexFolder(L"C:\\engine-index");
        m.SetScannerPath(L"searchfile.dll");
        ASSERT_EQ(m.StartScan(), 1);
        for (int i = 0; i < 6000 && m.IsScanRunning(); ++i) ::Sleep(20);
        ASSERT_FALSE(m.IsScanRunning());
        ASSERT_EQ(m.StartLoad(), 1);
        for (int i = 0; i < 6000 && !m.IsLoadDone(); ++i) ::Sleep(20);
        ASSERT_TRUE(m.IsLoadDone());
        platform::ScopedLock lock(m.RecordLock());
        CVolumeIndex* v = nullptr;
        for (size_t i = 0; i < m.VolumeCount(); ++i)
            if (m.GetVolume(i)->Letter() == L'N') v = m.GetVolume(i);
        ASSERT_NE(v, nullptr);
        std::map<std::string, const IndexRecord*> indexed;
        for (uint32_t slot = 0; slot < v->RecordCount(); ++slot) {
            if (v->GetName(slot) && slot != kRootSlot) indexed[v->GetFullPath(slot)] = v->GetRecord(slot);
        }
        for (const auto& m2 : TheImage().manifest) {
            std::string p = "N:\\" + platform::WideToAnsi(platform::Utf8ToWide(m2.path));
            for (auto& c : p) if (c == '/') c = '\\';
            auto it = indexed.find(p);
            ASSERT_NE(it, indexed.end()) << m2.path;
            EXPECT_EQ((it->second->Flags & IRF_EXISTS) == 0, m2.deleted) << m2.path;
            if (!m2.directory) {
                EXPECT_EQ(it->second->Size, m2.size) << m2.path;
            }
        }
    }
    testing_support::UnmapDrive(L'N');
}

} // namespace
