#include "browser/kieframe.h"

#include <oleauto.h>

#include "platform/gdi.h"
#include "platform/module_path.h"
#include "platform/trace.h"
#include "ui/bkfontpool.h"
#include "ui/bkstring.h"

namespace {

BrowserControlFactory g_defaultFactory = nullptr;

// The HTML document object ("htmlfile"), the engine the control renders with.
const CLSID kClsidHtmlDocument = {0x25336920, 0x03F9, 0x11CF, {0x8F, 0xD0, 0x00, 0xAA, 0x00, 0x68, 0x6F, 0x13}};

bool IsKeyboardMessage(UINT msg) { return msg >= WM_KEYFIRST && msg <= WM_KEYLAST; }

// Two URLs are the same page when the system's comparison says so.
bool SameUrl(BSTR a, const std::wstring& b) {
    if (a == nullptr || b.empty()) return false;
    BSTR other = ::SysAllocStringLen(b.data(), static_cast<UINT>(b.size()));
    if (other == nullptr) return false;
    const HRESULT cmp = ::VarBstrCmp(a, other, LOCALE_USER_DEFAULT, 0);
    ::SysFreeString(other);
    return cmp == static_cast<HRESULT>(VARCMP_EQ);
}

} // namespace

HRESULT CreateSystemBrowserControl(IUnknown** control) {
    if (control == nullptr) return E_POINTER;
    *control = nullptr;
    CLSID clsid = CLSID_WebBrowser;
    ::CLSIDFromProgID(L"Shell.Explorer", &clsid);
    return ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, reinterpret_cast<void**>(control));
}

bool IsSystemPageEngineAvailable() {
    // The HTML document object is the engine the control renders with; the
    // control itself may be registered without it.
    platform::ComPtr<IUnknown> document;
    const HRESULT hr = ::CoCreateInstance(kClsidHtmlDocument, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                          reinterpret_cast<void**>(document.Receive()));
    if (FAILED(hr) || !document) {
        platform::Trace("no HTML engine (0x%08lx)", static_cast<unsigned long>(hr));
        return false;
    }
    return true;
}

void CKIEFrame::SetDefaultControlFactory(BrowserControlFactory factory) {
    g_defaultFactory = factory;
}

CKIEFrame::CKIEFrame(IDispatch* external) : m_pExternal(external), m_factory(g_defaultFactory) {}

CKIEFrame::~CKIEFrame() {
    Teardown();
}

std::wstring CKIEFrame::ResourcePageUrl(UINT id) {
    return L"res://" + platform::ModuleFileName(nullptr) + L"/" + std::to_wstring(id);
}

std::wstring CKIEFrame::GetLoadingPageUrl() const {
    return m_strLoadingUrl.empty() ? ResourcePageUrl(m_uLoadingPage) : m_strLoadingUrl;
}

HWND CKIEFrame::Create(HWND parent) {
    RECT rc = {0, 0, 0, 0};
    if (parent) ::GetClientRect(parent, &rc);
    HWND hwnd = WindowImpl<CKIEFrame>::Create(parent, &rc, nullptr, WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0,
                                              kBrowserHostId);
    if (hwnd == nullptr) return nullptr;
    m_bNoEngine = !PageEngineAvailable();
    if (m_bNoEngine) {
        // The control would stay blank, or show black where it cannot draw:
        // the host says in its own drawing that pages cannot be shown.
        platform::Trace("no page engine; the web view says so");
    } else if (!CreateBrowser()) {
        platform::Trace("browser control not available; the web view says so");
        Teardown();
        m_bNoEngine = true;
    }
    m_pLoop = platform::MessageLoop::Current();
    if (m_pLoop) m_pLoop->AddMessageFilter(this);
    // A page asked for before the window existed is navigated to now.
    if (!m_strUrl.empty()) SetTimer(IDT_BROWSER_NAVIGATE, kBrowserNavigateDelayMs);
    return hwnd;
}

bool CKIEFrame::PageEngineAvailable() const {
    if (m_engineCheck) return m_engineCheck();
    return m_factory ? true : IsSystemPageEngineAvailable();
}

bool CKIEFrame::CreateBrowser() {
    const RECT client = GetClientRect();
    if (m_wndControl.Create(Handle(), &client, nullptr, WS_CHILD | WS_CLIPCHILDREN, 0, kBrowserControlId) == nullptr)
        return false;
    if (!CreateControl()) return false;

    m_pSink = new CBrowserEventSink(this);
    m_pSink->AddRef();
    if (FAILED(m_pSink->Connect(m_spControl.Get()))) platform::Trace("browser events not connected");

    m_spControl.QueryInterface(IID_IWebBrowser2, &m_spBrowser);
    NavigateControl(GetLoadingPageUrl(), Target::Loading);
    return true;
}

