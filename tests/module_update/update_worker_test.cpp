#include "tests/module_update/update_fixture.h"
#include <thread>

#include "module/update_launcher.h"
#include "module/update_worker.h"

using namespace update_test;
using testing_support::PathExists;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

namespace {

// Every test publishes under its own channel server path.
class UpdateRun : public ::testing::Test {
protected:
    void SetUp() override {
        static int counter = 0;
        root_ = "t" + std::to_string(++counter);
        Requests();
    }
    // "<root>/lumsek/update/lumsek/": the channel folder on the server.
    std::string Channel() const { return root_ + "/lumsek/update/lumsek/"; }
    UpdateLocation Location(const std::string& prefix = "/srv") const {
        return UpdateLocation{dir_.Path() + L"\\", ServerUrl(prefix + "/" + root_)};
    }
    int Run(const std::string& prefix = "/srv") {
        CUpdateTask task(L"lumsek", Location(prefix));
        task.DeferFlag = true;
        return RunUpdate(&task);
    }
    std::wstring Installed(const std::wstring& name) const { return dir_.File(name); }

    // A top index over two sub-indexes: a/ with two files, b/ with one file
    // into the "bin" folder (LP=%P\bin%) and one entry replaced at restart.
    void PublishTwoLevelChannel(const std::string& version) {
        const std::string a = PublishLeaf(Channel(), "a/",
                                          {{"one", "one.txt", "one " + version, "", ""},
                                           {"dir", "was_dir.txt", "file not folder " + version, "", ""}});
        const std::string b = PublishLeaf(Channel(), "b/", {{"two", "two.dll", "two " + version, "%P\\bin%", ""}});
        const std::string ma = PublishIndex(Channel() + "a/index.dat", a, "index.txt");
        const std::string mb = PublishIndex(Channel() + "b/index.dat", b, "index.txt");
        Publish(Channel() + "indexlumsek.dat", Pack(SubList({{"a/", ma}, {"b/", mb}})));
    }

