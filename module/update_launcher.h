#pragma once
// The front of the updater: runs an update with progress reports or in the
// background, and hands deferred replacements to the re-update program.
#include <windows.h>
#include <unknwn.h>

#include <string>
#include <utility>
#include <vector>

#include "module/update_task.h"

// {981C3F3B-7944-4B51-A8FA-F6587CE01137}
inline constexpr GUID IID_IUpdateLauncher = {
    0x981c3f3b, 0x7944, 0x4b51, {0xa8, 0xfa, 0xf6, 0x58, 0x7c, 0xe0, 0x11, 0x37}};

// Progress of a run, implemented by the caller (no IUnknown operations).
class IUpdateNotify {
public:
    // Non-zero to go on, 0 to cancel.
    virtual int STDMETHODCALLTYPE OnProgress(const wchar_t* text, int length, int percent) = 0;
    virtual int STDMETHODCALLTYPE OnFinished(int result) = 0;

protected:
    ~IUpdateNotify() = default;
};

struct IUpdateLauncher {
    virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) = 0;
    virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE Release() = 0;
    virtual HRESULT STDMETHODCALLTYPE IsMethodSupported(unsigned index) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetProductId(DWORD id) = 0;
    virtual int STDMETHODCALLTYPE UpdateWithProgress(IUpdateNotify* notify) = 0;
    virtual HRESULT STDMETHODCALLTYPE LaunchReupdate(const wchar_t* text, int length) = 0;
    virtual HRESULT STDMETHODCALLTYPE UpdateInBackground() = 0;
};

// The argument line of the re-update program: " -name:value" per entry
// (" -name" when the value is empty), names without regard to case.
class CCommandArgs {
public:
    void Set(const std::wstring& name, const std::wstring& value);
    std::wstring Line() const;

private:
    std::vector<std::pair<std::wstring, std::wstring>> args_;
};

// "-", "/" and "\" become "$"; blanks and ":" become "&".
std::wstring EscapeReupdateText(const std::wstring& text);

// Runs proc(&task) on a thread and reports the task's status text and
// percent to notify about every 100 ms; an answer of 0 sets the stop event,
// waits for the thread and gives UPD_S_CANCELLED. Else the thread's exit
// code; UPD_E_NO_THREAD when the thread could not start.
int RunWithProgress(unsigned(__stdcall* proc)(void*), CUpdateTask& task, IUpdateNotify* notify);

class CUpdateLauncher : public IUpdateLauncher {
public:
    // Location: the installed files and the update server. Program: what the
    // re-update program starts again (this process's program when empty).
    explicit CUpdateLauncher(UpdateLocation location, std::wstring program = std::wstring());
    virtual ~CUpdateLauncher() = default;
    CUpdateLauncher(const CUpdateLauncher&) = delete;
    CUpdateLauncher& operator=(const CUpdateLauncher&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    // Deletes a launcher made with new at 0; embedded ones are never released to 0.
    ULONG STDMETHODCALLTYPE Release() override;
    // S_OK for SetProductId, UpdateWithProgress and LaunchReupdate (0-2).
    HRESULT STDMETHODCALLTYPE IsMethodSupported(unsigned index) override;
    HRESULT STDMETHODCALLTYPE SetProductId(DWORD id) override;
    // Blocks until the run ends: 0, 1, UPD_S_RESTART_NEEDED, UPD_S_CANCELLED
    // or negative. OnFinished gets the same value.
    int STDMETHODCALLTYPE UpdateWithProgress(IUpdateNotify* notify) override;
    // Writes [RUN] PATH into "update\pemour.dat" and starts "reupd.exe"
    // from the folder with -pid:<this process> [-cmd:<escaped text>].
    // E_INVALIDARG when the length does not match; the HRESULT of a missing
    // "reupd.exe" (looked for first: then nothing is written), of a list
    // that cannot be written or of a program that cannot be started.
    HRESULT STDMETHODCALLTYPE LaunchReupdate(const wchar_t* text, int length) override;
    // Starts a run on a thread of its own and returns; UPD_E_NO_THREAD when
    // the thread could not start.
    HRESULT STDMETHODCALLTYPE UpdateInBackground() override;

    DWORD ProductId() const noexcept { return productId_; }
    bool RestartNeeded() const noexcept { return restartNeeded_; }
    const UpdateLocation& Location() const noexcept { return location_; }

private:
    LONG refs_ = 1;
    DWORD productId_ = 0;
    bool restartNeeded_ = false;
    UpdateLocation location_;
    std::wstring program_;
};
