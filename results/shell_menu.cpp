#include "results/shell_menu.h"

#include <cstring>

#include "platform/trace.h"
#include "ui/bkstring.h"

namespace {

static_assert(sizeof(void*) != 4 || sizeof(CMINVOKECOMMANDINFO) == 36, "32-bit invoke record");

CShellContextMenu* g_activeMenu = nullptr;

// Parses a full path into an absolute item ID list through the desktop folder.
platform::ItemIdList ParsePath(IShellFolder* desktop, const std::wstring& path) {
    platform::ItemIdList pidl;
    std::vector<wchar_t> name(path.begin(), path.end());
    name.push_back(L'\0');
    if (FAILED(desktop->ParseDisplayName(nullptr, nullptr, name.data(), nullptr, pidl.Receive(), nullptr))) {
        pidl.Reset();
    }
    return pidl;
}

// The list without its last element (the item's folder).
platform::ItemIdList ParentOf(LPCITEMIDLIST pidl) {
    platform::ItemIdList parent(::ILClone(pidl));
    if (parent) ::ILRemoveLastID(parent.Get());
    return parent;
}

bool SameFolder(IShellFolder* desktop, LPCITEMIDLIST a, LPCITEMIDLIST b) {
    HRESULT hr = desktop->CompareIDs(0, a, b);
    return SUCCEEDED(hr) && HRESULT_CODE(hr) == 0;
}

struct VerbRoute {
    const char* verb;
    int command;
    enum { kInsteadOfShell, kAfterShell, kAskFirst } when;
};

// "properties" is shown by the owner's command alone: the shell's own sheet
// after it would open every sheet twice.
const VerbRoute kRoutes[] = {
    {"open", FILECMD_OPEN, VerbRoute::kInsteadOfShell},
    {"cut", FILECMD_CUT, VerbRoute::kInsteadOfShell},
    {"copy", FILECMD_COPY, VerbRoute::kInsteadOfShell},
    {"delete", FILECMD_DELETE, VerbRoute::kInsteadOfShell},
    {"properties", FILECMD_PROPERTIES, VerbRoute::kInsteadOfShell},
    {"edit", FILECMD_EDIT, VerbRoute::kAfterShell},
    {"opencontaining", FILECMD_OPENCONTAINING, VerbRoute::kAskFirst},
};

// The separators at the end of a menu, which would lead to nothing.
void DropTrailingSeparators(HMENU menu) {
    for (int last = ::GetMenuItemCount(menu) - 1; last >= 0; --last) {
        MENUITEMINFOW info = {};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE;
        if (!::GetMenuItemInfoW(menu, static_cast<UINT>(last), TRUE, &info) || !(info.fType & MFT_SEPARATOR)) return;
        ::DeleteMenu(menu, static_cast<UINT>(last), MF_BYPOSITION);
    }
}

// `owner` owns whatever the shell shows for the verb (an error, a question),
// so it comes above the bar and its panels.
HRESULT InvokeOffset(IContextMenu* menu, UINT offset, HWND owner = nullptr) {
    CMINVOKECOMMANDINFO info = {};
    info.cbSize = sizeof(info);
    info.hwnd = owner;
    info.lpVerb = MAKEINTRESOURCEA(offset);
    info.nShow = SW_SHOWNORMAL;
    return menu->InvokeCommand(&info);
}

} // namespace

int ClampXToNearestWorkArea(int x, int y) {
    const POINT pt = {x, y};
    if (::MonitorFromPoint(pt, MONITOR_DEFAULTTONULL)) return x;
    HMONITOR nearest = ::MonitorFromPoint(pt, MONITOR_DEFAULTTONEAREST);
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    if (!nearest || !::GetMonitorInfoW(nearest, &info)) return x;
    // The work area's right edge is its last column of pixels.
    if (x < info.rcWork.left) return info.rcWork.left;
    if (x >= info.rcWork.right) return info.rcWork.right - 1;
    return x;
}

CShellContextMenu::CShellContextMenu() = default;

CShellContextMenu::~CShellContextMenu() {
    if (g_activeMenu == this) g_activeMenu = nullptr;
    Clear();
}

void CShellContextMenu::Clear() {
    children_.clear();
    objects_.clear();
    folder_.Reset();
}

