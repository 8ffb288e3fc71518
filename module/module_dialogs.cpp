#include "module/module_dialogs.h"

#include <cwchar>

#include "module/proxy_settings.h"
#include "module/registry.h"
#include "module/update_index.h"
#include "module/web_dialog.h"
#include "service/log.h"
#include "ui/bkfontpool.h"
#include "ui/bkresmanager.h"
#include "ui/bkskin.h"
#include "ui/bkstring.h"
#include "ui/bkstyle.h"

namespace {

const wchar_t kUpgradeCaption[] = L"Tervanic\u6570\u636e\u6062\u590d\u5927\u5e08";
const wchar_t kWaitingText[] =
    L"\u6b63\u5728\u5347\u7ea7\uff0c\u4e00\u822c\u9700\u8981\u5341\u51e0\u5230\u51e0\u5341\u79d2\uff0c\u8bf7\u7a0d\u7b49\u3002";
const wchar_t kUpToDateText[] = L"\u5347\u7ea7\u5b8c\u6210\uff0c\u5df2\u7ecf\u662f\u6700\u65b0\u7248\u672c\u7684\u4e86\u3002";
const wchar_t kFailedText[] =
    L"\u5347\u7ea7\u5931\u8d25\uff0c\u8bf7\u68c0\u67e5\u7f51\u7edc\u8fde\u63a5\u3002\u5982\u679c\u662f\u4f7f\u7528\u4ee3"
    L"\u7406\u4e0a\u7f51\u7684\uff0c\u8bf7\u70b9\u51fb\u53f3\u4e0a\u89d2\u7684\u8bbe\u7f6e\u6309\u94ae->\u4ee3\u7406\u8bbe"
    L"\u7f6e \u3002";
const wchar_t kRestartText[] =
    L"\u5347\u7ea7\u5b8c\u6210\uff0c\u672c\u6b21\u5347\u7ea7\u9700\u8981\u91cd\u542f\u7a0b\u5e8f\uff0c\u8bf7\u5173\u95ed"
    L"\u7a97\u53e3\uff0c\u7a0b\u5e8f\u4f1a\u81ea\u52a8\u91cd\u542f\u3002";
const wchar_t kInstalledText[] =
    L"\u5df2\u6210\u529f\u5b89\u88c5\u6700\u65b0\u7248\u672c\u7684Ostrel\uff0c\u5982\u679c\u6b63\u5728\u8fd0\u884c\u65e7"
    L"\u7248\u7684Ostrel\uff0c\u8bf7\u5148\u9000\u51fa\u65e7\u7248\u7684Ostrel";
const wchar_t kInstalledCaption[] = L"\u5b89\u88c5\u6210\u529f";
const wchar_t kBadPortText[] = L"\u4ee3\u7406\u7aef\u53e3\u5fc5\u987b\u662f 1 \u5230 65535 \u4e4b\u95f4\u7684\u6570\u5b57\u3002";
const wchar_t kProxyCaption[] = L"\u4ee3\u7406\u8bbe\u7f6e";

void DefaultMessage(HWND owner, const std::wstring& text, const std::wstring& caption) {
    ::MessageBoxW(owner, text.c_str(), caption.c_str(), MB_OK);
}

} // namespace

void PrepareModuleUi() {
    static bool loaded = false;
    if (!loaded) {
        // The library carries its own layouts and tables.
        BkResManager::SetResourceModule(GetLibraryModule());
        BkString::Load();
        BkStyle::LoadStyles();
        BkSkin::LoadSkins();
        loaded = true;
    }
    BkFontPool::SetDefaultFont(L"\u5fae\u8f6f\u96c5\u9ed1", -12);
}

int CUpdateNotify::OnProgress(const wchar_t* text, int, int percent) {
    if (cancelled_) return 0;
    // Sent: the text lives on the caller's stack only for this call.
    if (dialog_ && ::IsWindow(dialog_))
        ::SendMessageW(dialog_, WM_UPDATE_PROGRESS, reinterpret_cast<WPARAM>(text), percent);
    return 1;
}

int CUpdateNotify::OnFinished(int) { return 1; }

CModuleProgressDialog::CModuleProgressDialog(UINT layout) : CBkDialogImpl<CModuleProgressDialog>(layout) {
    seams_.Message = &DefaultMessage;
}

CModuleProgressDialog::~CModuleProgressDialog() {
    // Normally done already (window gone, derived destructor); the members
    // of this class are the last the worker could touch.
    StopWorker();
}

