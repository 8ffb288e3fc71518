#include <gtest/gtest.h>

#include <shlobj.h>

#include "platform/com_ptr.h"
#include "platform/shell_handles.h"
#include "platform/thread.h"
#include "tests/filecmd/filecmd_test_util.h"
#include "tests/support/test_support.h"

using namespace filecmd_test;
using testing_support::PathExists;

namespace {

const std::wstring kChinese = L"\u4e2d\u6587\u540d\u79f0.txt";

class FileCommands : public ::testing::Test {
protected:
    void SetUp() override {
        LoadStrings();
        root = MakeDrive(L'D', {L"a.txt", L"b, c.txt", kChinese, L"sub\\d.txt"});
        ASSERT_FALSE(root.empty());
        ASSERT_TRUE(owner.Handle());
    }
    std::wstring P(const std::wstring& rel) const { return root + rel; }
    LRESULT Run(std::vector<std::wstring> paths, int code, LPARAM mode = 0) {
        site = std::make_unique<RecordingSite>(owner.Handle(), std::move(paths));
        return RunFileCommand(*site, code, mode, shell);
    }

    std::wstring root;
    OwnerWindow owner;
    RecordingShell shell;
    std::unique_ptr<RecordingSite> site;
};

TEST(FileListBlock, LayoutAndSize) {
    size_t taken = 0;
    platform::GlobalBlock block(BuildFileListBlock({L"C:\\a.txt"}, &taken));
    ASSERT_TRUE(block);
    EXPECT_EQ(taken, 1u);
    ASSERT_EQ(::GlobalSize(block.Get()), 40u);  // 20 + 2 x 9 + 2
    platform::GlobalLockScope<BYTE> p(block.Get());
    const DWORD* header = reinterpret_cast<const DWORD*>(p.Get());
    EXPECT_EQ(header[0], 20u);
    EXPECT_EQ(header[1] | header[2] | header[3], 0u);
    EXPECT_EQ(header[4], 1u);
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(p.Get() + 20)), L"C:\\a.txt");
    EXPECT_EQ(p.Get()[36] | p.Get()[37] | p.Get()[38] | p.Get()[39], 0);

    // A path that does not fit a path buffer is left out, the others go in.
    std::wstring longPath = L"C:\\" + std::wstring(MAX_PATH, L'x');
    platform::GlobalBlock mixed(BuildFileListBlock({longPath, L"C:\\b", L""}, &taken));
    ASSERT_TRUE(mixed);
    EXPECT_EQ(taken, 1u);
    EXPECT_EQ(::GlobalSize(mixed.Get()), 20u + 2 * 5 + 2);
    EXPECT_EQ(BuildFileListBlock({longPath}, &taken), nullptr);
    EXPECT_EQ(taken, 0u);
}

