#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "service/session_launch.h"
#include "service/svc_inst.h"

namespace {

const HANDLE kSessionToken = reinterpret_cast<HANDLE>(0x100);
const HANDLE kExplorerToken = reinterpret_cast<HANDLE>(0x200);
const HANDLE kLinkedToken = reinterpret_cast<HANDLE>(0x300);

// Answers as configured and counts what is open, so leaks show.
class FakeSession : public ISessionSystem {
public:
    DWORD ReadAutorun() override { return autorun; }
    bool IsExplorerRunning() override { return ++explorerLooks > explorerMissingLooks; }
    void Sleep(DWORD ms) override { sleeps.push_back(ms); }
    void GetWindowsVersion(DWORD* platformId, DWORD* majorOut, DWORD* minorOut) override {
        *platformId = VER_PLATFORM_WIN32_NT;
        *majorOut = major;
        *minorOut = minor;
    }
    DWORD GetActiveSessionId(DWORD* id) override {
        *id = 3;
        return hasSession ? NO_ERROR : ERROR_NOT_FOUND;
    }
    DWORD QueryUserToken(DWORD sessionId, HANDLE* token) override {
        queriedSession = sessionId;
        return Give(sessionTokenOk, kSessionToken, token, ERROR_NO_TOKEN);
    }
    DWORD GetExplorerToken(HANDLE* token) override {
        ++explorerTokenAsks;
        return Give(explorerTokenOk, kExplorerToken, token, ERROR_NOT_FOUND);
    }
    HANDLE GetLinkedToken(HANDLE) override {
        HANDLE token = nullptr;
        Give(hasLinked, kLinkedToken, &token, 0);
        return token;
    }
    void CloseToken(HANDLE) override { --open; }
    void* CreateEnvironment(HANDLE) override {
        environments += environmentOk;
        return environmentOk ? &environmentBlock : nullptr;
    }
    void DestroyEnvironment(void* block) override {
        EXPECT_EQ(&environmentBlock, block);
        --environments;
    }
    DWORD CreateProcessAsUser(HANDLE token, const std::wstring& application, const std::wstring& commandLine,
                              DWORD flags, void* environment) override {
        launches.push_back({token, application, commandLine, flags, environment});
        return launchError;
    }
    void Log(const std::wstring& line) override { logs.push_back(line); }

    DWORD Give(bool ok, HANDLE value, HANDLE* token, DWORD error) {
        if (!ok) return error;
        *token = value;
        ++open;
        return NO_ERROR;
    }
    bool Logged(const std::wstring& text) const {
        for (const auto& line : logs)
            if (line.find(text) != std::wstring::npos) return true;
        return false;
    }

    struct Launch {
        HANDLE token;
        std::wstring application, commandLine;
        DWORD flags;
        void* environment;
    };

