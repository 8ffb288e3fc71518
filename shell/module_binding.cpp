#include "shell/module_binding.h"

#include <ctime>

#include "platform/handle.h"
#include "platform/trace.h"

bool ModuleLibraryPath(const std::wstring& programPath, std::wstring* libraryPath) {
    if (programPath.empty() || programPath.size() >= MAX_PATH) return false;
    const size_t slash = programPath.rfind(L'\\');
    std::wstring path = slash == std::wstring::npos ? std::wstring() : programPath.substr(0, slash);
    path += L"\\Lumsek.dll";
    if (path.size() >= MAX_PATH) return false;
    *libraryPath = path;
    return true;
}

CModuleBinding::CModuleBinding(std::wstring libraryPath) : libraryPath_(std::move(libraryPath)) {}

void CModuleBinding::Bind() {
    if (library_) return;
    std::wstring path = libraryPath_;
    if (path.empty()) {
        // A larger buffer than MAX_PATH, so a long program path is seen as
        // long instead of arriving cut.
        std::wstring program(32768, L'\0');
        DWORD length = ::GetModuleFileNameW(nullptr, &program[0], static_cast<DWORD>(program.size()));
        program.resize(length < program.size() ? length : 0);
        if (!ModuleLibraryPath(program, &path)) {
            platform::Trace("module library: program path too long, not bound");
            return;
        }
    }
    library_ = ::LoadLibraryW(path.c_str());
    if (!library_) {
        platform::TraceLastError("loading Lumsek.dll");
        return;
    }
    auto getClassObject = reinterpret_cast<PFN_GetClassObject>(
        reinterpret_cast<void*>(::GetProcAddress(library_, kGetClassObjectExport)));
    if (!getClassObject) {
        platform::TraceLastError("GetClassObject of Lumsek.dll");
        return;
    }
    void* object = nullptr;
    getClassObject(IID_IModuleObject, &object);
    // The library answers S_OK even when it could not make the object: the
    // pointer is what counts.
    object_ = static_cast<IModuleObject*>(object);
}

bool CModuleBinding::IsMethodPresent(unsigned index) const {
    return library_ && object_ && object_->IsMethodSupported(index) != E_NOINTERFACE;
}

bool CModuleBinding::Report(const wchar_t* event, const wchar_t* params) const {
    if (!IsMethodPresent(MODULE_METHOD_REPORT)) return false;
    object_->Report(event, params);
    return true;
}

bool CModuleBinding::LaunchReupdate() const {
    if (!IsMethodPresent(MODULE_METHOD_LAUNCH_REUPDATE)) return false;
    const HRESULT hr = object_->LaunchReupdate();
    if (FAILED(hr)) platform::Trace("LaunchReupdate failed, 0x%08lx", static_cast<unsigned long>(hr));
    return SUCCEEDED(hr);
}

DWORD WINAPI CModuleBinding::BackgroundUpdateThreadProc(void* object) {
    return static_cast<DWORD>(static_cast<IModuleObject*>(object)->UpdateInBackground());
}

HRESULT CModuleBinding::StartBackgroundUpdate() const {
    if (!IsMethodPresent(MODULE_METHOD_UPDATE_IN_BACKGROUND)) return E_NOINTERFACE;
    // The thread gets the object itself, which lives as long as the library.
    platform::UniqueHandle thread(::CreateThread(nullptr, 0, &BackgroundUpdateThreadProc, object_, 0, nullptr));
    if (!thread) {
        const DWORD error = ::GetLastError();
        platform::TraceLastError("starting the background update");
        return HRESULT_FROM_WIN32(error ? error : ERROR_NOT_ENOUGH_MEMORY);
    }
    // Never waited for: the handle closes here, the thread runs on.
    return S_OK;
}

CModuleBinding& GetModuleBinding() {
    static CModuleBinding binding;
    if (!binding.Library()) binding.Bind();
    return binding;
}

void ReportRunEvent() {
    const std::wstring params = L"ctime=" + std::to_wstring(static_cast<long long>(_time64(nullptr)));
    GetModuleBinding().Report(L"run", params.c_str());
}

void ReportBootStartEvent(bool startAtBoot) {
    GetModuleBinding().Report(L"bootstart", startAtBoot ? L"bstart=1" : L"bstart=0");
}