void CShellContextMenu::SetObjects(const std::vector<std::wstring>& paths) {
    Clear();
    if (paths.empty()) return;
    platform::ComPtr<IShellFolder> desktop;
    if (FAILED(::SHGetDesktopFolder(desktop.Receive()))) return;

    // The folder of the first path that parses is the one the shell gets.
    platform::ItemIdList firstParent;
    for (const auto& path : paths) {
        platform::ItemIdList pidl = ParsePath(desktop.Get(), path);
        if (!pidl) continue;
        platform::ItemIdList parent = ParentOf(pidl.Get());
        if (!parent) continue;
        if (!folder_) {
            LPCITEMIDLIST last = nullptr;
            if (FAILED(::SHBindToParent(pidl.Get(), IID_IShellFolder, reinterpret_cast<void**>(folder_.Receive()),
                                        &last))) {
                platform::Trace("shell menu: no folder for the first item");
                folder_.Reset();
                return;
            }
            firstParent = std::move(parent);
        } else if (!SameFolder(desktop.Get(), firstParent.Get(), parent.Get())) {
            // Given to the shell as a child of the first folder it would name
            // another item (or none) there.
            continue;
        }
        platform::ItemIdList child(::ILClone(::ILFindLastID(pidl.Get())));
        if (!child) continue;
        children_.push_back(std::move(child));
        objects_.push_back(path);
    }
}

HMENU CShellContextMenu::GetMenu() {
    if (!menu_) menu_.Reset(::CreatePopupMenu());
    return menu_.Get();
}

bool CShellContextMenu::GetContextMenu(platform::ComPtr<IContextMenu>* menu, int* version) {
    menu->Reset();
    *version = 0;
    if (!folder_ || children_.empty()) return false;
    std::vector<LPCITEMIDLIST> children;
    for (const auto& c : children_) children.push_back(c.Get());
    platform::ComPtr<IContextMenu> base;
    if (FAILED(folder_->GetUIObjectOf(nullptr, static_cast<UINT>(children.size()), children.data(), IID_IContextMenu,
                                      nullptr, reinterpret_cast<void**>(base.Receive()))) ||
        !base) {
        return false;
    }
    platform::ComPtr<IContextMenu3> v3;
    platform::ComPtr<IContextMenu2> v2;
    if (SUCCEEDED(base.QueryInterface(IID_IContextMenu3, &v3)) && v3) {
        *menu = platform::ComPtr<IContextMenu>(v3.Get());
        *version = 3;
    } else if (SUCCEEDED(base.QueryInterface(IID_IContextMenu2, &v2)) && v2) {
        *menu = platform::ComPtr<IContextMenu>(v2.Get());
        *version = 2;
    } else {
        *menu = std::move(base);
        *version = 1;
    }
    return true;
}

UINT CShellContextMenu::TrackMenu(HMENU menu, HWND owner, int x, int y) {
    return static_cast<UINT>(::TrackPopupMenu(menu, TPM_RETURNCMD, x, y, 0, owner, nullptr));
}

int CShellContextMenu::ShowContextMenu(HWND owner, int x, int y) {
    platform::ComPtr<IContextMenu> cm;
    int version = 0;
    const bool fromShell = GetContextMenu(&cm, &version);
    // Without the shell's items (nothing it could bind) the caller's own
    // items still show, when it added any.
    if (!fromShell && !menu_) return 0;
    HMENU menu = GetMenu();
    if (!menu) return 0;
    if (fromShell) {
        cm->QueryContextMenu(menu, static_cast<UINT>(::GetMenuItemCount(menu)), kShellMenuFirstId, kShellMenuLastId,
                             CMF_EXPLORE);
    } else {
        DropTrailingSeparators(menu);
        if (::GetMenuItemCount(menu) <= 0) return 0;
    }

    CShellContextMenu* previous = g_activeMenu;
    g_activeMenu = this;
    shown_ = cm.Get();
    UINT id = TrackMenu(menu, owner, ClampXToNearestWorkArea(x, y), y);
    int result = static_cast<int>(id);
    if (fromShell && id >= kShellMenuFirstId && id <= kShellMenuLastId) result = RunShellItem(cm.Get(), owner, id);
    shown_ = nullptr;
    g_activeMenu = previous;
    return result;
}

CShellContextMenu* CShellContextMenu::Active() { return g_activeMenu; }

