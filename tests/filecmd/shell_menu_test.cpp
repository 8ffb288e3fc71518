#include <gtest/gtest.h>

#include <string>

#include "results/shell_menu.h"
#include "tests/filecmd/filecmd_test_util.h"
#include "tests/support/test_support.h"

using namespace filecmd_test;

namespace {

std::string VerbOf(IContextMenu* cm, UINT id) {
    char verb[MAX_PATH] = {};
    if (FAILED(cm->GetCommandString(id - kShellMenuFirstId, GCS_VERBA, nullptr, verb, sizeof(verb)))) return "";
    return verb;
}

// Chooses the shell item with a given verb instead of tracking the menu, and
// notes every verb the shell offered.
class ChoosingMenu : public CShellContextMenu {
public:
    explicit ChoosingMenu(std::string verb) : verb_(std::move(verb)) {}
    std::vector<std::string> verbs;

protected:
    UINT TrackMenu(HMENU menu, HWND, int, int) override {
        UINT chosen = 0;
        for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
            UINT id = ::GetMenuItemID(menu, i);
            if (id < kShellMenuFirstId || id > kShellMenuLastId) continue;
            std::string v = VerbOf(ShownInterface(), id);
            verbs.push_back(v);
            if (v == verb_) chosen = id;
        }
        return chosen;
    }

private:
    std::string verb_;
};

class ShellMenu : public ::testing::Test {
protected:
    void SetUp() override {
        LoadStrings();
        root = MakeDrive(L'E', {L"one\\a.txt", L"one\\b.txt", L"two\\a.txt", L"two\\c.txt"});
        ASSERT_FALSE(root.empty());
        // The owner carries the routed commands out on the menu's own items.
        owner.onCommand = [this](WPARAM code, LPARAM mode) {
            RecordingSite site(owner.Handle(), CShellContextMenu::Active()->Objects());
            return RunFileCommand(site, code, mode, shell);
        };
    }
    std::wstring P(const std::wstring& rel) const { return root + rel; }

    std::wstring root;
    OwnerWindow owner;
    RecordingShell shell;
};

TEST_F(ShellMenu, OneFolderShowsTheShellVerbsAndRoutesCommonOnes) {
    ChoosingMenu menu("copy");
    menu.SetObjects({P(L"one\\a.txt"), P(L"one\\b.txt"), P(L"one\\missing.txt")});
    EXPECT_EQ(menu.Objects(), (std::vector<std::wstring>{P(L"one\\a.txt"), P(L"one\\b.txt")}));
    // Own items added first stay on top.
    ASSERT_TRUE(::AppendMenuW(menu.GetMenu(), MF_STRING, 0x8007, L"own"));
    EXPECT_EQ(menu.ShowContextMenu(owner.Handle(), 100, 100), 0);
    for (const char* verb : {"open", "cut", "copy", "delete", "properties"}) {
        EXPECT_NE(std::find(menu.verbs.begin(), menu.verbs.end(), verb), menu.verbs.end()) << verb;
    }
    EXPECT_EQ(::GetMenuItemID(menu.GetMenu(), 0), 0x8007u);
    EXPECT_EQ(owner.commands, std::vector<int>{FILECMD_COPY});
    EXPECT_EQ(ReadClipboardFiles().names, (std::vector<std::wstring>{P(L"one\\a.txt"), P(L"one\\b.txt")}));

    for (auto [verb, code] : {std::pair<const char*, int>{"open", FILECMD_OPEN}, {"cut", FILECMD_CUT},
                              {"properties", FILECMD_PROPERTIES}}) {
        ChoosingMenu again(verb);
        again.SetObjects({P(L"one\\b.txt")});
        owner.commands.clear();
        EXPECT_EQ(again.ShowContextMenu(owner.Handle(), 100, 100), 0);
        EXPECT_EQ(owner.commands, std::vector<int>{code}) << verb;
    }
    EXPECT_EQ(shell.opened, std::vector<std::wstring>{P(L"one\\b.txt")});
    EXPECT_EQ(shell.properties, std::vector<std::wstring>{P(L"one\\b.txt")});
    EXPECT_EQ(ReadClipboardFiles().dropEffect, kDropEffectMove);
}

