#include "service/session_launch.h"

#include <cwchar>

namespace {

std::wstring ErrorLine(const wchar_t* what, DWORD error) {
    wchar_t line[160];
    std::swprintf(line, sizeof(line) / sizeof(line[0]), L"%ls, error: %lu", what, static_cast<unsigned long>(error));
    return line;
}

// Closes a token through the seam when the scope ends.
class TokenGuard {
public:
    TokenGuard(ISessionSystem& system, HANDLE token) : system_(system), token_(token) {}
    ~TokenGuard() {
        if (token_) system_.CloseToken(token_);
    }
    TokenGuard(const TokenGuard&) = delete;
    TokenGuard& operator=(const TokenGuard&) = delete;
    HANDLE Get() const { return token_; }

private:
    ISessionSystem& system_;
    HANDLE token_;
};

DWORD QueryActiveUserToken(ISessionSystem& system, HANDLE* token) {
    DWORD sessionId = 0;
    DWORD error = system.GetActiveSessionId(&sessionId);
    if (error != NO_ERROR) {
        system.Log(ErrorLine(L"No active session", error));
        return error;
    }
    error = system.QueryUserToken(sessionId, token);
    if (error != NO_ERROR) system.Log(ErrorLine(L"WTSQueryUserToken failed", error));
    return error;
}

DWORD GetExplorerTokenLogged(ISessionSystem& system, HANDLE* token) {
    DWORD error = system.GetExplorerToken(token);
    if (error != NO_ERROR) system.Log(ErrorLine(L"No token of explorer.exe", error));
    return error;
}

bool HasDriveAt(const std::wstring& path, size_t colon) {
    return path.size() > colon + 1 && path[colon] == L':';
}

using TokenChoice = DWORD (*)(ISessionSystem&, HANDLE*);

DWORD CreateProcessWithToken(ISessionSystem& system, const std::wstring& path, const std::wstring& serviceFolder,
                             TokenChoice chooseToken) {
    std::wstring resolved;
    if (!ResolveProgramPath(path, serviceFolder, &resolved)) {
        system.Log(ErrorLine(L"Program path too long", ERROR_FILENAME_EXCED_RANGE));
        return ERROR_FILENAME_EXCED_RANGE;
    }
    HANDLE rawToken = nullptr;
    DWORD tokenError = chooseToken(system, &rawToken);
    if (tokenError != NO_ERROR) return tokenError;
    if (rawToken == nullptr) return ERROR_NO_TOKEN;
    TokenGuard token(system, rawToken);

    // The program file itself is named separately and the command line is
    // quoted: an unquoted path with blanks could start another program
    // ("C:\Program.exe"), and a quoted one hides dashes in folder names from
    // the search program's option parser.
    std::wstring application = resolved;
    if (!application.empty() && application[0] == L'"') {
        application.erase(0, 1);
        size_t close = application.find(L'"');
        if (close != std::wstring::npos) application.erase(close);
    }
    const std::wstring commandLine = L"\"" + application + L"\"";

    void* environment = system.CreateEnvironment(token.Get());
    const DWORD flags = environment ? kLaunchFlagsWithEnvironment : kLaunchFlagsPlain;
    const DWORD error = system.CreateProcessAsUser(token.Get(), application, commandLine, flags, environment);
    if (environment) system.DestroyEnvironment(environment);
    if (error != NO_ERROR) {
        system.Log(ErrorLine((L"CreateProcessAsUserW " + application + L" failed").c_str(), error));
    }
    return error;
}

} // namespace

bool ResolveProgramPath(const std::wstring& path, const std::wstring& folder, std::wstring* resolved) {
    std::wstring result;
    if (HasDriveAt(path, 1) || (!path.empty() && path[0] == L'"' && HasDriveAt(path, 2))) {
        result = path;
    } else {
        result = folder;
        if (!result.empty() && result.back() != L'\\' && !(path.size() && path[0] == L'\\')) result += L'\\';
        result += path;
    }
    if (result.size() >= MAX_PATH) return false;
    *resolved = result;
    return true;
}

