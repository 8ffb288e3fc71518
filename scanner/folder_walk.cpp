#include "scanner/folder_walk.h"

#include <windows.h>

#include <algorithm>
#include <deque>
#include <string>
#include <vector>

#include "platform/handle.h"
#include "platform/strconv.h"
#include "platform/trace.h"

namespace scanner {
namespace {

// Slots are 32-bit; leave room for the journal's growth step above them.
constexpr uint32_t kLastSlot = 0xFFFFFF00u;

FILETIME ToLocal(const FILETIME& utc) {
    FILETIME local = {};
    if (!::FileTimeToLocalFileTime(&utc, &local)) return utc;
    return local;
}

IndexRecord Fields(uint32_t father, DWORD attributes, const FILETIME& created, const FILETIME& written,
                   const FILETIME& accessed, uint64_t size) {
    IndexRecord r = {};
    r.FatherID = father;
    r.Flags = IRF_EXISTS;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) r.Flags |= IRF_DIRECTORY;
    r.Time1 = ToLocal(created);
    r.Time2 = ToLocal(written);
    r.Time3 = ToLocal(accessed);
    r.Size = (attributes & FILE_ATTRIBUTE_DIRECTORY) ? 0 : static_cast<int64_t>(size);
    r.RecoverHint = 0;  // no cluster information without the raw table
    return r;
}

struct Folder {
    std::wstring path;  // "\\?\X:\dir\sub" (no trailing backslash, except the root)
    uint32_t slot;
};

} // namespace

bool ReadVolumeByFolderWalk(const char* root, ScanAnswer& answer) {
    answer.Clear();
    std::wstring rootW = platform::AnsiToWide(root);
    if (rootW.size() < 3) return false;
    // The long-path form lets the walk reach paths beyond 260 characters.
    std::wstring top = L"\\\\?\\" + rootW.substr(0, 3);

    WIN32_FILE_ATTRIBUTE_DATA rootData = {};
    if (!::GetFileAttributesExW(rootW.c_str(), GetFileExInfoStandard, &rootData)) {
        platform::TraceLastError("folder walk: root");
        return false;
    }
    if (!answer.SetRecord(kRootSlot,
                          Fields(kRootSlot, rootData.dwFileAttributes | FILE_ATTRIBUTE_DIRECTORY,
                                 rootData.ftCreationTime, rootData.ftLastWriteTime, rootData.ftLastAccessTime, 0),
                          ".", 1))
        return false;

    uint32_t next = kFirstUserSlot;
    std::deque<Folder> folders;
    folders.push_back({top, kRootSlot});
    std::vector<WIN32_FIND_DATAW> entries;
    while (!folders.empty()) {
        Folder folder = std::move(folders.front());
        folders.pop_front();
        std::wstring base = folder.path;
        if (base.back() != L'\\') base += L'\\';

        entries.clear();
        WIN32_FIND_DATAW data;
        platform::FindHandle find(::FindFirstFileW((base + L"*").c_str(), &data));
        if (!find.IsValid()) continue;  // unreadable folder: listed, not entered
        do {
            if (wcscmp(data.cFileName, L".") == 0 || wcscmp(data.cFileName, L"..") == 0) continue;
            entries.push_back(data);
        } while (::FindNextFileW(find.Get(), &data));
        std::sort(entries.begin(), entries.end(), [](const WIN32_FIND_DATAW& a, const WIN32_FIND_DATAW& b) {
            return wcscmp(a.cFileName, b.cFileName) < 0;
        });

        for (const WIN32_FIND_DATAW& e : entries) {
            if (next >= kLastSlot) {
                platform::Trace("folder walk: slot numbers exhausted on %s", root);
                return true;
            }
            const uint32_t slot = next++;
            const std::string name = platform::WideToAnsi(e.cFileName);
            uint64_t size = (static_cast<uint64_t>(e.nFileSizeHigh) << 32) | e.nFileSizeLow;
            if (!answer.SetRecord(slot, Fields(folder.slot, e.dwFileAttributes, e.ftCreationTime,
                                               e.ftLastWriteTime, e.ftLastAccessTime, size),
                                  name.data(), name.size()))
                return false;  // a partial answer must not replace a whole index
            if ((e.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !(e.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                folders.push_back({base + e.cFileName, slot});
        }
    }
    return true;
}

} // namespace scanner
