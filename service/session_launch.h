#pragma once
// Starting the search program in the active user's session at boot. The
// decisions live here; every system call goes through ISessionSystem so the
// decisions can be driven without a real logon session.
#include <windows.h>

#include <string>

// The system calls the launch needs. Calls that fail answer a Win32 error.
class ISessionSystem {
public:
    virtual ~ISessionSystem() = default;

    // HKLM "Software\Lumsek" "autorun" (the key is created when missing);
    // 0 when the value is missing or not a DWORD.
    virtual DWORD ReadAutorun() = 0;
    virtual bool IsExplorerRunning() = 0;
    // Waits `ms`; false when a stop was asked for meanwhile (the wait ends then).
    virtual bool Sleep(DWORD ms) = 0;
    virtual void GetWindowsVersion(DWORD* platformId, DWORD* major, DWORD* minor) = 0;

    // The first session in the active state; ERROR_NOT_FOUND when none.
    virtual DWORD GetActiveSessionId(DWORD* sessionId) = 0;
    virtual DWORD QueryUserToken(DWORD sessionId, HANDLE* token) = 0;
    // The token of the first "explorer.exe" process.
    virtual DWORD GetExplorerToken(HANDLE* token) = 0;
    // The token linked to `token` (the full one of a filtered administrator),
    // or null when it has none.
    virtual HANDLE GetLinkedToken(HANDLE token) = 0;
    virtual void CloseToken(HANDLE token) = 0;

    // Null when no block could be made for the token.
    virtual void* CreateEnvironment(HANDLE token) = 0;
    virtual void DestroyEnvironment(void* block) = 0;
    // Starts the program and closes its handles at once (no wait).
    virtual DWORD CreateProcessAsUser(HANDLE token, const std::wstring& application,
                                      const std::wstring& commandLine, DWORD flags,
                                      void* environment) = 0;

    // One line of the service log.
    virtual void Log(const std::wstring& line) = 0;
};

// Seconds between looks for the shell; the last, successful look waits too.
constexpr DWORD kExplorerPollMs = 10000;
constexpr DWORD kLaunchFlagsWithEnvironment = CREATE_NEW_CONSOLE | NORMAL_PRIORITY_CLASS | CREATE_UNICODE_ENVIRONMENT;
constexpr DWORD kLaunchFlagsPlain = CREATE_NEW_CONSOLE | NORMAL_PRIORITY_CLASS;
static_assert(kLaunchFlagsWithEnvironment == 0x430 && kLaunchFlagsPlain == 0x30, "creation flags");

// The service's work, once per start: unless "autorun" is 1, wait for the
// shell, then start <programFolder>\lumsek.exe in the active user's session.
// Answers NO_ERROR when nothing was to be done, the program was started or a
// stop ended the wait for the shell, else the Win32 error of the failed step.
DWORD RunSessionLaunch(ISessionSystem& system, const std::wstring& programFolder);

// A path with a drive (optionally inside a leading quote) is taken as it is;
// any other is joined to `folder`. False when the result is 260 characters
// or longer.
bool ResolveProgramPath(const std::wstring& path, const std::wstring& folder, std::wstring* resolved);

// The token to start the program with, by the rules of each system family;
// the caller closes it. Answer NO_ERROR or the Win32 error.
DWORD GetUserTokenOnVista(ISessionSystem& system, HANDLE* token);
DWORD GetUserTokenOnXp(ISessionSystem& system, HANDLE* token);

// Starts `path` with the user token of the active session; NO_ERROR or the
// Win32 error of the failed step.
DWORD CreateProcessAsActivedUserOnVista(ISessionSystem& system, const std::wstring& path,
                                        const std::wstring& serviceFolder);
DWORD CreateProcessAsActivedUser(ISessionSystem& system, const std::wstring& path,
                                 const std::wstring& serviceFolder);

// The real system calls.
class CSystemSession : public ISessionSystem {
public:
    // `stopEvent` (may be null) ends the waits as soon as it is set.
    explicit CSystemSession(HANDLE stopEvent = nullptr) noexcept : stopEvent_(stopEvent) {}
    DWORD ReadAutorun() override;
    bool IsExplorerRunning() override;
    bool Sleep(DWORD ms) override;
    void GetWindowsVersion(DWORD* platformId, DWORD* major, DWORD* minor) override;
    DWORD GetActiveSessionId(DWORD* sessionId) override;
    DWORD QueryUserToken(DWORD sessionId, HANDLE* token) override;
    DWORD GetExplorerToken(HANDLE* token) override;
    HANDLE GetLinkedToken(HANDLE token) override;
    void CloseToken(HANDLE token) override;
    void* CreateEnvironment(HANDLE token) override;
    void DestroyEnvironment(void* block) override;
    DWORD CreateProcessAsUser(HANDLE token, const std::wstring& application, const std::wstring& commandLine,
                              DWORD flags, void* environment) override;
    void Log(const std::wstring& line) override;

private:
    HANDLE stopEvent_;
};

// The Toolhelp look for a process by executable name (case ignored); 0 when
// none runs.
DWORD FindProcessIdByName(const wchar_t* exeName);
inline DWORD FindExplorerProcessId() { return FindProcessIdByName(L"explorer.exe"); }

// The folder of this program, without a trailing backslash; empty when the
// path cannot be had or is too long.
std::wstring GetOwnProgramFolder();
