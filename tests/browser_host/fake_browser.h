#pragma once
// A browser control that renders nothing: it records what the host asks of
// it and lets a test fire the events a real control would.
#include <windows.h>
#include <exdisp.h>
#include <exdispid.h>
#include <ocidl.h>
#include <oleidl.h>

#include <string>
#include <vector>

#include "tests/browser_host/browser_stubs.h"

// What the last fake saw; it outlives the fake, so a test can look after the
// host let go of it.
struct FakeBrowserLog {
    std::vector<std::wstring> navigations;
    int dropTargetOff = 0;          // put_RegisterAsDropTarget(FALSE) calls
    IOleClientSite* site = nullptr; // set while the control is sited
    HWND activatedIn = nullptr;     // window given to DoVerb
    int rectsSet = 0;
    int accelerators = 0;
    int advised = 0, unadvised = 0;
    bool closed = false, deactivated = false, destroyed = false;
    LONG refs = 0;
};

class FakeBrowser : public WebBrowserStub,
                    public OleObjectStub,
                    public IOleInPlaceActiveObject,
                    public IOleInPlaceObject,
                    public IConnectionPointContainer,
                    public IConnectionPoint {
public:
    // The factory the host calls; every fake reports to Log().
    static HRESULT Create(IUnknown** out);
    static FakeBrowserLog& Log();
    static FakeBrowser* Last();  // the live fake, null once it is gone

    // Events as the real control sends them (arguments last first, the URL
    // by reference). topLevel false: from a frame's own browser object.
    void FireNavigateComplete(const std::wstring& url);
    void FireNavigateError(const std::wstring& url, bool topLevel = true);
    IDispatch* Sink() const { return sink_; }

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IWebBrowser2
    STDMETHODIMP Navigate(BSTR url, VARIANT*, VARIANT*, VARIANT*, VARIANT*) override;
    STDMETHODIMP put_RegisterAsDropTarget(VARIANT_BOOL value) override;

    // IOleObject
    STDMETHODIMP SetClientSite(IOleClientSite* site) override;
    STDMETHODIMP GetClientSite(IOleClientSite** site) override;
    STDMETHODIMP Close(DWORD) override { Log().closed = true; return S_OK; }
    STDMETHODIMP DoVerb(LONG verb, LPMSG, IOleClientSite*, LONG, HWND parent, LPCRECT) override;

    // IOleWindow, IOleInPlaceObject, IOleInPlaceActiveObject
    STDMETHODIMP GetWindow(HWND* hwnd) override { *hwnd = Log().activatedIn; return S_OK; }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP InPlaceDeactivate() override { Log().deactivated = true; return S_OK; }
    STDMETHODIMP UIDeactivate() override { return S_OK; }
    STDMETHODIMP SetObjectRects(LPCRECT, LPCRECT) override { ++Log().rectsSet; return S_OK; }
    STDMETHODIMP ReactivateAndUndo() override { return E_NOTIMPL; }
    STDMETHODIMP TranslateAccelerator(LPMSG msg) override;
    STDMETHODIMP OnFrameWindowActivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnDocWindowActivate(BOOL) override { return S_OK; }
    STDMETHODIMP ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }

    // IConnectionPointContainer, IConnectionPoint
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints**) override { return E_NOTIMPL; }
    STDMETHODIMP FindConnectionPoint(REFIID riid, IConnectionPoint** point) override;
    STDMETHODIMP GetConnectionInterface(IID* iid) override { *iid = DIID_DWebBrowserEvents2; return S_OK; }
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** out) override;
    STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override;
    STDMETHODIMP Unadvise(DWORD cookie) override;
    STDMETHODIMP EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }

private:
    FakeBrowser();
    virtual ~FakeBrowser();
    void Fire(DISPID id, DISPPARAMS& params);

    IOleClientSite* site_ = nullptr;
    IDispatch* sink_ = nullptr;
};
