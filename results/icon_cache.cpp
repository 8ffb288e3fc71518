#include "results/icon_cache.h"

#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cwctype>

#include "platform/window_class.h"

namespace {

// An icon of the shell for a path or, with attributes, for a type alone.
HICON ShellIcon(const wchar_t* path, DWORD attributes, UINT flags) {
    SHFILEINFOW info = {};
    if (!::SHGetFileInfoW(path, attributes, &info, sizeof(info), flags)) return nullptr;
    return info.hIcon;
}

}  // namespace

CIconCache::CIconCache() {
    // The Windows directory's own icons stand for every folder.
    wchar_t windows[MAX_PATH] = {};
    UINT length = ::GetWindowsDirectoryW(windows, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
        const UINT flags = SHGFI_ICON | SHGFI_DISPLAYNAME | SHGFI_ATTRIBUTES;
        folder_[0] = {ShellIcon(windows, 0, flags), true};
        folder_[1] = {ShellIcon(windows, 0, flags | SHGFI_SMALLICON), true};
    }
}

CIconCache::~CIconCache() {
    Clear();
    for (Icon* set : {folder_, generic_}) {
        Destroy(set[0]);
        Destroy(set[1]);
    }
}

void CIconCache::Destroy(Icon& icon) {
    if (icon.Handle && icon.Owned) ::DestroyIcon(icon.Handle);
    icon = Icon();
}

void CIconCache::Clear() {
    for (auto& entry : entries_) Destroy(entry.second);
    entries_.clear();
}

bool CIconCache::HasOwnIcon(const std::wstring& extension) {
    static const wchar_t* const kOwn[] = {L"exe", L"ico", L"lnk", L"url", L"cur", L"ani", L"scr", L"cpl", L"msc"};
    for (const wchar_t* own : kOwn)
        if (extension == own) return true;
    return false;
}

std::wstring CIconCache::LowerExtension(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    const size_t dot = path.rfind(L'.');
    if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash)) return std::wstring();
    std::wstring ext = path.substr(dot + 1);
    for (wchar_t& c : ext) c = static_cast<wchar_t>(std::towlower(c));
    return ext;
}

HICON CIconCache::Remember(const std::wstring& key, Icon icon) {
    if (!icon.Handle) return nullptr;
    if (entries_.size() >= kMaxEntries) Clear();  // bounded: start over rather than grow
    entries_[key] = icon;
    return icon.Handle;
}

HICON CIconCache::FolderIcon(bool small) {
    Icon& icon = folder_[small ? 1 : 0];
    if (!icon.Handle) {
        UINT flags = SHGFI_ICON | SHGFI_USEFILEATTRIBUTES | (small ? SHGFI_SMALLICON : 0);
        icon = {ShellIcon(L"folder", FILE_ATTRIBUTE_DIRECTORY, flags), true};
    }
    return icon.Handle ? icon.Handle : GenericIcon(small);
}

HICON CIconCache::GenericIcon(bool small) {
    Icon& icon = generic_[small ? 1 : 0];
    if (!icon.Handle) {
        UINT flags = SHGFI_ICON | SHGFI_USEFILEATTRIBUTES | (small ? SHGFI_SMALLICON : 0);
        icon = {ShellIcon(L"file", FILE_ATTRIBUTE_NORMAL, flags), true};
        if (!icon.Handle) icon = {::LoadIconW(nullptr, IDI_APPLICATION), false};  // shared, never destroyed
    }
    return icon.Handle;
}

HICON CIconCache::GetItemIcon(const std::wstring& path, bool small, bool isFolder) {
    if (isFolder) return FolderIcon(small);

    const std::wstring ext = LowerExtension(path);
    const bool own = HasOwnIcon(ext);
    // Keys: "s|" or "l|" and the extension, or the whole path for own-icon types.
    std::wstring key = small ? L"s|" : L"l|";
    key += own ? path : ext;
    auto found = entries_.find(key);
    if (found != entries_.end()) return found->second.Handle;

    HICON icon = nullptr;
    // An icon file shows its own picture; only the exact lower-case ending counts.
    if (path.size() >= 4 && path.compare(path.size() - 4, 4, L".ico") == 0) {
        const int size = small ? 16 : 48;
        icon = static_cast<HICON>(::LoadImageW(platform::CurrentModule(), path.c_str(), IMAGE_ICON, size, size,
                                               LR_LOADFROMFILE | LR_DEFAULTSIZE));
    }
    const UINT sizeFlag = small ? SHGFI_SMALLICON : 0;
    if (!icon && own) icon = ShellIcon(path.c_str(), 0, SHGFI_ICON | sizeFlag);
    if (!icon) {
        // Deleted or unreachable files, and every other type: the type's icon,
        // without touching the disk.
        const std::wstring probe = ext.empty() ? std::wstring(L"file") : L"file." + ext;
        icon = ShellIcon(probe.c_str(), FILE_ATTRIBUTE_NORMAL,
                         SHGFI_ICON | SHGFI_SYSICONINDEX | SHGFI_USEFILEATTRIBUTES | sizeFlag);
    }
    if (!icon) return GenericIcon(small);
    return Remember(key, Icon{icon, true});
}
