#pragma once
// CKIEFrame: a child window that hosts the system web browser control. It
// shows the program's loading page while the real page loads, replaces a
// failed page by the program's error page, hands page script our native
// object as window.external and keeps script errors silent.
//
// The hosting layer is our own: the control is created through COM (or by
// the factory a test sets), sited on one ksOleClientSite, activated in place
// inside a child "control window" (id 6) and followed through an event sink
// on DWebBrowserEvents2. Teardown is explicit: the control is closed and
// unsited, the sink disconnected and every reference released before the
// window (and the owner of the external object) goes.
#include <windows.h>
#include <exdisp.h>
#include <oleidl.h>

#include <string>
#include <utility>

#include "browser/browser_events.h"
#include "browser/ks_ole_client_site.h"
#include "platform/com_ptr.h"
#include "platform/message_loop.h"
#include "platform/window_impl.h"

#ifndef WM_FORWARDMSG
#define WM_FORWARDMSG 0x037F
#endif

// Makes a new browser control object; S_OK with *control set (one reference).
typedef HRESULT (*BrowserControlFactory)(IUnknown** control);
// The system's WebBrowser control ("Shell.Explorer").
HRESULT CreateSystemBrowserControl(IUnknown** control);
// Whether the system can render pages at all: the WebBrowser control exists
// without its HTML engine on some systems (Wine without its Gecko package),
// and then shows nothing, or black, whatever it is sent to.
typedef bool (*PageEngineCheck)();
bool IsSystemPageEngineAvailable();

const UINT IDT_BROWSER_NAVIGATE = 1;
const UINT kBrowserNavigateDelayMs = 500;
const UINT kBrowserHostId = 10000;     // the host window among its parent's children
const UINT kBrowserControlId = 6;      // the control window inside the host
const UINT IDR_PAGE_LOADING = 110;     // HTML resources of the program
const UINT IDR_PAGE_ERROR = 111;
// Times the error page is tried again when it fails to load itself.
const int kErrorPageRetries = 2;
// The line the host draws when no page can be shown (a string of 60002).
const UINT IDS_BROWSER_NO_ENGINE = 120;
const COLORREF kNoEngineTextColor = RGB(0x5F, 0x63, 0x68);  // the design's secondary text