    DWORD autorun = 0, major = 10, minor = 0, launchError = NO_ERROR, queriedSession = 0;
    int explorerMissingLooks = 0, explorerLooks = 0, explorerTokenAsks = 0, open = 0, environments = 0;
    bool hasSession = true, sessionTokenOk = true, explorerTokenOk = true, hasLinked = false, environmentOk = true;
    int environmentBlock = 0;
    std::vector<DWORD> sleeps;
    std::vector<Launch> launches;
    std::vector<std::wstring> logs;
};

const std::wstring kFolder = L"C:\\Program Files\\Lumsek";

TEST(SessionLaunch, WaitsForShellThenStartsOnceInActiveSession) {
    FakeSession off;
    off.autorun = 1;
    EXPECT_EQ(static_cast<DWORD>(NO_ERROR), RunSessionLaunch(off, kFolder));
    EXPECT_EQ(0, off.explorerLooks);
    EXPECT_TRUE(off.launches.empty());

    FakeSession fake;
    fake.autorun = 2;  // only 1 switches automatic start off
    fake.explorerMissingLooks = 2;
    EXPECT_EQ(static_cast<DWORD>(NO_ERROR), RunSessionLaunch(fake, kFolder));
    // Every look is followed by the 10-second wait, the successful one too.
    EXPECT_EQ((std::vector<DWORD>{10000, 10000, 10000}), fake.sleeps);
    ASSERT_EQ(1u, fake.launches.size());
    const auto& launch = fake.launches[0];
    EXPECT_EQ(3u, fake.queriedSession);
    EXPECT_EQ(kSessionToken, launch.token);
    EXPECT_EQ(kFolder + L"\\lumsek.exe", launch.application);
    // Quoted, so the blank in "Program Files" cannot pick another program.
    EXPECT_EQ(L"\"" + kFolder + L"\\lumsek.exe\"", launch.commandLine);
    EXPECT_EQ(0x430u, launch.flags);
    EXPECT_EQ(&fake.environmentBlock, launch.environment);
    EXPECT_EQ(0, fake.open);
    EXPECT_EQ(0, fake.environments);
    EXPECT_TRUE(fake.logs.empty());
}

TEST(SessionLaunch, TokenFallbacksAndLinkedToken) {
    FakeSession noSession;
    noSession.hasSession = false;
    noSession.hasLinked = true;
    EXPECT_EQ(static_cast<DWORD>(NO_ERROR), RunSessionLaunch(noSession, kFolder));
    ASSERT_EQ(1u, noSession.launches.size());
    EXPECT_EQ(kLinkedToken, noSession.launches[0].token);
    EXPECT_EQ(0, noSession.open);
    EXPECT_TRUE(noSession.Logged(L"No active session, error: 1168"));

    FakeSession noUserToken;
    noUserToken.sessionTokenOk = false;
    noUserToken.environmentOk = false;
    EXPECT_EQ(static_cast<DWORD>(NO_ERROR), RunSessionLaunch(noUserToken, kFolder));
    ASSERT_EQ(1u, noUserToken.launches.size());
    EXPECT_EQ(kExplorerToken, noUserToken.launches[0].token);
    // Without an environment block the program still starts, plainly.
    EXPECT_EQ(0x30u, noUserToken.launches[0].flags);
    EXPECT_EQ(nullptr, noUserToken.launches[0].environment);

    // Windows 2000 asks explorer.exe only; XP prefers the session's token.
    FakeSession win2000;
    win2000.major = 5;
    EXPECT_EQ(static_cast<DWORD>(NO_ERROR), RunSessionLaunch(win2000, kFolder));
    ASSERT_EQ(1u, win2000.launches.size());
    EXPECT_EQ(kExplorerToken, win2000.launches[0].token);
    FakeSession xp;
    xp.major = 5;
    xp.minor = 1;
    xp.hasLinked = true;  // not asked for on XP
    EXPECT_EQ(static_cast<DWORD>(NO_ERROR), RunSessionLaunch(xp, kFolder));
    ASSERT_EQ(1u, xp.launches.size());
    EXPECT_EQ(kSessionToken, xp.launches[0].token);
    EXPECT_EQ(0, xp.explorerTokenAsks);
    EXPECT_EQ(0, xp.open);
}

TEST(SessionLaunch, FailuresAreLoggedOnceWithoutRetry) {
    FakeSession noToken;
    noToken.hasSession = false;
    noToken.explorerTokenOk = false;
    EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_FOUND), RunSessionLaunch(noToken, kFolder));
    EXPECT_TRUE(noToken.launches.empty());
    EXPECT_TRUE(noToken.Logged(L"No token of explorer.exe, error: 1168"));
    EXPECT_EQ(L"CreateProcessAsActivedUserOnVista FAILD", noToken.logs.back());

    FakeSession missingProgram;
    missingProgram.launchError = ERROR_FILE_NOT_FOUND;
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), RunSessionLaunch(missingProgram, kFolder));
    EXPECT_EQ(1u, missingProgram.launches.size());
    EXPECT_EQ(1u, missingProgram.sleeps.size());
    EXPECT_TRUE(missingProgram.Logged(L"lumsek.exe failed, error: 2"));
    EXPECT_EQ(0, missingProgram.open);
    EXPECT_EQ(0, missingProgram.environments);

    FakeSession xpFails;
    xpFails.major = 5;
    xpFails.minor = 1;
    xpFails.launchError = ERROR_ACCESS_DENIED;
    RunSessionLaunch(xpFails, kFolder);
    EXPECT_EQ(L"CreateProcessAsActivedUser FAILD", xpFails.logs.back());

    // A folder so long that the program path would not fit is refused.
    FakeSession longFolder;
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE),
              RunSessionLaunch(longFolder, L"C:\\" + std::wstring(250, L'a')));
    EXPECT_TRUE(longFolder.launches.empty());

    std::wstring out;
    ASSERT_TRUE(ResolveProgramPath(L"\"D:\\x\\a.exe\"", L"C:\\svc", &out));
    EXPECT_EQ(L"\"D:\\x\\a.exe\"", out);
    // "C:" alone has no path after the drive.
    ASSERT_TRUE(ResolveProgramPath(L"C:", L"C:\\svc", &out));
    EXPECT_EQ(L"C:\\svc\\C:", out);
    EXPECT_FALSE(ResolveProgramPath(L"C:\\" + std::wstring(257, L'b'), L"C:\\svc", &out));
}

