#include <gtest/gtest.h>

#include <memory>

#include "browser/kieframe.h"
#include "platform/gdi.h"
#include "tests/browser_host/fake_browser.h"
#include "ui/bkstring.h"
#include "tests/support/test_support.h"

using testing_support::PumpMessages;
using testing_support::PumpMessagesUntil;

namespace {

// A top-level window for the host to live in.
struct ParentWindow {
    ParentWindow() {
        hwnd = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 400, 300, nullptr, nullptr, nullptr,
                                 nullptr);
    }
    ~ParentWindow() { ::DestroyWindow(hwnd); }
    HWND hwnd;
};

// Stands in for the script object; counts what reaches it.
class CountingDispatch : public IDispatch {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch)) { *ppv = this; AddRef(); return S_OK; }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override { return S_OK; }
    ULONG refs = 0;
};

// The host's client area as WM_PRINT draws it: how many pixels are not the
// white background, and how many of those lie in the middle third (the
// text's line) and anywhere else.
struct InkCount {
    int middle = 0, elsewhere = 0, black = 0;
};
InkCount CountInk(HWND hwnd) {
    InkCount ink;
    RECT rc;
    ::GetClientRect(hwnd, &rc);
    if (rc.right <= 0 || rc.bottom <= 0) return ink;
    void* bits = nullptr;
    platform::Bitmap dib(platform::CreateDib32(rc.right, rc.bottom, &bits));
    platform::MemoryDC dc(nullptr);
    if (!dib || !dc || !bits) return ink;
    {
        platform::SelectObjectScope select(dc, dib.Get());
        ::SendMessageW(hwnd, WM_PRINT, reinterpret_cast<WPARAM>(dc.Get()), PRF_CLIENT);
        ::GdiFlush();
    }
    const DWORD* p = static_cast<const DWORD*>(bits);
    for (int y = 0; y < rc.bottom; ++y)
        for (int x = 0; x < rc.right; ++x) {
            const DWORD px = p[y * rc.right + x] & 0xFFFFFF;
            if (px == 0xFFFFFF) continue;
            if (px == 0) ++ink.black;
            const bool middle = y >= rc.bottom / 3 && y < rc.bottom * 2 / 3;
            ++(middle ? ink.middle : ink.elsewhere);
        }
    return ink;
}

class KIEFrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        frame.reset(new CKIEFrame(&external));
        frame->SetControlFactory(&FakeBrowser::Create);
        ASSERT_NE(frame->Create(parent.hwnd), nullptr);
        ASSERT_NE(FakeBrowser::Last(), nullptr);
    }
    FakeBrowserLog& Log() { return FakeBrowser::Log(); }
    FakeBrowser* Fake() { return FakeBrowser::Last(); }
    // Navigates and waits for the timer to send the control there.
    void NavigateNow(const wchar_t* url, const wchar_t* errorUrl) {
        const size_t before = Log().navigations.size();
        frame->Navigate(url, errorUrl);
        ASSERT_TRUE(PumpMessagesUntil([&] { return Log().navigations.size() > before; }, 3000));
    }
    bool Shown() { return ::IsWindowVisible(frame->GetControlWindow()) != FALSE; }

    ParentWindow parent;
    CountingDispatch external;
    std::unique_ptr<CKIEFrame> frame;
};

