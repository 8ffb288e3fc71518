#include "index/app_context.h"

#include "platform/module_path.h"

const std::wstring& CAppContext::GetModuleDir() {
    if (moduleDir_.empty()) {
        // The whole path, however long: a cut one would send the index files,
        // "res", "report.ini" and the update marker to some other folder.
        const std::wstring full = platform::ModuleFileName(nullptr);
        const size_t slash = full.rfind(L'\\');
        moduleDir_ = slash == std::wstring::npos ? full : full.substr(0, slash);
    }
    return moduleDir_;
}

CAppContext* GetAppContext() {
    static CAppContext context;
    return &context;
}