TEST(SessionLaunch, AutorunRegistryRule) {
    CSystemSession system;
    // A missing key is created by the read.
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"Software\\Lumsek");
    EXPECT_EQ(0u, system.ReadAutorun());
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Lumsek", 0, KEY_ALL_ACCESS, &key));
    const DWORD one = 1;
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, L"autorun", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4));
    EXPECT_EQ(1u, system.ReadAutorun());
    // A text "1" is no switch.
    const wchar_t text[] = L"1";
    RegSetValueExW(key, L"autorun", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof(text));
    EXPECT_EQ(0u, system.ReadAutorun());
    RegDeleteValueW(key, L"autorun");
    RegCloseKey(key);
}

TEST(SessionLaunch, RealSystemStartsProgramInActiveSession) {
    CSystemSession system;
    DWORD sessionId = 0;
    const DWORD sessionError = system.GetActiveSessionId(&sessionId);
    HANDLE token = nullptr;
    const DWORD tokenError = GetUserTokenOnVista(system, &token);
    if (tokenError != NO_ERROR)
        GTEST_SKIP() << "no user token here (session error " << sessionError << ", token error " << tokenError << ")";
    system.CloseToken(token);

    const std::wstring systemFolder = L"C:\\windows\\system32";
    EXPECT_EQ(static_cast<DWORD>(NO_ERROR), CreateProcessAsActivedUserOnVista(system, L"hostname.exe", systemFolder));
    const DWORD missing = CreateProcessAsActivedUserOnVista(system, L"C:\\nowhere\\lumsek.exe", systemFolder);
    EXPECT_TRUE(missing == ERROR_FILE_NOT_FOUND || missing == ERROR_PATH_NOT_FOUND) << missing;
}

TEST(ServiceControlHandler, StopAndShutdownReportStopped) {
    KxESvcInst& inst = KxESvcInst::Instance();
    EXPECT_EQ(static_cast<DWORD>(SERVICE_START_PENDING), inst.CurrentState());
    EXPECT_EQ(static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED),
              KxESvcInst::ServiceCtrlHandler(SERVICE_CONTROL_INTERROGATE, 0, nullptr, nullptr));
    EXPECT_EQ(static_cast<DWORD>(SERVICE_START_PENDING), inst.CurrentState());
    EXPECT_EQ(static_cast<DWORD>(NO_ERROR), KxESvcInst::ServiceCtrlHandler(SERVICE_CONTROL_SHUTDOWN, 0, nullptr, nullptr));
    EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), inst.CurrentState());
    EXPECT_EQ(static_cast<DWORD>(NO_ERROR), KxESvcInst::ServiceCtrlHandler(SERVICE_CONTROL_STOP, 0, nullptr, nullptr));
}

} // namespace
