#pragma once
// The Windows shell's own context menu for files of the result list, and the
// placement rule every popup menu of the program uses.
//
// The common verbs (open, cut, copy, delete, properties) are carried out by the
// owner window's file commands: the menu sends WM_RESULT_MENU_COMMAND with a
// FILECMD_* code to its owner instead of letting the shell run them. "edit" is
// announced after the shell ran it, "opencontaining" is asked about first;
// every other verb is left to the shell.
#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "platform/com_ptr.h"
#include "platform/shell_handles.h"
#include "results/result_messages.h"  // WM_RESULT_MENU_COMMAND, FILECMD_*

// Command ids the shell's items get in the popup menu.
constexpr UINT kShellMenuFirstId = 1;
constexpr UINT kShellMenuLastId = 10000;

// The x to use for a popup at (x, y): unchanged on a monitor, else moved to
// the nearest monitor's work area. y never changes.
int ClampXToNearestWorkArea(int x, int y);

// String-table texts of the result window's own menu items.
constexpr UINT IDS_OPEN_CONTAINING_FOLDER = 35;
constexpr UINT IDS_RECOVER_DELETED = 42;

class CShellContextMenu {
public:
    CShellContextMenu();
    virtual ~CShellContextMenu();
    CShellContextMenu(const CShellContextMenu&) = delete;
    CShellContextMenu& operator=(const CShellContextMenu&) = delete;

    // Binds the items the menu is for. The shell takes them as children of one
    // folder, so only the paths in the first path's folder are kept; paths the
    // shell cannot parse are skipped. Replaces any earlier set.
    void SetObjects(const std::vector<std::wstring>& paths);
    // The paths kept by SetObjects, in order.
    const std::vector<std::wstring>& Objects() const { return objects_; }

    // The popup menu, created on first call; callers add their own items
    // before ShowContextMenu.
    HMENU GetMenu();

    // The objects' context-menu interface and its version (1 IContextMenu,
    // 2 IContextMenu2, 3 IContextMenu3); false when none.
    bool GetContextMenu(platform::ComPtr<IContextMenu>* menu, int* version);

    // Shows the menu at a screen point. Answers 0 when nothing was chosen or a
    // shell item was handled, E_FAIL when the owner refused the chosen verb,
    // else the id of one of the caller's own items. When the shell has no
    // menu for the objects, the caller's own items show alone; with none of
    // those either, nothing shows.
    int ShowContextMenu(HWND owner, int x, int y);

    // Runs the shell command at `offset` (its id - kShellMenuFirstId) of the
    // menu being shown; E_FAIL when none is.
    HRESULT InvokeCommand(UINT offset);

    // For the owner window while the menu is up: hands WM_INITMENUPOPUP,
    // WM_DRAWITEM, WM_MEASUREITEM and WM_MENUCHAR to the shell so that its
    // submenus fill themselves. True when the shell took the message.
    static bool HandleMenuMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result);

    // The menu being shown on this thread, or null: the owner's file commands
    // work on its objects while it routes a verb.
    static CShellContextMenu* Active();

    // Routes the shell item `id` chosen from `menu` (see the header comment);
    // answers 0, or E_FAIL when the owner refused the verb.
    static int RunShellItem(IContextMenu* menu, HWND owner, UINT id);

protected:
    // Runs the modal menu; answers the chosen id or 0. Tests choose instead.
    virtual UINT TrackMenu(HMENU menu, HWND owner, int x, int y);
    IContextMenu* ShownInterface() const { return shown_; }

private:
    void Clear();

    platform::MenuHandle menu_;
    platform::ComPtr<IShellFolder> folder_;
    std::vector<platform::ItemIdList> children_;
    std::vector<std::wstring> objects_;
    IContextMenu* shown_ = nullptr;
};

// Message-map handler for the window that owns the menu: passes the menu
// messages to the shell while its menu is up (see HandleMenuMessage); every
// other case is left to the rest of the map.
LRESULT ForwardShellMenuMessage(UINT msg, WPARAM wParam, LPARAM lParam, BOOL& handled);

// The result window's right-click menu over existing files at a screen point:
// "open containing folder" (and "recover deleted files" when deleted rows are
// selected too) above the shell's items. Answers the id of the window's own
// item that was chosen (ID_OPEN_CONTAINING_FOLDER, ID_RECOVER_DELETED) or 0.
UINT ShowResultContextMenu(HWND resultWnd, const std::vector<std::wstring>& files, bool withRecover, POINT screen);
