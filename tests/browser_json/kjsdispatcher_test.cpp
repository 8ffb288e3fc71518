#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "browser/kjsdispatcher.h"

namespace {

// An owner as a web view would be: a few script methods and a record of
// what reached them.
class ScriptOwner : public KJsDispatcherImpl<ScriptOwner> {
public:
    static const ScriptMethod* FindScriptMethod(const std::wstring& name)
    {
        static const KJsMethodTable<ScriptOwner> table{
            { L"echo", &ScriptOwner::OnEcho },
            { L"silent", &ScriptOwner::OnSilent },
            { L"throws", &ScriptOwner::OnThrows },
        };
        return table.Find(name);
    }
    void OnUnknownScriptMethod(const std::wstring& name, BkJson::Document&, BkJson::Document&)
    {
        unknown.push_back(name);
    }

    std::vector<std::wstring> calls, unknown;
    bool paramsHadRoot = false;

private:
    void OnEcho(BkJson::Document& params, BkJson::Document& result)
    {
        calls.push_back(L"echo");
        if (params.HasKey(L"text")) result[L"text"].SetString(params[L"text"].GetString());
        result[L"next"].SetLong(params[L"n"].GetLong() + 1);
    }
    void OnSilent(BkJson::Document& params, BkJson::Document&)
    {
        calls.push_back(L"silent");
        paramsHadRoot = params.GetRoot() != nullptr;
    }
    void OnThrows(BkJson::Document&, BkJson::Document&)
    {
        calls.push_back(L"throws");
        throw std::runtime_error("method failed");
    }
};

// Three string arguments as script passes them, stored last first.
class ScriptArgs {
public:
    ScriptArgs(const wchar_t* tag, const wchar_t* method, const wchar_t* json)
    {
        const wchar_t* inOrder[3] = { json, method, tag };
        for (int i = 0; i < 3; ++i) {
            VariantInit(&m_args[i]);
            V_VT(&m_args[i]) = VT_BSTR;
            V_BSTR(&m_args[i]) = inOrder[i] ? SysAllocString(inOrder[i]) : nullptr;
        }
        m_params.rgvarg = m_args;
        m_params.cArgs = 3;
    }
    ~ScriptArgs()
    {
        for (VARIANT& v : m_args) VariantClear(&v);
    }
    ScriptArgs(const ScriptArgs&) = delete;
    ScriptArgs& operator=(const ScriptArgs&) = delete;

    DISPPARAMS* Params() { return &m_params; }
    VARIANT& Arg(int i) { return m_args[i]; }
    // Replaces argument i with a counted string (NULs inside allowed).
    void SetCounted(int i, const wchar_t* text, UINT length)
    {
        SysFreeString(V_BSTR(&m_args[i]));
        V_BSTR(&m_args[i]) = SysAllocStringLen(text, length);
    }

private:
    VARIANT m_args[3];
    DISPPARAMS m_params = {};
};

// Calls Invoke as the browser does and hands back the answer text.
HRESULT Call(IDispatch* dispatch, ScriptArgs& args, std::wstring& answer, DISPID id = DISPID_KJS_CALL)
{
    VARIANT result;
    VariantInit(&result);
    HRESULT hr = dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, args.Params(),
                                  &result, nullptr, nullptr);
    if (V_VT(&result) == VT_BSTR) {
        answer.assign(V_BSTR(&result), SysStringLen(V_BSTR(&result)));
    } else {
        answer = L"<not a string>";
    }
    VariantClear(&result);
    return hr;
}

