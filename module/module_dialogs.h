#pragma once
// The library's modal dialogs: the upgrade and install dialogs with their
// progress, and the proxy settings.
#include <windows.h>

#include <atomic>
#include <functional>
#include <string>

#include "module/partner_installer.h"
#include "module/update_launcher.h"
#include "module/update_task.h"
#include "platform/thread.h"
#include "ui/bkdlgimpl.h"

// Private messages of the progress dialogs.
constexpr UINT WM_UPDATE_PROGRESS = 1203;    // wParam: status text, lParam: percent 0..100
constexpr UINT WM_UPDATE_FINISHED = 1204;    // wParam: the run's result
constexpr UINT COPYDATA_RESTART_REQUEST = 1202;

// Layout resources of the dialogs.
constexpr UINT IDR_LAYOUT_WEB_DIALOG = 1;
constexpr UINT IDR_LAYOUT_UPGRADE_DIALOG = 7;
constexpr UINT IDR_LAYOUT_PROXY_DIALOG = 9;
constexpr UINT IDR_LAYOUT_INSTALL_DIALOG = 13;

// Loads the framework's tables from the library's resources (once) and sets
// the dialogs' default font.
void PrepareModuleUi();

// What the dialogs ask of the world outside; tests replace it.
struct ModuleDialogSeams {
    // A message box with an OK button; the default is the system's.
    std::function<void(HWND owner, const std::wstring& text, const std::wstring& caption)> Message;
};

// The dialogs' progress reports: sent to the dialog while it goes on, 0 once
// the user asked to stop.
class CUpdateNotify : public IUpdateNotify {
public:
    void SetDialog(HWND dialog) noexcept { dialog_ = dialog; }
    void Cancel() noexcept { cancelled_ = true; }
    bool Cancelled() const noexcept { return cancelled_; }

    int STDMETHODCALLTYPE OnProgress(const wchar_t* text, int length, int percent) override;
    int STDMETHODCALLTYPE OnFinished(int result) override;

private:
    std::atomic<bool> cancelled_{false};
    HWND dialog_ = nullptr;
};

// What the two progress dialogs share: a worker thread whose end the dialog
// waits for. Every way of closing only asks the worker to stop; the dialog
// ends when the worker has posted its result. The worker runs the derived
// class's Work() over the derived class's members, so it is joined when the
// window goes (also when a WM_QUIT ends the modal loop during a run) and at
// the start of every derived destructor, never after those members are gone.
class CModuleProgressDialog : public CBkDialogImpl<CModuleProgressDialog> {
public:
    enum : UINT { IDC_TITLE = 100, IDC_TEXT = 103, IDC_PROGRESS = 104, IDC_CLOSE = 2 };

    explicit CModuleProgressDialog(UINT layout);
    ~CModuleProgressDialog() override;

    ModuleDialogSeams& Seams() { return seams_; }
    int Result() const noexcept { return result_; }
    int Percent() const noexcept { return percent_; }
    bool CancelRequested() const noexcept { return notify_.Cancelled(); }
    // Asks the worker to stop (the close button does this).
    void RequestCancel() noexcept { notify_.Cancel(); }

    WINDOW_MAP_BEGIN(CModuleProgressDialog)
        ON_WINDOW_NOTIFY(IDC_BKVIEW, OnBkNotify)
        ON_WINDOW_MESSAGE(WM_INITDIALOG, OnInitDialog)
        ON_WINDOW_MESSAGE(WM_UPDATE_PROGRESS, OnUpdateProgress)
        ON_WINDOW_MESSAGE(WM_UPDATE_FINISHED, OnUpdateFinished)
        ON_WINDOW_MESSAGE(COPYDATA_RESTART_REQUEST, OnRestartRequest)
        ON_WINDOW_MESSAGE(WM_DESTROY, OnDestroy)
        WINDOW_MAP_CHAIN(CBkDialogImpl<CModuleProgressDialog>)
    WINDOW_MAP_END()

protected:
    // On the window thread before the worker starts.
    virtual void InitTexts() {}
    // On the worker thread: the run, answering its result.
    virtual int Work() = 0;
    // On the window thread once the worker has ended; ends the dialog.
    virtual void Finish(int result) = 0;
    virtual void RestartStep() {}

