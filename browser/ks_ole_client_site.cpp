#include "browser/ks_ole_client_site.h"

#include <mshtml.h>

#include <initializer_list>

const GUID kDocHostCommandGroup = {0xf38bc242, 0xb950, 0x11d1, {0x89, 0x18, 0x00, 0xc0, 0x4f, 0xc2, 0xc8, 0x36}};

namespace {

volatile LONG g_liveSites = 0;

// Reads one property of an object by name; the value is not used, the read
// only lets the page's error object settle as the browser expects.
void ReadProperty(IDispatch* object, const wchar_t* name) {
    LPOLESTR names[1] = {const_cast<LPOLESTR>(name)};
    DISPID id = DISPID_UNKNOWN;
    if (FAILED(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) return;
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    VARIANT value;
    ::VariantInit(&value);
    object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &value, nullptr, nullptr);
    ::VariantClear(&value);
}

// The error record of the script error the document reports.
void ReadScriptError(const VARIANT* in) {
    if (in == nullptr || V_VT(in) != VT_UNKNOWN || V_UNKNOWN(in) == nullptr) return;
    platform::ComPtr<IHTMLDocument2> document;
    if (FAILED(V_UNKNOWN(in)->QueryInterface(IID_IHTMLDocument2, reinterpret_cast<void**>(document.Receive()))))
        return;
    platform::ComPtr<IHTMLWindow2> window;
    if (FAILED(document->get_parentWindow(window.Receive())) || !window) return;
    platform::ComPtr<IHTMLEventObj> event;
    if (FAILED(window->get_event(event.Receive())) || !event) return;
    platform::ComPtr<IDispatch> record;
    if (FAILED(event->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(record.Receive())))) return;
    for (const wchar_t* name : {L"errorLine", L"errorCharacter", L"errorCode", L"errorMessage", L"errorUrl"})
        ReadProperty(record.Get(), name);
}

} // namespace

ULONG ksIUnknown::ReleaseImpl() {
    LONG left = ::InterlockedDecrement(&m_refs);
    if (left == 0) delete this;
    return static_cast<ULONG>(left < 0 ? 0 : left);
}

ksOleClientSite::ksOleClientSite(HWND hostWindow, IDispatch* external)
    : m_hWndHost(hostWindow), m_pExternal(external), m_frame(*this) {
    ::InterlockedIncrement(&g_liveSites);
}

ksOleClientSite::~ksOleClientSite() {
    ::InterlockedDecrement(&g_liveSites);
}

LONG ksOleClientSite::LiveCount() {
    return g_liveSites;
}

HRESULT ksOleClientSite::Attach(IUnknown* control) {
    if (control == nullptr) return E_POINTER;
    platform::ComPtr<IOleObject> object;
    HRESULT hr = control->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(object.Receive()));
    if (FAILED(hr)) return hr;
    platform::ComPtr<IOleClientSite> earlier;
    object->GetClientSite(earlier.Receive());
    // Never our own face: forwarding to ourselves would loop.
    if (earlier.Get() == static_cast<IOleClientSite*>(this)) earlier.Reset();
    m_spEarlierHandler.Reset();
    if (earlier) earlier.QueryInterface(IID_IDocHostUIHandler, &m_spEarlierHandler);
    m_spEarlierSite = earlier;
    return object->SetClientSite(this);
}

void ksOleClientSite::Detach() {
    m_spEarlierHandler.Reset();
    m_spEarlierSite.Reset();
    m_pExternal = nullptr;
    m_hWndHost = nullptr;
}

STDMETHODIMP ksOleClientSite::QueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr) return E_INVALIDARG;
    *ppv = nullptr;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOleClientSite))
        *ppv = static_cast<IOleClientSite*>(this);
    else if (IsEqualIID(riid, IID_IOleWindow) || IsEqualIID(riid, IID_IOleInPlaceSite))
        *ppv = static_cast<IOleInPlaceSite*>(this);
    else if (IsEqualIID(riid, IID_IOleCommandTarget))
        *ppv = static_cast<IOleCommandTarget*>(this);
    else if (IsEqualIID(riid, IID_IDocHostUIHandler))
        *ppv = static_cast<IDocHostUIHandler*>(this);
    else if (IsEqualIID(riid, IID_IOleInPlaceFrame) || IsEqualIID(riid, IID_IOleInPlaceUIWindow))
        *ppv = static_cast<IOleInPlaceFrame*>(&m_frame);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

STDMETHODIMP ksOleClientSite::Frame::QueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr) return E_INVALIDARG;
    if (IsEqualIID(riid, IID_IOleInPlaceFrame) || IsEqualIID(riid, IID_IOleInPlaceUIWindow) ||
        IsEqualIID(riid, IID_IOleWindow) || IsEqualIID(riid, IID_IUnknown)) {
        *ppv = static_cast<IOleInPlaceFrame*>(this);
        AddRef();
        return S_OK;
    }
    return m_site.QueryInterface(riid, ppv);
}