void CModuleProgressDialog::StopWorker() {
    if (!worker_.IsStarted()) return;
    notify_.Cancel();
    JoinWorker();
    if (!finished_) {
        // The result it posted never arrives: the window is going. Kept, but
        // no box and no restart step for a dialog that was taken away.
        finished_ = true;
        result_ = workerResult_;
    }
}

void CModuleProgressDialog::JoinWorker() {
    if (!worker_.IsStarted()) return;
    // The worker may be inside a SendMessage to this thread: answer sent
    // messages while waiting, or both would wait for ever. Posted messages
    // stay queued.
    HANDLE thread = worker_.Handle();
    while (::MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
        MSG msg;
        ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    worker_.Join();
    worker_.Close();
}

void CModuleProgressDialog::Message(const std::wstring& text, const std::wstring& caption) {
    if (seams_.Message) seams_.Message(Handle(), text, caption);
}

unsigned __stdcall CModuleProgressDialog::WorkerProc(void* param) {
    auto* self = static_cast<CModuleProgressDialog*>(param);
    const int result = self->Work();
    self->workerResult_ = result;
    if (::IsWindow(self->window_)) ::PostMessageW(self->window_, WM_UPDATE_FINISHED, static_cast<WPARAM>(result), 0);
    return 0;
}

LRESULT CModuleProgressDialog::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) {
    window_ = Handle();
    notify_.SetDialog(window_);
    InitTexts();
    if (!worker_.Start(&WorkerProc, this)) {
        // Reported as a failed run, through the same path as any other end.
        ::PostMessageW(window_, WM_UPDATE_FINISHED, static_cast<WPARAM>(UPD_E_NO_THREAD), 0);
    }
    return TRUE;
}

LRESULT CModuleProgressDialog::OnBkNotify(int, NMHDR* header, BOOL& handled) {
    if (header->code != BKNM_COMMAND) {
        handled = FALSE;
        return 0;
    }
    const UINT item = reinterpret_cast<BKNMCOMMAND*>(header)->uItemID;
    // Enter, Esc, the close box and the close button: ask the run to stop;
    // the dialog ends when the worker reports.
    if (item == IDC_CLOSE || item == IDOK) notify_.Cancel();
    else handled = FALSE;
    return 0;
}

LRESULT CModuleProgressDialog::OnUpdateProgress(UINT, WPARAM, LPARAM lParam, BOOL&) {
    int percent = static_cast<int>(lParam);
    if (percent < 0) percent = 0;
    if (percent > 100) percent = 100;
    percent_ = percent;
    SetItemIntAttribute(IDC_PROGRESS, "value", percent);
    return 0;
}

LRESULT CModuleProgressDialog::OnUpdateFinished(UINT, WPARAM wParam, LPARAM, BOOL&) {
    if (finished_) return 0;
    finished_ = true;
    result_ = static_cast<int>(wParam);
    JoinWorker();
    Finish(result_);
    return 0;
}

LRESULT CModuleProgressDialog::OnRestartRequest(UINT, WPARAM, LPARAM, BOOL&) {
    RestartStep();
    return 0;
}

LRESULT CModuleProgressDialog::OnDestroy(UINT, WPARAM, LPARAM, BOOL& handled) {
    // The modal loop may end without the run's end (a WM_QUIT): the worker
    // goes with the window, while the whole dialog object still exists.
    StopWorker();
    handled = FALSE;
    return 0;
}

CUpgradeDialog::CUpgradeDialog(const UpdateLocation& location, DWORD productId, std::wstring program)
    : CModuleProgressDialog(IDR_LAYOUT_UPGRADE_DIALOG), launcher_(location, std::move(program)),
      productId_(productId) {}

CUpgradeDialog::~CUpgradeDialog() { StopWorker(); }

void CUpgradeDialog::InitTexts() {
    if (productId_ == PRODUCT_ID_ZOPH || productId_ == PRODUCT_ID_PLIMET) {
        SetItemText(IDC_TITLE, kUpgradeCaption);
        SetItemText(IDC_TEXT, kWaitingText);
    } else if (productId_ == PRODUCT_ID_LUMSEK) {
        SetItemText(IDC_TITLE, L"Lumsek");
        SetItemText(IDC_TEXT, kWaitingText);
    }
    launcher_.SetProductId(productId_);
}

int CUpgradeDialog::Work() { return launcher_.UpdateWithProgress(&notify_); }