    std::string root_;
    TempDir dir_;
};

TEST_F(UpdateRun, FullRoundThroughSubIndexesThenOnlyTheTopIndex) {
    WriteFileBytes(Installed(L"one.txt"), "one old");
    WriteFileBytes(Installed(L"was_dir.txt\\inner\\x.txt"), "in a folder");  // a folder where a file goes
    PublishTwoLevelChannel("v2");

    EXPECT_EQ(1, Run());
    EXPECT_EQ("one v2", ReadFileBytes(Installed(L"one.txt")));
    EXPECT_EQ("two v2", ReadFileBytes(Installed(L"bin\\two.dll")));
    EXPECT_EQ("file not folder v2", ReadFileBytes(Installed(L"was_dir.txt")));
    // Both sub-indexes were walked, depth first in index order, then the files fetched.
    const std::vector<std::string> first = Requests();
    ASSERT_EQ(6u, first.size());
    EXPECT_EQ("/srv/" + Channel() + "indexlumsek.dat", first[0]);
    EXPECT_EQ("/srv/" + Channel() + "a/index.dat", first[1]);
    EXPECT_EQ("/srv/" + Channel() + "b/index.dat", first[2]);
    EXPECT_FALSE(PathExists(Installed(L"update\\pemour.dat")));

    // Nothing changed: the sub-indexes still match their check values and
    // every file its CRC, so only the top index is fetched.
    EXPECT_EQ(0, Run());
    EXPECT_EQ(std::vector<std::string>{"/srv/" + Channel() + "indexlumsek.dat"}, Requests());

    // A new version of one file is fetched alone.
    const std::string a = PublishLeaf(Channel(), "a/",
                                      {{"one", "one.txt", "one v3", "", ""},
                                       {"dir", "was_dir.txt", "file not folder v2", "", ""}});
    const std::string ma = PublishIndex(Channel() + "a/index.dat", a, "index.txt");
    const std::string b = PublishLeaf(Channel(), "b/", {{"two", "two.dll", "two v2", "%P\\bin%", ""}});
    Publish(Channel() + "indexlumsek.dat", Pack(SubList({{"a/", ma}, {"b/", CheckValue(b, "index.txt")}})));
    EXPECT_EQ(1, Run());
    EXPECT_EQ("one v3", ReadFileBytes(Installed(L"one.txt")));
    EXPECT_EQ(3u, Requests().size());  // top, a/index.dat, the file
}

TEST_F(UpdateRun, MissingFilesOnTheServerFailWithNothingReplaced) {
    // No channel at all: the top index answers 404.
    EXPECT_EQ(static_cast<int>(0x80000000u | 404u), Run());

    WriteFileBytes(Installed(L"one.txt"), "one old");
    WriteFileBytes(Installed(L"two.txt"), "two old");
    const std::string leaf = PublishLeaf(Channel(), "", {{"a", "one.txt", "one new", "", ""},
                                                         {"b", "two.txt", "two new", "", ""}});
    Publish(Channel() + "indexlumsek.dat", Pack(leaf));
    // The second file is not on the server.
    const std::string missing = CheckValue("two new", "two.txt");
    Unpublish(Channel() + missing);
    EXPECT_EQ(static_cast<int>(0x80000000u | 404u), Run());
    EXPECT_EQ("one old", ReadFileBytes(Installed(L"one.txt")));
    EXPECT_EQ("two old", ReadFileBytes(Installed(L"two.txt")));
    EXPECT_FALSE(PathExists(Installed(L"update\\two.txt")));
    // Three tries for the file that is missing.
    int fileRequests = 0;
    for (const std::string& r : Requests()) fileRequests += r.find(missing) != std::string::npos;
    EXPECT_EQ(3, fileRequests);
}

TEST_F(UpdateRun, CancelLeavesNoPartialFileAndSecondRunOnTheFolderIsRefused) {
    // About 400 KiB that does not pack: the slow server needs ten seconds.
    std::string big(400 * 1024, '\0');
    uint32_t x = 12345;
    for (auto& c : big) c = static_cast<char>((x = x * 1103515245u + 12345u) >> 24);
    WriteFileBytes(Installed(L"big.bin"), "old");
    Publish(Channel() + "indexlumsek.dat", Pack(PublishLeaf(Channel(), "", {{"big", "big.bin", big, "", ""}})));

    struct Notify : IUpdateNotify {
        int STDMETHODCALLTYPE OnProgress(const wchar_t* text, int, int) override {
            if (text && *text) started = true;
            return cancel ? 0 : 1;
        }
        int STDMETHODCALLTYPE OnFinished(int result) override { finished = result; return 1; }
        std::atomic<bool> started{false}, cancel{false};
        int finished = 0;
    } notify;
    CUpdateLauncher launcher(Location("/slow/srv"));
    launcher.SetProductId(PRODUCT_ID_LUMSEK);
    int result = 0;
    std::thread run([&] { result = launcher.UpdateWithProgress(&notify); });
    for (int i = 0; i < 400 && !notify.started; ++i) ::Sleep(25);
    EXPECT_TRUE(notify.started);
    ::Sleep(300);
    // The folder is busy: a second run fails at once instead of mixing files.
    EXPECT_EQ(UPD_E_BUSY, Run());
    notify.cancel = true;
    run.join();
    EXPECT_EQ(UPD_S_CANCELLED, result);
    EXPECT_EQ(UPD_S_CANCELLED, notify.finished);
    EXPECT_EQ("old", ReadFileBytes(Installed(L"big.bin")));
    EXPECT_FALSE(PathExists(Installed(L"update\\big.bin")));
    EXPECT_FALSE(PathExists(Installed(L"update\\" + Wide(CheckValue(big, "big.bin")))));
}

TEST_F(UpdateRun, LockedAndRestartEntriesGoToTheReupdateProgram) {
    ASSERT_TRUE(::CopyFileW(StubProgram().c_str(), Installed(L"reupd.exe").c_str(), FALSE));
    ASSERT_TRUE(::CopyFileW(StubProgram().c_str(), Installed(L"prog.exe").c_str(), FALSE));
    WriteFileBytes(Installed(L"locked.txt"), "locked old");
    Publish(Channel() + "indexlumsek.dat",
            Pack(PublishLeaf(Channel(), "", {{"locked", "locked.txt", "locked new", "", ""},
                                             {"later", "later.txt", "later new", "", "UR=1\r\n"},
                                             {"free", "free.txt", "free new", "", ""}})));
    CUpdateLauncher launcher(Location(), Installed(L"prog.exe"));
    launcher.SetProductId(PRODUCT_ID_LUMSEK);
    {
        // Held without any sharing, as a running program may hold its files.
        platform::FileHandle lock(::CreateFileW(Installed(L"locked.txt").c_str(), GENERIC_READ, 0, nullptr,
                                                OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(lock.IsValid());
        EXPECT_EQ(UPD_S_RESTART_NEEDED, launcher.UpdateWithProgress(nullptr));
    }
    EXPECT_TRUE(launcher.RestartNeeded());
    EXPECT_EQ("free new", ReadFileBytes(Installed(L"free.txt")));
    EXPECT_EQ("locked old", ReadFileBytes(Installed(L"locked.txt")));
    EXPECT_FALSE(PathExists(Installed(L"later.txt")));
    const std::wstring list = Installed(L"update\\pemour.dat");
    EXPECT_FALSE(PathExists(list + L".tmp"));
    wchar_t des[MAX_PATH] = {}, from[MAX_PATH] = {};
    ::GetPrivateProfileStringW(L"file0", L"DES", L"", des, MAX_PATH, list.c_str());
    ::GetPrivateProfileStringW(L"file1", L"FROM", L"", from, MAX_PATH, list.c_str());
    EXPECT_EQ(Installed(L"later.txt"), des);  // deferred in list order
    EXPECT_EQ(Installed(L"update\\locked.txt"), from);

    // Length mismatch: nothing written, nothing started.
    EXPECT_EQ(E_INVALIDARG, launcher.LaunchReupdate(L"a", 2));
    EXPECT_FALSE(PathExists(Installed(L"reupd_args.txt")));
    ASSERT_EQ(S_OK, launcher.LaunchReupdate(L"reupdate:0", 10));
    ASSERT_TRUE(WaitForFile(Installed(L"restarted.txt")));
    const std::wstring reupd = Installed(L"reupd.exe");
    EXPECT_EQ("\"" + std::string(reupd.begin(), reupd.end()) + "\" -pid:" +
                  std::to_string(::GetCurrentProcessId()) + " -cmd:reupdate&0\r\n",
              ReadFileBytes(Installed(L"reupd_args.txt")));
    // Started in the library's folder (the path has no trailing backslash there).
    std::string cwd = ReadFileBytes(Installed(L"reupd_cwd.txt"));
    if (cwd.size() >= 3 && cwd.compare(cwd.size() - 3, 3, "\\\r\n") == 0) cwd.erase(cwd.size() - 3, 1);
    EXPECT_EQ(std::string(dir_.Path().begin(), dir_.Path().end()) + "\r\n", cwd);
    EXPECT_NE(std::string::npos, ReadFileBytes(Installed(L"restarted.txt")).find(" -reupdate"));
    EXPECT_EQ("locked new", ReadFileBytes(Installed(L"locked.txt")));
    EXPECT_EQ("later new", ReadFileBytes(Installed(L"later.txt")));

    // Without the re-update program the launch fails and says so.
    ::DeleteFileW(Installed(L"reupd.exe").c_str());
    EXPECT_TRUE(FAILED(launcher.LaunchReupdate(nullptr, 0)));
}

// The re-update program is looked for before the list is touched: a list
// naming the program to restart with nothing to carry it out would be found
// at every start and hold the updates back for good.
TEST_F(UpdateRun, LaunchWithoutTheReupdateProgramWritesNothing) {
    ASSERT_TRUE(::CopyFileW(StubProgram().c_str(), Installed(L"prog.exe").c_str(), FALSE));
    CUpdateLauncher launcher(Location(), Installed(L"prog.exe"));
    const std::wstring list = Installed(L"update\\pemour.dat");
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), launcher.LaunchReupdate(L"reupdate:0", 10));
    EXPECT_FALSE(PathExists(Installed(L"update")));

    // A list an earlier run left stays exactly as it was.
    const std::string pending = "[file0]\r\nDES=a\r\nFROM=b\r\n";
    ASSERT_TRUE(WriteFileBytes(list, pending));
    EXPECT_TRUE(FAILED(launcher.LaunchReupdate(L"reupdate:0", 10)));
    EXPECT_EQ(pending, ReadFileBytes(list));
    // A folder of that name is no program either.
    ASSERT_TRUE(::CreateDirectoryW(Installed(L"reupd.exe").c_str(), nullptr));
    EXPECT_TRUE(FAILED(launcher.LaunchReupdate(nullptr, 0)));
    EXPECT_EQ(pending, ReadFileBytes(list));
    ASSERT_TRUE(::RemoveDirectoryW(Installed(L"reupd.exe").c_str()));
    EXPECT_FALSE(PathExists(Installed(L"reupd_args.txt")));
}

// The launcher and the worker never share a temporary file: while the
// worker writes its new list (held here as the worker would hold it), the
// launch still names the program and leaves the worker's file alone.
TEST_F(UpdateRun, LaunchLeavesTheWorkersHalfWrittenListAlone) {
    ASSERT_TRUE(::CopyFileW(StubProgram().c_str(), Installed(L"reupd.exe").c_str(), FALSE));
    ASSERT_TRUE(::CopyFileW(StubProgram().c_str(), Installed(L"prog.exe").c_str(), FALSE));
    const std::wstring list = Installed(L"update\\pemour.dat");
    ASSERT_TRUE(WriteFileBytes(list + L".tmp", "worker"));
    CUpdateLauncher launcher(Location(), Installed(L"prog.exe"));
    {
        platform::FileHandle held(::CreateFileW((list + L".tmp").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                                OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held.IsValid());
        ASSERT_EQ(S_OK, launcher.LaunchReupdate(L"reupdate:0", 10));
    }
    ASSERT_TRUE(WaitForFile(Installed(L"restarted.txt")));
    EXPECT_EQ("worker", ReadFileBytes(list + L".tmp"));
    // The launcher's own copy is gone once its list is in place.
    WIN32_FIND_DATAW found = {};
    std::vector<std::wstring> temps;
    HANDLE find = ::FindFirstFileW(Installed(L"update\\*.tmp").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do temps.push_back(found.cFileName);
        while (::FindNextFileW(find, &found));
        ::FindClose(find);
    }
    EXPECT_EQ(std::vector<std::wstring>{L"pemour.dat.tmp"}, temps);
}

TEST_F(UpdateRun, CyclicAndEndlessIndexTreesEndWithAnError) {
    // An index that lists its own folder.
    Publish(Channel() + "indexlumsek.dat", Pack(SubList({{"./", std::string(32, 'a')}})));
    EXPECT_EQ(UPD_E_INDEX_TREE, Run());
    // A server that always has one more level below.
    Requests();
    CUpdateTask task(L"lumsek", UpdateLocation{dir_.Path() + L"\\", ServerUrl("/deep")});
    EXPECT_EQ(UPD_E_INDEX_TREE, RunUpdate(&task));
    EXPECT_EQ(static_cast<size_t>(kMaxIndexDepth + 1), Requests().size());
}

TEST_F(UpdateRun, EntriesStagedOverTheUpdatersOwnFilesAreSkipped) {
    // Destination "pemour.dat" would be staged as update\pemour.dat itself.
    Publish(Channel() + "indexlumsek.dat",
            Pack(PublishLeaf(Channel(), "", {{"list", "pemour.dat", "[RUN]\r\nPATH=C:\\evil.exe\r\n", "", ""},
                                             {"ok", "ok.txt", "fine", "", ""}})));
    EXPECT_EQ(1, Run());
    EXPECT_EQ("fine", ReadFileBytes(Installed(L"ok.txt")));
    EXPECT_FALSE(PathExists(Installed(L"pemour.dat")));
}

TEST(ReplaceStagedFile, InUseFileIsMovedAsideOrLeftIntact) {
    TempDir dir;
    const std::wstring staged = dir.File(L"staged.txt"), destination = dir.File(L"sub\\dest.txt");
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), ReplaceStagedFile(staged, destination));
    WriteFileBytes(staged, "new");
    EXPECT_EQ(S_OK, ReplaceStagedFile(staged, destination));  // folders are created
    EXPECT_EQ("new", ReadFileBytes(destination));
    WriteFileBytes(staged, "newer");
    {
        // Open with delete sharing, as a running program is: it can be renamed, not overwritten.
        platform::FileHandle open(::CreateFileW(destination.c_str(), GENERIC_READ,
                                                FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                                                nullptr));
        ASSERT_TRUE(open.IsValid());
        EXPECT_EQ(S_OK, ReplaceStagedFile(staged, destination));
    }
    EXPECT_EQ("newer", ReadFileBytes(destination));
    {
        platform::FileHandle locked(
            ::CreateFileW(destination.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        WriteFileBytes(staged, "newest");
        EXPECT_TRUE(FAILED(ReplaceStagedFile(staged, destination)));
    }
    EXPECT_EQ("newer", ReadFileBytes(destination));
    // No temporary or aside copies are left beside it.
    WIN32_FIND_DATAW found;
    int count = 0;
    HANDLE find = ::FindFirstFileW(dir.File(L"sub\\*").c_str(), &found);
    do count += found.cFileName[0] != L'.'; while (::FindNextFileW(find, &found));
    ::FindClose(find);
    EXPECT_EQ(1, count);
}

} // namespace
