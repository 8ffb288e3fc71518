#include <gtest/gtest.h>

#include <string>

#include "shell/app_startup.h"
#include "shell/module_binding.h"
#include "tests/shell_app/fake_module.h"
#include "tests/support/test_support.h"

namespace {

using testing_support::WriteFileBytes;


class ModuleBindingTest : public testing::Test {
protected:
    void SetUp() override {
        // The build's program folder on a drive of its own, as an installed
        // program folder would be.
        ASSERT_TRUE(testing_support::MapDriveToFolder(L'B', LUMSEK_TEST_BIN_DIR));
        fakePath_ = L"B:\\fake_module.dll";
        library_ = ::LoadLibraryW(fakePath_.c_str());
        ASSERT_NE(nullptr, library_);
        auto get = reinterpret_cast<FakeModuleStateFn>(
            reinterpret_cast<void*>(::GetProcAddress(library_, "GetFakeModuleState")));
        ASSERT_NE(nullptr, get);
        state_ = get();
        *state_ = FakeModuleState();
        state_->updateDone = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    }
    void TearDown() override {
        if (state_) ::CloseHandle(state_->updateDone);
        ::FreeLibrary(library_);
    }

    const std::wstring& FakePath() const { return fakePath_; }
    // A program folder of its own, with or without a pending deferred update.
    std::wstring Folder(const wchar_t* name, bool marker) {
        wchar_t temp[MAX_PATH] = {};
        ::GetTempPathW(MAX_PATH, temp);
        std::wstring folder = std::wstring(temp) + L"lumsek_shell_" + name;
        if (marker) EXPECT_TRUE(WriteFileBytes(DeferredUpdateMarkerPath(folder), "[RUN]\r\nPATH=x\r\n"));
        else ::CreateDirectoryW(folder.c_str(), nullptr);
        return folder;
    }

    HMODULE library_ = nullptr;
    std::wstring fakePath_;
    FakeModuleState* state_ = nullptr;
};

TEST_F(ModuleBindingTest, EveryCallAsksForItsMethodFirst) {
    CModuleBinding binding(FakePath());
    binding.Bind();
    ASSERT_NE(nullptr, binding.Object());
    EXPECT_EQ(1, state_->getClassObjectCalls);

    EXPECT_TRUE(binding.Report(L"run", L"ctime=1"));
    EXPECT_EQ(L"run", state_->lastEvent);
    EXPECT_EQ(L"ctime=1", state_->lastParams);

    // The background update runs on a thread of its own.
    EXPECT_EQ(S_OK, binding.StartBackgroundUpdate());
    ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(state_->updateDone, 10000));
    EXPECT_NE(::GetCurrentThreadId(), state_->updateThreadId);

    // Only E_NOINTERFACE counts as missing: the call is skipped.
    state_->supportedMask = ~((1u << 0) | (1u << 7) | (1u << 8));
    const int queries = state_->supportQueries;
    EXPECT_FALSE(binding.Report(L"run", L"x"));
    EXPECT_FALSE(binding.LaunchReupdate());
    EXPECT_EQ(E_NOINTERFACE, binding.StartBackgroundUpdate());
    EXPECT_EQ(queries + 3, state_->supportQueries);
    EXPECT_EQ(1, state_->reportCalls);
    EXPECT_EQ(0, state_->launchCalls);

    // A second Bind keeps what it has.
    binding.Bind();
    EXPECT_EQ(1, state_->getClassObjectCalls);
}

