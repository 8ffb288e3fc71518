#pragma once
// The library's web window: a page in the hosted browser, with a small
// script interface. New windows open only for the payment server; any other
// web address goes to the default browser.
#include <windows.h>

#include <functional>
#include <string>

#include "browser/kieframe.h"
#include "browser/kjsdispatcher.h"
#include "ui/bkdlgimpl.h"

// True for an http or https address whose host (without user, port, path)
// is exactly `host`, compared without regard to case.
bool IsUrlOnHost(const std::wstring& url, const std::wstring& host);
// True for an http or https address.
bool IsWebUrl(const std::wstring& url);

// Follows DWebBrowserEvents2::NewWindow3 of one browser control.
class CNewWindowSink : public IDispatch {
public:
    // Answers whether the browser may open its own window for the URL.
    using Decide = std::function<bool(const std::wstring& url)>;
    explicit CNewWindowSink(Decide decide) : decide_(std::move(decide)) {}

    HRESULT Connect(IUnknown* control);
    void Disconnect();

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override;

private:
    virtual ~CNewWindowSink() = default;
    LONG refs_ = 1;
    Decide decide_;
    IConnectionPoint* point_ = nullptr;
    DWORD cookie_ = 0;
};

class CWebDialog : public CBkDialogImpl<CWebDialog>, public KJsDispatcherImpl<CWebDialog> {
public:
    enum : UINT { IDC_TITLE = 100, IDC_CLOSE = 2, IDC_BROWSER = 10000 };
    // Posted to itself: script asked to close (never inside the script call).
    static constexpr UINT WM_WEB_CLOSE = WM_APP + 0x51;

    CWebDialog(std::wstring url, std::wstring paymentHost);
    ~CWebDialog() override;

    // Opens a web address in the default browser; tests replace it.
    std::function<void(const std::wstring& url)> OpenExternal;
    // What NewWindow3 does with a URL: true lets the browser open its window.
    bool OnNewWindow(const std::wstring& url);
    CKIEFrame& Frame() { return frame_; }

    // Script methods: "settitle", "closewnd", "login", "getloginurl".
    static const ScriptMethod* FindScriptMethod(const std::wstring& name);

    WINDOW_MAP_BEGIN(CWebDialog)
        ON_WINDOW_NOTIFY(IDC_BKVIEW, OnBkNotify)
        ON_WINDOW_MESSAGE(WM_INITDIALOG, OnInitDialog)
        ON_WINDOW_MESSAGE(WM_WEB_CLOSE, OnWebClose)
        ON_WINDOW_MESSAGE(WM_DESTROY, OnDestroy)
        WINDOW_MAP_CHAIN(CBkDialogImpl<CWebDialog>)
    WINDOW_MAP_END()

private:
    LRESULT OnBkNotify(int idCtrl, NMHDR* header, BOOL& handled);
    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnWebClose(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL&);
    void OnSetTitle(BkJson::Document& params, BkJson::Document& result);
    void OnCloseWnd(BkJson::Document& params, BkJson::Document& result);
    void OnLogin(BkJson::Document& params, BkJson::Document& result);
    void OnGetLoginUrl(BkJson::Document& params, BkJson::Document& result);
    void TearDownBrowser();

    std::wstring url_;
    std::wstring paymentHost_;
    CKIEFrame frame_;
    CNewWindowSink* sink_ = nullptr;
    HRESULT com_;
};

// The payment server whose pages keep to the web window.
extern const wchar_t kPaymentHost[];
