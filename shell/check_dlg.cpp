#include "shell/check_dlg.h"

#include "platform/trace.h"
#include "ui/bkstring.h"

namespace {

const wchar_t kSettingsKey[] = L"Software\\Lumsek";

std::wstring Str(UINT id) {
    LPCWSTR text = BkString::Get(id);
    return text ? text : L"";
}

// Reading opens the key for queries only, so it never creates it; only a
// 4-byte DWORD counts.
DWORD ReadDword(HKEY root, const wchar_t* name) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(root, kSettingsKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return 0;
    DWORD value = 0, type = 0, size = sizeof(value);
    const LONG status = ::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    ::RegCloseKey(key);
    return (status == ERROR_SUCCESS && type == REG_DWORD && size == sizeof(DWORD)) ? value : 0;
}

} // namespace

DWORD ReadShowCloseTip() { return ReadDword(HKEY_CURRENT_USER, L"showclosetip"); }

CCheckDlg::CCheckDlg(Mode mode)
    : CBkDialogImpl<CCheckDlg>(126), mode_(mode), root_(mode == MODE_AUTORUN ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER) {
    Message = [this](const std::wstring& text) { ::MessageBoxW(Handle(), text.c_str(), Str(1).c_str(), MB_OK); };
}

const wchar_t* CCheckDlg::ValueName() const { return mode_ == MODE_AUTORUN ? L"autorun" : L"showclosetip"; }

DWORD CCheckDlg::ReadSetting() const { return ReadDword(root_, ValueName()); }

bool CCheckDlg::WriteSetting(DWORD value) const {
    HKEY key = nullptr;
    LONG status = ::RegCreateKeyExW(root_, kSettingsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
    if (status == ERROR_SUCCESS) {
        status = ::RegSetValueExW(key, ValueName(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
        ::RegCloseKey(key);
    }
    if (status != ERROR_SUCCESS) {
        platform::TraceW(L"settings: writing %ls refused (error %ld)", ValueName(), status);
        return false;
    }
    return true;
}

void CCheckDlg::OnConfirm() {
    const DWORD checked = GetItemCheck(IDC_CHECK) ? 1 : 0;
    if (!WriteSetting(checked)) {
        // Nothing was stored: say so and leave the dialog open.
        if (Message) Message(Str(mode_ == MODE_AUTORUN ? 90 : 91));
        return;
    }
    if (mode_ == MODE_AUTORUN && OnBootStartStored) OnBootStartStored(checked ? 0u : 1u);
    EndDialog(1);
}

LRESULT CCheckDlg::OnBkNotify(int, NMHDR* header, BOOL& handled) {
    const UINT item = reinterpret_cast<BKNMCOMMAND*>(header)->uItemID;
    // Esc (item 2) closes the dialog as its close box does; Enter (item 1)
    // answers as its one button does.
    if (header->code == BKNM_COMMAND && (item == IDC_CLOSE || item == IDCANCEL)) {
        EndDialog(2);
    } else if (header->code == BKNM_COMMAND && (item == IDC_CONFIRM || item == IDOK)) {
        OnConfirm();
    } else {
        handled = FALSE;
    }
    return 0;
}

LRESULT CCheckDlg::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) {
    if (mode_ == MODE_AUTORUN) {
        GetViewControl().SetRichTextW(IDC_TEXT, Str(50).c_str());
        SetItemText(IDC_CHECK, Str(52).c_str());
        SetItemText(IDC_CONFIRM_TEXT, Str(53).c_str());
        ::PostMessageW(Handle(), WM_CHECKDLG_INIT, 0, 0);
    }
    SetItemCheck(IDC_CHECK, ReadSetting() ? TRUE : FALSE);
    return 1;
}

LRESULT CCheckDlg::OnCenter(UINT, WPARAM, LPARAM, BOOL&) {
    CenterWindow();
    return 0;
}