bool CKIEFrame::CreateControl() {
    BrowserControlFactory factory = m_factory ? m_factory : &CreateSystemBrowserControl;
    platform::ComPtr<IUnknown> control;
    HRESULT hr = factory(control.Receive());
    if (FAILED(hr) || !control) {
        platform::Trace("browser control not created (0x%08lx)", static_cast<unsigned long>(hr));
        return false;
    }
    platform::ComPtr<IOleObject> object;
    if (FAILED(control.QueryInterface(IID_IOleObject, &object))) return false;

    m_pSite = new ksOleClientSite(m_wndControl.Handle(), m_pExternal);
    m_pSite->AddRef();
    if (FAILED(m_pSite->Attach(control.Get()))) return false;
    m_spControl = control;

    platform::ComPtr<IPersistStreamInit> persist;
    if (SUCCEEDED(control.QueryInterface(IID_IPersistStreamInit, &persist))) persist->InitNew();
    RECT rc = m_wndControl.GetClientRect();
    hr = object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, static_cast<IOleClientSite*>(m_pSite), 0,
                        m_wndControl.Handle(), &rc);
    if (FAILED(hr)) platform::Trace("browser control not activated (0x%08lx)", static_cast<unsigned long>(hr));
    return true;
}

void CKIEFrame::Teardown() {
    if (Handle()) KillTimer(IDT_BROWSER_NAVIGATE);
    if (m_pLoop) {
        m_pLoop->RemoveMessageFilter(this);
        m_pLoop = nullptr;
    }
    if (m_pSink) {
        m_pSink->Disconnect();
        m_pSink->Release();
        m_pSink = nullptr;
    }
    if (m_spControl) {
        platform::ComPtr<IOleInPlaceObject> inPlace;
        if (SUCCEEDED(m_spControl.QueryInterface(IID_IOleInPlaceObject, &inPlace))) inPlace->InPlaceDeactivate();
        platform::ComPtr<IOleObject> object;
        if (SUCCEEDED(m_spControl.QueryInterface(IID_IOleObject, &object))) {
            object->Close(OLECLOSE_NOSAVE);
            object->SetClientSite(nullptr);
        }
    }
    if (m_pSite) {
        m_pSite->Detach();
        m_pSite->Release();
        m_pSite = nullptr;
    }
    m_spBrowser.Reset();
    m_spControl.Reset();
    if (m_wndControl.IsWindow()) m_wndControl.DestroyWindow();
    m_target = Target::None;
}

void CKIEFrame::Destroy() {
    Teardown();
    if (IsWindow()) DestroyWindow();
}

void CKIEFrame::Navigate(const wchar_t* url, const wchar_t* errorUrl) {
    if (errorUrl) m_strErrorUrl = errorUrl;
    m_bNavigateError = false;
    m_nErrorPageTries = 0;
    m_strUrl = url ? url : L"";
    if (IsWindow()) SetTimer(IDT_BROWSER_NAVIGATE, kBrowserNavigateDelayMs);
}

void CKIEFrame::NavigateControl(const std::wstring& url, Target target) {
    if (!m_spBrowser) return;
    m_target = target;
    m_spBrowser->put_RegisterAsDropTarget(VARIANT_FALSE);
    BSTR address = ::SysAllocStringLen(url.data(), static_cast<UINT>(url.size()));
    if (address == nullptr) return;
    VARIANT empty;
    ::VariantInit(&empty);
    m_spBrowser->Navigate(address, &empty, &empty, &empty, &empty);
    ::SysFreeString(address);
}

void CKIEFrame::NavigateToErrorPage() {
    ++m_nErrorPageTries;
    NavigateControl(m_strErrorUrl, Target::ErrorPage);
}

bool CKIEFrame::IsTopLevel(IDispatch* browser) const {
    if (browser == nullptr || !m_spControl) return false;
    // COM identity: the same object answers IUnknown with the same pointer.
    platform::ComPtr<IUnknown> identity;
    if (FAILED(browser->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(identity.Receive())))) return false;
    platform::ComPtr<IUnknown> own;
    if (FAILED(m_spControl.QueryInterface(IID_IUnknown, &own))) return false;
    return identity.Get() == own.Get();
}

void CKIEFrame::OnNavigateComplete2(IDispatch*, BSTR) {
    if (m_bNavigateError) return;
    if (m_wndControl.IsWindow()) m_wndControl.ShowWindow(SW_SHOW);
    ShowWindow(SW_SHOW);
}

