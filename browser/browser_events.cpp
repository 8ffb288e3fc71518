#include "browser/browser_events.h"

#include <exdisp.h>
#include <exdispid.h>

namespace {

// The value behind a by-reference variant (one level), or the variant itself.
const VARIANT* Deref(const VARIANT& arg) {
    if (V_VT(&arg) == (VT_VARIANT | VT_BYREF)) return V_VARIANTREF(&arg) ? V_VARIANTREF(&arg) : &arg;
    return &arg;
}

IDispatch* DispatchArg(const VARIANT& arg) {
    const VARIANT* v = Deref(arg);
    if (V_VT(v) == VT_DISPATCH) return V_DISPATCH(v);
    if (V_VT(v) == (VT_DISPATCH | VT_BYREF) && V_DISPATCHREF(v)) return *V_DISPATCHREF(v);
    return nullptr;
}

BSTR StringArg(const VARIANT& arg) {
    const VARIANT* v = Deref(arg);
    if (V_VT(v) == VT_BSTR) return V_BSTR(v);
    if (V_VT(v) == (VT_BSTR | VT_BYREF) && V_BSTRREF(v)) return *V_BSTRREF(v);
    return nullptr;
}

} // namespace

HRESULT CBrowserEventSink::Connect(IUnknown* control) {
    if (control == nullptr) return E_POINTER;
    if (m_dwCookie != 0) return S_FALSE;
    platform::ComPtr<IConnectionPointContainer> container;
    HRESULT hr = control->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(container.Receive()));
    if (FAILED(hr)) return hr;
    platform::ComPtr<IConnectionPoint> point;
    hr = container->FindConnectionPoint(DIID_DWebBrowserEvents2, point.Receive());
    if (FAILED(hr)) return hr;
    DWORD cookie = 0;
    hr = point->Advise(static_cast<IDispatch*>(this), &cookie);
    if (FAILED(hr)) return hr;
    m_spPoint = point;
    m_dwCookie = cookie;
    return S_OK;
}

void CBrowserEventSink::Disconnect() {
    m_pTarget = nullptr;
    if (m_spPoint && m_dwCookie != 0) m_spPoint->Unadvise(m_dwCookie);
    m_dwCookie = 0;
    m_spPoint.Reset();
}

STDMETHODIMP CBrowserEventSink::QueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
        IsEqualIID(riid, DIID_DWebBrowserEvents2)) {
        *ppv = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

STDMETHODIMP CBrowserEventSink::GetTypeInfoCount(UINT* pctinfo) {
    if (pctinfo) *pctinfo = 0;
    return S_OK;
}

STDMETHODIMP CBrowserEventSink::GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) {
    if (ppTInfo) *ppTInfo = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP CBrowserEventSink::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
    return E_NOTIMPL;
}

STDMETHODIMP CBrowserEventSink::Invoke(DISPID dispIdMember, REFIID, LCID, WORD, DISPPARAMS* pDispParams,
                                       VARIANT*, EXCEPINFO*, UINT*) {
    if (m_pTarget == nullptr || pDispParams == nullptr || pDispParams->rgvarg == nullptr) return S_OK;
    const UINT count = pDispParams->cArgs;
    const VARIANT* args = pDispParams->rgvarg;
    // Keep ourselves alive: the target may disconnect (and release) the sink
    // from inside the event.
    platform::ComPtr<IDispatch> self(static_cast<IDispatch*>(this));
    switch (dispIdMember) {
    case DISPID_NAVIGATECOMPLETE2:  // (pDisp, URL)
        if (count >= 2) m_pTarget->OnNavigateComplete2(DispatchArg(args[count - 1]), StringArg(args[count - 2]));
        break;
    case DISPID_NAVIGATEERROR:  // (pDisp, URL, TargetFrameName, StatusCode, Cancel)
        if (count >= 2) m_pTarget->OnNavigateError(DispatchArg(args[count - 1]), StringArg(args[count - 2]));
        break;
    default:
        break;
    }
    return S_OK;
}
