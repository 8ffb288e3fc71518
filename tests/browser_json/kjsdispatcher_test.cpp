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
            { L"settitle", &ScriptOwner::OnSetTitle },
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

    std::vector<std::wstring> calls;
    std::vector<std::wstring> unknown;
    std::wstring title;
    bool titleWasString = false;
    bool paramsHadRoot = false;

private:
    void OnSetTitle(BkJson::Document& params, BkJson::Document&)
    {
        calls.push_back(L"settitle");
        paramsHadRoot = params.GetRoot() != nullptr;
        const wchar_t* text = params[L"wndtitle"].GetString();
        titleWasString = text != nullptr;
        title = text ? text : L"";
    }
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

private:
    VARIANT m_args[3];
    DISPPARAMS m_params = {};
};

// Calls Invoke as the browser does and hands back the answer text.
HRESULT Call(IDispatch* dispatch, ScriptArgs& args, std::wstring* answer, DISPID id = DISPID_KJS_CALL)
{
    VARIANT result;
    VariantInit(&result);
    HRESULT hr = dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, args.Params(),
                                  &result, nullptr, nullptr);
    if (answer) {
        answer->clear();
        if (V_VT(&result) == VT_BSTR) {
            answer->assign(V_BSTR(&result), SysStringLen(V_BSTR(&result)));
        } else {
            *answer = L"<not a string>";
        }
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
    wchar_t name1[] = L"settitle";
    wchar_t name2[] = L"whatever";
    LPOLESTR names[] = { name1, name2 };
    DISPID ids[2] = { 77, 77 };
    EXPECT_EQ(owner.GetIDsOfNames(IID_NULL, names + 1, 1, LOCALE_USER_DEFAULT, ids), S_OK);
    EXPECT_EQ(ids[0], DISPID_KJS_CALL);
    EXPECT_EQ(ids[1], 77);
    EXPECT_EQ(owner.GetIDsOfNames(IID_NULL, names, 2, LOCALE_USER_DEFAULT, ids), S_OK);
    EXPECT_EQ(ids[0], DISPID_KJS_CALL);
    EXPECT_EQ(ids[1], DISPID_UNKNOWN);
    EXPECT_EQ(owner.GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, nullptr), E_INVALIDARG);
}

TEST(KJsDispatcher, CallsTheNamedMethodWithParsedParameters)
{
    ScriptOwner owner;
    ScriptArgs args(L"kieframe", L"settitle", L"{\"wndtitle\":\"\u7f51\u7edc\u8d44\u6e90 \\u4e2d\"}");
    std::wstring answer = L"x";
    EXPECT_EQ(Call(&owner, args, &answer), S_OK);
    ASSERT_EQ(owner.calls.size(), 1u);
    EXPECT_TRUE(owner.titleWasString);
    EXPECT_EQ(owner.title, L"\u7f51\u7edc\u8d44\u6e90 \u4e2d");
    // Nothing set in the result: script receives the empty text.
    EXPECT_EQ(answer, L"");

    ScriptArgs number(L"kieframe", L"settitle", L"{\"wndtitle\":5}");
    EXPECT_EQ(Call(&owner, number, &answer), S_OK);
    EXPECT_FALSE(owner.titleWasString);
    EXPECT_EQ(owner.title, L"");
}

TEST(KJsDispatcher, AnswersWithCompactJson)
{
    ScriptOwner owner;
    ScriptArgs args(L"kieframe", L"echo", L"{\"text\":\"a/b \u4e2d\u6587\",\"n\":41}");
    std::wstring answer;
    EXPECT_EQ(Call(&owner, args, &answer), S_OK);
    EXPECT_EQ(answer, L"{\"next\":42,\"text\":\"a\\/b \u4e2d\u6587\"}");

    // The answer reads back as the same document.
    BkJson::Document doc;
    ASSERT_TRUE(doc.Parse(answer.c_str()));
    EXPECT_EQ(doc[L"next"].GetLong(), 42);
    EXPECT_STREQ(doc[L"text"].GetString(), L"a/b \u4e2d\u6587");
}