TEST_F(KIEFrameTest, SitesTheControlAndStartsHiddenOnTheLoadingPage) {
    HWND control = frame->GetControlWindow();
    EXPECT_EQ(::GetDlgCtrlID(frame->Handle()), static_cast<int>(kBrowserHostId));
    EXPECT_EQ(::GetDlgCtrlID(control), static_cast<int>(kBrowserControlId));
    EXPECT_EQ(Log().activatedIn, control);
    EXPECT_EQ(Log().advised, 1);
    ASSERT_EQ(Log().navigations.size(), 1u);
    EXPECT_EQ(Log().navigations[0], CKIEFrame::ResourcePageUrl(IDR_PAGE_LOADING));
    EXPECT_EQ(Log().navigations[0].compare(0, 6, L"res://"), 0);
    EXPECT_NE(Log().navigations[0].find(L"browser_host_tests.exe/110"), std::wstring::npos) << Log().navigations[0];
    EXPECT_GE(Log().dropTargetOff, 1);
    EXPECT_FALSE(Shown());

    // window.external is the script object; script errors raise no box.
    IDocHostUIHandler* handler = nullptr;
    ASSERT_EQ(Log().site->QueryInterface(IID_IDocHostUIHandler, reinterpret_cast<void**>(&handler)), S_OK);
    IDispatch* external = nullptr;
    EXPECT_EQ(handler->GetExternal(&external), S_OK);
    EXPECT_EQ(external, static_cast<IDispatch*>(&this->external));
    external->Release();
    handler->Release();
    IOleCommandTarget* target = nullptr;
    ASSERT_EQ(Log().site->QueryInterface(IID_IOleCommandTarget, reinterpret_cast<void**>(&target)), S_OK);
    VARIANT out;
    ::VariantInit(&out);
    EXPECT_EQ(target->Exec(&kDocHostCommandGroup, OLECMDID_SHOWSCRIPTERROR, 0, nullptr, &out), S_OK);
    EXPECT_TRUE(V_VT(&out) == VT_BOOL && V_BOOL(&out) == VARIANT_TRUE);
    EXPECT_EQ(target->Exec(&kDocHostCommandGroup, OLECMDID_PRINT, 0, nullptr, &out), OLECMDERR_E_NOTSUPPORTED);
    EXPECT_EQ(target->Exec(nullptr, OLECMDID_SHOWSCRIPTERROR, 0, nullptr, &out), OLECMDERR_E_UNKNOWNGROUP);
    target->Release();

    // The first completed page shows the control; the host sizes it.
    Fake()->FireNavigateComplete(Log().navigations[0]);
    EXPECT_TRUE(Shown());
    const int rects = Log().rectsSet;
    ::MoveWindow(frame->Handle(), 0, 0, 200, 100, TRUE);
    EXPECT_GT(Log().rectsSet, rects);
    RECT rc;
    ::GetClientRect(control, &rc);
    EXPECT_TRUE(rc.right == 200 && rc.bottom == 100);

    // Keys for the control go to its TranslateAccelerator.
    MSG key = {control, WM_KEYDOWN, VK_F5, 0, 0, {0, 0}};
    EXPECT_EQ(::SendMessageW(frame->Handle(), WM_FORWARDMSG, 0, reinterpret_cast<LPARAM>(&key)), TRUE);
    key.wParam = 'A';
    EXPECT_EQ(frame->PreTranslateMessage(&key), FALSE);
    key.hwnd = parent.hwnd;
    const int asked = Log().accelerators;
    EXPECT_EQ(frame->PreTranslateMessage(&key), FALSE);  // not the control's: not even asked
    EXPECT_EQ(Log().accelerators, asked);
}

TEST_F(KIEFrameTest, NavigationsWithinTheDelayNavigateOnceToTheLast) {
    frame->Navigate(L"http://a.example/", L"res://err/1");
    frame->Navigate(L"http://b.example/", L"res://err/2");
    ASSERT_TRUE(PumpMessagesUntil([&] { return Log().navigations.size() == 2; }, 3000));
    PumpMessages(700);
    ASSERT_EQ(Log().navigations.size(), 2u);
    EXPECT_EQ(Log().navigations[1], L"http://b.example/");
    EXPECT_EQ(frame->GetErrorUrl(), L"res://err/2");
    frame->Navigate(L"http://c.example/", nullptr);  // a null error page keeps the last one
    EXPECT_EQ(frame->GetErrorUrl(), L"res://err/2");
}

TEST_F(KIEFrameTest, PageFailureShowsTheErrorPageSubResourceFailureDoesNot) {
    NavigateNow(L"http://a.example/", L"res://err/111");
    // A frame's image failing: no new page; the error flag keeps the windows as they are.
    Fake()->FireNavigateError(L"http://cdn.example/x.png", false);
    EXPECT_EQ(Log().navigations.size(), 2u);
    EXPECT_TRUE(frame->IsNavigateError());
    Fake()->FireNavigateComplete(L"http://a.example/");
    EXPECT_FALSE(Shown());

    // The top-level browser failing counts even with an address it rewrote.
    NavigateNow(L"http://a.example", nullptr);
    EXPECT_FALSE(frame->IsNavigateError());
    Fake()->FireNavigateError(L"http://a.example/index.html", true);
    ASSERT_EQ(Log().navigations.size(), 4u);
    EXPECT_EQ(Log().navigations[3], L"res://err/111");
    Fake()->FireNavigateComplete(L"res://err/111");
    EXPECT_TRUE(Shown());
    EXPECT_TRUE(::IsWindowVisible(frame->Handle()));

    // The page's own address from a frame's object still is the page.
    NavigateNow(L"http://a.example/", nullptr);
    Fake()->FireNavigateError(L"http://a.example/", false);
    EXPECT_EQ(Log().navigations.back(), L"res://err/111");
}

