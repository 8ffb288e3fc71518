// The index and name files: loading whole or damaged files, reloading, and
// writing a scan answer in place of the old pair.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "index/index_files.h"
#include "index/volume_index.h"
#include "platform/handle.h"
#include "platform/strconv.h"
#include "scanner/scan_answer.h"
#include "tests/support/test_support.h"

using testing_support::PathExists;
using testing_support::ReadFileBytes;

namespace {

std::string RecordBytes(const std::vector<IndexRecord>& records) {
    return std::string(reinterpret_cast<const char*>(records.data()), records.size() * sizeof(IndexRecord));
}

IndexRecord Rec(uint32_t father, uint32_t nameOffset, uint8_t flags) {
    return IndexRecord{father, nameOffset, flags, {}, {}, {}, 0, 0};
}

// A scan answer of the root folder and one file per name, in slots 50, 51...
std::unique_ptr<scanner::ScanAnswer> MakeAnswer(const std::vector<std::string>& names) {
    std::unique_ptr<scanner::ScanAnswer> answer(new scanner::ScanAnswer);
    IndexRecord fields = Rec(kRootSlot, 0, IRF_EXISTS | IRF_DIRECTORY);
    EXPECT_TRUE(answer->SetRecord(kRootSlot, fields, ".", 1));
    fields.Flags = IRF_EXISTS;
    for (size_t i = 0; i < names.size(); ++i) {
        fields.Size = static_cast<int64_t>(i);
        EXPECT_TRUE(answer->SetRecord(kFirstUserSlot + static_cast<uint32_t>(i), fields, names[i].data(),
                                      names[i].size()));
    }
    return answer;
}

// A handle on a file as another program holds it: reading, and letting
// others read only -- no one may write or delete it meanwhile.
platform::FileHandle Hold(const std::wstring& path, DWORD share = FILE_SHARE_READ) {
    return platform::FileHandle(::CreateFileW(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr));
}

// What a test puts where an index file goes.
enum class Obstacle { EmptyFolder, FullFolder, Pipe, DeviceLink };

const char* ObstacleName(Obstacle o) {
    switch (o) {
    case Obstacle::EmptyFolder: return "an empty folder";
    case Obstacle::FullFolder: return "a folder with a file";
    case Obstacle::Pipe: return "a pipe";
    case Obstacle::DeviceLink: return "a link to a device";
    }
    return "?";
}

class IndexFiles : public ::testing::Test {
protected:
    void SetUp() override {
        static int n = 0;
        folder_ = L"C:\\index-files-" + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(++n);
        ASSERT_TRUE(::CreateDirectoryW(folder_.c_str(), nullptr));
    }
    std::wstring Path(const wchar_t* pattern, wchar_t letter = L'X') { return IndexFileName(folder_, pattern, letter); }
    std::string UnixPath(const wchar_t* pattern, wchar_t letter) {
        const std::string folder = testing_support::WindowsToUnixPath(folder_);
        return folder.empty() ? folder : folder + "/" + platform::WideToUtf8(IndexFileName(L"", pattern, letter));
    }
    void Write(const wchar_t* pattern, const std::string& bytes) {
        ASSERT_TRUE(testing_support::WriteFileBytes(Path(pattern), bytes));
    }
    bool Load(CVolumeIndex& v, wchar_t letter = L'X') {
        return v.LoadFiles(Path(L"index_%c", letter), Path(L"name_%c", letter));
    }
    bool Save(const std::vector<std::string>& names, wchar_t letter = L'X', DWORD* error = nullptr) {
        return WriteScanResult(folder_, letter, *MakeAnswer(names)->Result(), error);
    }
    // The file names a load of drive `letter` gives, or {"<not loaded>"}.
    std::vector<std::string> Loaded(wchar_t letter = L'X') {
        CVolumeIndex v(letter);
        if (!Load(v, letter)) return {"<not loaded>"};
        std::vector<std::string> names;
        for (uint32_t slot = kFirstUserSlot; slot < v.RecordCount(); ++slot)
            if (v.GetName(slot)) names.push_back(v.GetFileName(slot));
        return names;
    }
    // Both files of drive `letter` as they are on disk.
    std::pair<std::string, std::string> Pair(wchar_t letter) {
        return {ReadFileBytes(Path(L"index_%c", letter)), ReadFileBytes(Path(L"name_%c", letter))};
    }
    void Place(Obstacle obstacle, const wchar_t* pattern, wchar_t letter) {
        const std::wstring path = Path(pattern, letter);
        const std::string unix = testing_support::ShellQuote(UnixPath(pattern, letter));
        switch (obstacle) {
        case Obstacle::EmptyFolder:
            ASSERT_TRUE(::CreateDirectoryW(path.c_str(), nullptr));
            break;
        case Obstacle::FullFolder:
            ASSERT_TRUE(testing_support::WriteFileBytes(path + L"\\keep.txt", "the user's"));
            break;
        case Obstacle::Pipe:
            ASSERT_EQ(testing_support::RunUnixCommand("mkfifo " + unix), 0);
            break;
        case Obstacle::DeviceLink:
            ASSERT_EQ(testing_support::RunUnixCommand("ln -s /dev/null " + unix), 0);
            break;
        }
    }
    // The obstacle is still there as it was put, and so is what it leads to.
    bool StillThere(Obstacle obstacle, const wchar_t* pattern, wchar_t letter) {
        const std::wstring path = Path(pattern, letter);
        const std::string unix = testing_support::ShellQuote(UnixPath(pattern, letter));
        switch (obstacle) {
        case Obstacle::EmptyFolder:
            return ::GetFileAttributesW(path.c_str()) == FILE_ATTRIBUTE_DIRECTORY;
        case Obstacle::FullFolder:
            return ReadFileBytes(path + L"\\keep.txt") == "the user's";
        case Obstacle::Pipe:
            return testing_support::RunUnixCommand("test -p " + unix) == 0;
        case Obstacle::DeviceLink:
            return testing_support::RunUnixCommand("test -L " + unix + " && test \"$(readlink " + unix +
                                                   ")\" = /dev/null && test -c /dev/null") == 0;
        }
        return false;
    }
    bool NoTemporaryFiles(wchar_t letter) {
        return !PathExists(Path(L"indexnew_%c", letter)) && !PathExists(Path(L"namenew_%c", letter));
    }
    // Sets a file's last write time to now plus `seconds`.
    bool SetWriteTime(const std::wstring& path, int seconds) {
        platform::FileHandle file(::CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                                                OPEN_EXISTING, 0, nullptr));
        FILETIME now;
        ::GetSystemTimeAsFileTime(&now);
        ULARGE_INTEGER at;
        at.LowPart = now.dwLowDateTime;
        at.HighPart = now.dwHighDateTime;
        at.QuadPart += static_cast<int64_t>(seconds) * 10000000;
        FILETIME time = {at.LowPart, at.HighPart};
        return file && ::SetFileTime(file.Get(), nullptr, nullptr, &time);
    }
    // The names in the folder that belong to drive `letter` ("..._X"), sorted.
    std::vector<std::string> FilesOf(wchar_t letter) {
        std::vector<std::string> names;
        WIN32_FIND_DATAW found;
        const std::wstring pattern = folder_ + L"\\*_" + std::wstring(1, letter);
        HANDLE search = ::FindFirstFileW(pattern.c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) return names;
        do names.push_back(platform::WideToUtf8(found.cFileName));
        while (::FindNextFileW(search, &found));
        ::FindClose(search);
        std::sort(names.begin(), names.end());
        return names;
    }
    // Whether both files of drive `letter` hold exactly `pair`'s bytes, told
    // briefly (a name file is 4 MB).
    ::testing::AssertionResult PairIs(wchar_t letter, const std::pair<std::string, std::string>& pair) {
        const auto now = Pair(letter);
        if (now == pair) return ::testing::AssertionSuccess();
        auto describe = [](const std::string& is, const std::string& was) {
            if (is == was) return std::string("as it was");
            return "changed: " + (is.size() > 64 ? std::to_string(is.size()) + " bytes" : "\"" + is + "\"") +
                   ", was " + std::to_string(was.size()) + " bytes";
        };
        return ::testing::AssertionFailure() << "index file " << describe(now.first, pair.first) << "; name file "
                                             << describe(now.second, pair.second);
    }
    std::vector<std::string> PairNames(wchar_t letter) {
        const std::string l(1, static_cast<char>(letter));
        return {"index_" + l, "name_" + l};
    }

