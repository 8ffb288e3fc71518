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
    bool Sleep(DWORD ms) override {
        sleeps.push_back(ms);
        return sleeps.size() != stopAtSleep;
    }
    void GetWindowsVersion(DWORD* platformId, DWORD* majorOut, DWORD* minorOut) override {
        *platformId = VER_PLATFORM_WIN32_NT;
        *majorOut = major;
        *minorOut = minor;
    }
    DWORD GetActiveSessionId(DWORD* id) override { *id = 3; return hasSession ? NO_ERROR : ERROR_NOT_FOUND; }
    DWORD QueryUserToken(DWORD sessionId, HANDLE* token) override {
        queriedSession = sessionId;
        return Give(sessionTokenOk, kSessionToken, token, ERROR_NO_TOKEN);
    }
    DWORD GetExplorerToken(HANDLE* token) override {
        ++explorerTokenAsks;
        return Give(explorerTokenOk, kExplorerToken, token, ERROR_NOT_FOUND);
    }
    HANDLE GetLinkedToken(HANDLE) override { HANDLE token = nullptr; Give(hasLinked, kLinkedToken, &token, 0); return token; }
    void CloseToken(HANDLE) override { --open; }
    void* CreateEnvironment(HANDLE) override { environments += environmentOk; return environmentOk ? &environmentBlock : nullptr; }
    void DestroyEnvironment(void* block) override { EXPECT_EQ(&environmentBlock, block); --environments; }
    DWORD CreateProcessAsUser(HANDLE token, const std::wstring& application, const std::wstring& commandLine,
                              DWORD flags, void* environment) override {
        launches.push_back({token, application, commandLine, flags, environment});
        return launchError;
    }
    void Log(const std::wstring& line) override { logs += line + L"\n"; }

    DWORD Give(bool ok, HANDLE value, HANDLE* token, DWORD error) {
        if (!ok) return error;
        *token = value;
        ++open;
        return NO_ERROR;
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
    size_t stopAtSleep = 0;  // the n-th wait (from 1) sees a stop; 0: never
    std::vector<Launch> launches;
    std::wstring logs;  // one line each
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
    EXPECT_EQ(L"", fake.logs);

    // A stop during the wait for the shell ends the work without a launch.
    FakeSession stopped;
    stopped.explorerMissingLooks = 5;
    stopped.stopAtSleep = 2;
    EXPECT_EQ(static_cast<DWORD>(NO_ERROR), RunSessionLaunch(stopped, kFolder));
    EXPECT_EQ(2u, stopped.sleeps.size());
    EXPECT_TRUE(stopped.launches.empty());
}