// ---------------------------------------------------------------- IOleClientSite

STDMETHODIMP ksOleClientSite::SaveObject() {
    return m_spEarlierSite ? m_spEarlierSite->SaveObject() : E_FAIL;
}

STDMETHODIMP ksOleClientSite::GetMoniker(DWORD dwAssign, DWORD dwWhichMoniker, IMoniker** ppmk) {
    if (m_spEarlierSite) return m_spEarlierSite->GetMoniker(dwAssign, dwWhichMoniker, ppmk);
    if (ppmk) *ppmk = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP ksOleClientSite::GetContainer(IOleContainer** ppContainer) {
    if (m_spEarlierSite) return m_spEarlierSite->GetContainer(ppContainer);
    if (ppContainer) *ppContainer = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP ksOleClientSite::ShowObject() {
    return m_spEarlierSite ? m_spEarlierSite->ShowObject() : S_OK;
}

STDMETHODIMP ksOleClientSite::OnShowWindow(BOOL fShow) {
    return m_spEarlierSite ? m_spEarlierSite->OnShowWindow(fShow) : S_OK;
}

STDMETHODIMP ksOleClientSite::RequestNewObjectLayout() {
    return m_spEarlierSite ? m_spEarlierSite->RequestNewObjectLayout() : E_NOTIMPL;
}

// ---------------------------------------------------------------- IOleInPlaceSite

STDMETHODIMP ksOleClientSite::GetWindow(HWND* phwnd) {
    if (phwnd == nullptr) return E_POINTER;
    *phwnd = m_hWndHost;
    return m_hWndHost ? S_OK : E_FAIL;
}

STDMETHODIMP ksOleClientSite::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

// Once detached, the control may no longer activate in a window that is gone.
STDMETHODIMP ksOleClientSite::CanInPlaceActivate() { return m_hWndHost ? S_OK : S_FALSE; }
STDMETHODIMP ksOleClientSite::OnInPlaceActivate() { return S_OK; }
STDMETHODIMP ksOleClientSite::OnUIActivate() { return S_OK; }

STDMETHODIMP ksOleClientSite::GetWindowContext(IOleInPlaceFrame** ppFrame, IOleInPlaceUIWindow** ppDoc,
                                              LPRECT lprcPosRect, LPRECT lprcClipRect,
                                              LPOLEINPLACEFRAMEINFO lpFrameInfo) {
    if (ppFrame == nullptr || ppDoc == nullptr || lprcPosRect == nullptr || lprcClipRect == nullptr)
        return E_POINTER;
    *ppFrame = &m_frame;
    m_frame.AddRef();
    *ppDoc = nullptr;
    RECT client = {0, 0, 0, 0};
    if (m_hWndHost) ::GetClientRect(m_hWndHost, &client);
    *lprcPosRect = client;
    *lprcClipRect = client;
    if (lpFrameInfo) {
        lpFrameInfo->fMDIApp = FALSE;
        lpFrameInfo->hwndFrame = m_hWndHost ? ::GetParent(m_hWndHost) : nullptr;
        lpFrameInfo->haccel = nullptr;
        lpFrameInfo->cAccelEntries = 0;
    }
    return S_OK;
}

STDMETHODIMP ksOleClientSite::Scroll(SIZE) { return E_NOTIMPL; }
STDMETHODIMP ksOleClientSite::OnUIDeactivate(BOOL) { return S_OK; }
STDMETHODIMP ksOleClientSite::OnInPlaceDeactivate() { return S_OK; }
STDMETHODIMP ksOleClientSite::DiscardUndoState() { return E_NOTIMPL; }
STDMETHODIMP ksOleClientSite::DeactivateAndUndo() { return E_NOTIMPL; }
STDMETHODIMP ksOleClientSite::OnPosRectChange(LPCRECT) { return S_OK; }

// ---------------------------------------------------------------- IOleCommandTarget

STDMETHODIMP ksOleClientSite::QueryStatus(const GUID*, ULONG, OLECMD[], OLECMDTEXT*) {
    return OLECMDERR_E_NOTSUPPORTED;
}

STDMETHODIMP ksOleClientSite::Exec(const GUID* pguidCmdGroup, DWORD nCmdID, DWORD, VARIANT* pvaIn,
                                   VARIANT* pvaOut) {
    if (pguidCmdGroup == nullptr || !IsEqualGUID(*pguidCmdGroup, kDocHostCommandGroup))
        return OLECMDERR_E_UNKNOWNGROUP;
    if (nCmdID != OLECMDID_SHOWSCRIPTERROR) return OLECMDERR_E_NOTSUPPORTED;
    ReadScriptError(pvaIn);
    // TRUE: no error box, and the page's scripts keep running.
    if (pvaOut) {
        ::VariantClear(pvaOut);
        V_VT(pvaOut) = VT_BOOL;
        V_BOOL(pvaOut) = VARIANT_TRUE;
    }
    return S_OK;
}

// ---------------------------------------------------------------- IDocHostUIHandler

STDMETHODIMP ksOleClientSite::ShowContextMenu(DWORD dwID, POINT* ppt, IUnknown* pcmdtReserved,
                                              IDispatch* pdispReserved) {
    return m_spEarlierHandler ? m_spEarlierHandler->ShowContextMenu(dwID, ppt, pcmdtReserved, pdispReserved)
                              : E_NOTIMPL;
}

STDMETHODIMP ksOleClientSite::GetHostInfo(DOCHOSTUIINFO* pInfo) {
    return m_spEarlierHandler ? m_spEarlierHandler->GetHostInfo(pInfo) : E_NOTIMPL;
}

STDMETHODIMP ksOleClientSite::ShowUI(DWORD dwID, IOleInPlaceActiveObject* pActiveObject,
                                     IOleCommandTarget* pCommandTarget, IOleInPlaceFrame* pFrame,
                                     IOleInPlaceUIWindow* pDoc) {
    return m_spEarlierHandler ? m_spEarlierHandler->ShowUI(dwID, pActiveObject, pCommandTarget, pFrame, pDoc)
                              : S_FALSE;
}

STDMETHODIMP ksOleClientSite::HideUI() {
    return m_spEarlierHandler ? m_spEarlierHandler->HideUI() : E_NOTIMPL;
}

STDMETHODIMP ksOleClientSite::UpdateUI() {
    return m_spEarlierHandler ? m_spEarlierHandler->UpdateUI() : E_NOTIMPL;
}

STDMETHODIMP ksOleClientSite::EnableModeless(BOOL fEnable) {
    return m_spEarlierHandler ? m_spEarlierHandler->EnableModeless(fEnable) : E_NOTIMPL;
}

STDMETHODIMP ksOleClientSite::OnDocWindowActivate(BOOL fActivate) {
    return m_spEarlierHandler ? m_spEarlierHandler->OnDocWindowActivate(fActivate) : E_NOTIMPL;
}

STDMETHODIMP ksOleClientSite::OnFrameWindowActivate(BOOL fActivate) {
    return m_spEarlierHandler ? m_spEarlierHandler->OnFrameWindowActivate(fActivate) : E_NOTIMPL;
}

STDMETHODIMP ksOleClientSite::ResizeBorder(LPCRECT prcBorder, IOleInPlaceUIWindow* pUIWindow, BOOL fRameWindow) {
    return m_spEarlierHandler ? m_spEarlierHandler->ResizeBorder(prcBorder, pUIWindow, fRameWindow) : E_NOTIMPL;
}

STDMETHODIMP ksOleClientSite::TranslateAccelerator(LPMSG lpMsg, const GUID* pguidCmdGroup, DWORD nCmdID) {
    return m_spEarlierHandler ? m_spEarlierHandler->TranslateAccelerator(lpMsg, pguidCmdGroup, nCmdID) : E_NOTIMPL;
}

STDMETHODIMP ksOleClientSite::GetOptionKeyPath(LPOLESTR* pchKey, DWORD dw) {
    if (m_spEarlierHandler) return m_spEarlierHandler->GetOptionKeyPath(pchKey, dw);
    if (pchKey) *pchKey = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP ksOleClientSite::GetDropTarget(IDropTarget* pDropTarget, IDropTarget** ppDropTarget) {
    if (!m_spEarlierHandler) {
        if (ppDropTarget) *ppDropTarget = nullptr;
        return E_NOTIMPL;
    }
    HRESULT hr = m_spEarlierHandler->GetDropTarget(pDropTarget, ppDropTarget);
    return hr == S_FALSE ? E_FAIL : hr;
}

STDMETHODIMP ksOleClientSite::GetExternal(IDispatch** ppDispatch) {
    if (ppDispatch == nullptr) return E_POINTER;
    *ppDispatch = nullptr;
    // Our own script object first: window.external is the program's bridge.
    if (m_pExternal) {
        *ppDispatch = m_pExternal;
        m_pExternal->AddRef();
        return S_OK;
    }
    return m_spEarlierHandler ? m_spEarlierHandler->GetExternal(ppDispatch) : E_NOTIMPL;
}

STDMETHODIMP ksOleClientSite::TranslateUrl(DWORD dwTranslate, LPWSTR pchURLIn, LPWSTR* ppchURLOut) {
    if (m_spEarlierHandler) return m_spEarlierHandler->TranslateUrl(dwTranslate, pchURLIn, ppchURLOut);
    if (ppchURLOut) *ppchURLOut = nullptr;
    return S_FALSE;
}

STDMETHODIMP ksOleClientSite::FilterDataObject(IDataObject* pDO, IDataObject** ppDORet) {
    if (m_spEarlierHandler) return m_spEarlierHandler->FilterDataObject(pDO, ppDORet);
    if (ppDORet) *ppDORet = nullptr;
    return S_FALSE;
}