TEST_F(ModuleBindingTest, NoLibraryNoObjectAndLongPaths) {
    CModuleBinding none(FakePath() + L".missing");
    none.Bind();
    EXPECT_EQ(nullptr, none.Library());
    EXPECT_FALSE(none.Report(L"run", L"x"));
    EXPECT_FALSE(none.LaunchReupdate());
    EXPECT_EQ(E_NOINTERFACE, none.StartBackgroundUpdate());

    // The export answers S_OK without an object: nothing is called.
    state_->giveObject = false;
    CModuleBinding empty(FakePath());
    empty.Bind();
    EXPECT_NE(nullptr, empty.Library());
    EXPECT_EQ(nullptr, empty.Object());
    EXPECT_FALSE(empty.Report(L"run", L"x"));
    EXPECT_EQ(0, state_->supportQueries);

    std::wstring path;
    ASSERT_TRUE(ModuleLibraryPath(L"C:\\Program Files\\Lumsek\\lumsek.exe", &path));
    EXPECT_EQ(L"C:\\Program Files\\Lumsek\\Lumsek.dll", path);
    // A path that MAX_PATH would cut is not bound at all.
    const std::wstring deep = L"C:\\" + std::wstring(245, L'd') + L"\\lumsek.exe";
    ASSERT_EQ(static_cast<size_t>(MAX_PATH) - 1, deep.size());
    EXPECT_TRUE(ModuleLibraryPath(deep, &path));
    EXPECT_FALSE(ModuleLibraryPath(L"C:\\d" + deep.substr(2), &path));
}

TEST_F(ModuleBindingTest, StartupUpdateCheck) {
    CModuleBinding binding(FakePath());
    binding.Bind();

    // No pending update: go on and update in the background.
    EXPECT_EQ(1, CheckUpdateAtStartup(L"lumsek.exe", Folder(L"plain", false), binding));
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(state_->updateDone, 10000));

    // Pending update: end once the re-update program was started.
    const std::wstring pending = Folder(L"pending", true);
    EXPECT_EQ(0, CheckUpdateAtStartup(L"\"C:\\x\\lumsek.exe\"", pending, binding));
    EXPECT_EQ(1, state_->launchCalls);

    // Restarted by the re-update program: start normally, no update at all.
    ::ResetEvent(state_->updateDone);
    EXPECT_EQ(1, CheckUpdateAtStartup(L"lumsek.exe -reupdate", pending, binding));
    EXPECT_EQ(1, CheckUpdateAtStartup(L"lumsek.exe /REUPDATE:x", pending, binding));
    EXPECT_EQ(1, state_->launchCalls);
    EXPECT_EQ(WAIT_TIMEOUT, ::WaitForSingleObject(state_->updateDone, 0));

    // A launch that fails, a missing method or library: start normally, and
    // the pending list does not hold the background update back.
    state_->launchResult = E_FAIL;
    EXPECT_EQ(1, CheckUpdateAtStartup(L"lumsek.exe", pending, binding));
    EXPECT_EQ(2, state_->launchCalls);
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(state_->updateDone, 10000));
    ::ResetEvent(state_->updateDone);
    state_->supportedMask = ~(1u << 7);
    EXPECT_EQ(1, CheckUpdateAtStartup(L"lumsek.exe", pending, binding));
    EXPECT_EQ(2, state_->launchCalls);
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(state_->updateDone, 10000));
    ::ResetEvent(state_->updateDone);
    state_->supportedMask = 0;
    EXPECT_EQ(1, CheckUpdateAtStartup(L"lumsek.exe", pending, binding));
    EXPECT_EQ(2, state_->launchCalls);
    EXPECT_EQ(WAIT_TIMEOUT, ::WaitForSingleObject(state_->updateDone, 0));
    CModuleBinding none(L"C:\\nowhere\\Lumsek.dll");
    EXPECT_EQ(1, CheckUpdateAtStartup(L"lumsek.exe", pending, none));

    // The marker is looked for beside the program, not in the current directory.
    state_->supportedMask = 0x1FF;
    state_->launchResult = S_OK;
    ::SetCurrentDirectoryW(pending.c_str());
    EXPECT_EQ(1, CheckUpdateAtStartup(L"lumsek.exe", Folder(L"other", false), binding));
    EXPECT_EQ(2, state_->launchCalls);
}

} // namespace
