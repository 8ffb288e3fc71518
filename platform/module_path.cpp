#include "platform/module_path.h"

#include "platform/trace.h"

namespace platform {

namespace {

// The longest path the system hands out ("\\?\" form included).
constexpr size_t kLongestPath = 32768;

} // namespace

std::wstring ModuleFileName(HMODULE module) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(module, &path[0], static_cast<DWORD>(path.size()));
        if (n == 0) {
            TraceLastError("GetModuleFileNameW");
            return std::wstring();
        }
        // A result that fills the buffer may be cut: only a shorter one is whole.
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        if (path.size() >= kLongestPath) {
            Trace("GetModuleFileNameW: path longer than %u characters", static_cast<unsigned>(kLongestPath));
            return std::wstring();
        }
        path.resize(path.size() * 2 > kLongestPath ? kLongestPath : path.size() * 2);
    }
}

std::wstring FolderOfPath(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

} // namespace platform
