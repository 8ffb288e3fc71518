#pragma once
// The interface the search program binds from Lumsek.dll: COM-shaped (IUnknown
// layout, HRESULT results) but never registered; the caller loads the library
// by path and calls its GetClassObject export.
#include <windows.h>
#include <unknwn.h>

#include <cstddef>

// {91A11094-AD81-4C8D-8434-047A6995B596}
inline constexpr GUID IID_IModuleObject = {
    0x91a11094, 0xad81, 0x4c8d, {0x84, 0x34, 0x04, 0x7a, 0x69, 0x95, 0xb5, 0x96}};

// Indexes for IsMethodSupported: index i names the i-th operation after it.
enum ModuleMethod : unsigned {
    MODULE_METHOD_REPORT = 0,
    MODULE_METHOD_SHOW_UPGRADE_DIALOG = 1,
    MODULE_METHOD_SHOW_PROXY_DIALOG = 2,
    MODULE_METHOD_RESERVED1 = 3,
    MODULE_METHOD_RESERVED2 = 4,
    MODULE_METHOD_INSTALL_WITH_DIALOG = 5,
    MODULE_METHOD_SHOW_WEB_WINDOW = 6,
    MODULE_METHOD_LAUNCH_REUPDATE = 7,
    MODULE_METHOD_UPDATE_IN_BACKGROUND = 8,
    MODULE_METHOD_COUNT = 9,
};

// Slot order is the binary contract with lumsek.exe: never reorder.
struct IModuleObject {
    virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) = 0;   // slot 0
    virtual ULONG STDMETHODCALLTYPE AddRef() = 0;                                    // slot 1
    virtual ULONG STDMETHODCALLTYPE Release() = 0;                                   // slot 2
    virtual HRESULT STDMETHODCALLTYPE IsMethodSupported(unsigned index) = 0;         // slot 3
    virtual HRESULT STDMETHODCALLTYPE Report(const wchar_t* event, const wchar_t* params) = 0;  // slot 4
    virtual HRESULT STDMETHODCALLTYPE ShowUpgradeDialog(DWORD_PTR a, DWORD_PTR b) = 0;          // slot 5
    virtual HRESULT STDMETHODCALLTYPE ShowProxyDialog(DWORD_PTR a, DWORD_PTR b) = 0;            // slot 6
    virtual HRESULT STDMETHODCALLTYPE Reserved1(DWORD_PTR a, DWORD_PTR b) = 0;                  // slot 7
    virtual HRESULT STDMETHODCALLTYPE Reserved2(DWORD_PTR a, DWORD_PTR b) = 0;                  // slot 8
    virtual HRESULT STDMETHODCALLTYPE InstallWithDialog(HWND parent, const RECT* rect) = 0;     // slot 9
    virtual HRESULT STDMETHODCALLTYPE ShowWebWindow(const wchar_t* url, DWORD_PTR a, DWORD_PTR b) = 0;  // slot 10
    virtual HRESULT STDMETHODCALLTYPE LaunchReupdate() = 0;                          // slot 11
    virtual HRESULT STDMETHODCALLTYPE UpdateInBackground() = 0;                      // slot 12
};

// The object is one vtable pointer; the vtable has exactly 13 pointer slots.
// A mirror of the vtable as plain function pointers pins every slot's offset.
namespace module_abi {
struct IModuleObjectVtbl {
    HRESULT(STDMETHODCALLTYPE* QueryInterface)(IModuleObject*, REFIID, void**);
    ULONG(STDMETHODCALLTYPE* AddRef)(IModuleObject*);
    ULONG(STDMETHODCALLTYPE* Release)(IModuleObject*);
    HRESULT(STDMETHODCALLTYPE* IsMethodSupported)(IModuleObject*, unsigned);
    HRESULT(STDMETHODCALLTYPE* Report)(IModuleObject*, const wchar_t*, const wchar_t*);
    HRESULT(STDMETHODCALLTYPE* ShowUpgradeDialog)(IModuleObject*, DWORD_PTR, DWORD_PTR);
    HRESULT(STDMETHODCALLTYPE* ShowProxyDialog)(IModuleObject*, DWORD_PTR, DWORD_PTR);
    HRESULT(STDMETHODCALLTYPE* Reserved1)(IModuleObject*, DWORD_PTR, DWORD_PTR);
    HRESULT(STDMETHODCALLTYPE* Reserved2)(IModuleObject*, DWORD_PTR, DWORD_PTR);
    HRESULT(STDMETHODCALLTYPE* InstallWithDialog)(IModuleObject*, HWND, const RECT*);
    HRESULT(STDMETHODCALLTYPE* ShowWebWindow)(IModuleObject*, const wchar_t*, DWORD_PTR, DWORD_PTR);
    HRESULT(STDMETHODCALLTYPE* LaunchReupdate)(IModuleObject*);
    HRESULT(STDMETHODCALLTYPE* UpdateInBackground)(IModuleObject*);
};
static_assert(sizeof(IModuleObject) == sizeof(void*), "IModuleObject is a bare vtable pointer");
static_assert(sizeof(IModuleObjectVtbl) == 13 * sizeof(void*), "IModuleObject has 13 slots");
static_assert(offsetof(IModuleObjectVtbl, QueryInterface) == 0 * sizeof(void*));
static_assert(offsetof(IModuleObjectVtbl, AddRef) == 1 * sizeof(void*));
static_assert(offsetof(IModuleObjectVtbl, Release) == 2 * sizeof(void*));
static_assert(offsetof(IModuleObjectVtbl, IsMethodSupported) == 3 * sizeof(void*));
static_assert(offsetof(IModuleObjectVtbl, Report) == 4 * sizeof(void*));
static_assert(offsetof(IModuleObjectVtbl, ShowUpgradeDialog) == 5 * sizeof(void*));
static_assert(offsetof(IModuleObjectVtbl, ShowProxyDialog) == 6 * sizeof(void*));
static_assert(offsetof(IModuleObjectVtbl, Reserved1) == 7 * sizeof(void*));
static_assert(offsetof(IModuleObjectVtbl, Reserved2) == 8 * sizeof(void*));
static_assert(offsetof(IModuleObjectVtbl, InstallWithDialog) == 9 * sizeof(void*));
static_assert(offsetof(IModuleObjectVtbl, ShowWebWindow) == 10 * sizeof(void*));
static_assert(offsetof(IModuleObjectVtbl, LaunchReupdate) == 11 * sizeof(void*));
static_assert(offsetof(IModuleObjectVtbl, UpdateInBackground) == 12 * sizeof(void*));
static_assert(offsetof(IModuleObjectVtbl, IsMethodSupported) / sizeof(void*) + 1 + MODULE_METHOD_UPDATE_IN_BACKGROUND ==
                  offsetof(IModuleObjectVtbl, UpdateInBackground) / sizeof(void*),
              "IsMethodSupported index i names the slot i places after it");
}  // namespace module_abi

// Signature of the library's GetClassObject export (undecorated, stdcall).
using PFN_GetClassObject = HRESULT(WINAPI*)(REFIID riid, void** out);
inline constexpr char kGetClassObjectExport[] = "GetClassObject";
