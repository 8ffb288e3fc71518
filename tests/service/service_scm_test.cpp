// The console commands of the real program against the system's service
// manager. The prepare step copies the program into the prefix, so its log
// lands there too.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "service/service_control.h"

namespace {

const wchar_t kTestFolder[] = L"C:\\pelvane_test";
const wchar_t kTestProgram[] = L"C:\\pelvane_test\\pelvane.exe";

struct RunResult {
    bool started = false;
    DWORD exitCode = 0xFFFFFFFF;
    std::string output;  // without CRs
};

// On a heavily loaded machine Wine now and then fails to create the process,
// or the process dies in the loader with an NTSTATUS before any of our code
// runs; that is the machine, not the program, so such runs are tried again.
RunResult RunPelvane(const std::wstring& arguments) {
    RunResult result;
    for (int attempt = 0; attempt < 3; ++attempt, Sleep(500)) {
        result = RunResult();
        SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
        HANDLE readEnd = nullptr, writeEnd = nullptr;
        if (!CreatePipe(&readEnd, &writeEnd, &sa, 0)) continue;
        SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = startup.hStdError = writeEnd;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        std::wstring command = L"\"" + std::wstring(kTestProgram) + L"\"" + arguments;
        PROCESS_INFORMATION info = {};
        result.started = CreateProcessW(kTestProgram, &command[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                        kTestFolder, &startup, &info) != FALSE;
        CloseHandle(writeEnd);
        char chunk[512];
        DWORD n = 0;
        while (result.started && ReadFile(readEnd, chunk, sizeof(chunk), &n, nullptr) && n > 0)
            for (DWORD i = 0; i < n; ++i)
                if (chunk[i] != '\r') result.output.push_back(chunk[i]);
        CloseHandle(readEnd);
        if (!result.started) continue;
        WaitForSingleObject(info.hProcess, 60000);
        GetExitCodeProcess(info.hProcess, &result.exitCode);
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
        const bool diedInLoader = result.output.empty() && result.exitCode >= 0xC0000000u && result.exitCode != 0xFFFFFFFFu;
        if (!diedInLoader) break;
    }
    return result;
}

class ServiceScm : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(kTestProgram)) << "the prepare step did not copy pelvane.exe";
        manager_ = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        if (manager_ == nullptr) GTEST_SKIP() << "no service control manager here (error " << GetLastError() << ")";
    }
    void TearDown() override {
        if (manager_) CloseServiceHandle(manager_);
    }

    std::wstring Description(SC_HANDLE service) {
        DWORD size = 0;
        QueryServiceConfig2W(service, SERVICE_CONFIG_DESCRIPTION, nullptr, 0, &size);
        std::vector<BYTE> data(size + 16);
        auto* description = reinterpret_cast<SERVICE_DESCRIPTIONW*>(data.data());
        if (!QueryServiceConfig2W(service, SERVICE_CONFIG_DESCRIPTION, data.data(), static_cast<DWORD>(data.size()),
                                  &size) || !description->lpDescription)
            return L"<none>";
        return description->lpDescription;
    }

    void SetAutorun(DWORD value) {
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Lumsek", 0, nullptr, 0,
                                                 KEY_ALL_ACCESS, nullptr, &key, nullptr));
        RegSetValueExW(key, L"autorun", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
        RegCloseKey(key);
    }
    DWORD State() {
        SC_HANDLE service = OpenServiceW(manager_, L"pelvane", SERVICE_QUERY_STATUS);
        SERVICE_STATUS status = {};
        if (!service) return 0;
        QueryServiceStatus(service, &status);
        CloseServiceHandle(service);
        return status.dwCurrentState;
    }

    SC_HANDLE manager_ = nullptr;
};