TEST_F(ShellMenu, SelectionAcrossFoldersActsOnlyOnTheFirstFolder) {
    ChoosingMenu menu("delete");
    menu.SetObjects({P(L"one\\a.txt"), P(L"two\\a.txt"), P(L"two\\c.txt"), P(L"one\\b.txt")});
    EXPECT_EQ(menu.Objects(), (std::vector<std::wstring>{P(L"one\\a.txt"), P(L"one\\b.txt")}));
    {
        DialogAnswerer yes;
        EXPECT_EQ(menu.ShowContextMenu(owner.Handle(), 100, 100), 0);
    }
    EXPECT_EQ(owner.commands, std::vector<int>{FILECMD_DELETE});
    EXPECT_FALSE(testing_support::PathExists(P(L"one\\a.txt")));
    EXPECT_FALSE(testing_support::PathExists(P(L"one\\b.txt")));
    EXPECT_TRUE(testing_support::PathExists(P(L"two\\a.txt")));
    EXPECT_TRUE(testing_support::PathExists(P(L"two\\c.txt")));

    // The first path's folder decides even when it holds one file only.
    CShellContextMenu other;
    other.SetObjects({P(L"two\\c.txt"), P(L"one\\missing.txt"), P(L"two\\a.txt")});
    EXPECT_EQ(other.Objects(), (std::vector<std::wstring>{P(L"two\\c.txt"), P(L"two\\a.txt")}));
    other.SetObjects({});
    platform::ComPtr<IContextMenu> cm;
    int version = -1;
    EXPECT_FALSE(other.GetContextMenu(&cm, &version));
    EXPECT_EQ(other.ShowContextMenu(owner.Handle(), 0, 0), 0);
}

void CALLBACK EndMenuTimer(HWND, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(nullptr, id);
    ::EndMenu();
}

TEST_F(ShellMenu, CancelledMenuReturnsZeroAndSendsNothing) {
    CShellContextMenu menu;
    menu.SetObjects({P(L"one\\a.txt")});
    // Ends the menu loop from inside it.
    ::SetTimer(nullptr, 0, 300, EndMenuTimer);
    ::SetForegroundWindow(owner.Handle());
    EXPECT_EQ(menu.ShowContextMenu(owner.Handle(), 50, 50), 0);
    EXPECT_TRUE(owner.commands.empty());
    // With no menu up, menu messages stay with the owner's own handling.
    LRESULT result = 7;
    EXPECT_FALSE(CShellContextMenu::HandleMenuMessage(WM_INITMENUPOPUP, 0, 0, &result));
    EXPECT_EQ(result, 7);
}

// Notes the ids the menu shows and chooses one of them.
class RecordingMenu : public CShellContextMenu {
public:
    std::vector<UINT> shown;
    UINT choose = 0;

protected:
    UINT TrackMenu(HMENU menu, HWND, int, int) override {
        for (int i = 0; i < ::GetMenuItemCount(menu); ++i) shown.push_back(::GetMenuItemID(menu, i));
        return choose;
    }
};