void CKIEFrame::OnNavigateError(IDispatch* browser, BSTR url) {
    // The page itself failed when the top-level browser reports it (the
    // browser may have normalised the address) or the address is the page's.
    const bool topLevel = IsTopLevel(browser);
    if (m_target == Target::Page && !m_strErrorUrl.empty() && (topLevel || SameUrl(url, m_strUrl))) {
        NavigateToErrorPage();
        return;
    }
    // The error page failing itself is tried again a few times, not for ever.
    if (m_target == Target::ErrorPage && (topLevel || SameUrl(url, m_strErrorUrl)) &&
        m_nErrorPageTries <= kErrorPageRetries) {
        NavigateToErrorPage();
        return;
    }
    // Anything else (a frame, an image, the loading page): keep the windows
    // as they are until the next Navigate.
    m_bNavigateError = true;
}

void CKIEFrame::FitControl() {
    if (!m_wndControl.IsWindow()) return;
    RECT rc = GetClientRect();
    m_wndControl.MoveWindow(rc, true);
    if (!m_spControl) return;
    platform::ComPtr<IOleInPlaceObject> inPlace;
    if (SUCCEEDED(m_spControl.QueryInterface(IID_IOleInPlaceObject, &inPlace))) inPlace->SetObjectRects(&rc, &rc);
}

bool CKIEFrame::TranslateKey(MSG* pMsg) {
    if (pMsg == nullptr || !m_spControl) return false;
    platform::ComPtr<IOleInPlaceActiveObject> active;
    if (FAILED(m_spControl.QueryInterface(IID_IOleInPlaceActiveObject, &active))) return false;
    return active->TranslateAccelerator(pMsg) == S_OK;
}

BOOL CKIEFrame::PreTranslateMessage(MSG* pMsg) {
    if (pMsg == nullptr || !IsKeyboardMessage(pMsg->message) || !m_wndControl.IsWindow()) return FALSE;
    HWND control = m_wndControl.Handle();
    if (pMsg->hwnd != control && !::IsChild(control, pMsg->hwnd)) return FALSE;
    return TranslateKey(pMsg) ? TRUE : FALSE;
}

LRESULT CKIEFrame::OnPaint(UINT, WPARAM, LPARAM, BOOL&) {
    platform::PaintDC dc(Handle());
    if (dc.Get() != nullptr) PaintBackground(dc);
    return 0;
}

LRESULT CKIEFrame::OnPrintClient(UINT, WPARAM wParam, LPARAM, BOOL&) {
    if (wParam) PaintBackground(reinterpret_cast<HDC>(wParam));
    return 0;
}

// Until the control shows a page, the host shows its background; without a
// page engine, with the line saying so.
void CKIEFrame::PaintBackground(HDC dc) {
    if (m_wndControl.IsWindow() && m_wndControl.IsWindowVisible()) return;
    RECT rc = GetClientRect();
    COLORREF old = ::SetBkColor(dc, m_crBackground);
    ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rc, nullptr, 0, nullptr);
    ::SetBkColor(dc, old);
    if (m_bNoEngine) PaintNoEngine(dc, rc);
}

// One quiet line in the secondary text colour, centred in the view.
void CKIEFrame::PaintNoEngine(HDC dc, const RECT& rc) {
    LPCWSTR text = BkString::Get(IDS_BROWSER_NO_ENGINE);
    if (text == nullptr || *text == 0) return;
    RECT box = rc;
    ::InflateRect(&box, -8, -8);
    if (box.right <= box.left || box.bottom <= box.top) return;
    HFONT font = BkFontPool::GetFont(0);
    platform::SelectObjectScope select(dc, font ? static_cast<HGDIOBJ>(font) : ::GetStockObject(DEFAULT_GUI_FONT));
    const int oldMode = ::SetBkMode(dc, TRANSPARENT);
    const COLORREF oldColor = ::SetTextColor(dc, kNoEngineTextColor);
    ::DrawTextW(dc, text, -1, &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    ::SetTextColor(dc, oldColor);
    ::SetBkMode(dc, oldMode);
}

LRESULT CKIEFrame::OnSize(UINT, WPARAM, LPARAM, BOOL&) {
    FitControl();
    // The line stands centred: a new size moves all of it.
    if (m_bNoEngine) Invalidate(false);
    return 0;
}

LRESULT CKIEFrame::OnTimer(UINT, WPARAM wParam, LPARAM, BOOL& bHandled) {
    if (wParam != IDT_BROWSER_NAVIGATE) {
        bHandled = FALSE;
        return 0;
    }
    KillTimer(IDT_BROWSER_NAVIGATE);
    NavigateControl(m_strUrl, Target::Page);
    return 0;
}

LRESULT CKIEFrame::OnForwardMsg(UINT, WPARAM, LPARAM lParam, BOOL&) {
    return TranslateKey(reinterpret_cast<MSG*>(lParam)) ? TRUE : FALSE;
}

LRESULT CKIEFrame::OnDestroy(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    Teardown();
    bHandled = FALSE;
    return 0;
}
