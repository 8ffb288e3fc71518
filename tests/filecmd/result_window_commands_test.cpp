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