TEST_F(ShellMenu, ObjectsTheShellCannotBindStillShowTheOwnersItems) {
    RecordingMenu menu;
    menu.SetObjects({P(L"one\\missing.txt")});
    ASSERT_TRUE(menu.Objects().empty());
    HMENU popup = menu.GetMenu();
    ::InsertMenuW(popup, 0, MF_BYPOSITION | MF_STRING, 0x8007, L"folder");
    ::InsertMenuW(popup, 1, MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
    ::InsertMenuW(popup, 1, MF_BYPOSITION | MF_STRING, 0x8009, L"recover");
    ::InsertMenuW(popup, 2, MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
    menu.choose = 0x8009;
    EXPECT_EQ(menu.ShowContextMenu(owner.Handle(), 10, 10), 0x8009);
    // The separators that led to the shell's items are gone.
    EXPECT_EQ(menu.shown, (std::vector<UINT>{0x8007, 0x8009}));
    EXPECT_TRUE(owner.commands.empty());

    // Without items of the caller's either, no menu shows.
    RecordingMenu bare;
    bare.SetObjects({P(L"one\\missing.txt")});
    EXPECT_EQ(bare.ShowContextMenu(owner.Handle(), 10, 10), 0);
    EXPECT_TRUE(bare.shown.empty());
    RecordingMenu separatorsOnly;
    ::AppendMenuW(separatorsOnly.GetMenu(), MF_SEPARATOR, 0, nullptr);
    EXPECT_EQ(separatorsOnly.ShowContextMenu(owner.Handle(), 10, 10), 0);
    EXPECT_TRUE(separatorsOnly.shown.empty());
}

// A shell menu whose items carry given verbs, recording what the shell was asked to run.
class FakeContextMenu : public IContextMenu {
public:
    explicit FakeContextMenu(std::vector<std::string> verbs) : verbs_(std::move(verbs)) {}
    std::vector<UINT> invoked;
    std::vector<HWND> owners;  // the window each invocation named

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid != IID_IUnknown && iid != IID_IContextMenu) { *out = nullptr; return E_NOINTERFACE; }
        *out = this;
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE QueryContextMenu(HMENU, UINT, UINT, UINT, UINT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE InvokeCommand(CMINVOKECOMMANDINFO* info) override {
        invoked.push_back(static_cast<UINT>(reinterpret_cast<UINT_PTR>(info->lpVerb)));
        owners.push_back(info->hwnd);
        return S_OK;
    }
    // Verbs starting with "W:" are answered only in the wide form.
    HRESULT STDMETHODCALLTYPE GetCommandString(UINT_PTR offset, UINT type, UINT*, CHAR* name, UINT size) override {
        if (offset >= verbs_.size() || verbs_[offset].empty()) return E_INVALIDARG;
        const std::string& verb = verbs_[offset];
        const bool wideOnly = verb.rfind("W:", 0) == 0;
        if (type == GCS_VERBA && !wideOnly) {
            lstrcpynA(name, verb.c_str(), static_cast<int>(size));
            return S_OK;
        }
        if (type == GCS_VERBW && wideOnly) {
            std::wstring w(verb.begin() + 2, verb.end());
            lstrcpynW(reinterpret_cast<LPWSTR>(name), w.c_str(), static_cast<int>(size));
            return S_OK;
        }
        return E_INVALIDARG;
    }

private:
    std::vector<std::string> verbs_;
};

TEST_F(ShellMenu, VerbRouting) {
    FakeContextMenu cm({"OpenContaining", "edit", "rename", "", "Open", "W:copy"});
    LRESULT answer = E_FAIL;
    owner.onCommand = [&](WPARAM, LPARAM) { return answer; };

    // Asked first: refused means the shell's verb does not run.
    EXPECT_EQ(CShellContextMenu::RunShellItem(&cm, owner.Handle(), 1), E_FAIL);
    EXPECT_TRUE(cm.invoked.empty());
    answer = 0;
    EXPECT_EQ(CShellContextMenu::RunShellItem(&cm, owner.Handle(), 1), 0);
    EXPECT_EQ(cm.invoked, std::vector<UINT>{0});
    EXPECT_EQ(owner.commands, (std::vector<int>{FILECMD_OPENCONTAINING, FILECMD_OPENCONTAINING}));

    // "edit" runs, then is announced; other verbs and items without one are the shell's.
    owner.commands.clear();
    cm.invoked.clear();
    for (UINT id : {2u, 3u, 4u, 5u, 6u}) EXPECT_EQ(CShellContextMenu::RunShellItem(&cm, owner.Handle(), id), 0);
    EXPECT_EQ(cm.invoked, (std::vector<UINT>{1, 2, 3}));
    // What the shell shows for a verb is owned by the menu's owner.
    EXPECT_EQ(cm.owners, std::vector<HWND>(4, owner.Handle()));
    EXPECT_EQ(owner.commands, (std::vector<int>{FILECMD_EDIT, FILECMD_OPEN, FILECMD_COPY}));
}

TEST(PopupPlacement, ClampsXToTheNearestWorkArea) {
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    ASSERT_TRUE(::GetMonitorInfoW(::MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY), &info));
    const RECT work = info.rcWork;
    EXPECT_EQ(ClampXToNearestWorkArea(100, 200), 100);
    EXPECT_EQ(ClampXToNearestWorkArea(work.left - 500, 200), work.left);
    EXPECT_EQ(ClampXToNearestWorkArea(work.right + 500, 200), work.right - 1);
    EXPECT_EQ(ClampXToNearestWorkArea(work.right, 200), work.right - 1);
    EXPECT_EQ(ClampXToNearestWorkArea(work.left - 500, work.bottom + 300), work.left);
}

} // namespace