TEST_F(FileCommands, CopyAndCutPutExistingFilesWithTheirDropEffect) {
    EXPECT_EQ(Run({P(L"a.txt"), P(L"gone.txt"), P(kChinese)}, FILECMD_COPY), 0);
    ClipboardFiles files = ReadClipboardFiles();
    EXPECT_TRUE(files.wellFormed);
    EXPECT_EQ(files.names, (std::vector<std::wstring>{P(L"a.txt"), P(kChinese)}));
    EXPECT_EQ(files.dropEffect, kDropEffectCopy);
    EXPECT_EQ(::GetClipboardOwner(), owner.Handle());

    Run({P(L"sub\\d.txt")}, FILECMD_CUT);
    files = ReadClipboardFiles();
    EXPECT_EQ(files.names, std::vector<std::wstring>{P(L"sub\\d.txt")});
    EXPECT_EQ(files.dropEffect, kDropEffectMove);
    EXPECT_EQ(files.blockSize, 20 + 2 * (P(L"sub\\d.txt").size() + 1) + 2);

    // Nothing that exists: the clipboard keeps what it had.
    Run({P(L"gone.txt")}, FILECMD_COPY);
    EXPECT_EQ(ReadClipboardFiles().names, std::vector<std::wstring>{P(L"sub\\d.txt")});
    // A clipboard held open by another program: reported, nothing placed.
    struct Holder {
        static unsigned __stdcall Run(void* arg) {
            auto* events = static_cast<HANDLE*>(arg);
            BOOL opened = ::OpenClipboard(nullptr);
            ::SetEvent(events[0]);
            ::WaitForSingleObject(events[1], 10000);
            if (opened) ::CloseClipboard();
            return 0;
        }
    };
    platform::UniqueHandle held(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    platform::UniqueHandle release(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    HANDLE events[] = {held.Get(), release.Get()};
    platform::Thread holder;
    ASSERT_TRUE(holder.Start(Holder::Run, events));
    ::WaitForSingleObject(held.Get(), 10000);
    EXPECT_FALSE(CopyFilesToClipboard(owner.Handle(), {P(L"a.txt")}));
    EXPECT_FALSE(CopyTextToClipboard(owner.Handle(), L"text"));
    ::SetEvent(release.Get());
    holder.Join();
    EXPECT_EQ(ReadClipboardFiles().names, std::vector<std::wstring>{P(L"sub\\d.txt")});
}

TEST_F(FileCommands, CopyPathTextIsCrLfJoined) {
    std::wstring longPath = L"C:\\" + std::wstring(MAX_PATH, L'x');
    std::wstring text = JoinPathsAsText({P(L"a.txt"), longPath, P(kChinese)});
    EXPECT_EQ(text, P(L"a.txt") + L"\r\n" + P(kChinese) + L"\r\n");
    ASSERT_TRUE(CopyTextToClipboard(owner.Handle(), text));
    EXPECT_EQ(ReadClipboardText(), text);
    EXPECT_EQ(::GetClipboardOwner(), owner.Handle());
}

TEST_F(FileCommands, OpenAtMost34AndPropertiesPerExistingFile) {
    std::vector<std::wstring> many(35, P(L"a.txt"));
    Run(many, FILECMD_OPEN);
    EXPECT_EQ(site->boxes, std::vector<std::wstring>{L"too many files"});
    EXPECT_TRUE(shell.opened.empty());
    EXPECT_EQ(site->used, 0);

    many.resize(34);
    many[1] = P(L"gone.txt");
    Run(many, FILECMD_OPEN);
    EXPECT_TRUE(site->boxes.empty());
    EXPECT_EQ(shell.opened.size(), 33u);
    EXPECT_EQ(site->used, 34);  // after each open and once after all
    // The bar is held once around all of them; what the shell shows for a
    // file belongs to the command window.
    EXPECT_EQ(site->holds, L"+-");
    EXPECT_EQ(shell.owners, std::vector<HWND>(33, owner.Handle()));

    // A file the shell cannot open (no program for it): the shell has said
    // so in its box; the list does not count as used, so the bar stays.
    shell.opened.clear();
    shell.owners.clear();
    shell.openFails = true;
    Run({P(L"a.txt"), P(kChinese)}, FILECMD_OPEN);
    EXPECT_EQ(shell.opened.size(), 2u);
    EXPECT_EQ(site->used, 0);
    EXPECT_EQ(site->holds, L"+-");
    shell.openFails = false;
    shell.owners.clear();

    Run({P(L"gone.txt"), P(L"b, c.txt"), P(kChinese)}, FILECMD_PROPERTIES);
    EXPECT_EQ(shell.properties, (std::vector<std::wstring>{P(L"b, c.txt"), P(kChinese)}));
    EXPECT_EQ(shell.owners, std::vector<HWND>(2, owner.Handle()));
    EXPECT_EQ(site->holds, L"+-");
    EXPECT_EQ(site->used, 1);
    shell.propertiesFail = true;  // the shell could show no sheet (it said so)
    Run({P(L"a.txt")}, FILECMD_PROPERTIES);
    EXPECT_EQ(site->used, 0);
    shell.propertiesFail = false;

    // No rows, or a code out of range: nothing at all.
    EXPECT_EQ(Run({}, FILECMD_OPEN), 0);
    EXPECT_EQ(Run({P(L"a.txt")}, 8), 0);
    EXPECT_EQ(shell.opened.size(), 2u);
    Run({}, FILECMD_SELECTALL);  // needs no selection
    EXPECT_EQ(site->selectAll, 1);
    Run({P(L"a.txt")}, FILECMD_EDIT);
    EXPECT_EQ(site->used, 1);
}

TEST_F(FileCommands, DeleteRemovesExactlyTheSelectedExistingFiles) {
    {
        DialogAnswerer yes;
        Run({P(L"a.txt"), P(L"gone.txt"), P(kChinese)}, FILECMD_DELETE, FILECMD_DELETE_PERMANENTLY);
        EXPECT_GE(yes.Answered(), 1);  // the shell asked
    }
    EXPECT_FALSE(PathExists(P(L"a.txt")));
    EXPECT_FALSE(PathExists(P(kChinese)));
    EXPECT_TRUE(PathExists(P(L"b, c.txt")));
    EXPECT_TRUE(PathExists(P(L"sub\\d.txt")));
    EXPECT_EQ(site->refreshed, 1);

    {
        DialogAnswerer yes;
        Run({P(L"sub\\d.txt")}, FILECMD_DELETE, FILECMD_DELETE_TO_RECYCLE_BIN);
    }
    EXPECT_FALSE(PathExists(P(L"sub\\d.txt")));
    EXPECT_TRUE(PathExists(P(L"b, c.txt")));
    // Only the recycled file is in the run's trash (XDG_DATA_HOME of run-test.sh).
    const std::wstring trash = testing_support::UnixToWindowsPath(testing_support::UnixWorkFolder() + "/xdg-data/Trash/files/");
    EXPECT_TRUE(PathExists(trash + L"d.txt"));
    EXPECT_FALSE(PathExists(trash + kChinese));

    // Only files that are gone: the shell is not called.
    Run({P(L"a.txt")}, FILECMD_DELETE);
    EXPECT_EQ(site->refreshed, 0);
}

TEST_F(FileCommands, ShortcutRowResolvesToItsTarget) {
    platform::ComInitScope com;
    auto makeLink = [](const std::wstring& link, const std::wstring& target) {
        platform::ComPtr<IShellLinkW> sl;
        platform::ComPtr<IPersistFile> file;
        return SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                            reinterpret_cast<void**>(sl.Receive()))) &&
               SUCCEEDED(sl->SetPath(target.c_str())) && SUCCEEDED(sl.QueryInterface(IID_IPersistFile, &file)) &&
               SUCCEEDED(file->Save(link.c_str(), TRUE));
    };
    ASSERT_TRUE(makeLink(P(L"to a.lnk"), P(L"a.txt")));
    ASSERT_TRUE(makeLink(P(L"to gone.lnk"), P(L"sub\\d.txt")));
    ASSERT_TRUE(::DeleteFileW(P(L"sub\\d.txt").c_str()));

    std::wstring target = ResolveShortcutTarget(P(L"to a.lnk"));
    wchar_t longTarget[MAX_PATH] = {};
    ASSERT_NE(::GetLongPathNameW(target.c_str(), longTarget, MAX_PATH), 0u) << target;
    EXPECT_EQ(::lstrcmpiW(longTarget, P(L"a.txt").c_str()), 0) << longTarget;
    EXPECT_EQ(ResolveShortcutTarget(P(L"a.txt")), L"");

    // The shell's open-containing verb may run only for a live shortcut.
    EXPECT_EQ(Run({P(L"to a.lnk"), P(L"a.txt")}, FILECMD_OPENCONTAINING), 0);
    EXPECT_EQ(Run({P(L"a.txt"), P(L"to a.lnk")}, FILECMD_OPENCONTAINING), static_cast<LRESULT>(E_FAIL));
    EXPECT_EQ(Run({P(L"to gone.lnk")}, FILECMD_OPENCONTAINING), static_cast<LRESULT>(E_FAIL));
}

} // namespace
