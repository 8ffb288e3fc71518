#include "tests/shell/shell_fixture.h"

#include "index/app_context.h"
#include "platform/strconv.h"
#include "tests/results/result_fixture.h"
#include "tests/support/test_support.h"
#include "ui/bkskin.h"
#include "ui/bkstring.h"
#include "ui/bkstyle.h"

namespace shell_test {

namespace {

std::wstring NewFolder(const wchar_t* stem) {
    static int n = 0;
    std::wstring folder = std::wstring(L"C:\\") + stem + L"-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                          std::to_wstring(++n);
    ::CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

}  // namespace

void LoadProgramTables() {
    static const HRESULT com = ::CoInitialize(nullptr);  // the web panel's browser needs the apartment
    (void)com;
    BkString::Load();
    BkStyle::LoadStyles();
    BkSkin::LoadSkins();
}

void Notify(HWND dlg, UINT code, UINT item) {
    BKNMCOMMAND nm = {};
    nm.hdr.hwndFrom = dlg;
    nm.hdr.idFrom = IDC_BKVIEW;
    nm.hdr.code = code;
    nm.uItemID = item;
    nm.szItemClass = "";
    ::SendMessageW(dlg, WM_NOTIFY, IDC_BKVIEW, reinterpret_cast<LPARAM>(&nm));
}

std::wstring ItemText(CBkDialogHost& dlg, UINT item) {
    CBkWindow* wnd = dlg.GetViewControl().FindControl(item);
    return wnd ? wnd->GetInnerText() : L"<none>";
}

bool ItemVisible(CBkDialogHost& dlg, UINT item) { return dlg.IsItemVisible(item) != FALSE; }

bool WaitFor(const std::function<bool()>& done) { return testing_support::PumpMessagesUntil(done, 60000); }

DockSetup::DockSetup(int files) {
    LoadProgramTables();
    folder = NewFolder(L"shell-index");
    std::vector<results_test::Entry> entries = results_test::ManyFiles(static_cast<uint32_t>(files), 0);
    results_test::WriteVolume(folder, L'C', entries);
    engine.reset(new CIndexManager());
    engine->SetIndexFolder(folder);
    engine->SetScannerPath(L"C:\\nowhere\\searchfile.dll");
    GetAppContext()->IndexManager = engine.get();
    engine->StartLoad();

    dock.reset(new CDockWnd());
    dock->ResetState();
    RECT rc = {100, 20, 900, 93};
    dock->Create(nullptr, rc);
    ::ShowWindow(dock->Handle(), SW_SHOW);
    testing_support::PumpMessages(50);
}

DockSetup::~DockSetup() {
    if (dock) dock->DestroyPanels();
    dock.reset();
    engine.reset();
    GetAppContext()->IndexManager = nullptr;
}

bool DockSetup::WaitForStartChain() {
    return WaitFor([&] {
        return !dock->IsTimerSet(CDockWnd::IDT_DOCK_WAIT_LOAD) && !dock->IsTimerSet(CDockWnd::IDT_DOCK_WAIT_SCAN) &&
               !dock->IsTimerSet(CDockWnd::IDT_DOCK_WAIT_RELOAD);
    });
}

void DockSetup::Type(const std::wstring& text) {
    HWND edit = dock->Edit().Handle();
    for (wchar_t c : text) ::PostMessageW(edit, WM_CHAR, c, 1);
}

}  // namespace shell_test
