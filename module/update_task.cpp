#include "module/update_task.h"

#include <utility>

#include "platform/module_path.h"
#include "platform/trace.h"
#include "service/log.h"

HMODULE GetLibraryModule() {
    HMODULE self = nullptr;
    if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                              reinterpret_cast<LPCWSTR>(&GetLibraryModule), &self)) {
        platform::TraceLastError("GetLibraryModule: GetModuleHandleExW");
    }
    return self;
}

std::wstring GetModulePath(HMODULE module) { return platform::ModuleFileName(module); }

std::wstring GetModuleFolder() {
    HMODULE self = GetLibraryModule();
    const std::wstring path = self ? GetModulePath(self) : std::wstring();
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

CUpdateTask::CUpdateTask(std::wstring channelToken, UpdateLocation location)
    : ChannelToken(std::move(channelToken)), Location(std::move(location)) {
    if (!Location.Folder.empty() && Location.Folder.back() != L'\\') Location.Folder += L'\\';
    stop_.Reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!stop_) platform::TraceLastError("CUpdateTask: CreateEventW");
    ModuleLog(L"%ls", Location.Folder.c_str());
}

bool CUpdateTask::StopRequested() const noexcept {
    return stop_ && ::WaitForSingleObject(stop_.Get(), 0) == WAIT_OBJECT_0;
}

void CUpdateTask::RequestStop() noexcept {
    if (stop_) ::SetEvent(stop_.Get());
}

void CUpdateTask::SetStatusText(const std::wstring& text) {
    platform::ScopedLock lock(statusLock_);
    status_ = text;
}

std::wstring CUpdateTask::StatusText() {
    platform::ScopedLock lock(statusLock_);
    return status_;
}