void CUpgradeDialog::Finish(int result) {
    if (result == UPD_S_RESTART_NEEDED) RestartStep();
    else if (result == UPD_S_CANCELLED) {
    } else if (result >= 0) Message(kUpToDateText, kUpgradeCaption);
    else Message(kFailedText, kUpgradeCaption);
    EndDialog(IDOK);
}

void CUpgradeDialog::RestartStep() {
    Message(kRestartText, kUpgradeCaption);
    if (HWND parent = ::GetWindow(Handle(), GW_OWNER)) {
        COPYDATASTRUCT data = {};
        data.dwData = COPYDATA_RESTART_REQUEST;
        ::SendMessageW(parent, WM_COPYDATA, reinterpret_cast<WPARAM>(Handle()), reinterpret_cast<LPARAM>(&data));
    }
    const HRESULT hr = launcher_.LaunchReupdate(L"reupdate:0", 10);
    if (FAILED(hr)) UpdateLog(L"The re-update program did not start (0x%08lX)", static_cast<unsigned long>(hr));
}

CInstallDialog::CInstallDialog(PartnerLocation location)
    : CModuleProgressDialog(IDR_LAYOUT_INSTALL_DIALOG), location_(std::move(location)) {}

CInstallDialog::~CInstallDialog() { StopWorker(); }

int CInstallDialog::Work() {
    CPartnerInstallTask task(location_);
    return RunWithProgress(&PartnerInstallerThread, task, &notify_);
}

void CInstallDialog::Finish(int result) {
    if (productId_ != 0 && result == 0) Message(kInstalledText, kInstalledCaption);
    EndDialog(IDOK);
}

CProxyDialog::CProxyDialog() : CBkDialogImpl<CProxyDialog>(IDR_LAYOUT_PROXY_DIALOG) {
    seams_.Message = &DefaultMessage;
}

HWND CProxyDialog::Field(UINT id) const {
    return ::GetDlgItem(const_cast<CProxyDialog*>(this)->GetViewControl().Handle(), static_cast<int>(id));
}

std::wstring CProxyDialog::FieldText(UINT id) const {
    HWND field = Field(id);
    if (!field) return std::wstring();
    std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(field)) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(field, &text[0], static_cast<int>(text.size()))));
    return text;
}

LRESULT CProxyDialog::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) {
    HWND view = GetViewControl().Handle();
    const struct {
        UINT id;
        DWORD style;
    } fields[] = {{IDC_HOST, ES_AUTOHSCROLL}, {IDC_PORT, ES_AUTOHSCROLL | ES_NUMBER},
                  {IDC_USER, ES_AUTOHSCROLL}, {IDC_PASSWORD, ES_AUTOHSCROLL | ES_PASSWORD}};
    for (const auto& f : fields) {
        HWND edit = ::CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_BORDER | WS_TABSTOP | f.style, 0, 0, 10, 10, view,
                                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(f.id)), GetLibraryModule(), nullptr);
        if (edit) ::SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(BkFontPool::GetFont(0)), TRUE);
    }
    GetViewControl().ShowAllRealWindows();

    CRegKey key;
    DWORD port = 80, authorization = 0;
    std::wstring host, user, password;
    if (key.Create(HKEY_CURRENT_USER, kWelgrinKey, KEY_QUERY_VALUE)) {
        key.QueryDword(L"Proxy Mode", storedMode_);
        key.QueryDword(L"Proxy Port", port);
        key.QueryDword(L"Proxy Authorization", authorization);
        key.QueryString(L"Proxy Host", host, kProxyTextMax);
        key.QueryString(L"Proxy User", user, kProxyTextMax);
        key.QueryString(L"Proxy Password", password, kProxyTextMax);
    }
    const bool manual = storedMode_ == PROXY_MODE_HTTP || storedMode_ == PROXY_MODE_SOCKS5;
    SetItemCheck(IDC_AUTO, storedMode_ == PROXY_MODE_NONE || storedMode_ == PROXY_MODE_SYSTEM);
    SetItemCheck(IDC_HTTP, storedMode_ == PROXY_MODE_HTTP);
    SetItemCheck(IDC_SOCKS5, storedMode_ == PROXY_MODE_SOCKS5);
    ::SetWindowTextW(Field(IDC_PORT), std::to_wstring(port).c_str());
    ::SetWindowTextW(Field(IDC_HOST), host.c_str());
    ::SetWindowTextW(Field(IDC_USER), user.c_str());
    ::SetWindowTextW(Field(IDC_PASSWORD), password.c_str());
    SetItemCheck(IDC_AUTHORIZATION, manual && authorization != 0);
    UpdateEnabling();
    return TRUE;
}