int CShellContextMenu::RunShellItem(IContextMenu* menu, HWND owner, UINT id) {
    const UINT offset = id - kShellMenuFirstId;
    char verb[MAX_PATH] = {};
    if (FAILED(menu->GetCommandString(offset, GCS_VERBA, nullptr, verb, sizeof(verb)))) {
        // Some handlers answer only the wide form.
        wchar_t wide[MAX_PATH] = {};
        verb[0] = '\0';
        if (SUCCEEDED(menu->GetCommandString(offset, GCS_VERBW, nullptr, reinterpret_cast<LPSTR>(wide), MAX_PATH))) {
            wide[MAX_PATH - 1] = L'\0';
            ::WideCharToMultiByte(CP_ACP, 0, wide, -1, verb, sizeof(verb), nullptr, nullptr);
        }
    }
    verb[sizeof(verb) - 1] = '\0';

    const VerbRoute* route = nullptr;
    for (const auto& r : kRoutes) {
        if (::lstrcmpiA(verb, r.verb) == 0) route = &r;
    }
    auto invoke = [&] {
        HRESULT hr = InvokeOffset(menu, offset, owner);
        if (FAILED(hr)) platform::Trace("shell menu: verb \"%s\" failed, 0x%08lx", verb, static_cast<unsigned long>(hr));
    };
    if (!route) {
        invoke();
        return 0;
    }
    switch (route->when) {
    case VerbRoute::kInsteadOfShell:
    case VerbRoute::kAskFirst: {
        LRESULT answer = ::SendMessageW(owner, WM_RESULT_MENU_COMMAND, static_cast<WPARAM>(route->command), 0);
        if (static_cast<HRESULT>(answer) < 0) return E_FAIL;
        if (route->when == VerbRoute::kAskFirst) invoke();
        return 0;
    }
    case VerbRoute::kAfterShell:
        invoke();
        ::SendMessageW(owner, WM_RESULT_MENU_COMMAND, static_cast<WPARAM>(route->command), 0);
        return 0;
    }
    return 0;
}

HRESULT CShellContextMenu::InvokeCommand(UINT offset) {
    return shown_ ? InvokeOffset(shown_, offset) : E_FAIL;
}

bool CShellContextMenu::HandleMenuMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    if (msg != WM_INITMENUPOPUP && msg != WM_DRAWITEM && msg != WM_MEASUREITEM && msg != WM_MENUCHAR) return false;
    if (!g_activeMenu || !g_activeMenu->shown_) return false;
    IContextMenu* cm = g_activeMenu->shown_;
    // Submenus that the shell fills on demand need these messages.
    platform::ComPtr<IContextMenu3> v3;
    platform::ComPtr<IContextMenu2> v2;
    LRESULT answer = 0;
    if (SUCCEEDED(cm->QueryInterface(IID_IContextMenu3, reinterpret_cast<void**>(v3.Receive()))) && v3) {
        if (FAILED(v3->HandleMenuMsg2(msg, wParam, lParam, &answer))) return false;
    } else if (SUCCEEDED(cm->QueryInterface(IID_IContextMenu2, reinterpret_cast<void**>(v2.Receive()))) && v2) {
        if (FAILED(v2->HandleMenuMsg(msg, wParam, lParam))) return false;
        answer = msg == WM_MENUCHAR ? 0 : TRUE;
    } else {
        return false;
    }
    if (result) *result = answer;
    return true;
}

LRESULT ForwardShellMenuMessage(UINT msg, WPARAM wParam, LPARAM lParam, BOOL& handled) {
    LRESULT result = 0;
    handled = CShellContextMenu::HandleMenuMessage(msg, wParam, lParam, &result) ? TRUE : FALSE;
    return result;
}

UINT ShowResultContextMenu(HWND resultWnd, const std::vector<std::wstring>& files, bool withRecover, POINT screen) {
    CShellContextMenu menu;
    menu.SetObjects(files);
    HMENU popup = menu.GetMenu();
    if (!popup) return 0;
    auto text = [](UINT id) {
        const wchar_t* t = BkString::Get(id);
        return t ? t : L"";
    };
    ::InsertMenuW(popup, 0, MF_BYPOSITION | MF_STRING, ID_OPEN_CONTAINING_FOLDER, text(IDS_OPEN_CONTAINING_FOLDER));
    ::InsertMenuW(popup, 1, MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
    if (withRecover) {
        ::InsertMenuW(popup, 1, MF_BYPOSITION | MF_STRING, ID_RECOVER_DELETED, text(IDS_RECOVER_DELETED));
        ::InsertMenuW(popup, 2, MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
    }
    const int chosen = menu.ShowContextMenu(resultWnd, screen.x, screen.y);
    // A refused shell verb (E_FAIL) or a handled one is nothing for the caller.
    if (chosen == static_cast<int>(ID_OPEN_CONTAINING_FOLDER) || chosen == static_cast<int>(ID_RECOVER_DELETED)) {
        return static_cast<UINT>(chosen);
    }
    return 0;
}