TEST_F(KIEFrameTest, FailingErrorPageIsRetriedABoundedNumberOfTimes) {
    NavigateNow(L"http://a.example/", L"res://err/111");
    Fake()->FireNavigateError(L"http://a.example/");
    for (int i = 0; i < 10; ++i) Fake()->FireNavigateError(L"res://err/111");
    // The page, the error page once and its retries; then the flag.
    EXPECT_EQ(Log().navigations.size(), 2u + 1u + static_cast<size_t>(kErrorPageRetries));
    EXPECT_TRUE(frame->IsNavigateError());
    // Without an error page a failure only sets the flag.
    NavigateNow(L"http://b.example/", L"");
    const size_t count = Log().navigations.size();
    Fake()->FireNavigateError(L"http://b.example/");
    EXPECT_EQ(Log().navigations.size(), count);
    EXPECT_TRUE(frame->IsNavigateError());
}

TEST_F(KIEFrameTest, DestroyReleasesEverythingAndDisconnectsTheSink) {
    FakeBrowser* fake = Fake();
    fake->AddRef();  // kept to fire a late event after the host let go
    frame->Navigate(L"http://a.example/", L"res://err/111");
    frame->Destroy();
    EXPECT_FALSE(::IsWindow(frame->Handle()));
    EXPECT_TRUE(Log().deactivated && Log().closed);
    EXPECT_EQ(Log().site, nullptr);
    EXPECT_EQ(Log().unadvised, 1);
    EXPECT_EQ(fake->Sink(), nullptr);
    EXPECT_EQ(ksOleClientSite::LiveCount(), 0);
    EXPECT_EQ(external.refs, 0u);
    EXPECT_EQ(Log().refs, 1);  // only the test's own reference is left
    fake->FireNavigateError(L"http://a.example/");  // reaches nothing
    PumpMessages(700);  // the armed timer died with the window
    EXPECT_EQ(Log().navigations.size(), 1u);
    fake->Release();
    EXPECT_TRUE(Log().destroyed);
    frame.reset();
}

TEST(KIEFrame, NavigateBeforeTheWindowExistsIsKeptForCreate) {
    ParentWindow parent;
    CKIEFrame frame(nullptr);
    frame.SetControlFactory(&FakeBrowser::Create);
    frame.Navigate(L"http://early.example/", L"res://err/111");  // no window: nothing armed
    ASSERT_NE(frame.Create(parent.hwnd), nullptr);
    ASSERT_TRUE(PumpMessagesUntil([&] { return FakeBrowser::Log().navigations.size() == 2; }, 3000));
    EXPECT_EQ(FakeBrowser::Log().navigations[1], L"http://early.example/");
    // No script object: window.external is not offered.
    IDocHostUIHandler* handler = nullptr;
    ASSERT_EQ(FakeBrowser::Log().site->QueryInterface(IID_IDocHostUIHandler, reinterpret_cast<void**>(&handler)), S_OK);
    IDispatch* external = reinterpret_cast<IDispatch*>(1);
    EXPECT_EQ(handler->GetExternal(&external), E_NOTIMPL);
    EXPECT_EQ(external, nullptr);
    handler->Release();
}

// An owner with pages of its own (the module library's web window) names
// its loading page; the program's 110 is then never asked for.
TEST(KIEFrame, AnOwnersLoadingPageIsShownFirst) {
    ParentWindow parent;
    CKIEFrame frame(nullptr);
    frame.SetControlFactory(&FakeBrowser::Create);
    EXPECT_EQ(frame.GetLoadingPageUrl(), CKIEFrame::ResourcePageUrl(IDR_PAGE_LOADING));
    frame.SetLoadingPageUrl(L"res://C:\\lib\\Lumsek.dll/102");
    ASSERT_NE(frame.Create(parent.hwnd), nullptr);
    ASSERT_EQ(FakeBrowser::Log().navigations.size(), 1u);
    EXPECT_EQ(FakeBrowser::Log().navigations[0], L"res://C:\\lib\\Lumsek.dll/102");
}

