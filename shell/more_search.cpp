#include "shell/more_search.h"

#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <climits>

#include "index/search_query.h"
#include "results/folder_picker.h"
#include "shell/shell_messages.h"
#include "ui/bkfontpool.h"
#include "ui/bkstring.h"

namespace {

const UINT kPickFolderString = 21;
// The system image list's image that the picker item shows, with itself as
// its overlay.
const int kPickFolderImage = 193;

std::wstring Str(UINT id) {
    LPCWSTR text = BkString::Get(id);
    return text ? text : L"";
}

// Byte ranges of the size classes, the maximum exclusive. The large classes
// have no upper bound.
struct SizeClass {
    LONGLONG min, max;
};
const SizeClass kSizeClasses[] = {
    {0, 0},
    {0, 1048576},
    {1048576, 10485760},
    {10485760, LLONG_MAX},
    {104857600, LLONG_MAX},
};

bool SameDay(const SYSTEMTIME& a, const SYSTEMTIME& b) {
    return a.wYear == b.wYear && a.wMonth == b.wMonth && a.wDay == b.wDay;
}

bool IsEpochStart(const SYSTEMTIME& t) {
    return t.wYear == 1970 && t.wMonth == 1 && t.wDay == 1 && t.wHour == 0 && t.wMinute == 0 && t.wSecond == 0;
}

} // namespace

CMoreSearch::CMoreSearch() : CBkDialogImpl<CMoreSearch>(115) {
    PickFolder = [this](std::wstring* folder) {
        folder->clear();  // nothing of an earlier pick may stand in for this one
        return BrowseForFolder(folder, std::wstring(), Str(kPickFolderString));
    };
}

CMoreSearch::~CMoreSearch() = default;

HWND CMoreSearch::Control(UINT id) const {
    switch (id) {
    case ID_TYPE_BOX: return type_;
    case ID_CONTENT_EDIT: return content_.Handle();
    case ID_DATE_FROM: return dateFrom_;
    case ID_DATE_TO: return dateTo_;
    case ID_SIZE_BOX: return size_;
    case ID_LOCATION_BOX: return location_;
    default: return nullptr;
    }
}

HWND CMoreSearch::CreateCombo(UINT id, const std::vector<UINT>& stringIds) {
    HWND combo = ::CreateWindowExW(0, WC_COMBOBOXW, L"", WS_CHILD | WS_VISIBLE | WS_BORDER | CBS_DROPDOWNLIST, 0, 0,
                                   100, 200, GetViewControl().Handle(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   ::GetModuleHandleW(nullptr), nullptr);
    if (!combo) return nullptr;
    ::SendMessageW(combo, WM_SETFONT, reinterpret_cast<WPARAM>(BkFontPool::GetFont(0)), FALSE);
    for (UINT s : stringIds) ::SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Str(s).c_str()));
    ::SendMessageW(combo, CB_SETCURSEL, 0, 0);
    ::SendMessageW(combo, CB_SETITEMHEIGHT, 0, 14);
    return combo;
}

HWND CMoreSearch::CreatePicker(UINT id, const SYSTEMTIME& time) {
    HWND picker = ::CreateWindowExW(0, DATETIMEPICK_CLASSW, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | DTS_RIGHTALIGN, 0,
                                    0, 100, 22, GetViewControl().Handle(),
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ::GetModuleHandleW(nullptr),
                                    nullptr);
    if (!picker) return nullptr;
    ::SendMessageW(picker, WM_SETFONT, reinterpret_cast<WPARAM>(BkFontPool::GetFont(0)), FALSE);
    ::SendMessageW(picker, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&time));
    return picker;
}

LRESULT CMoreSearch::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) {
    // Created once: a second initialisation keeps the controls it has.
    if (type_) return TRUE;
    INITCOMMONCONTROLSEX classes = {sizeof(classes), ICC_DATE_CLASSES | ICC_USEREX_CLASSES};
    ::InitCommonControlsEx(&classes);

    type_ = CreateCombo(ID_TYPE_BOX, {15, 9, 10, 13, 11, 12});
    size_ = CreateCombo(ID_SIZE_BOX, {16, 17, 18, 19, 20});
    SYSTEMTIME start = {};
    start.wYear = 1970;
    start.wMonth = 1;
    start.wDay = 1;
    dateFrom_ = CreatePicker(ID_DATE_FROM, start);
    ::GetLocalTime(&defaultEnd_);
    defaultEnd_.wHour = 23;
    defaultEnd_.wMinute = 59;
    defaultEnd_.wSecond = 59;
    dateTo_ = CreatePicker(ID_DATE_TO, defaultEnd_);

    HWND edit = ::CreateWindowExW(0, L"EDIT", L"", WS_CHILD | ES_AUTOHSCROLL, 0, 0, 100, 16, GetViewControl().Handle(),
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(ID_CONTENT_EDIT)),
                                  ::GetModuleHandleW(nullptr), nullptr);
    if (edit && content_.SubclassWindow(edit))
        ::SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(BkFontPool::GetFont(1024)), FALSE);
    GetViewControl().ShowAllRealWindows();
    ::PostMessageW(Handle(), WM_LAYERED_REFRESH, 0, 0);
    return TRUE;
}

