// The real system calls behind the session launch.
#include "service/session_launch.h"

#include <tlhelp32.h>

#include <cwchar>
#include <vector>

#include "platform/handle.h"
#include "platform/system_api.h"
#include "service/log.h"

namespace {

const wchar_t kLumsekKey[] = L"Software\\Lumsek";

} // namespace

DWORD FindProcessIdByName(const wchar_t* exeName) {
    platform::FileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot.IsValid()) return 0;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more; more = ::Process32NextW(snapshot.Get(), &entry)) {
        if (::CompareStringOrdinal(entry.szExeFile, -1, exeName, -1, TRUE) == CSTR_EQUAL) return entry.th32ProcessID;
    }
    return 0;
}

std::wstring GetOwnProgramFolder() {
    wchar_t path[MAX_PATH + 1] = {};
    DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return std::wstring();
    std::wstring folder(path, n);
    size_t slash = folder.find_last_of(L'\\');
    if (slash == std::wstring::npos) return std::wstring();
    folder.erase(slash);
    return folder;
}

DWORD CSystemSession::ReadAutorun() {
    HKEY key = nullptr;
    LONG rc = ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kLumsekKey, 0, nullptr, 0,
                                KEY_READ | KEY_CREATE_SUB_KEY | KEY_SET_VALUE, nullptr, &key, nullptr);
    if (rc != ERROR_SUCCESS) {
        Log(L"Cannot open HKLM\\Software\\Lumsek, error: " + std::to_wstring(rc));
        return 0;
    }
    DWORD value = 0;
    DWORD type = 0;
    DWORD size = sizeof(value);
    rc = ::RegQueryValueExW(key, L"autorun", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    ::RegCloseKey(key);
    // Anything but a DWORD reads as "not switched off".
    if (rc != ERROR_SUCCESS || type != REG_DWORD || size != sizeof(value)) return 0;
    return value;
}

bool CSystemSession::IsExplorerRunning() { return FindExplorerProcessId() != 0; }

bool CSystemSession::Sleep(DWORD ms) {
    if (stopEvent_ == nullptr) {
        ::Sleep(ms);
        return true;
    }
    return ::WaitForSingleObject(stopEvent_, ms) == WAIT_TIMEOUT;
}

void CSystemSession::GetWindowsVersion(DWORD* platformId, DWORD* major, DWORD* minor) {
    OSVERSIONINFOW info = {};
    info.dwOSVersionInfoSize = sizeof(info);
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#endif
    const BOOL ok = ::GetVersionExW(&info);
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
    *platformId = ok ? info.dwPlatformId : 0;
    *major = ok ? info.dwMajorVersion : 0;
    *minor = ok ? info.dwMinorVersion : 0;
}

DWORD CSystemSession::GetActiveSessionId(DWORD* sessionId) {
    const platform::SystemApi& api = platform::GetSystemApi();
    if (!api.WTSEnumerateSessionsW || !api.WTSFreeMemory) return ERROR_PROC_NOT_FOUND;
    PWTS_SESSION_INFOW sessions = nullptr;
    DWORD count = 0;
    if (!api.WTSEnumerateSessionsW(WTS_CURRENT_SERVER_HANDLE, 0, 1, &sessions, &count)) return ::GetLastError();
    DWORD error = ERROR_NOT_FOUND;
    for (DWORD i = 0; sessions != nullptr && i < count; ++i) {
        if (sessions[i].State == WTSActive) {
            *sessionId = sessions[i].SessionId;
            error = NO_ERROR;
            break;
        }
    }
    if (sessions) api.WTSFreeMemory(sessions);
    return error;
}

DWORD CSystemSession::QueryUserToken(DWORD sessionId, HANDLE* token) {
    const platform::SystemApi& api = platform::GetSystemApi();
    if (!api.WTSQueryUserToken) return ERROR_PROC_NOT_FOUND;
    *token = nullptr;
    if (!api.WTSQueryUserToken(sessionId, token)) {
        DWORD error = ::GetLastError();
        *token = nullptr;
        return error != NO_ERROR ? error : ERROR_NO_TOKEN;
    }
    return *token ? NO_ERROR : ERROR_NO_TOKEN;
}

DWORD CSystemSession::GetExplorerToken(HANDLE* token) {
    *token = nullptr;
    const DWORD pid = FindExplorerProcessId();
    if (pid == 0) return ERROR_NOT_FOUND;
    platform::UniqueHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid));
    if (!process.IsValid()) return ::GetLastError();
    if (!::OpenProcessToken(process.Get(), TOKEN_ALL_ACCESS, token)) {
        *token = nullptr;
        return ::GetLastError();
    }
    return NO_ERROR;
}

HANDLE CSystemSession::GetLinkedToken(HANDLE token) {
    TOKEN_LINKED_TOKEN linked = {};
    DWORD size = 0;
    if (!::GetTokenInformation(token, TokenLinkedToken, &linked, sizeof(linked), &size)) return nullptr;
    return linked.LinkedToken;
}

void CSystemSession::CloseToken(HANDLE token) {
    if (token) ::CloseHandle(token);
}

void* CSystemSession::CreateEnvironment(HANDLE token) {
    const platform::SystemApi& api = platform::GetSystemApi();
    if (!api.CreateEnvironmentBlock || !api.DestroyEnvironmentBlock) return nullptr;
    void* block = nullptr;
    if (!api.CreateEnvironmentBlock(&block, token, FALSE)) {
        Log(L"CreateEnvironmentBlock failed, error: " + std::to_wstring(::GetLastError()));
        return nullptr;
    }
    return block;
}

void CSystemSession::DestroyEnvironment(void* block) {
    const platform::SystemApi& api = platform::GetSystemApi();
    if (block && api.DestroyEnvironmentBlock) api.DestroyEnvironmentBlock(block);
}

DWORD CSystemSession::CreateProcessAsUser(HANDLE token, const std::wstring& application,
                                          const std::wstring& commandLine, DWORD flags, void* environment) {
    wchar_t desktop[] = L"Winsta0\\Default";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.lpDesktop = desktop;
    PROCESS_INFORMATION info = {};
    // The command line must be writable.
    std::vector<wchar_t> command(commandLine.begin(), commandLine.end());
    command.push_back(L'\0');
    if (!::CreateProcessAsUserW(token, application.c_str(), command.data(), nullptr, nullptr, FALSE, flags,
                                environment, nullptr, &startup, &info)) {
        return ::GetLastError();
    }
    ::CloseHandle(info.hThread);
    ::CloseHandle(info.hProcess);
    return NO_ERROR;
}

void CSystemSession::Log(const std::wstring& line) { ServiceLog(L"%ls", line.c_str()); }
