#include "module/update_launcher.h"

#include <process.h>

#include <cwchar>
#include <memory>

#include "module/update_worker.h"
#include "platform/handle.h"
#include "service/log.h"

namespace {

constexpr DWORD kProgressPollMs = 100;

HRESULT LastErrorResult() {
    const DWORD error = ::GetLastError();
    return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
}

unsigned __stdcall BackgroundUpdateThread(void* param) {
    // The run owns its task: nothing else holds it once the caller has returned.
    std::unique_ptr<CUpdateTask> task(static_cast<CUpdateTask*>(param));
    const unsigned rc = UpdateWorkerThread(task.get());
    UpdateLog(L"Background update ended with 0x%08X", rc);
    return rc;
}

} // namespace

void CCommandArgs::Set(const std::wstring& name, const std::wstring& value) {
    for (auto& arg : args_) {
        if (::CompareStringOrdinal(arg.first.c_str(), -1, name.c_str(), -1, TRUE) == CSTR_EQUAL) {
            arg.second = value;
            return;
        }
    }
    args_.emplace_back(name, value);
}

std::wstring CCommandArgs::Line() const {
    std::wstring line;
    for (const auto& arg : args_) {
        line += L" -" + arg.first;
        if (!arg.second.empty()) line += L":" + arg.second;
    }
    return line;
}

std::wstring EscapeReupdateText(const std::wstring& text) {
    std::wstring escaped = text;
    for (auto& c : escaped) {
        if (c == L'-' || c == L'/' || c == L'\\') c = L'$';
        else if (c == L' ' || c == L':') c = L'&';
    }
    return escaped;
}

int RunWithProgress(unsigned(__stdcall* proc)(void*), CUpdateTask& task, IUpdateNotify* notify) {
    platform::UniqueHandle thread(
        reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, proc, &task, 0, nullptr)));
    if (!thread) {
        UpdateLog(L"Cannot start the update thread, error %lu", static_cast<unsigned long>(::GetLastError()));
        return UPD_E_NO_THREAD;
    }
    while (::WaitForSingleObject(thread.Get(), kProgressPollMs) == WAIT_TIMEOUT) {
        if (!notify) continue;
        const std::wstring text = task.StatusText();
        const int percent = static_cast<int>(task.Root.Value() * 100.0);
        if (notify->OnProgress(text.c_str(), static_cast<int>(text.size()), percent) == 0) {
            task.RequestStop();
            ::WaitForSingleObject(thread.Get(), INFINITE);
            return UPD_S_CANCELLED;
        }
    }
    DWORD code = 0;
    ::GetExitCodeThread(thread.Get(), &code);
    return static_cast<int>(code);
}

CUpdateLauncher::CUpdateLauncher(UpdateLocation location, std::wstring program)
    : location_(std::move(location)), program_(std::move(program)) {
    if (!location_.Folder.empty() && location_.Folder.back() != L'\\') location_.Folder += L'\\';
}

HRESULT CUpdateLauncher::QueryInterface(REFIID riid, void** out) {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    if (riid != IID_IUnknown && riid != IID_IUpdateLauncher) return E_NOINTERFACE;
    AddRef();
    *out = static_cast<IUpdateLauncher*>(this);
    return S_OK;
}

ULONG CUpdateLauncher::AddRef() { return static_cast<ULONG>(::InterlockedIncrement(&refs_)); }

ULONG CUpdateLauncher::Release() {
    const LONG left = ::InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
}

HRESULT CUpdateLauncher::IsMethodSupported(unsigned index) { return index < 3 ? S_OK : E_NOINTERFACE; }

HRESULT CUpdateLauncher::SetProductId(DWORD id) {
    productId_ = id;
    return S_OK;
}

int CUpdateLauncher::UpdateWithProgress(IUpdateNotify* notify) {
    CUpdateTask task(ChannelToken(productId_), location_);
    task.DeferFlag = true;
    const int result = RunWithProgress(&UpdateWorkerThread, task, notify);
    if (result == UPD_S_RESTART_NEEDED) restartNeeded_ = true;
    if (notify) notify->OnFinished(result);
    return result;
}

HRESULT CUpdateLauncher::UpdateInBackground() {
    auto task = std::make_unique<CUpdateTask>(ChannelToken(productId_), location_);
    task->DeferFlag = true;
    platform::UniqueHandle thread(
        reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &BackgroundUpdateThread, task.get(), 0, nullptr)));
    if (!thread) {
        UpdateLog(L"Cannot start the background update, error %lu", static_cast<unsigned long>(::GetLastError()));
        return UPD_E_NO_THREAD;
    }
    task.release();  // the thread deletes it
    return S_OK;
}

HRESULT CUpdateLauncher::LaunchReupdate(const wchar_t* text, int length) {
    if (text && std::wcslen(text) != static_cast<size_t>(length < 0 ? -1 : length)) return E_INVALIDARG;
    const std::wstring escaped = text ? EscapeReupdateText(text) : std::wstring();
    CCommandArgs args;
    args.Set(L"pid", std::to_wstring(::GetCurrentProcessId()));
    if (!escaped.empty()) args.Set(L"cmd", escaped);

    // By its full path, never through a search, and in its own folder. It is
    // looked for before the list is touched: a list that names a program to
    // restart but has no re-update program to carry it out would be found at
    // every start and hold the updates back for good.
    const std::wstring reupd = location_.Folder + L"reupd.exe";
    const DWORD attributes = ::GetFileAttributesW(reupd.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        const HRESULT hr =
            attributes == INVALID_FILE_ATTRIBUTES ? LastErrorResult() : HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
        UpdateLog(L"No re-update program %ls (0x%08lX); nothing written", reupd.c_str(),
                  static_cast<unsigned long>(hr));
        return hr;
    }

    const std::wstring program = program_.empty() ? GetModulePath(nullptr) : program_;
    const std::wstring list = location_.Folder + L"update\\pemour.dat";
    if (program.empty() || !WriteDeferredValue(list, L"RUN", L"PATH", program)) {
        UpdateLog(L"Cannot name the program to restart in %ls", list.c_str());
        return HRESULT_FROM_WIN32(ERROR_WRITE_FAULT);
    }

    std::wstring commandLine = L"\"" + reupd + L"\"" + args.Line();
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!::CreateProcessW(reupd.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                          location_.Folder.c_str(), &startup, &info)) {
        const HRESULT hr = LastErrorResult();
        UpdateLog(L"Cannot start %ls, error 0x%08lX", reupd.c_str(), static_cast<unsigned long>(hr));
        return hr;
    }
    ::CloseHandle(info.hThread);
    ::CloseHandle(info.hProcess);
    return S_OK;
}
