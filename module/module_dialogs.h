#pragma once
// The library's modal dialogs, run by the module object.
#include <windows.h>

#include <string>

#include "module/partner_installer.h"
#include "module/update_task.h"

// Update with progress for one product channel; answers the run's result.
int RunUpgradeDialog(HWND parent, const UpdateLocation& location, DWORD productId);
// The companion installer with progress; placed at rect when given.
int RunInstallDialog(HWND parent, const RECT* rect, const PartnerLocation& location);
// The proxy settings; IDOK when saved.
int RunProxyDialog(HWND parent);
// A web page in an embedded browser.
int RunWebDialog(HWND parent, const std::wstring& url);
