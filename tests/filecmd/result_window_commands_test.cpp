// The file commands as the result window runs them on its selected rows.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/strconv.h"
#include "tests/filecmd/filecmd_test_util.h"
#include "tests/results/result_fixture.h"
#include "tests/support/test_support.h"

namespace {

using results_test::Entry;
using results_test::kDeletedFile;
using results_test::kDir;
using results_test::kFile;

// What the right-click menu held when it was up, and the shell's copy item
// clicked with real mouse input.
struct MenuSeen {
    std::vector<UINT> ids;
    bool clickedCopy = false;
};
MenuSeen g_menu;

void CALLBACK ClickShellCopy(HWND, UINT, UINT_PTR timer, DWORD) {
    ::KillTimer(nullptr, timer);
    HMENU menu = reinterpret_cast<HMENU>(::SendMessageW(::FindWindowW(L"#32768", nullptr), MN_GETHMENU, 0, 0));
    int copy = -1;
    for (int i = 0; menu && i < ::GetMenuItemCount(menu); ++i) {
        g_menu.ids.push_back(::GetMenuItemID(menu, i));
        wchar_t text[128] = {};
        ::GetMenuStringW(menu, i, text, 128, MF_BYPOSITION);
        const std::wstring t = text;
        if (copy < 0 && (t.find(L"Copy") != std::wstring::npos || t.find(L"复制") != std::wstring::npos)) copy = i;
    }
    RECT rc;
    if (copy < 0 || !::GetMenuItemRect(nullptr, menu, copy, &rc)) {
        ::EndMenu();
        return;
    }
    ::SetCursorPos((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    INPUT click[2] = {};
    click[0].type = click[1].type = INPUT_MOUSE;
    click[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    click[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    g_menu.clickedCopy = ::SendInput(2, click, sizeof(INPUT)) == 2;
}

int RowNamed(CSearchResultWnd& wnd, const std::wstring& name) {
    for (int row = 0; row < wnd.GetList().GetItemCount(); ++row) {
        if (wnd.GetItemText(row, RESULTCOL_NAME, nullptr, nullptr) == name) return row;
    }
    return -1;
}

TEST(ResultWindowCommands, KeysRunOnTheSelectedRows) {
    filecmd_test::LoadStrings();
    const std::wstring chinese = L"\u4e2d\u6587.txt";
    for (const auto& name : {std::wstring(L"a.txt"), chinese}) {
        ASSERT_TRUE(testing_support::WriteFileBytes(L"C:\\fcmd\\" + name, "x"));
    }
    results_test::ResultSetup s;
    ASSERT_TRUE(s.Load({
        {5, 5, ".", kDir, 0, 0},
        {60, 5, "fcmd", kDir, 0, 0},
        {61, 60, "a.txt", kFile, 0, 1},
        {62, 60, "gone.txt", kFile, 0, 1},
        {63, 60, platform::WideToAnsi(chinese), kFile, 0, 1},
        {64, 60, "del.txt", kDeletedFile, 0, 1},
    }));
    ASSERT_TRUE(s.Search(L"txt"));
    ASSERT_EQ(s.wnd->GetList().GetItemCount(), 4);
    auto send = [&](int code, LPARAM mode = 0) { return s.wnd->SendMessage(WM_RESULT_KEY_COMMAND, code, mode); };

    send(FILECMD_SELECTALL);
    EXPECT_EQ(s.wnd->GetList().GetSelectedItems().size(), 4u);
    send(FILECMD_COPY);
    std::vector<std::wstring> names = filecmd_test::ReadClipboardFiles().names;
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::wstring>{L"C:\\fcmd\\a.txt", L"C:\\fcmd\\" + chinese}));
    EXPECT_EQ(::GetClipboardOwner(), s.wnd->Handle());

    EXPECT_EQ(send(FILECMD_OPENCONTAINING), static_cast<LRESULT>(E_FAIL));  // no shortcut
    const size_t used = s.owner.Count(WM_RESULT_LIST_USED);
    send(FILECMD_EDIT);
    EXPECT_EQ(s.owner.Count(WM_RESULT_LIST_USED), used + 1);

    // Right click on an existing and a deleted row: the window's two items,
    // the shell's below; the shell's copy copies the existing file only.
    auto& list = s.wnd->GetList();
    list.SelectOnly(RowNamed(*s.wnd, L"a.txt"));
    list.SelectItem(RowNamed(*s.wnd, L"del.txt"));
    ASSERT_EQ(list.GetSelectedItems().size(), 2u);
    s.Show(800, 400);
    ASSERT_TRUE(::CopyTextToClipboard(s.wnd->Handle(), L"before"));
    ::SetTimer(nullptr, 0, 300, ClickShellCopy);
    const size_t holds = s.owner.Count(WM_DOCK_HOLD);
    s.wnd->OnItemRightClick(20, 40);
    ASSERT_GE(g_menu.ids.size(), 5u);
    EXPECT_EQ(g_menu.ids[0], ID_OPEN_CONTAINING_FOLDER);
    EXPECT_EQ(g_menu.ids[1], ID_RECOVER_DELETED);
    EXPECT_EQ(g_menu.ids[2], 0u);  // separators
    EXPECT_EQ(g_menu.ids[3], 0u);
    EXPECT_TRUE(g_menu.clickedCopy);
    EXPECT_EQ(filecmd_test::ReadClipboardFiles().names, std::vector<std::wstring>{L"C:\\fcmd\\a.txt"});
    EXPECT_EQ(s.owner.Count(WM_DOCK_HOLD), holds + 2);  // held, then released

    send(FILECMD_SELECTALL);
    {
        filecmd_test::DialogAnswerer yes;
        send(FILECMD_DELETE, FILECMD_DELETE_PERMANENTLY);
    }
    EXPECT_FALSE(testing_support::PathExists(L"C:\\fcmd\\a.txt"));
    EXPECT_FALSE(testing_support::PathExists(L"C:\\fcmd\\" + chinese));
    // The rows stay as the engine lists them until it reports the change.
    EXPECT_EQ(s.wnd->GetList().GetItemCount(), 4);
}

} // namespace
