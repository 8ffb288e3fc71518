#include "module/web_dialog.h"

#include <exdisp.h>
#include <exdispid.h>
#include <shellapi.h>

#include <cwchar>

#include "module/module_dialogs.h"
#include "module/update_task.h"

const wchar_t kPaymentHost[] = L"pay.lumsek.net";

namespace {

constexpr DISPID kNewWindow3 = 273;

std::wstring Lower(std::wstring text) {
    if (!text.empty()) ::CharLowerBuffW(&text[0], static_cast<DWORD>(text.size()));
    return text;
}

// The scheme's length including "://" for http and https, else 0.
size_t WebSchemeLength(const std::wstring& url) {
    const std::wstring head = Lower(url.substr(0, 8));
    if (head.compare(0, 7, L"http://") == 0) return 7;
    if (head.compare(0, 8, L"https://") == 0) return 8;
    return 0;
}

// "res://<this library>/<id>": a page among the library's own resources.
std::wstring LibraryPageUrl(UINT id) {
    return L"res://" + GetModulePath(GetLibraryModule()) + L"/" + std::to_wstring(id);
}

// The library's own pages: the program's 110 and 111 are not in this module.
constexpr UINT IDR_PAGE_LIBRARY_ERROR = 101;
constexpr UINT IDR_PAGE_LIBRARY_LOADING = 102;

} // namespace

bool IsWebUrl(const std::wstring& url) { return WebSchemeLength(url) != 0; }

bool IsUrlOnHost(const std::wstring& url, const std::wstring& host) {
    const size_t start = WebSchemeLength(url);
    if (start == 0 || host.empty()) return false;
    // Authority: up to the path, query or fragment; "\" counts as a path
    // separator, as browsers treat it so.
    size_t end = url.find_first_of(L"/?#\\", start);
    if (end == std::wstring::npos) end = url.size();
    std::wstring authority = url.substr(start, end - start);
    const size_t at = authority.rfind(L'@');
    if (at != std::wstring::npos) authority.erase(0, at + 1);
    const size_t colon = authority.find(L':');
    if (colon != std::wstring::npos) authority.resize(colon);
    if (!authority.empty() && authority.back() == L'.') authority.pop_back();
    return !authority.empty() && Lower(authority) == Lower(host);
}

HRESULT CNewWindowSink::Connect(IUnknown* control) {
    if (!control) return E_POINTER;
    IConnectionPointContainer* container = nullptr;
    HRESULT hr = control->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container));
    if (FAILED(hr)) return hr;
    hr = container->FindConnectionPoint(DIID_DWebBrowserEvents2, &point_);
    container->Release();
    if (FAILED(hr)) return hr;
    hr = point_->Advise(static_cast<IDispatch*>(this), &cookie_);
    if (FAILED(hr)) {
        point_->Release();
        point_ = nullptr;
    }
    return hr;
}

void CNewWindowSink::Disconnect() {
    if (point_) {
        if (cookie_) point_->Unadvise(cookie_);
        point_->Release();
        point_ = nullptr;
    }
    cookie_ = 0;
    decide_ = nullptr;
}

STDMETHODIMP CNewWindowSink::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
        IsEqualIID(riid, DIID_DWebBrowserEvents2)) {
        *ppv = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CNewWindowSink::AddRef() { return static_cast<ULONG>(::InterlockedIncrement(&refs_)); }

STDMETHODIMP_(ULONG) CNewWindowSink::Release() {
    const LONG left = ::InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
}

STDMETHODIMP CNewWindowSink::GetTypeInfoCount(UINT* count) {
    if (count) *count = 0;
    return S_OK;
}

STDMETHODIMP CNewWindowSink::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info) *info = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP CNewWindowSink::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }

STDMETHODIMP CNewWindowSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                    UINT*) {
    if (id != kNewWindow3) return S_OK;
    // Arguments arrive last first: URL, URL context, flags, Cancel, ppDisp.
    if (!params || params->cArgs < 5 || !params->rgvarg) return E_INVALIDARG;
    const VARIANT& url = params->rgvarg[0];
    VARIANT& cancel = params->rgvarg[3];
    if (V_VT(&cancel) != (VT_BYREF | VT_BOOL) || !V_BOOLREF(&cancel)) return E_INVALIDARG;
    std::wstring text;
    if (V_VT(&url) == VT_BSTR && V_BSTR(&url)) text = V_BSTR(&url);
    else if (V_VT(&url) == (VT_BYREF | VT_BSTR) && V_BSTRREF(&url) && *V_BSTRREF(&url)) text = *V_BSTRREF(&url);
    const bool allow = decide_ && decide_(text);
    *V_BOOLREF(&cancel) = allow ? VARIANT_FALSE : VARIANT_TRUE;
    return S_OK;
}

