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
    static const ScriptMethod* FindScriptMethod(const std::wstring& name) {
        static const KJsMethodTable<ScriptOwner> table{
            { L"echo", &ScriptOwner::OnEcho },
            { L"silent", &ScriptOwner::OnSilent },
            { L"throws", &ScriptOwner::OnThrows },
        };
        return table.Find(name);
    }
    void OnUnknownScriptMethod(const std::wstring& name, BkJson::Document&, BkJson::Document&) { unknown.push_back(name); }

    std::vector<std::wstring> calls, unknown;
    bool paramsHadRoot = false;

private:
    void OnEcho(BkJson::Document& params, BkJson::Document& result) {
        calls.push_back(L"echo");
        if (params.HasKey(L"text")) result[L"text"].SetString(params[L"text"].GetString());
        result[L"next"].SetLong(params[L"n"].GetLong() + 1);
    }
    void OnSilent(BkJson::Document& params, BkJson::Document&) { calls.push_back(L"silent"); paramsHadRoot = params.GetRoot() != nullptr; }
    void OnThrows(BkJson::Document&, BkJson::Document&) { calls.push_back(L"throws"); throw std::runtime_error("method failed"); }
};

// Three string arguments as script passes them, stored last first; a null
// text is a null string. Texts are counted, so NULs inside are kept.
class ScriptArgs {
public:
    ScriptArgs(const std::wstring* tag, const std::wstring* method, const std::wstring* json) {
        const std::wstring* inOrder[3] = { json, method, tag };
        for (int i = 0; i < 3; ++i) {
            VariantInit(&m_args[i]);
            V_VT(&m_args[i]) = VT_BSTR;
            V_BSTR(&m_args[i]) = inOrder[i] ? SysAllocStringLen(inOrder[i]->data(), static_cast<UINT>(inOrder[i]->size())) : nullptr;
        }
        m_params.rgvarg = m_args;
        m_params.cArgs = 3;
    }
    ScriptArgs(const std::wstring& tag, const std::wstring& method, const std::wstring& json) : ScriptArgs(&tag, &method, &json) {}
    ~ScriptArgs() { for (VARIANT& v : m_args) VariantClear(&v); }
    ScriptArgs(const ScriptArgs&) = delete;
    ScriptArgs& operator=(const ScriptArgs&) = delete;

    DISPPARAMS* Params() { return &m_params; }
    VARIANT& Arg(int i) { return m_args[i]; }

private:
    VARIANT m_args[3];
    DISPPARAMS m_params = {};
};

// Calls Invoke as the browser does and hands back the answer text.
HRESULT Call(IDispatch* dispatch, ScriptArgs& args, std::wstring& answer, DISPID id = DISPID_KJS_CALL) {
    VARIANT result;
    VariantInit(&result);
    HRESULT hr = dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, args.Params(), &result, nullptr, nullptr);
    answer = V_VT(&result) == VT_BSTR ? std::wstring(V_BSTR(&result), SysStringLen(V_BSTR(&result))) : L"<not a string>";
    VariantClear(&result);
    return hr;
}

TEST(KJsDispatcher, InterfacesNamesAndCalls) {
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

    // The named method is called and answers with compact text.
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
    EXPECT_EQ(owner.Invoke(DISPID_KJS_CALL, IID_NULL, 0, DISPATCH_METHOD, echo.Params(), nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(owner.calls, (std::vector<std::wstring>{L"echo", L"silent", L"echo"}));
}

TEST(KJsDispatcher, ProtocolErrorsMakeNoCall) {
    ScriptOwner owner;
    std::wstring answer;
    // Only the exact tag; a NUL inside is not the tag.
    const std::wstring tag = L"kieframe", method = L"echo", json = L"{}";
    for (const std::wstring& wrong : { std::wstring(L"KieFrame"), std::wstring(L"kieframe2"), std::wstring(L"kieframe\0x", 10) }) {
        ScriptArgs args(wrong, method, json);
        EXPECT_EQ(Call(&owner, args, answer), E_NOINTERFACE) << wrong;
    }
    ScriptArgs nullTag(nullptr, &method, &json);
    EXPECT_EQ(Call(&owner, nullTag, answer), E_NOINTERFACE);

    ScriptArgs good(tag, method, json);
    EXPECT_EQ(Call(&owner, good, answer, 2), E_NOTIMPL);
    for (UINT count : { 2u, 4u }) {
        good.Params()->cArgs = count;
        EXPECT_EQ(Call(&owner, good, answer), E_NOTIMPL) << count;
    }
    good.Params()->cArgs = 3;
    EXPECT_EQ(owner.Invoke(DISPID_KJS_CALL, IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr), E_NOTIMPL);
    // A number among the three arguments, wherever it stands.
    for (int i = 0; i < 3; ++i) {
        ScriptArgs typed(tag, method, json);
        VariantClear(&typed.Arg(i));
        V_VT(&typed.Arg(i)) = VT_I4;
        EXPECT_EQ(Call(&owner, typed, answer), E_INVALIDARG) << i;
    }
    EXPECT_TRUE(owner.calls.empty());
    EXPECT_TRUE(owner.unknown.empty());
    EXPECT_EQ(Call(&owner, good, answer), S_OK);  // the right protocol does reach the method
    EXPECT_EQ(owner.calls.size(), 1u);
}

TEST(KJsDispatcher, BadParametersUnknownNamesAndThrowingMethods) {
    // Bad parameter text still reaches the method, with an empty document;
    // hostile nesting too; a null parameter string is an empty text.
    const std::wstring tag = L"kieframe", echo = L"echo";
    const std::wstring texts[] = { L"not json", L"", L"{\"a\":", L"[\"\\ud800\"]", L"{\"n\":99999999999}", L"null",
                                   std::wstring(200000, L'[') };
    for (const std::wstring& text : texts) {
        ScriptOwner owner;
        ScriptArgs args(tag, L"silent", text);
        std::wstring answer = L"x";
        EXPECT_EQ(Call(&owner, args, answer), S_OK) << text.substr(0, 20);
        ASSERT_EQ(owner.calls.size(), 1u) << text.substr(0, 20);
        EXPECT_FALSE(owner.paramsHadRoot) << text.substr(0, 20);
        EXPECT_EQ(answer, L"") << text.substr(0, 20);
    }
    ScriptOwner owner;
    std::wstring answer;
    ScriptArgs nullParams(&tag, &echo, nullptr);
    EXPECT_EQ(Call(&owner, nullParams, answer), S_OK);
    EXPECT_EQ(answer, L"{\"next\":1}");

    // Names are matched exactly; unknown ones answer the empty text.
    ScriptOwner names;
    for (const std::wstring& name : { std::wstring(L"ECHO"), std::wstring(L"echo\0x", 6) }) {
        ScriptArgs args(tag, name, L"{}");
        EXPECT_EQ(Call(&names, args, answer), S_OK);
        EXPECT_EQ(answer, L"");
    }
    EXPECT_TRUE(names.calls.empty());
    EXPECT_EQ(names.unknown, (std::vector<std::wstring>{L"ECHO", std::wstring(L"echo\0x", 6)}));

    // Nothing is thrown into script.
    ScriptArgs throws(tag, L"throws", L"{}");
    EXPECT_EQ(Call(&names, throws, answer), E_FAIL);
    EXPECT_EQ(names.calls.size(), 1u);
}

} // namespace
