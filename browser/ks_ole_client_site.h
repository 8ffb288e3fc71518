#pragma once
// ksOleClientSite: the one site object the hosted browser control talks to.
// It is the control's client site, its in-place site (with a minimal frame),
// its document host (window.external is our script dispatcher) and the
// command target that keeps script errors from raising message boxes.
//
// When the control already had a client site before Attach, that site (and
// its document host) is kept and asked first, so a host layered under ours
// keeps working; our own answers stand in where there is none.
#include <windows.h>
#include <ole2.h>
#include <docobj.h>
#include <mshtmhst.h>

#include "platform/com_ptr.h"

// CGID_DocHostCommandHandler: the command group of the document host's
// commands (script errors among them); the import libraries lack it.
extern const GUID kDocHostCommandGroup;

// Reference count starting at 0; the object deletes itself when the count
// drops back to 0.
class ksIUnknown {
public:
    ULONG AddRefImpl() { return static_cast<ULONG>(::InterlockedIncrement(&m_refs)); }
    ULONG ReleaseImpl();
    LONG RefCount() const { return m_refs; }

protected:
    ksIUnknown() = default;
    virtual ~ksIUnknown() = default;

private:
    volatile LONG m_refs = 0;
};

class ksOleClientSite : public ksIUnknown,
                        public IOleClientSite,
                        public IOleInPlaceSite,
                        public IOleCommandTarget,
                        public IDocHostUIHandler {
public:
    // hostWindow: the window the control is activated in; external: the
    // object page script reaches as window.external (not reference counted:
    // the owner detaches the site before it goes).
    ksOleClientSite(HWND hostWindow, IDispatch* external);

    // Keeps the control's present client site (and its document host) and
    // makes this object the control's client site.
    HRESULT Attach(IUnknown* control);
    // Lets go of everything the site refers to: the earlier site, the window
    // and the external object. Called before the owner goes, so a late call
    // from the control finds nothing to reach.
    void Detach();

    void SetHostWindow(HWND hwnd) { m_hWndHost = hwnd; }
    // Number of live site objects in the process (leak checks).
    static LONG LiveCount();

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return AddRefImpl(); }
    STDMETHODIMP_(ULONG) Release() override { return ReleaseImpl(); }

    // IOleClientSite
    STDMETHODIMP SaveObject() override;
    STDMETHODIMP GetMoniker(DWORD dwAssign, DWORD dwWhichMoniker, IMoniker** ppmk) override;
    STDMETHODIMP GetContainer(IOleContainer** ppContainer) override;
    STDMETHODIMP ShowObject() override;
    STDMETHODIMP OnShowWindow(BOOL fShow) override;
    STDMETHODIMP RequestNewObjectLayout() override;

    // IOleWindow / IOleInPlaceSite
    STDMETHODIMP GetWindow(HWND* phwnd) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL fEnterMode) override;
    STDMETHODIMP CanInPlaceActivate() override;
    STDMETHODIMP OnInPlaceActivate() override;
    STDMETHODIMP OnUIActivate() override;
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** ppFrame, IOleInPlaceUIWindow** ppDoc, LPRECT lprcPosRect,
                                  LPRECT lprcClipRect, LPOLEINPLACEFRAMEINFO lpFrameInfo) override;
    STDMETHODIMP Scroll(SIZE scrollExtant) override;
    STDMETHODIMP OnUIDeactivate(BOOL fUndoable) override;
    STDMETHODIMP OnInPlaceDeactivate() override;
    STDMETHODIMP DiscardUndoState() override;
    STDMETHODIMP DeactivateAndUndo() override;
    STDMETHODIMP OnPosRectChange(LPCRECT lprcPosRect) override;

    // IOleCommandTarget
    STDMETHODIMP QueryStatus(const GUID* pguidCmdGroup, ULONG cCmds, OLECMD prgCmds[], OLECMDTEXT* pCmdText) override;
    STDMETHODIMP Exec(const GUID* pguidCmdGroup, DWORD nCmdID, DWORD nCmdexecopt, VARIANT* pvaIn,
                      VARIANT* pvaOut) override;

    // IDocHostUIHandler
    STDMETHODIMP ShowContextMenu(DWORD dwID, POINT* ppt, IUnknown* pcmdtReserved, IDispatch* pdispReserved) override;
    STDMETHODIMP GetHostInfo(DOCHOSTUIINFO* pInfo) override;
    STDMETHODIMP ShowUI(DWORD dwID, IOleInPlaceActiveObject* pActiveObject, IOleCommandTarget* pCommandTarget,
                        IOleInPlaceFrame* pFrame, IOleInPlaceUIWindow* pDoc) override;
    STDMETHODIMP HideUI() override;
    STDMETHODIMP UpdateUI() override;
    STDMETHODIMP EnableModeless(BOOL fEnable) override;
    STDMETHODIMP OnDocWindowActivate(BOOL fActivate) override;
    STDMETHODIMP OnFrameWindowActivate(BOOL fActivate) override;
    STDMETHODIMP ResizeBorder(LPCRECT prcBorder, IOleInPlaceUIWindow* pUIWindow, BOOL fRameWindow) override;
    STDMETHODIMP TranslateAccelerator(LPMSG lpMsg, const GUID* pguidCmdGroup, DWORD nCmdID) override;
    STDMETHODIMP GetOptionKeyPath(LPOLESTR* pchKey, DWORD dw) override;
    STDMETHODIMP GetDropTarget(IDropTarget* pDropTarget, IDropTarget** ppDropTarget) override;
    STDMETHODIMP GetExternal(IDispatch** ppDispatch) override;
    STDMETHODIMP TranslateUrl(DWORD dwTranslate, LPWSTR pchURLIn, LPWSTR* ppchURLOut) override;
    STDMETHODIMP FilterDataObject(IDataObject* pDO, IDataObject** ppDORet) override;

private:
    ~ksOleClientSite() override;

    // The in-place frame the control asks for: a separate face of the same
    // object, so that its methods do not mix with the document host's of the
    // same names. It merely answers; the program has no menus or toolbars
    // for the control to merge into.
    class Frame : public IOleInPlaceFrame {
    public:
        explicit Frame(ksOleClientSite& site) : m_site(site) {}
        STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
        STDMETHODIMP_(ULONG) AddRef() override { return m_site.AddRef(); }
        STDMETHODIMP_(ULONG) Release() override { return m_site.Release(); }
        STDMETHODIMP GetWindow(HWND* phwnd) override { return m_site.GetWindow(phwnd); }
        STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
        STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
        STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
        STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
        STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }
        STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return S_OK; }
        STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
        STDMETHODIMP RemoveMenus(HMENU) override { return S_OK; }
        STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
        STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
        STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

    private:
        ksOleClientSite& m_site;
    };

    HWND m_hWndHost;
    IDispatch* m_pExternal;
    platform::ComPtr<IOleClientSite> m_spEarlierSite;
    platform::ComPtr<IDocHostUIHandler> m_spEarlierHandler;
    Frame m_frame;
};