TEST(SessionLaunch, TokenFallbacksAndFailures) {
    struct Case {
        const char* name;
        void (*setUp)(FakeSession&);
        DWORD result;
        HANDLE token;           // of the one launch; null: no launch
        DWORD flags;
        const wchar_t* logged;  // a line that must be logged, if any
    };
    const Case cases[] = {
        {"no session, linked token", [](FakeSession& f) { f.hasSession = false; f.hasLinked = true; },
         NO_ERROR, kLinkedToken, 0x430, L"No active session, error: 1168"},
        // Without an environment block the program still starts, plainly.
        {"no user token, no environment", [](FakeSession& f) { f.sessionTokenOk = false; f.environmentOk = false; },
         NO_ERROR, kExplorerToken, 0x30, nullptr},
        // Windows 2000 asks explorer.exe only; XP prefers the session's token
        // and never asks for a linked one.
        {"windows 2000", [](FakeSession& f) { f.major = 5; }, NO_ERROR, kExplorerToken, 0x430, nullptr},
        {"xp", [](FakeSession& f) { f.major = 5; f.minor = 1; f.hasLinked = true; }, NO_ERROR, kSessionToken, 0x430,
         nullptr},
        // Failures are logged once, without retry.
        {"no token at all", [](FakeSession& f) { f.hasSession = false; f.explorerTokenOk = false; }, ERROR_NOT_FOUND,
         nullptr, 0, L"No token of explorer.exe, error: 1168"},
        {"missing program", [](FakeSession& f) { f.launchError = ERROR_FILE_NOT_FOUND; }, ERROR_FILE_NOT_FOUND,
         kSessionToken, 0x430, L"lumsek.exe failed, error: 2"},
        {"xp launch fails", [](FakeSession& f) { f.major = 5; f.minor = 1; f.launchError = ERROR_ACCESS_DENIED; },
         ERROR_ACCESS_DENIED, kSessionToken, 0x430, L"CreateProcessAsActivedUser FAILD"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeSession fake;
        c.setUp(fake);
        EXPECT_EQ(c.result, RunSessionLaunch(fake, kFolder));
        EXPECT_EQ(1u, fake.sleeps.size());
        ASSERT_EQ(c.token ? 1u : 0u, fake.launches.size());
        if (c.token) {
            EXPECT_EQ(c.token, fake.launches[0].token);
            EXPECT_EQ(c.flags, fake.launches[0].flags);
            EXPECT_EQ(c.flags == 0x430 ? &fake.environmentBlock : nullptr, fake.launches[0].environment);
        }
        if (c.logged) {
            EXPECT_NE(std::wstring::npos, fake.logs.find(c.logged)) << fake.logs;
        }
        // A failure ends the log with the failure line.
        EXPECT_EQ(c.result != NO_ERROR, fake.logs.rfind(L"FAILD") != std::wstring::npos &&
                                            fake.logs.find(L"\n", fake.logs.rfind(L"FAILD")) == fake.logs.size() - 1);
        EXPECT_EQ(0, fake.open);
        EXPECT_EQ(0, fake.environments);
        if (fake.minor == 1) {
            EXPECT_EQ(0, fake.explorerTokenAsks);
        }
    }

    // A folder so long that the program path would not fit is refused.
    FakeSession longFolder;
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE), RunSessionLaunch(longFolder, L"C:\\" + std::wstring(250, L'a')));
    EXPECT_TRUE(longFolder.launches.empty());
    std::wstring out;
    ASSERT_TRUE(ResolveProgramPath(L"\"D:\\x\\a.exe\"", L"C:\\svc", &out));
    EXPECT_EQ(L"\"D:\\x\\a.exe\"", out);
    // "C:" alone has no path after the drive.
    ASSERT_TRUE(ResolveProgramPath(L"C:", L"C:\\svc", &out));
    EXPECT_EQ(L"C:\\svc\\C:", out);
    EXPECT_FALSE(ResolveProgramPath(L"C:\\" + std::wstring(257, L'b'), L"C:\\svc", &out));
}

TEST(SessionLaunch, RealSystemReadsAutorunAndStartsProgramInActiveSession) {
    CSystemSession system;
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"Software\\Lumsek");
    EXPECT_EQ(0u, system.ReadAutorun());  // a missing key is created by the read
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Lumsek", 0, KEY_ALL_ACCESS, &key));
    const DWORD one = 1;
    const wchar_t text[] = L"1";  // a text "1" is no switch
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, L"autorun", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4));
    EXPECT_EQ(1u, system.ReadAutorun());
    RegSetValueExW(key, L"autorun", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof(text));
    EXPECT_EQ(0u, system.ReadAutorun());
    RegDeleteValueW(key, L"autorun");
    RegCloseKey(key);

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

TEST(ServiceControlHandler, StopAndShutdownEndTheWorkWhichReportsStopped) {
    KxESvcInst& inst = KxESvcInst::Instance();
    EXPECT_EQ(static_cast<DWORD>(SERVICE_START_PENDING), inst.CurrentState());
    EXPECT_EQ(static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED),
              KxESvcInst::ServiceCtrlHandler(SERVICE_CONTROL_INTERROGATE, 0, nullptr, nullptr));
    EXPECT_FALSE(inst.StopRequested());
    EXPECT_EQ(static_cast<DWORD>(NO_ERROR), KxESvcInst::ServiceCtrlHandler(SERVICE_CONTROL_SHUTDOWN, 0, nullptr, nullptr));
    EXPECT_EQ(static_cast<DWORD>(SERVICE_STOP_PENDING), inst.CurrentState());
    EXPECT_TRUE(inst.StopRequested());
    // The work, asked to stop, launches nothing and returns at once.
    EXPECT_EQ(static_cast<DWORD>(NO_ERROR), inst.Run());
    EXPECT_EQ(static_cast<DWORD>(NO_ERROR), KxESvcInst::ServiceCtrlHandler(SERVICE_CONTROL_STOP, 0, nullptr, nullptr));
}

} // namespace
