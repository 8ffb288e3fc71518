#include "module/module_object.h"

#include <new>

#include "module/module_dialogs.h"
#include "module/update_index.h"
#include "module/web_dialog.h"

ModuleConfig DefaultModuleConfig() {
    ModuleConfig config;
    config.StatHost = kStatHost;
    config.Update = UpdateLocation{GetModuleFolder(), L"http://update.lumsek.net"};
    config.Partner = DefaultPartnerLocation();
    config.PaymentHost = kPaymentHost;
    return config;
}

CModuleObject::CModuleObject(const ModuleConfig& config)
    : config_(config), sender_(config.StatHost), launcher_(config.Update) {
    launcher_.SetProductId(PRODUCT_ID_LUMSEK);
}

CModuleObject::~CModuleObject() = default;

HRESULT CModuleObject::QueryInterface(REFIID riid, void** out) {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    if (riid != IID_IUnknown && riid != IID_IModuleObject) return E_NOINTERFACE;
    AddRef();
    *out = static_cast<IModuleObject*>(this);
    return S_OK;
}

ULONG CModuleObject::AddRef() { return static_cast<ULONG>(::InterlockedIncrement(&refs_)); }

ULONG CModuleObject::Release() {
    const LONG left = ::InterlockedDecrement(&refs_);
    if (left == 0) {
        sender_.Shutdown();
        delete this;
    }
    return static_cast<ULONG>(left);
}

HRESULT CModuleObject::IsMethodSupported(unsigned index) {
    return index < MODULE_METHOD_COUNT ? S_OK : E_NOINTERFACE;
}

HRESULT CModuleObject::Report(const wchar_t* event, const wchar_t* params) {
    sender_.Enqueue(event ? event : L"", params ? params : L"");
    return S_OK;
}

HRESULT CModuleObject::ShowUpgradeDialog(DWORD_PTR, DWORD_PTR) {
    RunUpgradeDialog(nullptr, config_.Update, PRODUCT_ID_LUMSEK);
    return S_OK;
}

HRESULT CModuleObject::ShowProxyDialog(DWORD_PTR, DWORD_PTR) {
    RunProxyDialog(nullptr);
    return S_OK;
}

HRESULT CModuleObject::Reserved1(DWORD_PTR, DWORD_PTR) { return S_OK; }
HRESULT CModuleObject::Reserved2(DWORD_PTR, DWORD_PTR) { return S_OK; }

HRESULT CModuleObject::InstallWithDialog(HWND parent, const RECT* rect) {
    RunInstallDialog(parent, rect, config_.Partner);
    return S_OK;
}

HRESULT CModuleObject::ShowWebWindow(const wchar_t* url, DWORD_PTR, DWORD_PTR) {
    RunWebDialog(nullptr, url ? url : L"", config_.PaymentHost);
    return S_OK;
}

HRESULT CModuleObject::LaunchReupdate() { return launcher_.LaunchReupdate(L"reupdate:0", 10); }

HRESULT CModuleObject::UpdateInBackground() { return launcher_.UpdateInBackground(); }

HRESULT CreateModuleObject(const ModuleConfig& config, REFIID riid, void** out) {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    // Only the module interface itself: callers bind nothing else here.
    if (riid != IID_IModuleObject) return E_NOINTERFACE;
    try {
        *out = static_cast<IModuleObject*>(new CModuleObject(config));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}
