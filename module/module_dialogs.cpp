#include "module/module_dialogs.h"

int RunUpgradeDialog(HWND, const UpdateLocation&, DWORD) { return 0; }
int RunInstallDialog(HWND, const RECT*, const PartnerLocation&) { return 0; }
int RunProxyDialog(HWND) { return 0; }
int RunWebDialog(HWND, const std::wstring&) { return 0; }
