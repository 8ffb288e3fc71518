#pragma once
// The confirmation dialog with a check box, in two modes: the tip shown
// before the bar closes to the tray, and the auto-start setting. Its answers
// are the only settings the program stores.
#include <windows.h>

#include <functional>
#include <string>

#include "ui/bkdlgimpl.h"

constexpr UINT WM_CHECKDLG_INIT = 5336;

class CCheckDlg : public CBkDialogImpl<CCheckDlg> {
public:
    enum Mode { MODE_CLOSE_TIP = 0, MODE_AUTORUN = 1 };
    enum : UINT { IDC_CLOSE = 1002, IDC_TEXT = 5001, IDC_CHECK = 5002, IDC_CONFIRM = 5003, IDC_CONFIRM_TEXT = 5004 };

    explicit CCheckDlg(Mode mode);

    // The stored value of this mode's setting; 0 when missing or unreadable.
    DWORD ReadSetting() const;
    // Stores `value`; false (with the Win32 error logged) when refused.
    bool WriteSetting(DWORD value) const;
    void OnConfirm();

    // Where the settings live; tests point it elsewhere.
    void SetRegistryRoot(HKEY root) { root_ = root; }
    // Told after the auto-start answer was stored: 1 to start at boot, 0 not.
    std::function<void(unsigned bootStart)> OnBootStartStored;
    // Shows a message; the default is a message box over the dialog.
    std::function<void(const std::wstring& text)> Message;

    WINDOW_MAP_BEGIN(CCheckDlg)
        ON_WINDOW_NOTIFY(IDC_BKVIEW, OnBkNotify)
        ON_WINDOW_MESSAGE(WM_INITDIALOG, OnInitDialog)
        ON_WINDOW_MESSAGE(WM_CHECKDLG_INIT, OnCenter)
        WINDOW_MAP_CHAIN(CBkDialogImpl<CCheckDlg>)
    WINDOW_MAP_END()

private:
    LRESULT OnBkNotify(int idCtrl, NMHDR* header, BOOL& handled);
    LRESULT OnInitDialog(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& handled);
    LRESULT OnCenter(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& handled);
    const wchar_t* ValueName() const;

    Mode mode_;
    HKEY root_;
};

// The close-to-tray tip is shown while this is 0.
DWORD ReadShowCloseTip();