    void Message(const std::wstring& text, const std::wstring& caption);
    void JoinWorker();
    // Asks the worker to stop and waits for it; a run that ends this way
    // keeps its result but shows nothing. Every derived destructor calls it
    // first.
    void StopWorker();

    CUpdateNotify notify_;
    ModuleDialogSeams seams_;

private:
    static unsigned __stdcall WorkerProc(void* self);
    LRESULT OnBkNotify(int idCtrl, NMHDR* header, BOOL& handled);
    LRESULT OnInitDialog(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& handled);
    LRESULT OnUpdateProgress(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& handled);
    LRESULT OnUpdateFinished(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& handled);
    LRESULT OnRestartRequest(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& handled);
    LRESULT OnDestroy(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& handled);

    platform::Thread worker_;
    HWND window_ = nullptr;  // the worker posts its result here
    std::atomic<int> workerResult_{0};  // also kept here: a post to a closing window is lost
    int result_ = 0;
    int percent_ = 0;
    bool finished_ = false;
};

class CUpgradeDialog : public CModuleProgressDialog {
public:
    CUpgradeDialog(const UpdateLocation& location, DWORD productId, std::wstring program = std::wstring());
    ~CUpgradeDialog() override;
    CUpdateLauncher& Launcher() { return launcher_; }

protected:
    void InitTexts() override;
    int Work() override;
    void Finish(int result) override;
    void RestartStep() override;

private:
    CUpdateLauncher launcher_;
    DWORD productId_;
};

class CInstallDialog : public CModuleProgressDialog {
public:
    explicit CInstallDialog(PartnerLocation location);
    ~CInstallDialog() override;

protected:
    int Work() override;
    void Finish(int result) override;

private:
    PartnerLocation location_;
    DWORD productId_ = 0;  // non-zero: a success box after a run that was not cancelled
};

// The proxy settings of the transfers, edited and saved in the registry.
class CProxyDialog : public CBkDialogImpl<CProxyDialog> {
public:
    enum : UINT {
        IDC_CLOSE = 100,
        IDC_OK = 102,
        IDC_AUTO = 1460,
        IDC_HTTP = 1461,
        IDC_SOCKS5 = 1462,
        IDC_HOST = 1463,
        IDC_PORT = 1464,
        IDC_USER = 1465,
        IDC_PASSWORD = 1466,
        IDC_AUTHORIZATION = 1467,
    };

    CProxyDialog();
    ModuleDialogSeams& Seams() { return seams_; }
    HWND Field(UINT id) const;
    // Collects the fields and saves them; false (nothing saved) when the
    // port is not a number in 1..65535.
    bool Save();
    void UpdateEnabling();

    WINDOW_MAP_BEGIN(CProxyDialog)
        ON_WINDOW_NOTIFY(IDC_BKVIEW, OnBkNotify)
        ON_WINDOW_MESSAGE(WM_INITDIALOG, OnInitDialog)
        WINDOW_MAP_CHAIN(CBkDialogImpl<CProxyDialog>)
    WINDOW_MAP_END()

private:
    LRESULT OnBkNotify(int idCtrl, NMHDR* header, BOOL& handled);
    LRESULT OnInitDialog(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& handled);
    std::wstring FieldText(UINT id) const;

    ModuleDialogSeams seams_;
    DWORD storedMode_ = 0;
};

// The values the proxy dialog writes under the proxy key.
struct ProxySettingsValues {
    DWORD Mode = 1;
    DWORD Port = 80;
    std::wstring Host;
    DWORD Authorization = 0;
    std::wstring User;
    std::wstring Password;
};
bool SaveProxySettings(const ProxySettingsValues& values);

// Update with progress for one product channel; answers the run's result.
int RunUpgradeDialog(HWND parent, const UpdateLocation& location, DWORD productId);
// The companion installer with progress; placed at rect when given.
int RunInstallDialog(HWND parent, const RECT* rect, const PartnerLocation& location);
// The proxy settings; IDOK when saved.
int RunProxyDialog(HWND parent);
// A web page in an embedded browser; pages of paymentHost may open windows of their own.
int RunWebDialog(HWND parent, const std::wstring& url, const std::wstring& paymentHost);
