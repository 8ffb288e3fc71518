// Entry points of Lumsek.dll.
#include <windows.h>
#include <shellapi.h>

#include "module/module_object.h"
#include "module/update_task.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) ::DisableThreadLibraryCalls(instance);
    return TRUE;
}

extern "C" HRESULT WINAPI GetClassObject(REFIID riid, void** out) {
    if (!out) return E_INVALIDARG;
    return CreateModuleObject(DefaultModuleConfig(), riid, out);
}

// The shape of a rundll32 entry; the arguments are not used.
extern "C" void CALLBACK AutoRun(HWND, HINSTANCE, LPSTR, int) {
    const std::wstring program = GetModuleFolder() + L"lumsek.exe";
    ::ShellExecuteW(nullptr, nullptr, program.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}