    std::wstring folder_;
};

// A file the file system itself keeps from being changed, renamed or removed
// (`chattr +i`; it needs root and a file system with that flag). The flag
// goes again however the test ends, so the test folder can be deleted.
class Immutable {
public:
    explicit Immutable(const std::string& unixPath) : path_(testing_support::ShellQuote(unixPath)) {}
    ~Immutable() { Clear(); }
    Immutable(const Immutable&) = delete;
    Immutable& operator=(const Immutable&) = delete;
    bool Set() {
        set_ = testing_support::RunUnixCommand("chattr +i " + path_ + " 2>/dev/null") == 0;
        return set_;
    }
    bool Clear() {
        if (set_ && testing_support::RunUnixCommand("chattr -i " + path_) == 0) set_ = false;
        return !set_;
    }

private:
    std::string path_;
    bool set_ = false;
};

// A small file system of its own (tmpfs; mounting needs root) over a folder,
// so a save can run it full. Unmounted however the test ends.
class SmallDisk {
public:
    explicit SmallDisk(const std::string& unixFolder) : path_(testing_support::ShellQuote(unixFolder)) {}
    ~SmallDisk() {
        if (mounted_) testing_support::RunUnixCommand("umount " + path_ + " 2>/dev/null || umount -l " + path_);
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    bool Mount(const std::string& size) {
        mounted_ = testing_support::RunUnixCommand("mount -t tmpfs -o size=" + size + " tmpfs " + path_ +
                                                   " 2>/dev/null") == 0;
        return mounted_;
    }
    // Fills the disk with a file of its own until `bytes` stay free.
    bool LeaveFree(uint64_t bytes) {
        const std::string filler = path_ + "/filler";
        if (bytes == 0) return testing_support::RunUnixCommand("cat /dev/zero >" + filler + " 2>/dev/null; true") == 0;
        return testing_support::RunUnixCommand("free=$(stat -f -c '%a * %S' " + path_ + "); head -c $(($free - " +
                                               std::to_string(bytes) + ")) /dev/zero >" + filler) == 0;
    }
    // Lets only `files` more files be made on it.
    bool LeaveFiles(unsigned files) {
        return testing_support::RunUnixCommand("used=$(stat -f -c '%c - %d' " + path_ +
                                               "); mount -o remount,nr_inodes=$(($used + " + std::to_string(files) +
                                               ")) " + path_) == 0;
    }
    bool Free() { return testing_support::RunUnixCommand("rm -f " + path_ + "/filler") == 0; }

private:
    std::string path_;
    bool mounted_ = false;
};

const char kNoTmpfs[] = "mounting a tmpfs was refused here (it needs root, or a container allowed to mount)";

const char kNoImmutableFlag[] = "chattr +i was refused here (it needs root and a file system with the immutable flag)";

const std::vector<std::string> kOld = {"old-aa.txt", "old-b.txt"};
const std::vector<std::string> kNew = {"new-a.txt", "new-bb.txt", "new-c.txt"};

} // namespace

