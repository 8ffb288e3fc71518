#pragma once
// The object Lumsek.dll hands to the search program: statistics, the
// updater, the companion installer and the library's dialogs.
#include <windows.h>

#include <string>

#include "module/imodule_object.h"
#include "module/partner_installer.h"
#include "module/stat_sender.h"
#include "module/update_launcher.h"

// Hosts and folders the object works with; the library passes the product's,
// tests their own.
struct ModuleConfig {
    std::wstring StatHost;
    UpdateLocation Update;
    PartnerLocation Partner;
    std::wstring PaymentHost;  // pages of this host may open windows of the web window
};

// The product's servers and the library's own folder.
ModuleConfig DefaultModuleConfig();

class CModuleObject : public IModuleObject {
public:
    explicit CModuleObject(const ModuleConfig& config);
    virtual ~CModuleObject();
    CModuleObject(const CModuleObject&) = delete;
    CModuleObject& operator=(const CModuleObject&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    // At 0 the statistics sender stops (it leaves between posts) and the object goes.
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE IsMethodSupported(unsigned index) override;
    HRESULT STDMETHODCALLTYPE Report(const wchar_t* event, const wchar_t* params) override;
    HRESULT STDMETHODCALLTYPE ShowUpgradeDialog(DWORD_PTR a, DWORD_PTR b) override;
    HRESULT STDMETHODCALLTYPE ShowProxyDialog(DWORD_PTR a, DWORD_PTR b) override;
    HRESULT STDMETHODCALLTYPE Reserved1(DWORD_PTR a, DWORD_PTR b) override;
    HRESULT STDMETHODCALLTYPE Reserved2(DWORD_PTR a, DWORD_PTR b) override;
    HRESULT STDMETHODCALLTYPE InstallWithDialog(HWND parent, const RECT* rect) override;
    HRESULT STDMETHODCALLTYPE ShowWebWindow(const wchar_t* url, DWORD_PTR a, DWORD_PTR b) override;
    HRESULT STDMETHODCALLTYPE LaunchReupdate() override;
    HRESULT STDMETHODCALLTYPE UpdateInBackground() override;

    CStatSender& Sender() noexcept { return sender_; }

private:
    LONG refs_ = 1;
    ModuleConfig config_;
    CStatSender sender_;
    CUpdateLauncher launcher_;
};

// The library's export: a new object for IID_IModuleObject only.
HRESULT CreateModuleObject(const ModuleConfig& config, REFIID riid, void** out);