int CMoreSearch::AddLocation(const std::wstring& text, int image, int indent, const std::wstring& path,
                             int overlay) {
    COMBOBOXEXITEMW item = {};
    item.mask = CBEIF_TEXT | CBEIF_IMAGE | CBEIF_SELECTEDIMAGE | CBEIF_INDENT;
    item.iItem = -1;
    item.pszText = const_cast<LPWSTR>(text.c_str());
    item.iImage = image;
    item.iSelectedImage = image;
    item.iIndent = indent;
    if (overlay >= 0) {
        item.mask |= CBEIF_OVERLAY;
        item.iOverlay = overlay;
    }
    const int index = static_cast<int>(::SendMessageW(location_, CBEM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    if (index >= 0) locations_.push_back({index, path});
    return index;
}

void CMoreSearch::AddShellLocation(int csidl) {
    PIDLIST_ABSOLUTE pidl = nullptr;
    if (FAILED(::SHGetSpecialFolderLocation(nullptr, csidl, &pidl)) || !pidl) return;
    SHFILEINFOW info = {};
    ::SHGetFileInfoW(reinterpret_cast<LPCWSTR>(pidl), 0, &info, sizeof(info),
                     SHGFI_PIDL | SHGFI_SYSICONINDEX | SHGFI_DISPLAYNAME | SHGFI_SMALLICON);
    wchar_t path[MAX_PATH] = {};
    if (csidl == CSIDL_DRIVES || !::SHGetPathFromIDListW(pidl, path)) path[0] = 0;
    ::CoTaskMemFree(pidl);
    const int index = AddLocation(info.szDisplayName, info.iIcon, 0, path);
    if (csidl == CSIDL_DRIVES) computerItem_ = index;
}

LRESULT CMoreSearch::OnCreateLocationBox(UINT, WPARAM, LPARAM, BOOL&) {
    if (location_) return 0;  // created once
    RECT rc = {};
    ::GetWindowRect(Handle(), &rc);
    location_ = ::CreateWindowExW(0, WC_COMBOBOXEXW, L"", WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | CBS_DROPDOWNLIST,
                                  382, 68, 123, rc.bottom + 132, GetViewControl().Handle(),
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(ID_LOCATION_BOX)),
                                  ::GetModuleHandleW(nullptr), nullptr);
    if (!location_) return 0;
    ::SendMessageW(location_, WM_SETFONT, reinterpret_cast<WPARAM>(BkFontPool::GetFont(0)), FALSE);
    ::SendMessageW(location_, CBEM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(CSystemImageList::SmallList()));
    ::SendMessageW(location_, CB_SETDROPPEDWIDTH, 200, 0);

    AddShellLocation(CSIDL_DESKTOP);
    AddShellLocation(CSIDL_PERSONAL);
    AddShellLocation(CSIDL_DRIVES);
    DWORD needed = ::GetLogicalDriveStringsW(0, nullptr);
    std::wstring drives(needed + 2, L'\0');
    if (needed && ::GetLogicalDriveStringsW(needed + 1, &drives[0]) <= needed + 1) {
        for (const wchar_t* root = drives.c_str(); *root; root += wcslen(root) + 1) {
            SHFILEINFOW info = {};
            ::SHGetFileInfoW(root, 0, &info, sizeof(info), SHGFI_SYSICONINDEX | SHGFI_DISPLAYNAME | SHGFI_SMALLICON);
            AddLocation(info.szDisplayName[0] ? info.szDisplayName : root, info.iIcon, 1, root, info.iIcon);
        }
    }
    pickerItem_ = AddLocation(Str(kPickFolderString), kPickFolderImage, 0, L"", kPickFolderImage);
    SelectLocation(computerItem_);
    GetViewControl().ShowAllRealWindows();
    return 0;
}

int CMoreSearch::FindLocation(const std::wstring& path) const {
    for (const Location& l : locations_)
        if (!l.path.empty() && l.path == path) return l.item;
    return -1;
}

void CMoreSearch::SelectLocation(int item) {
    if (item < 0 || !location_) return;
    ::SendMessageW(location_, CB_SETCURSEL, static_cast<WPARAM>(item), 0);
    if (item != pickerItem_) selected_ = item;
}

LRESULT CMoreSearch::OnLocationSelChange(WORD, WORD, HWND, BOOL&) {
    OnLocationChanged();
    return 0;
}

void CMoreSearch::OnLocationChanged() {
    const int item = static_cast<int>(::SendMessageW(location_, CB_GETCURSEL, 0, 0));
    if (item < 0) return;
    if (item != pickerItem_) {
        selected_ = item;
        return;
    }
    std::wstring folder;
    if (!PickFolder || !PickFolder(&folder)) {
        // Cancelled: the earlier choice stays, and shows (the picker item
        // itself carries no path and would search the whole computer).
        SelectLocation(selected_ >= 0 ? selected_ : computerItem_);
        return;
    }
    if (folder.empty()) {
        // Something without a file-system path was chosen, such as the
        // computer itself: the whole computer.
        SelectLocation(computerItem_);
        return;
    }
    // A folder matches as a folder: "Desktop" must not find "Desktop2".
    if (folder.back() != L'\\') folder += L'\\';
    const int known = FindLocation(folder);
    if (known >= 0) {
        SelectLocation(known);
        return;
    }
    SHFILEINFOW info = {};
    ::SHGetFileInfoW(folder.c_str(), 0, &info, sizeof(info), SHGFI_SYSICONINDEX | SHGFI_DISPLAYNAME | SHGFI_SMALLICON);
    SelectLocation(AddLocation(info.szDisplayName[0] ? info.szDisplayName : folder, info.iIcon, 0, folder));
}

void CMoreSearch::GetFilters(DWORD* mask, std::wstring* pathPrefix, LONGLONG* sizeMin, LONGLONG* sizeMax,
                             FILETIME* dateFrom, FILETIME* dateTo) const {
    if (location_) {
        const int item = static_cast<int>(::SendMessageW(location_, CB_GETCURSEL, 0, 0));
        for (const Location& l : locations_) {
            if (l.item != item || l.path.empty()) continue;
            *mask |= SQF_PATH_PREFIX;
            *pathPrefix = l.path;
        }
    }
    const int type = type_ ? static_cast<int>(::SendMessageW(type_, CB_GETCURSEL, 0, 0)) : 0;
    if (type >= 1 && type <= 5) *mask |= 1u << (type - 1);
    const int size = size_ ? static_cast<int>(::SendMessageW(size_, CB_GETCURSEL, 0, 0)) : 0;
    if (size >= 1 && size <= 4) {
        *mask |= SQF_SIZE_RANGE;
        *sizeMin = kSizeClasses[size].min;
        *sizeMax = kSizeClasses[size].max;
    }
    SYSTEMTIME from = {}, to = {};
    if (!dateFrom_ || !dateTo_ || ::SendMessageW(dateFrom_, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&from)) != GDT_VALID ||
        ::SendMessageW(dateTo_, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&to)) != GDT_VALID)
        return;
    if (IsEpochStart(from) && SameDay(to, defaultEnd_)) return;
    FILETIME f = {}, t = {};
    if (!::SystemTimeToFileTime(&from, &f) || !::SystemTimeToFileTime(&to, &t)) return;
    *mask |= SQF_DATE_RANGE;
    *dateFrom = f;
    *dateTo = t;
}

LRESULT CMoreSearch::OnBkNotify(int, NMHDR* header, BOOL& handled) {
    const UINT item = reinterpret_cast<BKNMCOMMAND*>(header)->uItemID;
    if (header->code == BKNM_COMMAND && item == ID_CONTENT_HINT) {
        SetItemVisible(ID_CONTENT_HINT, FALSE);
        if (content_.IsWindow()) {
            content_.ShowWindow(SW_SHOWNORMAL);
            ::SetFocus(content_.Handle());
        }
    } else if (!(header->code == BKNM_COMMAND && item == 102)) {
        handled = FALSE;
    }
    return 0;
}

void CMoreSearch::DestroyControls() {
    for (HWND* control : {&type_, &size_, &dateFrom_, &dateTo_, &location_}) {
        if (*control && ::IsWindow(*control)) ::DestroyWindow(*control);
        *control = nullptr;
    }
    if (content_.IsWindow()) content_.DestroyWindow();
    locations_.clear();
}