TEST_F(IndexFiles, WholeRecordsLoadNamesAreNeededAndReloadsLeaveNothingStale) {
    Write(L"index_%c", RecordBytes({Rec(5, 0, IRF_EXISTS), Rec(5, 2, IRF_EXISTS), Rec(5, 4, IRF_EXISTS)})
                           .substr(0, 100));  // two records and 10 bytes of a third
    Write(L"name_%c", std::string("a\0b\0c\0", 6));
    CVolumeIndex v(L'X');
    ASSERT_TRUE(Load(v));
    EXPECT_EQ(v.RecordCount(), 2u);
    EXPECT_EQ(v.GetFullPath(1), "X:\\b");

    ::DeleteFileW(Path(L"name_%c").c_str());
    EXPECT_FALSE(Load(v));  // no name file: not indexed
    Write(L"name_%c", "");
    EXPECT_FALSE(Load(v));  // empty name file: not indexed
    ::DeleteFileW(Path(L"index_%c").c_str());
    Write(L"name_%c", std::string("a\0", 2));
    ASSERT_TRUE(Load(v));   // names without records: indexed, empty
    EXPECT_EQ(v.RecordCount(), 0u);

    // Reloading reuses storage without stale names or records.
    Write(L"index_%c", RecordBytes({Rec(5, 0, IRF_EXISTS), Rec(5, 5, IRF_EXISTS), Rec(5, 10, IRF_EXISTS)}));
    Write(L"name_%c", std::string("aaaa\0bbbb\0cccc\0", 15));
    ASSERT_TRUE(Load(v));
    // Names added later go to pools and leave the loaded ones alone.
    ASSERT_TRUE(v.UpdateIndex(2, 5, "pooled", 6, IRF_EXISTS));
    EXPECT_STREQ(v.GetName(1u), "bbbb");
    EXPECT_STREQ(v.GetName(2u), "pooled");
    // Smaller files: offsets inside the old names but beyond the new ones give nothing.
    Write(L"index_%c", RecordBytes({Rec(5, 0, IRF_EXISTS), Rec(5, 5, IRF_EXISTS)}));
    Write(L"name_%c", std::string("dd\0", 3));
    ASSERT_TRUE(Load(v));
    EXPECT_EQ(v.RecordCount(), 2u);
    EXPECT_STREQ(v.GetName(0u), "dd");
    EXPECT_EQ(v.GetName(1u), nullptr);
    EXPECT_EQ(v.PoolCount(), 0u);
    // Larger again.
    Write(L"index_%c", RecordBytes({Rec(5, 4990, IRF_EXISTS)}));
    Write(L"name_%c", std::string(4989, 'f') + '\0' + std::string(10, 'e') + '\0');
    ASSERT_TRUE(Load(v));
    EXPECT_STREQ(v.GetName(0u), "eeeeeeeeee");
    // Without a name file the volume ends up empty.
    ::DeleteFileW(Path(L"name_%c").c_str());
    EXPECT_FALSE(Load(v));
    EXPECT_EQ(v.RecordCount(), 0u);
    EXPECT_EQ(v.GetName(0u), nullptr);
}

