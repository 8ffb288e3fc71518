// The scope popup's rows and the masks it hands the bar, and the
// confirmation dialog's two settings in the registry.
#include <gtest/gtest.h>

#include <vector>

#include "shell/check_dlg.h"
#include "shell/scope_popup.h"
#include "tests/support/test_support.h"
#include "ui/bkwinmanager.h"

namespace {

const char* ScopeLayout() {
    return "<layer title='s' width='112' height='86' noborder='1'><body>"
           "<imgbtn id='501' pos='4,4,20,20'/><text id='401' pos='24,4,108,20'>a</text>"
           "<imgbtn id='502' pos='4,30,20,46'/><text id='402' pos='24,30,108,46'>b</text>"
           "<imgbtn id='503' pos='4,56,20,72'/><text id='403' pos='24,56,108,72'>c</text></body></layer>";
}

TEST(ScopePopup, RowsFollowTheMaskAndTheLastChosenRowIsLocked) {
    BkWinManager manager;
    std::vector<std::pair<WPARAM, LPARAM>> sent;  // the scope messages to the owner: mask, cookie
    testing_support::HookWindow owner([&](UINT msg, WPARAM wp, LPARAM lp, LRESULT&) {
        if (msg == WM_SEARCH_SCOPE_CHANGED) sent.push_back({wp, lp});
        return false;
    });
    CKSettingDlg popup;
    popup.GetViewControl().XmlLoad(ScopeLayout());
    ASSERT_NE(popup.Create(nullptr), nullptr);
    popup.SetOwner(owner.hwnd());
    auto Enabled = [&](UINT id) { return !(popup.GetViewControl().FindControl(id)->GetState() & BKSTATE_DISABLED); };

    popup.Popup(5, 100, 60);
    EXPECT_TRUE(popup.IsShown());
    EXPECT_TRUE(Enabled(501) && Enabled(502) && Enabled(503));
    popup.OnItemClick(501);  // 7 -> 6, and the popup closes
    EXPECT_FALSE(popup.IsShown());
    popup.Popup(6, 100, 60);
    popup.OnItemClick(503);  // 6 -> 2: row 2 alone is left and locked
    EXPECT_EQ(popup.GetMask(), 2);
    popup.Popup(7, 100, 60);
    EXPECT_FALSE(Enabled(502));
    EXPECT_TRUE(Enabled(501) && Enabled(503));
    popup.OnItemClick(502);  // a click that reaches the locked row changes nothing
    EXPECT_EQ(popup.GetMask(), 2);
    popup.OnItemClick(503);  // 2 -> 6, every row enabled again
    popup.Popup(8, 100, 60);
    EXPECT_TRUE(Enabled(501) && Enabled(502) && Enabled(503));

    // Losing the activation while shown answers -1 with the cookie.
    ::SendMessageW(popup.Handle(), WM_NCACTIVATE, FALSE, 0);
    EXPECT_FALSE(popup.IsShown());
    const std::vector<std::pair<WPARAM, LPARAM>> want = {{6, 5}, {2, 6}, {6, 7}, {static_cast<WPARAM>(-1), 8}};
    EXPECT_EQ(sent, want);
    popup.SetMask(0);  // never empty
    EXPECT_EQ(popup.GetMask(), 6);
}

const char* CheckLayout() {
    return "<layer title='c' width='314' height='200' noborder='1'><body>"
           "<imgbtn id='1002' pos='290,0,310,20'/><dlg id='5000' pos='0,20,-0,-0'>"
           "<richtext id='5001' pos='10,10,300,60'>tip</richtext><check id='5002' pos='10,70,200,90'>x</check>"
           "<imgbtn id='5003' pos='200,140,300,170'><text id='5004' pos='0,0,-0,-0'>ok</text></imgbtn>"
           "</dlg></body></layer>";
}

DWORD RawValue(HKEY root, const wchar_t* name, DWORD* type) {
    DWORD value = 0, size = sizeof(value);
    if (::RegGetValueW(root, L"Software\\Lumsek", name, RRF_RT_ANY, type, &value, &size) != ERROR_SUCCESS) return 99;
    return value;
}

TEST(CheckDialog, BothModesStoreTheirAnswerAndAFailedWriteKeepsTheDialogOpen) {
    BkWinManager manager;
    ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Lumsek");
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\Lumsek");
    {
        CCheckDlg tip(CCheckDlg::MODE_CLOSE_TIP);
        EXPECT_EQ(tip.ReadSetting(), 0u);
        HKEY probe = nullptr;
        EXPECT_NE(::RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Lumsek", 0, KEY_READ, &probe), ERROR_SUCCESS)
            << "reading must not create the key";
        tip.GetViewControl().XmlLoad(CheckLayout());
        ASSERT_NE(tip.Create(nullptr), nullptr);
        ::SendMessageW(tip.Handle(), WM_INITDIALOG, 0, 0);
        tip.SetItemCheck(CCheckDlg::IDC_CHECK, TRUE);
        tip.OnConfirm();
        DWORD type = 0;
        EXPECT_EQ(RawValue(HKEY_CURRENT_USER, L"showclosetip", &type), 1u);
        EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
        EXPECT_EQ(ReadShowCloseTip(), 1u);
    }
    {
        std::vector<unsigned> reported;
        CCheckDlg autorun(CCheckDlg::MODE_AUTORUN);
        autorun.OnBootStartStored = [&](unsigned b) { reported.push_back(b); };
        autorun.GetViewControl().XmlLoad(CheckLayout());
        ASSERT_NE(autorun.Create(nullptr), nullptr);
        ::SendMessageW(autorun.Handle(), WM_INITDIALOG, 0, 0);
        EXPECT_FALSE(autorun.GetItemCheck(CCheckDlg::IDC_CHECK));  // "autorun" absent
        autorun.OnConfirm();  // unchecked: store 0, start at boot
        DWORD type = 0;
        EXPECT_EQ(RawValue(HKEY_LOCAL_MACHINE, L"autorun", &type), 0u);
        EXPECT_EQ(reported, std::vector<unsigned>{1});

        // A value of the wrong type or size reads as 0.
        HKEY key = nullptr;
        ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Lumsek", 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                    &key, nullptr), ERROR_SUCCESS);
        const BYTE one[8] = {1};
        ::RegSetValueExW(key, L"autorun", 0, REG_BINARY, one, sizeof(one));
        ::RegCloseKey(key);
        EXPECT_EQ(autorun.ReadSetting(), 0u);
    }
    {
        // A root that refuses writes: a message, no report, the dialog stays.
        std::vector<unsigned> reported;
        std::vector<std::wstring> messages;
        CCheckDlg autorun(CCheckDlg::MODE_AUTORUN);
        autorun.SetRegistryRoot(reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x1230)));
        autorun.OnBootStartStored = [&](unsigned b) { reported.push_back(b); };
        autorun.Message = [&](const std::wstring& m) { messages.push_back(m); };
        autorun.GetViewControl().XmlLoad(CheckLayout());
        ASSERT_NE(autorun.Create(nullptr), nullptr);
        autorun.OnConfirm();
        EXPECT_EQ(messages.size(), 1u);
        EXPECT_TRUE(reported.empty());
        EXPECT_TRUE(autorun.IsWindow());
    }
}

} // namespace