TEST(KJsDispatcher, ProtocolErrorsMakeNoCall)
{
    ScriptOwner owner;
    std::wstring answer;

    ScriptArgs wrongCase(L"KieFrame", L"echo", L"{}");
    EXPECT_EQ(Call(&owner, wrongCase, &answer), E_NOINTERFACE);
    ScriptArgs longer(L"kieframe2", L"echo", L"{}");
    EXPECT_EQ(Call(&owner, longer, &answer), E_NOINTERFACE);
    ScriptArgs nullTag(nullptr, L"echo", L"{}");
    EXPECT_EQ(Call(&owner, nullTag, &answer), E_NOINTERFACE);
    // A tag with a NUL inside is not the tag.
    ScriptArgs embedded(L"kieframe", L"echo", L"{}");
    SysFreeString(V_BSTR(&embedded.Arg(2)));
    V_BSTR(&embedded.Arg(2)) = SysAllocStringLen(L"kieframe\0x", 10);
    EXPECT_EQ(Call(&owner, embedded, &answer), E_NOINTERFACE);

    ScriptArgs good(L"kieframe", L"echo", L"{}");
    EXPECT_EQ(Call(&owner, good, &answer, 2), E_NOTIMPL);
    EXPECT_EQ(Call(&owner, good, &answer, 0), E_NOTIMPL);
    good.Params()->cArgs = 2;
    EXPECT_EQ(Call(&owner, good, &answer), E_NOTIMPL);
    good.Params()->cArgs = 4;
    EXPECT_EQ(Call(&owner, good, &answer), E_NOTIMPL);
    good.Params()->cArgs = 3;
    EXPECT_EQ(owner.Invoke(DISPID_KJS_CALL, IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr),
              E_NOTIMPL);

    // A number among the three arguments, wherever it stands.
    for (int i = 0; i < 3; ++i) {
        ScriptArgs typed(L"kieframe", L"echo", L"{}");
        VariantClear(&typed.Arg(i));
        V_VT(&typed.Arg(i)) = VT_I4;
        V_I4(&typed.Arg(i)) = 1;
        EXPECT_EQ(Call(&owner, typed, &answer), E_INVALIDARG) << i;
    }
    EXPECT_TRUE(owner.calls.empty());
    EXPECT_TRUE(owner.unknown.empty());

    // The same call with the right protocol does reach the method.
    EXPECT_EQ(Call(&owner, good, &answer), S_OK);
    EXPECT_EQ(owner.calls.size(), 1u);
}

TEST(KJsDispatcher, BadParameterTextStillReachesTheMethod)
{
    const wchar_t* texts[] = {
        L"not json", L"", L"{\"a\":", L"[\"\\ud800\"]", L"{\"n\":99999999999}", L"null",
    };
    for (const wchar_t* text : texts) {
        ScriptOwner owner;
        ScriptArgs args(L"kieframe", L"silent", text);
        std::wstring answer = L"x";
        EXPECT_EQ(Call(&owner, args, &answer), S_OK);
        ASSERT_EQ(owner.calls.size(), 1u);
        EXPECT_FALSE(owner.paramsHadRoot);
        EXPECT_EQ(answer, L"");
    }

    // Hostile nesting from a page: refused, the call still made.
    std::wstring deep(200000, L'[');
    ScriptOwner owner;
    ScriptArgs args(L"kieframe", L"echo", deep.c_str());
    std::wstring answer;
    EXPECT_EQ(Call(&owner, args, &answer), S_OK);
    EXPECT_EQ(answer, L"{\"next\":1}");

    // A null parameter string is an empty text.
    ScriptArgs nullParams(L"kieframe", L"echo", nullptr);
    EXPECT_EQ(Call(&owner, nullParams, &answer), S_OK);
    EXPECT_EQ(answer, L"{\"next\":1}");
}

TEST(KJsDispatcher, UnknownNamesAnswerEmptyText)
{
    ScriptOwner owner;
    std::wstring answer = L"x";
    ScriptArgs unknown(L"kieframe", L"closewindow", L"{}");
    EXPECT_EQ(Call(&owner, unknown, &answer), S_OK);
    EXPECT_EQ(answer, L"");
    // Names are matched exactly.
    ScriptArgs upper(L"kieframe", L"ECHO", L"{}");
    EXPECT_EQ(Call(&owner, upper, &answer), S_OK);
    ScriptArgs embedded(L"kieframe", L"echo", L"{}");
    SysFreeString(V_BSTR(&embedded.Arg(1)));
    V_BSTR(&embedded.Arg(1)) = SysAllocStringLen(L"echo\0x", 6);
    EXPECT_EQ(Call(&owner, embedded, &answer), S_OK);
    EXPECT_EQ(answer, L"");
    EXPECT_TRUE(owner.calls.empty());
    ASSERT_EQ(owner.unknown.size(), 3u);
    EXPECT_EQ(owner.unknown[0], L"closewindow");
    EXPECT_EQ(owner.unknown[1], L"ECHO");
    EXPECT_EQ(owner.unknown[2], std::wstring(L"echo\0x", 6));
}

TEST(KJsDispatcher, NothingIsThrownIntoScript)
{
    ScriptOwner owner;
    ScriptArgs args(L"kieframe", L"throws", L"{}");
    std::wstring answer;
    EXPECT_EQ(Call(&owner, args, &answer), E_FAIL);
    EXPECT_EQ(owner.calls.size(), 1u);
}

TEST(KJsDispatcher, ScriptMayIgnoreTheAnswer)
{
    ScriptOwner owner;
    ScriptArgs args(L"kieframe", L"echo", L"{\"n\":1}");
    EXPECT_EQ(owner.Invoke(DISPID_KJS_CALL, IID_NULL, 0, DISPATCH_METHOD, args.Params(), nullptr, nullptr,
                           nullptr),
              S_OK);
    EXPECT_EQ(owner.calls.size(), 1u);
}

} // namespace