void CProxyDialog::UpdateEnabling() {
    const bool automatic = GetItemCheck(IDC_AUTO) != FALSE;
    const bool authorization = !automatic && GetItemCheck(IDC_AUTHORIZATION) != FALSE;
    ::EnableWindow(Field(IDC_HOST), !automatic);
    ::EnableWindow(Field(IDC_PORT), !automatic);
    ::EnableWindow(Field(IDC_USER), authorization);
    ::EnableWindow(Field(IDC_PASSWORD), authorization);
    EnableItem(IDC_AUTHORIZATION, !automatic);
}

bool CProxyDialog::Save() {
    ProxySettingsValues values;
    // No radio shows the stored mode 4 (libcurl's default proxy type): kept.
    values.Mode = GetItemCheck(IDC_AUTO)    ? PROXY_MODE_SYSTEM
                  : GetItemCheck(IDC_HTTP)  ? PROXY_MODE_HTTP
                  : GetItemCheck(IDC_SOCKS5) ? PROXY_MODE_SOCKS5
                  : storedMode_ == PROXY_MODE_DEFAULT ? PROXY_MODE_DEFAULT
                                                     : PROXY_MODE_SYSTEM;
    const std::wstring port = FieldText(IDC_PORT);
    wchar_t* end = nullptr;
    const unsigned long number = port.empty() ? 0 : std::wcstoul(port.c_str(), &end, 10);
    if (port.empty() || (end && *end) || number < 1 || number > 65535) {
        seams_.Message(Handle(), kBadPortText, kProxyCaption);
        return false;
    }
    values.Port = static_cast<DWORD>(number);
    values.Host = FieldText(IDC_HOST);
    values.Authorization = GetItemCheck(IDC_AUTHORIZATION) ? 1 : 0;
    values.User = FieldText(IDC_USER);
    values.Password = FieldText(IDC_PASSWORD);
    if (!SaveProxySettings(values)) UpdateLog(L"The proxy settings could not be saved");
    return true;
}

LRESULT CProxyDialog::OnBkNotify(int, NMHDR* header, BOOL& handled) {
    if (header->code != BKNM_COMMAND) {
        handled = FALSE;
        return 0;
    }
    switch (reinterpret_cast<BKNMCOMMAND*>(header)->uItemID) {
    case IDC_AUTO:
    case IDC_HTTP:
    case IDC_SOCKS5:
    case IDC_AUTHORIZATION: UpdateEnabling(); break;
    case IDC_OK:
    case IDOK:
        if (Save()) EndDialog(IDOK);
        break;
    case IDC_CLOSE:
    case IDCANCEL: EndDialog(IDCANCEL); break;
    default: handled = FALSE; break;
    }
    return 0;
}

bool SaveProxySettings(const ProxySettingsValues& values) {
    CRegKey key;
    if (!key.Create(HKEY_CURRENT_USER, kWelgrinKey, KEY_SET_VALUE)) return false;
    bool ok = key.SetDword(L"Proxy Mode", values.Mode);
    ok = key.SetDword(L"Proxy Port", values.Port) && ok;
    ok = key.SetString(L"Proxy Host", values.Host) && ok;
    ok = key.SetDword(L"Proxy Authorization", values.Authorization) && ok;
    ok = key.SetString(L"Proxy User", values.User) && ok;
    return key.SetString(L"Proxy Password", values.Password) && ok;
}

int RunUpgradeDialog(HWND parent, const UpdateLocation& location, DWORD productId) {
    PrepareModuleUi();
    CUpgradeDialog dialog(location, productId);
    dialog.DoModal(parent);
    return dialog.Result();
}

int RunInstallDialog(HWND parent, const RECT* rect, const PartnerLocation& location) {
    PrepareModuleUi();
    CInstallDialog dialog(location);
    dialog.DoModal(parent, rect);
    return dialog.Result();
}

int RunProxyDialog(HWND parent) {
    PrepareModuleUi();
    CProxyDialog dialog;
    return dialog.DoModal(parent);
}

int RunWebDialog(HWND parent, const std::wstring& url, const std::wstring& paymentHost) {
    PrepareModuleUi();
    CWebDialog dialog(url, paymentHost);
    return dialog.DoModal(parent);
}