class CKIEFrame : public platform::WindowImpl<CKIEFrame>,
                  public IBrowserEventTarget,
                  public platform::MessageFilter {
public:
    // external: window.external for page script; it must outlive the
    // window or be detached by destroying the window first.
    explicit CKIEFrame(IDispatch* external);
    ~CKIEFrame() override;

    // The factory every new frame starts with (null: the system control).
    static void SetDefaultControlFactory(BrowserControlFactory factory);
    void SetControlFactory(BrowserControlFactory factory) { m_factory = factory; }
    // How Create asks whether pages can be shown. Null (the default): the
    // system's engine is asked when the control is the system's; a control
    // from a factory of the caller's renders its own pages.
    void SetPageEngineCheck(PageEngineCheck check) { m_engineCheck = check; }

    // Creates the host window (WS_CHILD | WS_VISIBLE, id 10000) over the
    // parent's client area and the control in it, and starts on the loading
    // page. A URL given to Navigate before is navigated to afterwards.
    HWND Create(HWND parent);
    // Keeps the error page (null keeps the previous one), clears the error
    // flag and navigates to the URL 500 ms later; calls within that time
    // navigate once, to the last URL. Before Create it only stores the URL.
    void Navigate(const wchar_t* url, const wchar_t* errorUrl);
    // Tears the control down and destroys the window.
    void Destroy();

    // "res://<program path>/<id>": a page among the program's resources.
    static std::wstring ResourcePageUrl(UINT id);
    // The page shown while the first page loads: the program's resource 110
    // unless the owner keeps pages of its own (the module library's web
    // window shows its 102). Takes effect at Create.
    void SetLoadingPageUrl(std::wstring url) { m_strLoadingUrl = std::move(url); }
    std::wstring GetLoadingPageUrl() const;

    HWND GetControlWindow() const { return m_wndControl.Handle(); }
    IUnknown* GetControl() const { return m_spControl.Get(); }
    bool IsNavigateError() const { return m_bNavigateError; }
    // No page can be shown (no engine or no control): the host draws a line
    // saying so instead of a blank or black area.
    bool IsPageEngineMissing() const { return m_bNoEngine; }
    const std::wstring& GetUrl() const { return m_strUrl; }
    const std::wstring& GetErrorUrl() const { return m_strErrorUrl; }
    COLORREF GetBackgroundColor() const { return m_crBackground; }

    // Keystrokes for the control go to its TranslateAccelerator first.
    BOOL PreTranslateMessage(MSG* pMsg) override;

    // IBrowserEventTarget
    void OnNavigateComplete2(IDispatch* browser, BSTR url) override;
    void OnNavigateError(IDispatch* browser, BSTR url) override;

    WINDOW_MAP_BEGIN(CKIEFrame)
        ON_WINDOW_MESSAGE(WM_PAINT, OnPaint)
        ON_WINDOW_MESSAGE(WM_PRINTCLIENT, OnPrintClient)
        ON_WINDOW_MESSAGE(WM_ERASEBKGND, OnEraseBkgnd)
        ON_WINDOW_MESSAGE(WM_SIZE, OnSize)
        ON_WINDOW_MESSAGE(WM_TIMER, OnTimer)
        ON_WINDOW_MESSAGE(WM_FORWARDMSG, OnForwardMsg)
        ON_WINDOW_MESSAGE(WM_DESTROY, OnDestroy)
    WINDOW_MAP_END()

private:
    // The window the control is activated in.
    class ControlWindow : public platform::WindowImpl<ControlWindow> {
    public:
        WINDOW_MAP_BEGIN(ControlWindow)
            ON_WINDOW_MESSAGE(WM_ERASEBKGND, OnEraseBkgnd)
        WINDOW_MAP_END()
    private:
        LRESULT OnEraseBkgnd(UINT, WPARAM, LPARAM, BOOL&) { return 1; }
    };

    // Which page the control was last sent to.
    enum class Target { None, Loading, Page, ErrorPage };

    bool CreateBrowser();
    bool CreateControl();
    void Teardown();
    void NavigateControl(const std::wstring& url, Target target);
    void NavigateToErrorPage();
    void FitControl();
    bool IsTopLevel(IDispatch* browser) const;
    bool TranslateKey(MSG* pMsg);

    bool PageEngineAvailable() const;
    void PaintNoEngine(HDC dc, const RECT& rc);
    void PaintBackground(HDC dc);

    LRESULT OnPaint(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnPrintClient(UINT, WPARAM wParam, LPARAM, BOOL&);
    LRESULT OnEraseBkgnd(UINT, WPARAM, LPARAM, BOOL&) { return 1; }
    LRESULT OnSize(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnTimer(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnForwardMsg(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL&);

    IDispatch* m_pExternal;
    ControlWindow m_wndControl;
    ksOleClientSite* m_pSite = nullptr;        // one reference held
    CBrowserEventSink* m_pSink = nullptr;      // one reference held
    platform::ComPtr<IUnknown> m_spControl;
    platform::ComPtr<IWebBrowser2> m_spBrowser;
    std::wstring m_strUrl;
    bool m_bNavigateError = false;
    COLORREF m_crBackground = RGB(255, 255, 255);
    std::wstring m_strErrorUrl;
    UINT m_uLoadingPage = IDR_PAGE_LOADING;
    std::wstring m_strLoadingUrl;              // empty: the program's m_uLoadingPage

    BrowserControlFactory m_factory;
    PageEngineCheck m_engineCheck = nullptr;
    bool m_bNoEngine = false;
    Target m_target = Target::None;
    int m_nErrorPageTries = 0;
    platform::MessageLoop* m_pLoop = nullptr;  // where this frame is a filter
};