TEST_F(IndexFiles, CorruptAndTruncatedFilesLoadWithoutReadingOutOfBounds) {
    std::mt19937 random(1234);
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        std::string index(45 * 200 + random() % 45, '\0');
        for (char& c : index) c = static_cast<char>(random());
        // Some offsets near the end of the names, some far beyond it.
        std::string names(1 + random() % 3000, '\0');
        for (char& c : names) c = static_cast<char>(random() % 4 ? 'a' + random() % 26 : 0);
        names.back() = 'z';  // the last name is not terminated in the file
        std::vector<IndexRecord> records(200);
        memcpy(records.data(), index.data(), records.size() * 45);
        for (size_t i = 0; i < records.size(); i += 3) {
            records[i].FileName = static_cast<uint32_t>(names.size() - random() % 5);  // the end itself too
            memcpy(&index[i * 45], &records[i], 45);
            // Each names the start of a name, as every file of the scanner does.
            if (records[i].FileName > 0 && records[i].FileName < names.size()) names[records[i].FileName - 1] = 0;
        }
        Write(L"index_%c", index);
        Write(L"name_%c", names);

        CVolumeIndex v(L'X');
        ASSERT_TRUE(Load(v));
        ASSERT_EQ(v.RecordCount(), 200u);
        const char* begin = nullptr;
        for (uint32_t slot = 0; slot < v.RecordCount(); ++slot) {
            const char* name = v.GetName(slot);
            uint32_t stored = records[slot].FileName;
            ASSERT_EQ(name == nullptr, stored >= names.size()) << slot;
            if (!name) continue;
            if (!begin) begin = name - stored;
            // Inside the buffer, and ends by the buffer's end.
            ASSERT_EQ(name, begin + stored);
            ASSERT_LE(stored + strlen(name), names.size());
            EXPECT_EQ(v.GetFullPath(slot).compare(0, 3, "X:\\"), 0);
            EXPECT_LE(v.GetFullPath(slot).size(), 519u);
        }
    }
}

TEST_F(IndexFiles, LargeFilesReadInPiecesLandInOrder) {
    // Over 16 MB each, so both files are read in several pieces side by side.
    const uint32_t count = 400000;  // 18 MB of records
    std::string names(40u << 20, '\0');
    std::vector<IndexRecord> records(count);
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t at = i * 100 + 7;  // names spread over the whole file
        std::string name = "n" + std::to_string(i);
        memcpy(&names[at], name.data(), name.size());
        records[i] = Rec(5, at, IRF_EXISTS);
        records[i].Size = i;
    }
    Write(L"index_%c", RecordBytes(records) + "tail");  // a partial record at the end
    Write(L"name_%c", names);
    CVolumeIndex v(L'X');
    ASSERT_TRUE(Load(v));
    ASSERT_EQ(v.RecordCount(), count);
    for (uint32_t i = count - 1; i < count; i -= std::min(i + 1, 997u)) {  // the last record down to the first pieces
        ASSERT_EQ(v.GetFileName(i), "n" + std::to_string(i)) << i;
        ASSERT_EQ(v.GetRecord(i)->Size, static_cast<int64_t>(i));
    }
}

