#include "tests/shell_app/fake_module.h"

#include "module/imodule_object.h"

namespace {

FakeModuleState g_state;

class FakeObject : public IModuleObject {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override { *out = nullptr; return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE IsMethodSupported(unsigned index) override {
        ++g_state.supportQueries;
        return index < 9 && (g_state.supportedMask & (1u << index)) ? S_OK : E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE Report(const wchar_t* event, const wchar_t* params) override {
        ++g_state.reportCalls;
        g_state.lastEvent = event;
        g_state.lastParams = params;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ShowUpgradeDialog(DWORD_PTR, DWORD_PTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE ShowProxyDialog(DWORD_PTR, DWORD_PTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Reserved1(DWORD_PTR, DWORD_PTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Reserved2(DWORD_PTR, DWORD_PTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE InstallWithDialog(HWND, const RECT*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE ShowWebWindow(const wchar_t*, DWORD_PTR, DWORD_PTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE LaunchReupdate() override {
        ++g_state.launchCalls;
        return g_state.launchResult;
    }
    HRESULT STDMETHODCALLTYPE UpdateInBackground() override {
        g_state.updateThreadId = ::GetCurrentThreadId();
        if (g_state.updateDone) ::SetEvent(g_state.updateDone);
        return S_OK;
    }
};

FakeObject g_object;

} // namespace

extern "C" __declspec(dllexport) HRESULT WINAPI GetClassObject(REFIID riid, void** out) {
    ++g_state.getClassObjectCalls;
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    if (!IsEqualIID(riid, IID_IModuleObject)) return E_NOINTERFACE;
    if (g_state.giveObject) *out = static_cast<IModuleObject*>(&g_object);
    return S_OK;
}

extern "C" __declspec(dllexport) FakeModuleState* WINAPI GetFakeModuleState() { return &g_state; }
