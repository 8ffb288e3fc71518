#include "index/app_context.h"

const std::wstring& CAppContext::GetModuleDir() {
    if (moduleDir_.empty()) {
        wchar_t path[270] = {};
        DWORD length = ::GetModuleFileNameW(nullptr, path, 260);
        std::wstring full(path, length < 260 ? length : 260);
        size_t slash = full.rfind(L'\\');
        moduleDir_ = slash == std::wstring::npos ? full : full.substr(0, slash);
    }
    return moduleDir_;
}

CAppContext* GetAppContext() {
    static CAppContext context;
    return &context;
}
