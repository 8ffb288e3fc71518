#include "results/folder_picker.h"

#include <shlobj.h>

#include "platform/com_ptr.h"
#include "platform/shell_handles.h"
#include "ui/bkstring.h"

namespace {

// The picker's edit box while it is open (the picker is modal, UI thread only).
HWND g_editBox = nullptr;

constexpr int kTreeGrowth = 28;

bool HasClass(HWND wnd, const wchar_t* name) {
    wchar_t cls[64] = {};
    ::GetClassNameW(wnd, cls, 64);
    return ::lstrcmpiW(cls, name) == 0;
}

// Grows the folder tree upwards, keeping its bottom edge.
void GrowTree(HWND dialog, HWND tree) {
    RECT rc;
    ::GetWindowRect(tree, &rc);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rc), 2);
    ::MoveWindow(tree, rc.left, rc.top - kTreeGrowth, rc.right - rc.left, rc.bottom - rc.top + kTreeGrowth, TRUE);
}

void OnInitialized(HWND dialog, LPARAM startFolder) {
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        // The namespace control hosts the tree on newer systems; older
        // dialogs (and Wine's) hold the tree view directly.
        if (HasClass(child, L"SHBrowseForFolder ShellNameSpace Control") || HasClass(child, WC_TREEVIEWW)) {
            GrowTree(dialog, child);
        } else if (HasClass(child, L"Edit")) {
            g_editBox = child;
        }
    }
    if (const wchar_t* caption = BkString::Get(IDS_FOLDER_PICKER_CAPTION)) ::SetWindowTextW(dialog, caption);
    // Selected once the edit box is known, so it shows the starting folder's path.
    ::SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, startFolder);
}

void OnSelectionChanged(LPCITEMIDLIST item) {
    if (!g_editBox || !::IsWindow(g_editBox)) return;
    wchar_t path[MAX_PATH] = {};
    if (!item || !::SHGetPathFromIDListW(item, path)) path[0] = L'\0';
    ::SetWindowTextW(g_editBox, path);
}

} // namespace

int CALLBACK BrowseForFolderCallback(HWND dialog, UINT msg, LPARAM lParam, LPARAM lpData) {
    if (msg == BFFM_INITIALIZED) OnInitialized(dialog, lpData);
    else if (msg == BFFM_SELCHANGED) OnSelectionChanged(reinterpret_cast<LPCITEMIDLIST>(lParam));
    return 0;
}

HWND BrowseForFolderEditBox() { return g_editBox; }

bool BrowseForFolder(std::wstring* path, const std::wstring& startFolder, const std::wstring& title) {
    platform::ComPtr<IMalloc> malloc;
    if (FAILED(::SHGetMalloc(malloc.Receive())) || !malloc) return false;

    std::wstring start = startFolder;
    if (!start.empty() && start.back() == L'\\') start.pop_back();

    wchar_t displayName[MAX_PATH] = {};
    BROWSEINFOW info = {};
    info.pszDisplayName = displayName;
    info.lpszTitle = title.c_str();
    // Only file-system folders, typed paths checked. Browsing for computers is
    // left out: it would grey the OK button for every folder. The edit box
    // exists only in the new-style dialog on some shells.
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN | BIF_EDITBOX | BIF_VALIDATE | BIF_NEWDIALOGSTYLE;
    info.lpfn = BrowseForFolderCallback;
    info.lParam = reinterpret_cast<LPARAM>(start.c_str());

    platform::ItemIdList chosen(::SHBrowseForFolderW(&info));
    // The dialog and its edit box are gone now.
    g_editBox = nullptr;
    if (!chosen) return false;
    wchar_t chosenPath[MAX_PATH] = {};
    if (path && ::SHGetPathFromIDListW(chosen.Get(), chosenPath)) *path = chosenPath;
    return true;
}