TEST(KJsDispatcher, InterfacesAndNames)
{
    ScriptOwner owner;
    IDispatch* dispatch = &owner;
    for (REFIID iid : { IID_IDispatch, IID_IUnknown, DIID_DWebBrowserEvents2 }) {
        void* out = nullptr;
        EXPECT_EQ(dispatch->QueryInterface(iid, &out), S_OK);
        EXPECT_EQ(out, static_cast<void*>(dispatch));
    }
    void* out = dispatch;
    EXPECT_EQ(dispatch->QueryInterface(IID_IClassFactory, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(dispatch->QueryInterface(IID_IDispatch, nullptr), E_POINTER);

    // Every name maps to the one call id; argument names get no id, but
    // their slots are written.
    wchar_t name1[] = L"echo";
    wchar_t name2[] = L"whatever";
    LPOLESTR names[] = { name1, name2 };
    DISPID ids[2] = { 77, 77 };
    EXPECT_EQ(owner.GetIDsOfNames(IID_NULL, names, 2, LOCALE_USER_DEFAULT, ids), S_OK);
    EXPECT_EQ(ids[0], DISPID_KJS_CALL);
    EXPECT_EQ(ids[1], DISPID_UNKNOWN);
    EXPECT_EQ(owner.GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, nullptr), E_INVALIDARG);
}

TEST(KJsDispatcher, CallsTheNamedMethodAndAnswersWithCompactJson)
{
    ScriptOwner owner;
    std::wstring answer;
    ScriptArgs echo(L"kieframe", L"echo", L"{\"text\":\"a/b \u4e2d\\u6587\",\"n\":41}");
    EXPECT_EQ(Call(&owner, echo, answer), S_OK);
    EXPECT_EQ(answer, L"{\"next\":42,\"text\":\"a\\/b \u4e2d\u6587\"}");
    // Nothing set in the result: script receives the empty text.
    ScriptArgs silent(L"kieframe", L"silent", L"{}");
    EXPECT_EQ(Call(&owner, silent, answer), S_OK);
    EXPECT_EQ(answer, L"");
    EXPECT_TRUE(owner.paramsHadRoot);
    // Script may ignore the answer.
    EXPECT_EQ(owner.Invoke(DISPID_KJS_CALL, IID_NULL, 0, DISPATCH_METHOD, echo.Params(), nullptr, nullptr, nullptr),
              S_OK);
    EXPECT_EQ(owner.calls, (std::vector<std::wstring>{L"echo", L"silent", L"echo"}));
}

TEST(KJsDispatcher, ProtocolErrorsMakeNoCall)
{
    ScriptOwner owner;
    std::wstring answer;

    ScriptArgs wrongCase(L"KieFrame", L"echo", L"{}");
    EXPECT_EQ(Call(&owner, wrongCase, answer), E_NOINTERFACE);
    ScriptArgs longer(L"kieframe2", L"echo", L"{}");
    EXPECT_EQ(Call(&owner, longer, answer), E_NOINTERFACE);
    ScriptArgs nullTag(nullptr, L"echo", L"{}");
    EXPECT_EQ(Call(&owner, nullTag, answer), E_NOINTERFACE);
    // A tag with a NUL inside is not the tag.
    ScriptArgs embedded(L"kieframe", L"echo", L"{}");
    embedded.SetCounted(2, L"kieframe\0x", 10);
    EXPECT_EQ(Call(&owner, embedded, answer), E_NOINTERFACE);

    ScriptArgs good(L"kieframe", L"echo", L"{}");
    EXPECT_EQ(Call(&owner, good, answer, 2), E_NOTIMPL);
    good.Params()->cArgs = 2;
    EXPECT_EQ(Call(&owner, good, answer), E_NOTIMPL);
    good.Params()->cArgs = 4;
    EXPECT_EQ(Call(&owner, good, answer), E_NOTIMPL);
    good.Params()->cArgs = 3;
    EXPECT_EQ(owner.Invoke(DISPID_KJS_CALL, IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr),
              E_NOTIMPL);
    // A number among the three arguments, wherever it stands.
    for (int i = 0; i < 3; ++i) {
        ScriptArgs typed(L"kieframe", L"echo", L"{}");
        VariantClear(&typed.Arg(i));
        V_VT(&typed.Arg(i)) = VT_I4;
        V_I4(&typed.Arg(i)) = 1;
        EXPECT_EQ(Call(&owner, typed, answer), E_INVALIDARG) << i;
    }
    EXPECT_TRUE(owner.calls.empty());
    EXPECT_TRUE(owner.unknown.empty());

    // The same call with the right protocol does reach the method.
    EXPECT_EQ(Call(&owner, good, answer), S_OK);
    EXPECT_EQ(owner.calls.size(), 1u);
}

TEST(KJsDispatcher, BadParametersUnknownNamesAndThrowingMethods)
{
    // Bad parameter text still reaches the method, with an empty document.
    for (const wchar_t* text : { L"not json", L"", L"{\"a\":", L"[\"\\ud800\"]", L"{\"n\":99999999999}", L"null" }) {
        ScriptOwner owner;
        ScriptArgs args(L"kieframe", L"silent", text);
        std::wstring answer = L"x";
        EXPECT_EQ(Call(&owner, args, answer), S_OK) << text;
        ASSERT_EQ(owner.calls.size(), 1u) << text;
        EXPECT_FALSE(owner.paramsHadRoot) << text;
        EXPECT_EQ(answer, L"") << text;
    }

    // Hostile nesting from a page: refused, the call still made; a null
    // parameter string is an empty text.
    ScriptOwner owner;
    std::wstring answer;
    const std::wstring deep(200000, L'[');
    ScriptArgs args(L"kieframe", L"echo", deep.c_str());
    EXPECT_EQ(Call(&owner, args, answer), S_OK);
    EXPECT_EQ(answer, L"{\"next\":1}");
    ScriptArgs nullParams(L"kieframe", L"echo", nullptr);
    EXPECT_EQ(Call(&owner, nullParams, answer), S_OK);
    EXPECT_EQ(answer, L"{\"next\":1}");

    // Names are matched exactly; unknown ones answer the empty text.
    ScriptOwner names;
    ScriptArgs upper(L"kieframe", L"ECHO", L"{}");
    EXPECT_EQ(Call(&names, upper, answer), S_OK);
    EXPECT_EQ(answer, L"");
    ScriptArgs embedded(L"kieframe", L"echo", L"{}");
    embedded.SetCounted(1, L"echo\0x", 6);
    EXPECT_EQ(Call(&names, embedded, answer), S_OK);
    EXPECT_TRUE(names.calls.empty());
    EXPECT_EQ(names.unknown, (std::vector<std::wstring>{L"ECHO", std::wstring(L"echo\0x", 6)}));

    // Nothing is thrown into script.
    ScriptArgs throws(L"kieframe", L"throws", L"{}");
    EXPECT_EQ(Call(&names, throws, answer), E_FAIL);
    EXPECT_EQ(names.calls.size(), 1u);
}

} // namespace