DWORD GetUserTokenOnVista(ISessionSystem& system, HANDLE* token) {
    *token = nullptr;
    HANDLE chosen = nullptr;
    DWORD error = QueryActiveUserToken(system, &chosen);
    if (error != NO_ERROR || chosen == nullptr) {
        chosen = nullptr;
        error = GetExplorerTokenLogged(system, &chosen);
        if (error != NO_ERROR) return error;
        if (chosen == nullptr) return ERROR_NO_TOKEN;
    }
    // A filtered administrator token has the full one linked to it; the
    // search program needs the full rights.
    if (HANDLE linked = system.GetLinkedToken(chosen)) {
        system.CloseToken(chosen);
        chosen = linked;
    }
    *token = chosen;
    return NO_ERROR;
}

DWORD GetUserTokenOnXp(ISessionSystem& system, HANDLE* token) {
    *token = nullptr;
    DWORD platformId = 0, major = 0, minor = 0;
    system.GetWindowsVersion(&platformId, &major, &minor);
    if (major == 5 && minor == 0) {
        // Windows 2000 has no terminal-services token query.
        DWORD error = GetExplorerTokenLogged(system, token);
        return error == NO_ERROR && *token == nullptr ? ERROR_NO_TOKEN : error;
    }
    HANDLE chosen = nullptr;
    if (QueryActiveUserToken(system, &chosen) == NO_ERROR && chosen != nullptr) {
        *token = chosen;
        return NO_ERROR;
    }
    chosen = nullptr;
    DWORD error = GetExplorerTokenLogged(system, &chosen);
    if (error != NO_ERROR) return error;
    if (chosen == nullptr) return ERROR_NO_TOKEN;
    *token = chosen;
    return NO_ERROR;
}

DWORD CreateProcessAsActivedUserOnVista(ISessionSystem& system, const std::wstring& path,
                                        const std::wstring& serviceFolder) {
    return CreateProcessWithToken(system, path, serviceFolder, &GetUserTokenOnVista);
}

DWORD CreateProcessAsActivedUser(ISessionSystem& system, const std::wstring& path, const std::wstring& serviceFolder) {
    return CreateProcessWithToken(system, path, serviceFolder, &GetUserTokenOnXp);
}

DWORD RunSessionLaunch(ISessionSystem& system, const std::wstring& programFolder) {
    // The user switched automatic start off in the search program.
    if (system.ReadAutorun() == 1) return NO_ERROR;

    // The user's session is usable once its shell runs.
    for (;;) {
        const bool found = system.IsExplorerRunning();
        if (!system.Sleep(kExplorerPollMs)) return NO_ERROR;  // the service is being stopped
        if (found) break;
    }

    if (programFolder.empty()) {
        system.Log(ErrorLine(L"No program folder", ERROR_PATH_NOT_FOUND));
        return ERROR_PATH_NOT_FOUND;
    }
    const std::wstring program = programFolder + L"\\lumsek.exe";
    if (program.size() >= MAX_PATH) {
        system.Log(ErrorLine(L"Program path too long", ERROR_FILENAME_EXCED_RANGE));
        return ERROR_FILENAME_EXCED_RANGE;
    }

    DWORD platformId = 0, major = 0, minor = 0;
    system.GetWindowsVersion(&platformId, &major, &minor);
    // No retry: the service runs once per boot and stops.
    DWORD error = NO_ERROR;
    if (platformId == VER_PLATFORM_WIN32_NT && major >= 6) {
        error = CreateProcessAsActivedUserOnVista(system, program, programFolder);
        if (error != NO_ERROR) system.Log(L"CreateProcessAsActivedUserOnVista FAILD");
    } else {
        error = CreateProcessAsActivedUser(system, program, programFolder);
        if (error != NO_ERROR) system.Log(L"CreateProcessAsActivedUser FAILD");
    }
    return error;
}
