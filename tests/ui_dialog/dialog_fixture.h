#pragma once
// A skinned dialog for the tests: it records the view's notifications and the
// window messages that matter, and can be told what to do on a notification.
#include <functional>
#include <string>
#include <vector>

#include "ui/bkdlgimpl.h"

struct Notified {
    UINT code;
    UINT item;
    std::string cls;
    bool operator==(const Notified& o) const { return code == o.code && item == o.item && cls == o.cls; }
};

inline std::ostream& operator<<(std::ostream& os, const Notified& n) {
    return os << "{" << n.code << ", " << n.item << ", \"" << n.cls << "\"}";
}

// Header 0-30, body 30-180, footer 180-200 in a 300 x 200 window.
inline const char* TestLayout() {
    return "<layer title=\"测试\" width=\"300\" height=\"200\" noborder=\"1\">"
           "<header height=\"30\"><dlg id=\"20\" pos=\"0,0,40,30\"/></header><body>"
           "<dlg id=\"10\" pos=\"10,10,60,40\" crbg=\"ff0000\"/><dlg id=\"11\" pos=\"70,10,120,40\" tip=\"提示一\"/>"
           "<dlg id=\"12\" pos=\"130,10,180,40\"/></body>"
           "<footer height=\"20\"><dlg id=\"30\" pos=\"0,0,-0,-0\"/></footer></layer>";
}

class TestDlg : public CBkDialogImpl<TestDlg> {
public:
    std::vector<Notified> notes;
    std::vector<WPARAM> sysCommands;
    int initDialogs = 0;
    HWND initParam = nullptr;
    std::function<void(const Notified&)> onNotify;
    std::function<void()> onInit;

    explicit TestDlg(const char* layout = TestLayout()) {
        if (layout) GetViewControl().XmlLoad(layout);
    }

    WINDOW_MAP_BEGIN(TestDlg)
        ON_WINDOW_NOTIFY(IDC_BKVIEW, OnBkNotify)
        ON_WINDOW_MESSAGE(WM_SYSCOMMAND, OnSysCommand)
        ON_WINDOW_MESSAGE(WM_INITDIALOG, OnInitDialog)
        ON_WINDOW_MESSAGE(WM_APP + 1, OnApp)
        WINDOW_MAP_CHAIN(CBkDialogImpl<TestDlg>)
    WINDOW_MAP_END()

    std::function<void()> onApp;

    LRESULT OnBkNotify(int, NMHDR* hdr, BOOL&) {
        auto* nm = reinterpret_cast<BKNMCOMMAND*>(hdr);
        Notified n{hdr->code, nm->uItemID, nm->szItemClass ? nm->szItemClass : "(null)"};
        notes.push_back(n);
        if (onNotify) onNotify(n);
        return 0;
    }
    LRESULT OnSysCommand(UINT, WPARAM wp, LPARAM, BOOL&) { sysCommands.push_back(wp); return 0; }
    LRESULT OnInitDialog(UINT, WPARAM wp, LPARAM, BOOL&) {
        ++initDialogs;
        initParam = reinterpret_cast<HWND>(wp);
        if (onInit) onInit();
        return TRUE;
    }
    LRESULT OnApp(UINT, WPARAM, LPARAM, BOOL&) { if (onApp) onApp(); return 0; }
};