TEST_F(ServiceScm, InstallCreatesAutomaticServiceAndUninstallRemovesIt) {
    RunResult install = RunPelvane(L" /install");
    EXPECT_EQ(0u, install.exitCode);
    EXPECT_EQ("It successed to install service.\n", install.output);

    SC_HANDLE service = OpenServiceW(manager_, L"pelvane", SERVICE_QUERY_CONFIG | SERVICE_CHANGE_CONFIG);
    ASSERT_NE(nullptr, service) << "error " << GetLastError();
    DWORD needed = 0;
    QueryServiceConfigW(service, nullptr, 0, &needed);
    std::vector<BYTE> buffer(needed + 16);
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    ASSERT_TRUE(QueryServiceConfigW(service, config, static_cast<DWORD>(buffer.size()), &needed));
    EXPECT_EQ(static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS), config->dwServiceType & ~SERVICE_INTERACTIVE_PROCESS);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_AUTO_START), config->dwStartType);
    // Quoted, so a blank in the folder cannot pick another program.
    EXPECT_EQ(L"\"" + std::wstring(kTestProgram) + L"\"", std::wstring(config->lpBinaryPathName));
    EXPECT_EQ(std::wstring(kServiceDescription), Description(service));

    // Installing again succeeds and puts the description back.
    SERVICE_DESCRIPTIONW other = {const_cast<wchar_t*>(L"changed")};
    ASSERT_TRUE(ChangeServiceConfig2W(service, SERVICE_CONFIG_DESCRIPTION, &other));
    EXPECT_EQ("It successed to install service.\n", RunPelvane(L" -INSTALL").output);
    EXPECT_EQ(std::wstring(kServiceDescription), Description(service));
    CloseServiceHandle(service);

    RunResult uninstall = RunPelvane(L" /uninstall");
    EXPECT_EQ("It successed to uninstall service.\n", uninstall.output) << "exit code " << uninstall.exitCode;
    EXPECT_EQ(nullptr, OpenServiceW(manager_, L"pelvane", SERVICE_QUERY_STATUS));
    EXPECT_EQ("It failed to uninstall the service. error: 1\n", RunPelvane(L" /uninstall").output);
}

TEST_F(ServiceScm, RunningWhileWaitingStopHonouredAndOrderFixed) {
    ASSERT_EQ("It successed to install service.\n", RunPelvane(L" /install").output);
    SetAutorun(0);
    // Given in the other order, start still runs first; the service reports
    // RUNNING while it waits for the shell and takes the stop in that wait.
    RunResult both = RunPelvane(L" /stop_until_stopped /start_until_running");
    EXPECT_EQ("It successed to start service.\nIt successed to stop service.\n", both.output);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), State());
    // A stop of a stopped service fails with the manager's answer.
    EXPECT_EQ("It failed to stop the service. error: 1062\n", RunPelvane(L" /stop").output);

    // With automatic start off the work ends at once and the service stops by
    // itself. The start then races that stop: the manager may answer success,
    // or, when the process has already ended, an error of its own (Wine gives
    // -536870888 or 1053, the latter on a busy machine).
    SetAutorun(1);
    RunResult start = RunPelvane(L" /start_until_running");
    EXPECT_TRUE(start.output == "It successed to start service.\n" ||
                start.output == "It failed to start the service. error: -536870888\n" ||
                start.output == "It failed to start the service. error: 1053\n")
        << start.output;
    DWORD state = 0;
    for (int i = 0; i < 300 && (state = State()) != SERVICE_STOPPED; ++i) Sleep(100);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), state);
    RunPelvane(L" /uninstall");
}

TEST_F(ServiceScm, UsageAndDispatcherOutsideServiceManager) {
    RunResult usage = RunPelvane(L" /unknown");
    EXPECT_EQ(0u, usage.exitCode);
    EXPECT_EQ(0u, usage.output.find("It accept the parameter is:\npelvane.exe /install  : install the service.\n"));

    RunResult plain = RunPelvane(L"");
    EXPECT_EQ(static_cast<DWORD>(ERROR_FAILED_SERVICE_CONTROLLER_CONNECT), plain.exitCode);
    EXPECT_EQ("It failed to StartServiceCtrlDispatcher. error: 1063\n", plain.output);

    EXPECT_EQ("It failed to start the service. error: 1060\n", RunPelvane(L" -start").output);
}

} // namespace
