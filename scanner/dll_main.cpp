// Entry points of searchfile.dll.
#include <windows.h>

#include <new>

#include "scanner/search_file_object.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) ::DisableThreadLibraryCalls(instance);
    return TRUE;
}

// Hands out ISearchFile for any class id; callers pass none.
STDAPI DllGetClassObject(REFCLSID, REFIID iid, LPVOID* out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!IsEqualIID(iid, IID_ISearchFile)) return E_NOINTERFACE;
    auto* object = new (std::nothrow) scanner::CSearchFile;
    if (!object) return E_OUTOFMEMORY;
    *out = static_cast<ISearchFile*>(object);
    return S_OK;
}
