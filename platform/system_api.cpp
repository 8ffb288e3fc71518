#include "platform/system_api.h"

namespace platform {

namespace {

HMODULE LoadSystemLibrary(const wchar_t* name) {
    // Already-loaded modules are found first; otherwise only the system
    // folder is searched, never the program's or the current folder.
    HMODULE module = ::GetModuleHandleW(name);
    if (module == nullptr) module = ::LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module == nullptr) module = ::LoadLibraryW(name);  // systems without the search flags
    return module;
}

template <typename Fn>
void Bind(HMODULE module, const char* name, Fn& out) {
    out = module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name))) : nullptr;
}

SystemApi BindAll() {
    SystemApi api;
    HMODULE comctl = LoadSystemLibrary(L"comctl32.dll");
    Bind(comctl, "DrawShadowText", api.DrawShadowText);
    Bind(comctl, "_TrackMouseEvent", api.TrackMouseEvent);
    HMODULE msimg = LoadSystemLibrary(L"msimg32.dll");
    Bind(msimg, "GradientFill", api.GradientFill);
    HMODULE uxtheme = LoadSystemLibrary(L"uxtheme.dll");
    Bind(uxtheme, "SetWindowTheme", api.SetWindowTheme);
    Bind(uxtheme, "OpenThemeData", api.OpenThemeData);
    Bind(uxtheme, "CloseThemeData", api.CloseThemeData);
    Bind(uxtheme, "DrawThemeBackground", api.DrawThemeBackground);
    HMODULE wtsapi = LoadSystemLibrary(L"wtsapi32.dll");
    Bind(wtsapi, "WTSEnumerateSessionsW", api.WTSEnumerateSessionsW);
    Bind(wtsapi, "WTSFreeMemory", api.WTSFreeMemory);
    Bind(wtsapi, "WTSQueryUserToken", api.WTSQueryUserToken);
    HMODULE userenv = LoadSystemLibrary(L"userenv.dll");
    Bind(userenv, "CreateEnvironmentBlock", api.CreateEnvironmentBlock);
    Bind(userenv, "DestroyEnvironmentBlock", api.DestroyEnvironmentBlock);
    return api;
}

} // namespace

const SystemApi& GetSystemApi() {
    static const SystemApi api = BindAll();
    return api;
}

} // namespace platform