CWebDialog::CWebDialog(std::wstring url, std::wstring paymentHost)
    : CBkDialogImpl<CWebDialog>(IDR_LAYOUT_WEB_DIALOG), url_(std::move(url)), paymentHost_(std::move(paymentHost)),
      frame_(static_cast<IDispatch*>(static_cast<KJsDispatcherImpl<CWebDialog>*>(this))),
      com_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {
    OpenExternal = [](const std::wstring& target) {
        ::ShellExecuteW(nullptr, L"open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    };
}

CWebDialog::~CWebDialog() {
    TearDownBrowser();
    if (SUCCEEDED(com_)) ::CoUninitialize();
}

bool CWebDialog::OnNewWindow(const std::wstring& url) {
    if (IsUrlOnHost(url, paymentHost_)) return true;
    // Other web pages go to the default browser; anything else nowhere.
    if (IsWebUrl(url) && OpenExternal) OpenExternal(url);
    return false;
}

const CWebDialog::ScriptMethod* CWebDialog::FindScriptMethod(const std::wstring& name) {
    static const KJsMethodTable<CWebDialog> table{
        {L"settitle", &CWebDialog::OnSetTitle},
        {L"closewnd", &CWebDialog::OnCloseWnd},
        {L"login", &CWebDialog::OnLogin},
        {L"getloginurl", &CWebDialog::OnGetLoginUrl},
    };
    return table.Find(name);
}

void CWebDialog::OnSetTitle(BkJson::Document& params, BkJson::Document&) {
    const wchar_t* title = params[L"wndtitle"].GetString();
    SetItemText(IDC_TITLE, title ? title : L"");
}

void CWebDialog::OnCloseWnd(BkJson::Document&, BkJson::Document&) {
    // The browser is inside this call: destroying it now would pull the
    // page out from under its own script.
    if (IsWindow()) ::PostMessageW(Handle(), WM_WEB_CLOSE, 0, 0);
}

void CWebDialog::OnLogin(BkJson::Document&, BkJson::Document&) {}

void CWebDialog::OnGetLoginUrl(BkJson::Document&, BkJson::Document& result) {
    result[L"loginurl"].SetString(L"");
}

LRESULT CWebDialog::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) {
    if (url_.empty()) return TRUE;
    if (HICON icon = ::LoadIconW(GetLibraryModule(), MAKEINTRESOURCEW(1))) {
        ::SendMessageW(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
        ::SendMessageW(Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    }
    frame_.SetLoadingPageUrl(LibraryPageUrl(IDR_PAGE_LIBRARY_LOADING));
    frame_.Create(GetViewControl().Handle());
    if (IUnknown* control = frame_.GetControl()) {
        sink_ = new CNewWindowSink([this](const std::wstring& url) { return OnNewWindow(url); });
        if (FAILED(sink_->Connect(control))) {
            sink_->Release();
            sink_ = nullptr;
        }
    }
    const std::wstring errorUrl = LibraryPageUrl(IDR_PAGE_LIBRARY_ERROR);
    frame_.Navigate(url_.c_str(), errorUrl.c_str());
    GetViewControl().ShowAllRealWindows();
    return TRUE;
}

LRESULT CWebDialog::OnBkNotify(int, NMHDR* header, BOOL& handled) {
    if (header->code == BKNM_COMMAND && reinterpret_cast<BKNMCOMMAND*>(header)->uItemID == IDC_CLOSE) {
        ::PostMessageW(Handle(), WM_WEB_CLOSE, 0, 0);
        return 0;
    }
    handled = FALSE;
    return 0;
}

LRESULT CWebDialog::OnWebClose(UINT, WPARAM, LPARAM, BOOL&) {
    TearDownBrowser();
    EndDialog(IDOK);
    return 0;
}

LRESULT CWebDialog::OnDestroy(UINT, WPARAM, LPARAM, BOOL& handled) {
    TearDownBrowser();
    handled = FALSE;
    return 0;
}

void CWebDialog::TearDownBrowser() {
    if (sink_) {
        sink_->Disconnect();
        sink_->Release();
        sink_ = nullptr;
    }
    frame_.Destroy();
}
