#pragma once
// KJsDispatcherImpl: the native object that page script reaches as
// window.external. Script calls any method name with three strings,
// "kieframe", the method name and the parameters as JSON text; the answer is
// the JSON text of the result document (empty when the method set nothing).
//
// The dispatcher is a base of its owner window and lives exactly as long as
// the owner, so it keeps no reference count. The owner declares
//
//     static const KJsDispatcherImpl<Owner>::ScriptMethod*
//         FindScriptMethod(const std::wstring& name);
//
// usually answered from a KJsMethodTable<Owner> of its known names, and may
// hide OnUnknownScriptMethod to see names it does not offer.
#include <windows.h>
#include <oleauto.h>
#include <exdisp.h>

#include <cwchar>
#include <initializer_list>
#include <new>
#include <string>
#include <unordered_map>

#include "browser/bkjson.h"

// Every name script asks for maps to this one id; the method name travels as
// the second argument instead.
const DISPID DISPID_KJS_CALL = 1;

template <class T>
class KJsDispatcherImpl : public IDispatch {
public:
    typedef void (T::*ScriptMethod)(BkJson::Document& params, BkJson::Document& result);

    // IUnknown: interfaces are handed out without a reference.
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv) return E_POINTER;
        if (IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, DIID_DWebBrowserEvents2) ||
            IsEqualIID(riid, IID_IUnknown)) {
            *ppv = static_cast<IDispatch*>(this);
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 1; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }

    // IDispatch
    STDMETHODIMP GetTypeInfoCount(UINT* pctinfo) override
    {
        if (pctinfo) *pctinfo = 0;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) override
    {
        if (ppTInfo) *ppTInfo = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT cNames, LCID, DISPID* rgDispId) override
    {
        if (cNames == 0) return S_OK;
        if (!rgDispId) return E_INVALIDARG;
        rgDispId[0] = DISPID_KJS_CALL;
        // Argument names have no ids; leave no slot unwritten for the caller.
        for (UINT i = 1; i < cNames; ++i) rgDispId[i] = DISPID_UNKNOWN;
        return S_OK;
    }
    STDMETHODIMP Invoke(DISPID dispIdMember, REFIID, LCID, WORD, DISPPARAMS* pDispParams,
                        VARIANT* pVarResult, EXCEPINFO*, UINT*) override
    {
        if (dispIdMember != DISPID_KJS_CALL || !pDispParams || pDispParams->cArgs != 3)
            return E_NOTIMPL;
        const VARIANT* args = pDispParams->rgvarg;
        if (!args) return E_INVALIDARG;
        for (int i = 0; i < 3; ++i) {
            if (V_VT(&args[i]) != VT_BSTR) return E_INVALIDARG;
        }
        // Arguments arrive last first: [2] is the tag, [1] the method name,
        // [0] the parameter text.
        if (!IsCallTag(V_BSTR(&args[2]))) return E_NOINTERFACE;

        // Nothing may be thrown into the script engine.
        try {
            BkJson::Document params;
            BkJson::Document result;
            // Text that is not JSON still reaches the method, as an empty document.
            params.Parse(V_BSTR(&args[0]) ? V_BSTR(&args[0]) : L"");
            BSTR name = V_BSTR(&args[1]);
            CallMethod(std::wstring(name ? name : L"", name ? SysStringLen(name) : 0), params, result);

            std::wstring text;
            result.Write(text, false);
            if (pVarResult) {
                BSTR answer = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
                if (!answer) return E_OUTOFMEMORY;
                VariantInit(pVarResult);
                V_VT(pVarResult) = VT_BSTR;
                V_BSTR(pVarResult) = answer;
            }
            return S_OK;
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        } catch (...) {
            return E_FAIL;
        }
    }

    // Runs the owner's method of that name, or its handler for unknown names.
    void CallMethod(const std::wstring& name, BkJson::Document& params, BkJson::Document& result)
    {
        T* owner = static_cast<T*>(this);
        const ScriptMethod* method = T::FindScriptMethod(name);
        if (method && *method)
            (owner->**method)(params, result);
        else
            owner->OnUnknownScriptMethod(name, params, result);
    }

    // A name the owner does not offer is not an error: script gets "".
    void OnUnknownScriptMethod(const std::wstring&, BkJson::Document&, BkJson::Document&) {}

private:
    // Exactly "kieframe": same letter case, no trailing characters.
    static bool IsCallTag(BSTR tag)
    {
        static const wchar_t kTag[] = L"kieframe";
        const UINT length = sizeof(kTag) / sizeof(kTag[0]) - 1;
        return tag && SysStringLen(tag) == length && wmemcmp(tag, kTag, length) == 0;
    }
};

// The script methods of one owner class, keyed by the exact name script
// uses. Built once (a function-local static in FindScriptMethod) and read
// only afterwards; names that are not in it are never stored.
template <class T>
class KJsMethodTable {
public:
    typedef typename KJsDispatcherImpl<T>::ScriptMethod ScriptMethod;
    struct Entry {
        const wchar_t* name;
        ScriptMethod method;
    };

    KJsMethodTable(std::initializer_list<Entry> known)
    {
        for (const Entry& entry : known) m_methods.emplace(entry.name, entry.method);
    }

    const ScriptMethod* Find(const std::wstring& name) const
    {
        auto it = m_methods.find(name);
        return it == m_methods.end() ? nullptr : &it->second;
    }

private:
    std::unordered_map<std::wstring, ScriptMethod> m_methods;
};