TEST(KIEFrame, FactoryFailureLeavesAHostThatNavigatesNowhereAndSaysSo) {
    ASSERT_TRUE(BkString::Load());
    ParentWindow parent;
    CKIEFrame frame(nullptr);
    frame.SetControlFactory([](IUnknown** out) -> HRESULT { *out = nullptr; return REGDB_E_CLASSNOTREG; });
    ASSERT_NE(frame.Create(parent.hwnd), nullptr);
    EXPECT_EQ(frame.GetControl(), nullptr);
    EXPECT_TRUE(frame.IsPageEngineMissing());
    EXPECT_FALSE(::IsWindow(frame.GetControlWindow()));
    frame.Navigate(L"http://a.example/", nullptr);
    PumpMessages(700);
    const InkCount ink = CountInk(frame.Handle());
    EXPECT_GT(ink.middle, 20) << "the line saying pages cannot be shown";
    EXPECT_EQ(ink.elsewhere, 0);
    EXPECT_EQ(ink.black, 0);
    frame.Destroy();
    EXPECT_EQ(ksOleClientSite::LiveCount(), 0);
}

// The control exists but nothing can render its pages (Wine without its
// HTML engine): no control is made or shown, nothing is navigated, and the
// host draws its line of text in the secondary text colour instead of a
// blank or black area.
TEST(KIEFrame, WithoutAPageEngineTheHostDrawsItsLineNotABlankArea) {
    ASSERT_TRUE(BkString::Load());
    const std::wstring line = BkString::Get(IDS_BROWSER_NO_ENGINE);
    EXPECT_NE(line.find(L"\u7f51\u9875"), std::wstring::npos) << "names the web pages";  // 网页
    ParentWindow parent;
    CKIEFrame frame(nullptr);
    FakeBrowser::Log() = FakeBrowserLog();
    frame.SetControlFactory(&FakeBrowser::Create);
    frame.SetPageEngineCheck([] { return false; });
    frame.Navigate(L"http://a.example/", nullptr);
    ASSERT_NE(frame.Create(parent.hwnd), nullptr);
    EXPECT_TRUE(frame.IsPageEngineMissing());
    EXPECT_EQ(frame.GetControl(), nullptr);
    PumpMessages(700);
    EXPECT_TRUE(FakeBrowser::Log().navigations.empty());
    EXPECT_EQ(FakeBrowser::Log().refs, 0);

    const InkCount ink = CountInk(frame.Handle());
    EXPECT_GT(ink.middle, 20);
    EXPECT_EQ(ink.elsewhere, 0);
    EXPECT_EQ(ink.black, 0);
    // The same frame with an engine draws a plain background until its page shows.
    CKIEFrame withEngine(nullptr);
    withEngine.SetControlFactory(&FakeBrowser::Create);
    withEngine.SetPageEngineCheck([] { return true; });
    ParentWindow parent2;
    ASSERT_NE(withEngine.Create(parent2.hwnd), nullptr);
    EXPECT_FALSE(withEngine.IsPageEngineMissing());
    EXPECT_NE(withEngine.GetControl(), nullptr);
    const InkCount blank = CountInk(withEngine.Handle());
    EXPECT_EQ(blank.middle + blank.elsewhere, 0);
    withEngine.Destroy();
    frame.Destroy();
}

TEST(KIEFrame, SystemBrowserIsCreatedSitedAndDestroyedWithoutLeaks) {
    ASSERT_TRUE(SUCCEEDED(::OleInitialize(nullptr)));
    {
        ParentWindow parent;
        CountingDispatch external;
        CKIEFrame frame(&external);
        // Sited whether or not this system renders pages.
        frame.SetPageEngineCheck([] { return true; });
        ASSERT_NE(frame.Create(parent.hwnd), nullptr);
        ASSERT_NE(frame.GetControl(), nullptr);
        IOleObject* object = nullptr;
        ASSERT_EQ(frame.GetControl()->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&object)), S_OK);
        IOleClientSite* site = nullptr;
        EXPECT_EQ(object->GetClientSite(&site), S_OK);
        ASSERT_NE(site, nullptr);
        IDocHostUIHandler* handler = nullptr;
        EXPECT_EQ(site->QueryInterface(IID_IDocHostUIHandler, reinterpret_cast<void**>(&handler)), S_OK);
        if (handler) handler->Release();
        site->Release();
        object->Release();
        frame.Navigate(L"about:blank", nullptr);
        PumpMessages(800);
        frame.Destroy();
        EXPECT_EQ(ksOleClientSite::LiveCount(), 0);
        PumpMessages(100);
        EXPECT_EQ(external.refs, 0u);
    }
    ::OleUninitialize();
}

} // namespace
