#pragma once
// Icons of the result list: the two folder icons, and a bounded cache of file
// icons keyed by extension (the type's icon) or, for types whose files carry
// their own icon (programs, shortcuts, icon files), by full path. Every icon
// the cache made is destroyed with it; a file or folder whose icon cannot be
// had gets the generic one, so no row draws without an icon.
#include <windows.h>

#include <string>
#include <unordered_map>

class CIconCache {
public:
    // Entries kept before the cache starts over; a page of rows needs a few.
    static constexpr size_t kMaxEntries = 256;

    CIconCache();
    ~CIconCache();
    CIconCache(const CIconCache&) = delete;
    CIconCache& operator=(const CIconCache&) = delete;

    // The icon to draw for a row (16 x 16 when small, else 32 x 32); owned by
    // the cache. Null only when not even the generic icon exists.
    HICON GetItemIcon(const std::wstring& path, bool small, bool isFolder);
    size_t Size() const { return entries_.size(); }
    void Clear();

    // True for types whose files each carry an icon of their own.
    static bool HasOwnIcon(const std::wstring& extension);
    // The lower-case text after the last dot of the name part, or "".
    static std::wstring LowerExtension(const std::wstring& path);

private:
    struct Icon {
        HICON Handle = nullptr;
        bool Owned = false;  // made by us, destroyed by us
    };
    HICON Remember(const std::wstring& key, Icon icon);
    HICON FolderIcon(bool small);
    HICON GenericIcon(bool small);
    static void Destroy(Icon& icon);

    Icon folder_[2];   // [1] small
    Icon generic_[2];  // [1] small
    std::unordered_map<std::wstring, Icon> entries_;
};
