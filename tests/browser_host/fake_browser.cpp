#include "tests/browser_host/fake_browser.h"

#include <olectl.h>

namespace {

FakeBrowser* g_last = nullptr;

// A frame's own browser object: another identity than the control's.
class FrameDispatch : public IDispatch {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch)) { *ppv = this; return S_OK; }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 1; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override { return E_NOTIMPL; }
};
FrameDispatch g_frame;

} // namespace

FakeBrowserLog& FakeBrowser::Log() {
    static FakeBrowserLog log;
    return log;
}

FakeBrowser* FakeBrowser::Last() { return g_last; }

HRESULT FakeBrowser::Create(IUnknown** out) {
    Log() = FakeBrowserLog();
    FakeBrowser* fake = new FakeBrowser;
    *out = static_cast<IOleObject*>(fake);
    return S_OK;
}

FakeBrowser::FakeBrowser() {
    g_last = this;
    Log().refs = 1;
}

FakeBrowser::~FakeBrowser() {
    Log().destroyed = true;
    if (g_last == this) g_last = nullptr;
}

STDMETHODIMP FakeBrowser::QueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOleObject)) *ppv = static_cast<IOleObject*>(this);
    else if (IsEqualIID(riid, IID_IWebBrowser2) || IsEqualIID(riid, IID_IDispatch)) *ppv = static_cast<IWebBrowser2*>(this);
    else if (IsEqualIID(riid, IID_IOleInPlaceObject) || IsEqualIID(riid, IID_IOleWindow)) *ppv = static_cast<IOleInPlaceObject*>(this);
    else if (IsEqualIID(riid, IID_IOleInPlaceActiveObject)) *ppv = static_cast<IOleInPlaceActiveObject*>(this);
    else if (IsEqualIID(riid, IID_IConnectionPointContainer)) *ppv = static_cast<IConnectionPointContainer*>(this);
    else return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) FakeBrowser::AddRef() { return static_cast<ULONG>(++Log().refs); }

STDMETHODIMP_(ULONG) FakeBrowser::Release() {
    LONG left = --Log().refs;
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
}

STDMETHODIMP FakeBrowser::Navigate(BSTR url, VARIANT*, VARIANT*, VARIANT*, VARIANT*) {
    Log().navigations.push_back(url ? url : L"");
    return S_OK;
}

STDMETHODIMP FakeBrowser::put_RegisterAsDropTarget(VARIANT_BOOL value) {
    if (value == VARIANT_FALSE) ++Log().dropTargetOff;
    return S_OK;
}

STDMETHODIMP FakeBrowser::SetClientSite(IOleClientSite* site) {
    if (site) site->AddRef();
    if (site_) site_->Release();
    site_ = site;
    Log().site = site;
    return S_OK;
}

STDMETHODIMP FakeBrowser::GetClientSite(IOleClientSite** site) {
    *site = site_;
    if (site_) site_->AddRef();
    return S_OK;
}

STDMETHODIMP FakeBrowser::DoVerb(LONG verb, LPMSG, IOleClientSite*, LONG, HWND parent, LPCRECT) {
    if (verb != OLEIVERB_INPLACEACTIVATE || site_ == nullptr) return E_UNEXPECTED;
    IOleInPlaceSite* inPlace = nullptr;
    if (FAILED(site_->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(&inPlace)))) return E_NOINTERFACE;
    HRESULT hr = inPlace->CanInPlaceActivate();
    if (hr == S_OK) {
        inPlace->OnInPlaceActivate();
        Log().activatedIn = parent;
    }
    inPlace->Release();
    return hr == S_OK ? S_OK : E_FAIL;
}

STDMETHODIMP FakeBrowser::TranslateAccelerator(LPMSG msg) {
    ++Log().accelerators;
    return msg && msg->message == WM_KEYDOWN && msg->wParam == VK_F5 ? S_OK : S_FALSE;
}

STDMETHODIMP FakeBrowser::FindConnectionPoint(REFIID riid, IConnectionPoint** point) {
    *point = nullptr;
    if (!IsEqualIID(riid, DIID_DWebBrowserEvents2)) return CONNECT_E_NOCONNECTION;
    *point = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
}

STDMETHODIMP FakeBrowser::GetConnectionPointContainer(IConnectionPointContainer** out) {
    *out = static_cast<IConnectionPointContainer*>(this);
    AddRef();
    return S_OK;
}

STDMETHODIMP FakeBrowser::Advise(IUnknown* sink, DWORD* cookie) {
    if (sink_) return CONNECT_E_ADVISELIMIT;
    if (FAILED(sink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&sink_)))) return CONNECT_E_CANNOTCONNECT;
    ++Log().advised;
    *cookie = 42;
    return S_OK;
}

STDMETHODIMP FakeBrowser::Unadvise(DWORD cookie) {
    if (cookie != 42 || sink_ == nullptr) return CONNECT_E_NOCONNECTION;
    sink_->Release();
    sink_ = nullptr;
    ++Log().unadvised;
    return S_OK;
}

void FakeBrowser::Fire(DISPID id, DISPPARAMS& params) {
    if (sink_ == nullptr) return;
    IDispatch* sink = sink_;
    sink->AddRef();
    sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
    sink->Release();
}

void FakeBrowser::FireNavigateComplete(const std::wstring& url) {
    VARIANT address;
    V_VT(&address) = VT_BSTR;
    V_BSTR(&address) = ::SysAllocString(url.c_str());
    VARIANT args[2];
    V_VT(&args[0]) = VT_VARIANT | VT_BYREF;
    V_VARIANTREF(&args[0]) = &address;
    V_VT(&args[1]) = VT_DISPATCH;
    V_DISPATCH(&args[1]) = static_cast<IWebBrowser2*>(this);
    DISPPARAMS params = {args, nullptr, 2, 0};
    Fire(DISPID_NAVIGATECOMPLETE2, params);
    ::VariantClear(&address);
}

void FakeBrowser::FireNavigateError(const std::wstring& url, bool topLevel) {
    VARIANT address, frame, status;
    V_VT(&address) = VT_BSTR;
    V_BSTR(&address) = ::SysAllocString(url.c_str());
    V_VT(&frame) = VT_BSTR;
    V_BSTR(&frame) = ::SysAllocString(L"");
    V_VT(&status) = VT_I4;
    V_I4(&status) = static_cast<LONG>(0x800C0005);  // resource not found
    VARIANT_BOOL cancel = VARIANT_FALSE;
    VARIANT args[5];
    V_VT(&args[0]) = VT_BOOL | VT_BYREF;
    V_BOOLREF(&args[0]) = &cancel;
    V_VT(&args[1]) = VT_VARIANT | VT_BYREF;
    V_VARIANTREF(&args[1]) = &status;
    V_VT(&args[2]) = VT_VARIANT | VT_BYREF;
    V_VARIANTREF(&args[2]) = &frame;
    V_VT(&args[3]) = VT_VARIANT | VT_BYREF;
    V_VARIANTREF(&args[3]) = &address;
    V_VT(&args[4]) = VT_DISPATCH;
    V_DISPATCH(&args[4]) = topLevel ? static_cast<IDispatch*>(static_cast<IWebBrowser2*>(this)) : &g_frame;
    DISPPARAMS params = {args, nullptr, 5, 0};
    Fire(DISPID_NAVIGATEERROR, params);
    ::VariantClear(&address);
    ::VariantClear(&frame);
}
