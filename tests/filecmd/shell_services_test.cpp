#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "platform/shell_handles.h"
#include "platform/thread.h"
#include "platform/window.h"
#include "results/folder_picker.h"
#include "results/system_image_list.h"
#include "tests/filecmd/filecmd_test_util.h"
#include "tests/support/test_support.h"
#include "ui/bkstring.h"

using namespace filecmd_test;

namespace {

TEST(SystemImageList, SmallAndLargeListsAreCreatedOnceWhileHeld) {
    const int before = CSystemImageList::CreationCount();
    HIMAGELIST small = nullptr, large = nullptr;
    {
        CSystemImageList first;
        small = CSystemImageList::SmallList();
        large = CSystemImageList::LargeList();
        ASSERT_TRUE(small && large);
        int cx = 0, cy = 0, lx = 0, ly = 0;
        ASSERT_TRUE(ImageList_GetIconSize(small, &cx, &cy));
        ASSERT_TRUE(ImageList_GetIconSize(large, &lx, &ly));
        EXPECT_LT(cx, lx);
        EXPECT_EQ(ImageList_GetBkColor(small), CLR_NONE);
        {
            CSystemImageList second;
            EXPECT_EQ(CSystemImageList::SmallList(), small);
            EXPECT_EQ(CSystemImageList::LargeList(), large);
        }
        // One holder gone, the other keeps the lists.
        EXPECT_EQ(CSystemImageList::SmallList(), small);
        EXPECT_EQ(CSystemImageList::CreationCount(), before + 2);
    }
    EXPECT_EQ(CSystemImageList::SmallList(), nullptr);
    EXPECT_EQ(CSystemImageList::LargeList(), nullptr);
    CSystemImageList again;
    EXPECT_EQ(CSystemImageList::SmallList(), small);  // the system's own list
    EXPECT_EQ(CSystemImageList::CreationCount(), before + 4);
}

struct PickerRun {
    std::wstring start, path = L"unchanged";
    bool chosen = false;
    static unsigned __stdcall Run(void* arg) {
        auto* self = static_cast<PickerRun*>(arg);
        platform::ComInitScope com;
        self->chosen = BrowseForFolder(&self->path, self->start, L"pick a folder");
        return 0;
    }
};

HWND FindPicker(const wchar_t* caption) {
    HWND dialog = nullptr;
    testing_support::PumpMessagesUntil([&] { return (dialog = ::FindWindowW(L"#32770", caption)) != nullptr; }, 10000);
    return dialog;
}

HWND FindChild(HWND parent, const wchar_t* cls) {
    for (HWND c = ::GetWindow(parent, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
        wchar_t name[64] = {};
        ::GetClassNameW(c, name, 64);
        if (::lstrcmpiW(name, cls) == 0) return c;
        if (HWND inner = FindChild(c, cls)) return inner;
    }
    return nullptr;
}

TEST(FolderPicker, OpensOnTheStartingDriveAndShowsItsPath) {
    LoadStrings();
    ASSERT_FALSE(MakeDrive(L'D', {L"inner\\x.txt"}).empty());
    PickerRun run;
    run.start = L"D:\\";
    platform::Thread thread;
    ASSERT_TRUE(thread.Start(PickerRun::Run, &run));

    HWND dialog = FindPicker(BkString::Get(IDS_FOLDER_PICKER_CAPTION));
    ASSERT_TRUE(dialog) << "no picker with our caption";
    // Whatever fails below, the dialog is closed before the thread is waited for.
    struct Closer {
        HWND dialog;
        ~Closer() { if (::IsWindow(dialog)) ::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0); }
    } closer{dialog};
    HWND tree = FindChild(dialog, WC_TREEVIEWW);
    HWND edit = BrowseForFolderEditBox();
    ASSERT_TRUE(tree && edit);
    EXPECT_EQ(FindChild(dialog, L"Edit"), edit);

    // The tree opened on drive D.
    auto selected = [&] { return reinterpret_cast<HTREEITEM>(::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0)); };
    HTREEITEM drive = selected();
    ASSERT_TRUE(drive);
    wchar_t label[MAX_PATH] = {};
    TVITEMW item = {};
    item.mask = TVIF_TEXT;
    item.hItem = drive;
    item.pszText = label;
    item.cchTextMax = MAX_PATH;
    ::SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    EXPECT_NE(std::wstring(label).find(L"D:"), std::wstring::npos) << label;
    EXPECT_EQ(platform::Window(edit).GetWindowText(), L"D:\\");

    // Selecting another item and the drive again shows each full path.
    HTREEITEM parent = reinterpret_cast<HTREEITEM>(::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_PARENT,
                                                                  reinterpret_cast<LPARAM>(drive)));
    ASSERT_TRUE(parent);
    ::SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(parent));
    EXPECT_EQ(platform::Window(edit).GetWindowText(), L"");  // "My Computer" has no file-system path
    ::SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(drive));
    EXPECT_EQ(platform::Window(edit).GetWindowText(), L"D:\\");

    ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(thread.Join(10000));
    EXPECT_TRUE(run.chosen);
    EXPECT_EQ(run.path, L"D:\\");
    EXPECT_EQ(BrowseForFolderEditBox(), nullptr);
}

} // namespace