TEST_F(IndexFiles, WritingMovesTheNewPairIntoPlaceOrKeepsTheOld) {
    Write(L"index_%c", "old index");
    scanner::ScanAnswer answer;
    IndexRecord fields = Rec(5, 0, IRF_EXISTS | IRF_DIRECTORY);
    ASSERT_TRUE(answer.SetRecord(5, fields, ".", 1));
    fields.Flags = IRF_EXISTS;
    fields.Size = 77;
    ASSERT_TRUE(answer.SetRecord(50, fields, "first.txt", 9));
    // Fill the first pool so the next name opens a second one.
    std::string big(0x400000 - 2 - 10 - 1, 'b');
    ASSERT_TRUE(answer.SetRecord(51, fields, big.data(), big.size()));
    ASSERT_TRUE(answer.SetRecord(52, fields, "second", 6));
    ScanVolumeResult* result = answer.Result();
    ASSERT_EQ(result->Pools.Count(), 2u);

    ASSERT_TRUE(WriteScanResult(folder_, L'X', *result));
    EXPECT_FALSE(PathExists(Path(L"indexnew_%c")) || PathExists(Path(L"namenew_%c")));
    const std::string index = ReadFileBytes(Path(L"index_%c")), names = ReadFileBytes(Path(L"name_%c"));
    ASSERT_EQ(std::make_pair(index.size(), names.size()), std::make_pair(size_t(53 * 45), size_t(2 * 0x400000)));
    auto offsetOf = [&](uint32_t slot) { return reinterpret_cast<const IndexRecord*>(&index[slot * 45])->FileName; };
    EXPECT_EQ(offsetOf(0), 0xFFFFFFFFu);  // empty slots have no name
    EXPECT_EQ(offsetOf(5), 0u);
    EXPECT_EQ(offsetOf(50), 2u);
    EXPECT_EQ(offsetOf(52), 0x400000u);
    EXPECT_STREQ(&names[offsetOf(50)], "first.txt");
    EXPECT_STREQ(&names[0x400000], "second");
    CVolumeIndex v(L'X');
    ASSERT_TRUE(Load(v));
    EXPECT_EQ(v.GetFullPath(52), "X:\\second");
    EXPECT_EQ(v.GetRecord(50)->Size, 77);

    // Failed or empty writes keep the old pair.
    Write(L"index_%c", "old index");
    Write(L"name_%c", "old names");
    scanner::ScanAnswer empty;
    EXPECT_FALSE(WriteScanResult(folder_, L'X', *empty.Result()));
    EXPECT_EQ(ReadFileBytes(Path(L"index_%c")), "old index");

    // The name file cannot be created (a folder of someone's files holds its
    // name): the new index must not be moved in.
    ASSERT_TRUE(testing_support::WriteFileBytes(Path(L"namenew_%c") + L"\\mine.txt", "mine"));
    EXPECT_FALSE(Save(kNew));
    EXPECT_EQ(ReadFileBytes(Path(L"index_%c")), "old index");
    EXPECT_EQ(ReadFileBytes(Path(L"name_%c")), "old names");
    EXPECT_FALSE(PathExists(Path(L"indexnew_%c")));
}

