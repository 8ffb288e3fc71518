#pragma once
// The event sink of the hosted browser: an IDispatch connected to the
// control's DWebBrowserEvents2 connection point that turns the two events
// the host follows into calls on its target. Arguments of an event arrive
// last first in the argument array, most of them as by-reference variants.
#include <windows.h>
#include <ocidl.h>

#include "browser/ks_ole_client_site.h"
#include "platform/com_ptr.h"

class IBrowserEventTarget {
public:
    // The browser object that navigated (the top-level one or a frame's) and
    // the URL it reached or failed on (null when the event gave none).
    virtual void OnNavigateComplete2(IDispatch* browser, BSTR url) = 0;
    virtual void OnNavigateError(IDispatch* browser, BSTR url) = 0;

protected:
    ~IBrowserEventTarget() = default;
};

class CBrowserEventSink : public ksIUnknown, public IDispatch {
public:
    explicit CBrowserEventSink(IBrowserEventTarget* target) : m_pTarget(target) {}

    // Advises the control's DWebBrowserEvents2 connection point.
    HRESULT Connect(IUnknown* control);
    // Unadvises and forgets the target; events that still arrive are dropped.
    void Disconnect();
    bool IsConnected() const { return m_dwCookie != 0; }

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return AddRefImpl(); }
    STDMETHODIMP_(ULONG) Release() override { return ReleaseImpl(); }

    // IDispatch
    STDMETHODIMP GetTypeInfoCount(UINT* pctinfo) override;
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) override;
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
    STDMETHODIMP Invoke(DISPID dispIdMember, REFIID, LCID, WORD, DISPPARAMS* pDispParams, VARIANT* pVarResult,
                        EXCEPINFO*, UINT*) override;

private:
    ~CBrowserEventSink() override = default;

    IBrowserEventTarget* m_pTarget;
    platform::ComPtr<IConnectionPoint> m_spPoint;
    DWORD m_dwCookie = 0;
};
