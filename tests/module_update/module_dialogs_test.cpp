// The library's dialogs, modal on the test thread under Xvfb, against the
// loopback server. A helper thread acts on the dialog while it runs.
#include "tests/module_update/update_fixture.h"

#include <atomic>
#include <thread>

#include "module/base64.h"
#include "module/module_dialogs.h"
#include "module/proxy_settings.h"
#include "module/registry.h"
#include "module/web_dialog.h"
#include "platform/window.h"
#include "tests/browser_host/fake_browser.h"
#include "tests/support/test_support.h"

using namespace update_test;
using testing_support::PathExists;
using testing_support::ReadFileBytes;

namespace {

struct Box {
    std::wstring text, caption;
};

// Records the boxes instead of showing them.
void RecordBoxes(ModuleDialogSeams& seams, std::vector<Box>& boxes) {
    seams.Message = [&boxes](HWND, const std::wstring& text, const std::wstring& caption) {
        boxes.push_back({text, caption});
    };
}

// Screen centre of a layout item.
POINT ItemCentre(CBkDialogHost& dialog, UINT item) {
    POINT pt = {0, 0};
    if (CBkWindow* wnd = dialog.GetViewControl().FindControl(item)) {
        const RECT rc = wnd->GetRect();
        pt = {(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
    }
    ::ClientToScreen(dialog.GetViewControl().Handle(), &pt);
    return pt;
}

POINT WindowCentre(HWND hwnd) {
    RECT rc = {};
    ::GetWindowRect(hwnd, &rc);
    return {(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
}

// Real input through the X server (Wine takes keys only while one of its
// windows has the focus: click first).
bool Click(POINT pt) {
    return testing_support::RunUnixCommand("xdotool mousemove --sync " + std::to_string(pt.x) + " " +
                                           std::to_string(pt.y) + " click 1") == 0;
}
bool Type(const std::string& text) {
    return testing_support::RunUnixCommand("xdotool type --delay 30 '" + text + "'") == 0;
}

// Runs `act` on a helper thread once the dialog's window exists.
class Helper {
public:
    template <class F>
    Helper(CBkDialogHost& dialog, F act) : thread_([&dialog, act] {
        for (int i = 0; i < 400 && !::IsWindow(dialog.Handle()); ++i) ::Sleep(25);
        act(dialog.Handle());
    }) {}
    ~Helper() { thread_.join(); }

private:
    std::thread thread_;
};

class ModuleDialogs : public ::testing::Test {
protected:
    void SetUp() override {
        PrepareModuleUi();
        static int counter = 0;
        root_ = "d" + std::to_string(++counter);
    }
    std::string Channel() const { return root_ + "/lumsek/update/lumsek/"; }
    UpdateLocation Location(const std::string& prefix = "/srv") const {
        return UpdateLocation{dir_.Path() + L"\\", ServerUrl(prefix + "/" + root_)};
    }

    std::string root_;
    TempDir dir_;
};

const std::wstring kUpToDate = L"\u5347\u7ea7\u5b8c\u6210\uff0c\u5df2\u7ecf\u662f\u6700\u65b0\u7248\u672c\u7684\u4e86\u3002";

TEST_F(ModuleDialogs, UpgradeShowsUpToDateOrFailureAndEndsOnItsOwn) {
    Publish(Channel() + "indexlumsek.dat", Pack("[COMMENT]\r\n"));
    std::vector<Box> boxes;
    {
        CUpgradeDialog dialog(Location(), PRODUCT_ID_LUMSEK);
        RecordBoxes(dialog.Seams(), boxes);
        dialog.DoModal(nullptr);
        EXPECT_EQ(0, dialog.Result());
    }
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(kUpToDate, boxes[0].text);
    EXPECT_EQ(L"Tervanic\u6570\u636e\u6062\u590d\u5927\u5e08", boxes[0].caption);

    // No channel on the server: the failure box.
    CUpgradeDialog failing(UpdateLocation{dir_.Path() + L"\\", ServerUrl("/srv/none")}, PRODUCT_ID_LUMSEK);
    RecordBoxes(failing.Seams(), boxes);
    failing.DoModal(nullptr);
    EXPECT_EQ(static_cast<int>(0x80000000u | 404u), failing.Result());
    ASSERT_EQ(2u, boxes.size());
    EXPECT_EQ(0u, boxes[1].text.find(L"\u5347\u7ea7\u5931\u8d25"));
}

TEST_F(ModuleDialogs, ClosingDuringTheDownloadOnlyCancelsAndShowsNoBox) {
    std::string big(300 * 1024, '\0');
    uint32_t x = 7;
    for (auto& c : big) c = static_cast<char>((x = x * 1103515245u + 12345u) >> 24);
    Publish(Channel() + "indexlumsek.dat", Pack(PublishLeaf(Channel(), "", {{"big", "big.bin", big, "", ""}})));
    std::vector<Box> boxes;
    CUpgradeDialog dialog(Location("/slow/srv"), PRODUCT_ID_LUMSEK);
    RecordBoxes(dialog.Seams(), boxes);
    {
        Helper helper(dialog, [&](HWND hwnd) {
            for (int i = 0; i < 400 && dialog.Percent() == 0; ++i) ::Sleep(25);
            // A real click on the close button: the dialog stays until the
            // worker has stopped.
            (void)hwnd;
            EXPECT_TRUE(Click(ItemCentre(dialog, CModuleProgressDialog::IDC_CLOSE)));
        });
        dialog.DoModal(nullptr);
    }
    EXPECT_TRUE(dialog.CancelRequested());
    EXPECT_EQ(UPD_S_CANCELLED, dialog.Result());
    EXPECT_TRUE(boxes.empty());
    EXPECT_FALSE(PathExists(dir_.File(L"big.bin")));
    EXPECT_FALSE(PathExists(dir_.File(L"update\\big.bin")));
}

TEST_F(ModuleDialogs, RestartNeededTellsTheOwnerAndStartsTheReupdateProgram) {
    ASSERT_TRUE(::CopyFileW(StubProgram().c_str(), dir_.File(L"reupd.exe").c_str(), FALSE));
    ASSERT_TRUE(::CopyFileW(StubProgram().c_str(), dir_.File(L"prog.exe").c_str(), FALSE));
    Publish(Channel() + "indexlumsek.dat",
            Pack(PublishLeaf(Channel(), "", {{"later", "later.txt", "later new", "", "UR=1\r\n"}})));
    ULONG_PTR copyData = 0;  // what WM_COPYDATA brought the owner
    testing_support::HookWindow owner([&](UINT msg, WPARAM, LPARAM lp, LRESULT& result) {
        if (msg != WM_COPYDATA) return false;
        copyData = lp ? reinterpret_cast<COPYDATASTRUCT*>(lp)->dwData : 1;
        result = TRUE;
        return true;
    });
    std::vector<Box> boxes;
    {
        CUpgradeDialog dialog(Location(), PRODUCT_ID_LUMSEK, dir_.File(L"prog.exe"));
        RecordBoxes(dialog.Seams(), boxes);
        dialog.DoModal(owner.hwnd());
        EXPECT_EQ(UPD_S_RESTART_NEEDED, dialog.Result());
    }
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(0u, boxes[0].text.find(L"\u5347\u7ea7\u5b8c\u6210\uff0c\u672c\u6b21\u5347\u7ea7\u9700\u8981\u91cd\u542f"));
    EXPECT_EQ(static_cast<ULONG_PTR>(COPYDATA_RESTART_REQUEST), copyData);
    ASSERT_TRUE(WaitForFile(dir_.File(L"restarted.txt")));
    EXPECT_EQ("later new", ReadFileBytes(dir_.File(L"later.txt")));
}

TEST_F(ModuleDialogs, InstallDialogRunsTheInstallerAndEnds) {
    Publish("download/ZophSetup.exe", ReadFileBytes(StubProgram()));
    CInstallDialog dialog(PartnerLocation{Wide(TestServer::Instance()->Url("/srv/download/ZophSetup.exe")),
                                          dir_.Path() + L"\\"});
    dialog.DoModal(nullptr);
    EXPECT_EQ(0, dialog.Result());
    EXPECT_NE(std::string::npos, ReadFileBytes(dir_.File(L"zoph\\installed.txt")).find("/S"));
}

// What a progress dialog's worker did, kept outside the dialog so that it
// can be read once the dialog is gone.
struct WorkerRecord {
    std::atomic<bool> ended{false};
    int endedWhenMemberWent = -1;  // 1: the worker had ended when the member went
};

// A member of a derived dialog that the worker relies on; it notes whether
// the worker was still running when it was destroyed.
struct WatchedMember {
    WorkerRecord* record;
    ~WatchedMember() { record->endedWhenMemberWent = record->ended ? 1 : 0; }
};

// A run that ends only when asked to stop; it may ask the dialog's thread to
// quit (as the program's quit does) while it runs.
class StopOnlyDialog : public CModuleProgressDialog {
public:
    StopOnlyDialog(WorkerRecord& record, DWORD quitThread)
        : CModuleProgressDialog(IDR_LAYOUT_INSTALL_DIALOG), member_{&record}, quitThread_(quitThread) {}
    ~StopOnlyDialog() override { StopWorker(); }

protected:
    int Work() override {
        WorkerRecord* record = member_.record;
        if (quitThread_) ::PostThreadMessageW(quitThread_, WM_QUIT, 0, 0);
        while (!CancelRequested()) ::Sleep(10);
        record->ended = true;
        return UPD_S_CANCELLED;
    }
    void Finish(int) override { EndDialog(IDOK); }

private:
    WatchedMember member_;
    DWORD quitThread_;
};

TEST_F(ModuleDialogs, TheWorkerIsJoinedBeforeWhatItUsesGoes) {
    {
        // A quit during the run ends the modal loop; the window goes, and
        // the worker with it, while the whole dialog still exists.
        WorkerRecord record;
        StopOnlyDialog dialog(record, ::GetCurrentThreadId());
        dialog.DoModal(nullptr);
        EXPECT_FALSE(::IsWindow(dialog.Handle()));
        EXPECT_TRUE(record.ended);
        EXPECT_TRUE(dialog.CancelRequested());
        EXPECT_EQ(UPD_S_CANCELLED, dialog.Result());
        // The quit is left for the loop outside; this test has none.
        MSG msg;
        bool quit = false;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) quit = quit || msg.message == WM_QUIT;
        EXPECT_TRUE(quit);
    }
    // The dialog object goes while its window and the run live on.
    WorkerRecord record;
    HWND window = nullptr;
    {
        StopOnlyDialog dialog(record, 0);
        window = dialog.Create(nullptr);
        ASSERT_NE(nullptr, window);
    }
    EXPECT_EQ(1, record.endedWhenMemberWent);
    ::DestroyWindow(window);
}

class ProxyDialog : public ModuleDialogs {
protected:
    void SetUp() override {
        ModuleDialogs::SetUp();
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kWelgrinKey);
    }
    void TearDown() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, kWelgrinKey); }
    static DWORD Dword(const wchar_t* name) {
        CRegKey key;
        DWORD value = 0xDEAD;
        if (key.Open(HKEY_CURRENT_USER, kWelgrinKey, KEY_QUERY_VALUE)) key.QueryDword(name, value);
        return value;
    }
    static std::wstring Text(const wchar_t* name) {
        CRegKey key;
        std::wstring value = L"<none>";
        if (key.Open(HKEY_CURRENT_USER, kWelgrinKey, KEY_QUERY_VALUE)) key.QueryString(name, value, 260);
        return value;
    }
};

void ClickItem(HWND dialog, UINT item) {
    BKNMCOMMAND nm = {};
    nm.hdr.hwndFrom = dialog;
    nm.hdr.idFrom = IDC_BKVIEW;
    nm.hdr.code = BKNM_COMMAND;
    nm.uItemID = item;
    nm.szItemClass = "";
    ::SendMessageW(dialog, WM_NOTIFY, IDC_BKVIEW, reinterpret_cast<LPARAM>(&nm));
}

TEST_F(ProxyDialog, LoadsEnablesRefusesBadPortsAndSavesHttp) {
    ProxySettingsValues stored;
    stored.Mode = PROXY_MODE_SOCKS5;
    stored.Port = 1080;
    stored.Host = L"socks.example";
    stored.Authorization = 1;
    stored.User = L"dom:user";
    stored.Password = L"pw";
    ASSERT_TRUE(SaveProxySettings(stored));

    CProxyDialog dialog;
    std::vector<Box> boxes;
    RecordBoxes(dialog.Seams(), boxes);
    ASSERT_NE(nullptr, dialog.Create(nullptr));
    EXPECT_TRUE(dialog.GetItemCheck(CProxyDialog::IDC_SOCKS5));
    EXPECT_FALSE(dialog.GetItemCheck(CProxyDialog::IDC_AUTO));
    EXPECT_TRUE(dialog.GetItemCheck(CProxyDialog::IDC_AUTHORIZATION));
    auto text = [&](UINT field) { return platform::Window(dialog.Field(field)).GetWindowText(); };
    EXPECT_EQ(L"1080", text(CProxyDialog::IDC_PORT));
    EXPECT_EQ(L"dom:user", text(CProxyDialog::IDC_USER));
    EXPECT_TRUE(::IsWindowEnabled(dialog.Field(CProxyDialog::IDC_PASSWORD)));

    // The automatic choice disables every field.
    dialog.SetItemCheck(CProxyDialog::IDC_SOCKS5, FALSE);
    dialog.SetItemCheck(CProxyDialog::IDC_AUTO, TRUE);
    ClickItem(dialog.Handle(), CProxyDialog::IDC_AUTO);
    EXPECT_FALSE(::IsWindowEnabled(dialog.Field(CProxyDialog::IDC_HOST)));
    EXPECT_FALSE(::IsWindowEnabled(dialog.Field(CProxyDialog::IDC_USER)));

    // With the mouse and keyboard: HTTP, then the host typed in.
    dialog.ShowWindow(SW_SHOW);
    ::SetForegroundWindow(dialog.Handle());
    testing_support::PumpMessages(200);
    ASSERT_TRUE(Click(ItemCentre(dialog, CProxyDialog::IDC_HTTP)));
    testing_support::PumpMessagesUntil([&] { return dialog.GetItemCheck(CProxyDialog::IDC_HTTP) != FALSE; }, 5000);
    EXPECT_TRUE(dialog.GetItemCheck(CProxyDialog::IDC_HTTP));
    EXPECT_FALSE(dialog.GetItemCheck(CProxyDialog::IDC_AUTO));
    EXPECT_TRUE(::IsWindowEnabled(dialog.Field(CProxyDialog::IDC_HOST)));
    ::SetWindowTextW(dialog.Field(CProxyDialog::IDC_HOST), L"");
    ASSERT_TRUE(Click(WindowCentre(dialog.Field(CProxyDialog::IDC_HOST))));
    testing_support::PumpMessages(200);
    Type("127.0.0.1");
    testing_support::PumpMessagesUntil([&] { return text(CProxyDialog::IDC_HOST) == L"127.0.0.1"; }, 5000);
    EXPECT_EQ(L"127.0.0.1", text(CProxyDialog::IDC_HOST));
    for (const wchar_t* bad : {L"0", L"65536", L""}) {
        ::SetWindowTextW(dialog.Field(CProxyDialog::IDC_PORT), bad);
        EXPECT_FALSE(dialog.Save()) << bad;
    }
    EXPECT_EQ(3u, boxes.size());
    EXPECT_EQ(PROXY_MODE_SOCKS5, Dword(L"Proxy Mode"));  // nothing saved yet
    ::SetWindowTextW(dialog.Field(CProxyDialog::IDC_PORT), std::to_wstring(TestServer::Instance()->Port()).c_str());
    ASSERT_TRUE(Click(ItemCentre(dialog, CProxyDialog::IDC_OK)));
    testing_support::PumpMessagesUntil([&] { return Dword(L"Proxy Mode") == PROXY_MODE_HTTP; }, 5000);
    EXPECT_EQ(PROXY_MODE_HTTP, Dword(L"Proxy Mode"));
    EXPECT_EQ(static_cast<DWORD>(TestServer::Instance()->Port()), Dword(L"Proxy Port"));
    EXPECT_EQ(L"127.0.0.1", Text(L"Proxy Host"));
    EXPECT_EQ(L"dom:user", Text(L"Proxy User"));
    // The next transfer goes through the proxy just saved, credentials intact.
    EXPECT_EQ("via proxy yes auth Basic " + Base64EncodeString("dom:user:pw"),
              TestServer::Instance()->Get("/proxied", "http://elsewhere.invalid"));
    ::DestroyWindow(dialog.Handle());
}

TEST_F(ProxyDialog, ModeFourIsKeptWhenSaved) {
    ProxySettingsValues stored;
    stored.Mode = PROXY_MODE_DEFAULT;
    stored.Host = L"h";
    ASSERT_TRUE(SaveProxySettings(stored));
    CProxyDialog dialog;
    ASSERT_NE(nullptr, dialog.Create(nullptr));
    EXPECT_FALSE(dialog.GetItemCheck(CProxyDialog::IDC_AUTO) || dialog.GetItemCheck(CProxyDialog::IDC_HTTP) ||
                 dialog.GetItemCheck(CProxyDialog::IDC_SOCKS5));
    EXPECT_TRUE(dialog.Save());
    EXPECT_EQ(PROXY_MODE_DEFAULT, Dword(L"Proxy Mode"));
    ::DestroyWindow(dialog.Handle());
}

TEST(WebDialogUrls, OnlyTheParsedHostOfAWebAddressCounts) {
    const std::wstring host = L"pay.example";
    for (const wchar_t* yes : {L"http://pay.example/buy", L"HTTPS://PAY.example:8443/x?y#z", L"https://user@pay.example/",
                               L"http://pay.example", L"http://pay.example./a"}) {
        EXPECT_TRUE(IsUrlOnHost(yes, host)) << yes;
    }
    for (const wchar_t* no : {L"http://pay.example.evil.com/", L"http://evil.com/?pay.example", L"http://evil.com/pay.example",
                              L"http://pay.example@evil.com/", L"javascript:'http://pay.example/'", L"file://pay.example/c$",
                              L"ftp://pay.example/", L"http://evil.com\\@pay.example/", L"", L"http://"}) {
        EXPECT_FALSE(IsUrlOnHost(no, host)) << no;
    }
}

TEST_F(ModuleDialogs, WebDialogScriptAndNewWindows) {
    CWebDialog dialog(Wide(TestServer::Instance()->Url("/hello")), L"pay.example");
    std::vector<std::wstring> opened;
    dialog.OpenExternal = [&](const std::wstring& url) { opened.push_back(url); };
    ASSERT_NE(nullptr, dialog.Create(nullptr));
    // The browser host window sits in the view as item 10000.
    EXPECT_NE(nullptr, ::GetDlgItem(dialog.GetViewControl().Handle(), CWebDialog::IDC_BROWSER));

    auto call = [&](const wchar_t* method, const wchar_t* json) {
        VARIANT args[3];
        args[2].vt = VT_BSTR;
        args[2].bstrVal = ::SysAllocString(L"kieframe");
        args[1].vt = VT_BSTR;
        args[1].bstrVal = ::SysAllocString(method);
        args[0].vt = VT_BSTR;
        args[0].bstrVal = ::SysAllocString(json);
        DISPPARAMS params = {args, nullptr, 3, 0};
        VARIANT result;
        ::VariantInit(&result);
        IDispatch* external = static_cast<KJsDispatcherImpl<CWebDialog>*>(&dialog);
        EXPECT_EQ(S_OK, external->Invoke(DISPID_KJS_CALL, IID_NULL, 0, DISPATCH_METHOD, &params, &result, nullptr,
                                         nullptr));
        std::wstring answer = result.vt == VT_BSTR && result.bstrVal ? result.bstrVal : L"";
        ::VariantClear(&result);
        for (auto& a : args) ::VariantClear(&a);
        return answer;
    };
    call(L"settitle", L"{\"wndtitle\":\"\u6807\u9898\"}");
    EXPECT_EQ(L"\u6807\u9898", dialog.GetViewControl().FindControl(CWebDialog::IDC_TITLE)->GetInnerText());
    EXPECT_NE(std::wstring::npos, call(L"getloginurl", L"{}").find(L"\"loginurl\""));

    // NewWindow3: the payment server opens in the browser's own window;
    // other web pages in the default browser; anything else nowhere.
    CNewWindowSink* sink = new CNewWindowSink([&](const std::wstring& url) { return dialog.OnNewWindow(url); });
    auto newWindow = [&](const wchar_t* url) {
        VARIANT_BOOL cancel = VARIANT_FALSE;
        IDispatch* browser = nullptr;
        VARIANT args[5];
        for (auto& a : args) ::VariantInit(&a);
        args[4].vt = VT_BYREF | VT_DISPATCH;
        args[4].ppdispVal = &browser;
        args[3].vt = VT_BYREF | VT_BOOL;
        args[3].pboolVal = &cancel;
        args[2].vt = VT_I4;
        args[1].vt = VT_BSTR;
        args[1].bstrVal = ::SysAllocString(L"http://page/");
        args[0].vt = VT_BSTR;
        args[0].bstrVal = ::SysAllocString(url);
        DISPPARAMS params = {args, nullptr, 5, 0};
        EXPECT_EQ(S_OK, sink->Invoke(273, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr));
        ::VariantClear(&args[1]);
        ::VariantClear(&args[0]);
        return cancel == VARIANT_FALSE;
    };
    EXPECT_TRUE(newWindow(L"https://pay.example/order"));
    EXPECT_FALSE(newWindow(L"http://pay.example.evil.com/"));
    EXPECT_FALSE(newWindow(L"javascript:alert(1)"));
    EXPECT_EQ(std::vector<std::wstring>{L"http://pay.example.evil.com/"}, opened);
    sink->Release();

    // "closewnd" returns before anything is torn down; the close follows.
    call(L"closewnd", L"{}");
    EXPECT_TRUE(::IsWindow(dialog.Frame().Handle()));
    testing_support::PumpMessagesUntil([&] { return !::IsWindow(dialog.Frame().Handle()); }, 5000);
    EXPECT_FALSE(::IsWindow(dialog.Frame().Handle()));
    ::DestroyWindow(dialog.Handle());
}

// The web window starts on the library's own pages, never on the program's
// (this module has no resource 110 or 111).
TEST_F(ModuleDialogs, WebDialogShowsTheLibrarysOwnLoadingAndErrorPages) {
    CKIEFrame::SetDefaultControlFactory(&FakeBrowser::Create);
    CWebDialog dialog(L"http://page.example/a", L"pay.example");
    ASSERT_NE(nullptr, dialog.Create(nullptr));
    CKIEFrame::SetDefaultControlFactory(nullptr);
    ASSERT_NE(nullptr, FakeBrowser::Last());
    const std::wstring library = GetModulePath(GetLibraryModule());
    ASSERT_FALSE(library.empty());
    ASSERT_FALSE(FakeBrowser::Log().navigations.empty());
    EXPECT_EQ(L"res://" + library + L"/102", FakeBrowser::Log().navigations[0]);
    EXPECT_EQ(L"res://" + library + L"/102", dialog.Frame().GetLoadingPageUrl());
    EXPECT_EQ(L"res://" + library + L"/101", dialog.Frame().GetErrorUrl());

    // The page itself follows; when it fails, the library's error page.
    ASSERT_TRUE(testing_support::PumpMessagesUntil([] { return FakeBrowser::Log().navigations.size() >= 2; }, 5000));
    EXPECT_EQ(L"http://page.example/a", FakeBrowser::Log().navigations[1]);
    FakeBrowser::Last()->FireNavigateError(L"http://page.example/a");
    ASSERT_EQ(3u, FakeBrowser::Log().navigations.size());
    EXPECT_EQ(L"res://" + library + L"/101", FakeBrowser::Log().navigations[2]);
    ::DestroyWindow(dialog.Handle());
}

} // namespace