TEST_F(IndexFiles, AReadOnlyPairLoadsAndIsLeftAsItIs) {
    ASSERT_TRUE(Save(kOld));
    const auto pair = Pair(L'X');
    // Read-only, and held by a reader that lets no one else write it: the
    // system refuses every opening for writing, as for files the user may
    // read but not write.
    for (const wchar_t* pattern : {L"index_%c", L"name_%c"})
        ASSERT_TRUE(::SetFileAttributesW(Path(pattern).c_str(), FILE_ATTRIBUTE_READONLY));
    {
        platform::FileHandle index = Hold(Path(L"index_%c")), names = Hold(Path(L"name_%c"));
        ASSERT_TRUE(index && names);
        EXPECT_EQ(Loaded(), kOld);

        // A scan cannot replace it: it stays whole, nothing of the save is left.
        DWORD error = 0;
        EXPECT_FALSE(Save(kNew, L'X', &error));
        EXPECT_NE(error, 0u);
        EXPECT_EQ(Pair(L'X'), pair);
        EXPECT_TRUE(NoTemporaryFiles(L'X'));
    }
    // Read-only alone keeps it too.
    DWORD error = 0;
    EXPECT_FALSE(Save(kNew, L'X', &error));
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(Pair(L'X'), pair);
    EXPECT_EQ(Loaded(), kOld);
    // Writable again: the next save replaces it.
    for (const wchar_t* pattern : {L"index_%c", L"name_%c"})
        ASSERT_TRUE(::SetFileAttributesW(Path(pattern).c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_TRUE(Save(kNew));
    EXPECT_EQ(Loaded(), kNew);
}

TEST_F(IndexFiles, WhatLiesAtATemporaryNameGoesOnlyWhenItCanGoSafely) {
    wchar_t letter = L'A';
    for (const wchar_t* pattern : {L"indexnew_%c", L"namenew_%c"}) {
        for (Obstacle obstacle : {Obstacle::EmptyFolder, Obstacle::FullFolder, Obstacle::Pipe, Obstacle::DeviceLink}) {
            SCOPED_TRACE(std::string(ObstacleName(obstacle)) + " at " + platform::WideToUtf8(pattern));
            ++letter;
            ASSERT_TRUE(Save(kOld, letter));
            const auto pair = Pair(letter);
            Place(obstacle, pattern, letter);
            DWORD error = 0;
            const bool saved = Save(kNew, letter, &error);
            if (obstacle == Obstacle::EmptyFolder) {
                // An empty folder holds nothing of anyone's: it gives way.
                EXPECT_TRUE(saved);
                EXPECT_EQ(Loaded(letter), kNew);
            } else {
                // What cannot go safely stays as it was, and so does the old pair.
                EXPECT_FALSE(saved);
                EXPECT_NE(error, 0u);
                EXPECT_TRUE(StillThere(obstacle, pattern, letter));
                EXPECT_EQ(Pair(letter), pair);
                EXPECT_EQ(Loaded(letter), kOld);
            }
            // The save's own files never stay behind.
            const wchar_t* other = std::wstring(pattern) == L"indexnew_%c" ? L"namenew_%c" : L"indexnew_%c";
            EXPECT_FALSE(PathExists(Path(other, letter)));
        }
    }
}

TEST_F(IndexFiles, WhatLiesAtAFinalNameIsNeverWrittenThroughOrRemoved) {
    wchar_t letter = L'A';
    for (const wchar_t* pattern : {L"index_%c", L"name_%c"}) {
        for (Obstacle obstacle : {Obstacle::EmptyFolder, Obstacle::Pipe, Obstacle::DeviceLink}) {
            SCOPED_TRACE(std::string(ObstacleName(obstacle)) + " at " + platform::WideToUtf8(pattern));
            ++letter;
            ASSERT_TRUE(Save(kOld, letter));
            const std::wstring kept = std::wstring(pattern) == L"index_%c" ? Path(L"name_%c", letter)
                                                                          : Path(L"index_%c", letter);
            const std::string keptBytes = ReadFileBytes(kept);
            ASSERT_TRUE(::DeleteFileW(Path(pattern, letter).c_str()));
            Place(obstacle, pattern, letter);

            DWORD error = 0;
            EXPECT_FALSE(Save(kNew, letter, &error));
            EXPECT_NE(error, 0u);
            EXPECT_TRUE(StillThere(obstacle, pattern, letter));
            // The other file of the pair is left alone, the good index file too.
            EXPECT_EQ(ReadFileBytes(kept), keptBytes);
            EXPECT_TRUE(NoTemporaryFiles(letter));
            // A load neither waits on the pipe nor reads the device: without a
            // name file the drive is not loaded, without an index file it has no records.
            if (std::wstring(pattern) == L"name_%c") {
                EXPECT_EQ(Loaded(letter), std::vector<std::string>{"<not loaded>"});
            } else {
                CVolumeIndex v(letter);
                EXPECT_TRUE(Load(v, letter));
                EXPECT_EQ(v.RecordCount(), 0u);
            }
        }
    }
}

TEST_F(IndexFiles, AMoveThatWouldFailLeavesTheOldPairWhole) {
    ASSERT_TRUE(Save(kOld));
    const auto pair = Pair(L'X');
    {
        // Another program reads the name file, sharing it for everything: it
        // cannot be replaced while open, so the new index file must not go in
        // either.
        platform::FileHandle reader = Hold(Path(L"name_%c"), FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
        ASSERT_TRUE(reader);
        DWORD error = 0;
        EXPECT_FALSE(Save(kNew, L'X', &error));
        EXPECT_NE(error, 0u);
        EXPECT_TRUE(NoTemporaryFiles(L'X'));
    }
    EXPECT_EQ(Pair(L'X'), pair);
    EXPECT_EQ(Loaded(), kOld);
    // The same with the index file held.
    {
        platform::FileHandle reader = Hold(Path(L"index_%c"), FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
        EXPECT_FALSE(Save(kNew));
    }
    EXPECT_EQ(Pair(L'X'), pair);
    EXPECT_TRUE(Save(kNew));
    EXPECT_EQ(Loaded(), kNew);
}

TEST_F(IndexFiles, ASaveThatMeetsAFullDiskLeavesNothingOfItsOwnAndTheOldPairWhole) {
    std::vector<std::string> many;  // an index file of several pages: 250 records
    for (int i = 0; i < 200; ++i) many.push_back("many-" + std::to_string(i) + ".txt");
    struct Case {
        const char* what;
        const std::vector<std::string>* names;
        uint64_t freeBytes;  // left free for the save
        unsigned files;      // how many files it may make, 0: any number
    } cases[] = {
        {"the name file runs the disk full part-way", &kNew, 1u << 20, 0},
        {"the index file runs the disk full part-way", &many, 4096, 0},
        {"no room at all: the index file is made, its first write fails", &kNew, 0, 0},
        {"the name file cannot be made", &kNew, 1u << 20, 1},
    };
    const std::wstring base = folder_;
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        folder_ = base + L"\\disk-" + std::to_wstring(++n);
        ASSERT_TRUE(::CreateDirectoryW(folder_.c_str(), nullptr));
        // Room for two pairs of one 4 MB name pool and a few pages of records.
        SmallDisk disk(testing_support::WindowsToUnixPath(folder_));
        if (!disk.Mount("10m")) GTEST_SKIP() << kNoTmpfs;
        ASSERT_TRUE(Save(kOld));
        const auto pair = Pair(L'X');
        ASSERT_TRUE(disk.LeaveFree(c.freeBytes));
        if (c.files) {
            ASSERT_TRUE(disk.LeaveFiles(c.files));
        }

        DWORD error = 0;
        EXPECT_FALSE(Save(*c.names, L'X', &error));
        EXPECT_NE(error, 0u);
        EXPECT_EQ(FilesOf(L'X'), PairNames(L'X'));  // no indexnew_X, no namenew_X, nothing aside
        EXPECT_TRUE(PairIs(L'X', pair));
        EXPECT_EQ(Loaded(), kOld);

        // Once the disk has room again, the next save replaces the pair.
        ASSERT_TRUE(disk.Free());
        EXPECT_TRUE(Save(kNew));
        EXPECT_EQ(Loaded(), kNew);
    }
}

TEST_F(IndexFiles, AFileOfThePairTheFileSystemKeepsLeavesTheOldPairWhole) {
    // The system may report such a file deleted (it goes on close, and then
    // quietly does not): only a pair moved aside whole can be put back.
    wchar_t letter = L'J';
    for (const wchar_t* pattern : {L"name_%c", L"index_%c"}) {
        SCOPED_TRACE(platform::WideToUtf8(pattern) + " immutable");
        ++letter;
        ASSERT_TRUE(Save(kOld, letter));
        const auto pair = Pair(letter);
        Immutable kept(UnixPath(pattern, letter));
        if (!kept.Set()) GTEST_SKIP() << kNoImmutableFlag;

        DWORD error = 0;
        EXPECT_FALSE(Save(kNew, letter, &error));
        EXPECT_NE(error, 0u);
        EXPECT_TRUE(PairIs(letter, pair));
        EXPECT_EQ(FilesOf(letter), PairNames(letter));  // nothing of the save left, nothing aside
        EXPECT_EQ(Loaded(letter), kOld);

        // Once the file may change again, the next save replaces the pair.
        ASSERT_TRUE(kept.Clear());
        EXPECT_TRUE(Save(kNew, letter));
        EXPECT_EQ(Loaded(letter), kNew);
        EXPECT_EQ(FilesOf(letter), PairNames(letter));
    }
}

TEST_F(IndexFiles, ALeftoverTheFileSystemKeepsAtAnAsideNameStopsTheSave) {
    ASSERT_TRUE(Save(kOld));
    const auto pair = Pair(L'X');
    Write(L"nameold_%c", "left by a save that stopped");
    Immutable kept(UnixPath(L"nameold_%c", L'X'));
    if (!kept.Set()) GTEST_SKIP() << kNoImmutableFlag;
    // Reported removed, yet still there: the old pair could not step aside.
    DWORD error = 0;
    EXPECT_FALSE(Save(kNew, L'X', &error));
    EXPECT_NE(error, 0u);
    EXPECT_TRUE(PairIs(L'X', pair));
    EXPECT_EQ(Loaded(), kOld);
    EXPECT_EQ(FilesOf(L'X'), (std::vector<std::string>{"index_X", "name_X", "nameold_X"}));
    ASSERT_TRUE(kept.Clear());
    EXPECT_TRUE(Save(kNew));
    EXPECT_EQ(FilesOf(L'X'), PairNames(L'X'));
    EXPECT_EQ(Loaded(), kNew);
}

TEST_F(IndexFiles, AnInterruptedSaveIsNeverLoadedAsAMixedPair) {
    ASSERT_TRUE(Save(kOld));
    const auto oldPair = Pair(L'X');
    ASSERT_TRUE(Save(kNew, L'Y'));
    const auto newPair = Pair(L'Y');

    // Stopped while writing: the new files lie cut short under their
    // temporary names, read-only even. Loads take the old pair; the next save
    // clears them away.
    Write(L"indexnew_%c", newPair.first);
    Write(L"namenew_%c", newPair.second.substr(0, 7));
    ASSERT_TRUE(::SetFileAttributesW(Path(L"namenew_%c").c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(Loaded(), kOld);
    EXPECT_TRUE(Save(kNew));
    EXPECT_TRUE(NoTemporaryFiles(L'X'));
    EXPECT_EQ(Pair(L'X'), newPair);

    // Stopped while the old pair stepped aside: its index file alone, or
    // nothing, at the final names. Not loaded; the next save clears the
    // aside names.
    Write(L"index_%c", oldPair.first);
    Write(L"indexold_%c", oldPair.first);
    Write(L"nameold_%c", oldPair.second);
    ::DeleteFileW(Path(L"name_%c").c_str());
    EXPECT_EQ(Loaded(), std::vector<std::string>{"<not loaded>"});
    ::DeleteFileW(Path(L"index_%c").c_str());
    EXPECT_EQ(Loaded(), std::vector<std::string>{"<not loaded>"});
    EXPECT_TRUE(Save(kNew));
    EXPECT_EQ(FilesOf(L'X'), PairNames(L'X'));
    EXPECT_EQ(Pair(L'X'), newPair);

    // Stopped between two moves of an older save: the new records beside the
    // old names. One of them points into the middle of an old name ("new-a.txt"
    // is shorter than "old-aa.txt"): not one pair.
    Write(L"index_%c", newPair.first);
    Write(L"name_%c", oldPair.second);
    EXPECT_EQ(Loaded(), std::vector<std::string>{"<not loaded>"});
    // The new index alone (its name file not yet moved in): not loaded either.
    ::DeleteFileW(Path(L"name_%c").c_str());
    EXPECT_EQ(Loaded(), std::vector<std::string>{"<not loaded>"});
    // A pair of one scan whose name file was cut short: its own names only.
    Write(L"name_%c", newPair.second.substr(0, 14));  // ".\0new-a.txt\0" and "ne" of "new-bb.txt"
    EXPECT_EQ(Loaded(), (std::vector<std::string>{"new-a.txt", "ne"}));

    // The same mix with names that kept their lengths (old-aa.txt renamed
    // to zzz-aa.txt): every record names the start of a name, but the index
    // file was written well after the name file, which no save does.
    ASSERT_TRUE(Save({"zzz-aa.txt", "old-b.txt"}, L'Z'));
    Write(L"index_%c", Pair(L'Z').first);
    Write(L"name_%c", oldPair.second);
    ASSERT_TRUE(SetWriteTime(Path(L"name_%c"), -3600));
    EXPECT_EQ(Loaded(), std::vector<std::string>{"<not loaded>"});
    // A name file written last is taken as the index file's own.
    ASSERT_TRUE(SetWriteTime(Path(L"name_%c"), 0));
    EXPECT_EQ(Loaded(), kOld);
}

TEST_F(IndexFiles, AnAnswerKeptInMemoryIsWhatItsSavedFilesWouldLoad) {
    auto answer = MakeAnswer({"kept.txt", std::string(300, 'n'), "\xB1\xA8\xB8\xE6.doc"});  // 报告.doc in code page 936
    ScanVolumeResult* result = answer->Result();
    ASSERT_TRUE(PrepareScanAnswer(*result));
    CVolumeIndex memory(L'X');
    ASSERT_TRUE(memory.LoadScanAnswer(*result));
    ASSERT_TRUE(SaveScanAnswer(folder_, L'X', *result, nullptr));
    CVolumeIndex saved(L'X');
    ASSERT_TRUE(Load(saved));
    ASSERT_EQ(memory.RecordCount(), saved.RecordCount());
    EXPECT_EQ(memory.NameBufferSize(), saved.NameBufferSize());
    EXPECT_TRUE(memory.NamesStartAligned());
    for (uint32_t slot = 0; slot < saved.RecordCount(); ++slot) {
        ASSERT_EQ(memory.GetFullPath(slot), saved.GetFullPath(slot)) << slot;
        ASSERT_EQ(memcmp(memory.GetRecord(slot), saved.GetRecord(slot), sizeof(IndexRecord)), 0) << slot;
    }
    EXPECT_EQ(memory.GetFullPath(kFirstUserSlot + 2), "X:\\\xB1\xA8\xB8\xE6.doc");
    // The journal's changes go on top, as on a loaded volume.
    ASSERT_TRUE(memory.InsertIndex(kFirstUserSlot + 10, kRootSlot, "later.txt", 9, IRF_EXISTS, false));
    EXPECT_EQ(memory.GetFullPath(kFirstUserSlot + 10), "X:\\later.txt");
    // An answer without records gives no volume.
    scanner::ScanAnswer empty;
    EXPECT_FALSE(memory.LoadScanAnswer(*empty.Result()));
    EXPECT_EQ(memory.RecordCount(), 0u);
}

TEST(ScanNameFields, OnlyAddressesInsidePoolsBecomeOffsets) {
    std::vector<char> a(kScanPoolSize), b(kScanPoolSize);
    char* pools[] = {a.data(), nullptr, b.data()};
    auto at = [](const char* p) { return reinterpret_cast<uintptr_t>(p); };
    EXPECT_EQ(FindPoolOffset(at(a.data()), pools, 3), 0u);
    EXPECT_EQ(FindPoolOffset(at(a.data() + kScanPoolSize - 1), pools, 3), kScanPoolSize - 1);
    EXPECT_EQ(FindPoolOffset(at(b.data() + 5), pools, 3), 2 * kScanPoolSize + 5);
    EXPECT_EQ(FindPoolOffset(0, pools, 3), kNoNameOffset);
    EXPECT_EQ(FindPoolOffset(at(a.data()) - 1, pools, 1), kNoNameOffset);
    EXPECT_EQ(FindPoolOffset(at(a.data()) + kScanPoolSize, pools, 1), kNoNameOffset);
    // The answer's own field form, whatever the build's pointer size.
    EXPECT_EQ(ScanNameToFileOffset(ScanNameField(b.data() + 7, 2, 7), pools, 3), 2 * kScanPoolSize + 7);
    EXPECT_EQ(ScanNameToFileOffset(0, pools, 3), kNoNameOffset);
}
