#include "module/update_index.h"

#include <windows.h>

#include <algorithm>
#include <new>
#include <stdexcept>

#include <zlib.h>

#include "platform/handle.h"

namespace {

constexpr size_t kFirstUnpackSize = 0x100000;       // 1 MiB
constexpr size_t kLastDoubledUnpackSize = 52428800; // 50 MiB: 64 MiB is the last size tried
constexpr size_t kMaxUnpackSize = 0x4000000;        // 64 MiB

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// "p<i>" as "%u" writes it: digits without a leading zero.
bool ParseNumberedKey(const std::wstring& key, wchar_t letter, uint32_t& number) {
    if (key.size() < 2 || (key[0] | 0x20) != letter) return false;
    if (key[1] == L'0' && key.size() > 2) return false;
    uint64_t value = 0;
    for (size_t i = 1; i < key.size(); ++i) {
        if (key[i] < L'0' || key[i] > L'9') return false;
        value = value * 10 + static_cast<uint64_t>(key[i] - L'0');
        if (value > UINT32_MAX) return false;
    }
    number = static_cast<uint32_t>(value);
    return true;
}

// A plain file name: no separators, no colon, not "." or "..".
bool IsPlainFileName(const std::wstring& name) {
    if (name.empty() || name == L"." || name == L"..") return false;
    return name.find_first_of(L"\\/:") == std::wstring::npos;
}

} // namespace

std::wstring ChannelToken(uint32_t productId) {
    switch (productId) {
    case PRODUCT_ID_ZELK: return L"zelk";
    case PRODUCT_ID_ZOPH: return L"zoph";
    case PRODUCT_ID_PLIMET: return L"plimet";
    case PRODUCT_ID_LUMSEK: return L"lumsek";
    default: return std::wstring();
    }
}

std::wstring ChannelBasePath(const std::wstring& token) { return L"/lumsek/update/" + token + L"/"; }
std::wstring TopIndexRemoteName(const std::wstring& token) { return L"index" + token + L".dat"; }
std::wstring TopIndexLocalName(const std::wstring& token) { return L"index" + token + L".txt"; }

bool IsContainedRelativePath(const std::wstring& path) {
    if (path.empty() || IsSeparator(path[0])) return false;
    if (path.find(L':') != std::wstring::npos) return false;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = start;
        while (end < path.size() && !IsSeparator(path[end])) ++end;
        // Windows drops trailing dots and blanks of a part, so "..." and
        // ".. " climb as well.
        std::wstring part = path.substr(start, end - start);
        while (!part.empty() && (part.back() == L' ' || part.back() == L'.')) part.pop_back();
        if (part.empty() && end > start) return false;  // a part of dots only
        start = end + 1;
    }
    return true;
}

bool IsSubIndexList(const CIniFile& index) { return index.GetUInt(L"info", L"c") > 0; }

std::vector<UpdateSubIndex> ReadSubIndexes(const CIniFile& index) {
    std::vector<UpdateSubIndex> result;
    const uint32_t count = index.GetUInt(L"info", L"c");
    const CIniFile::Section* info = index.FindSection(L"info");
    if (count == 0 || !info) return result;
    // Walk the keys that exist rather than every i below c: c comes from the
    // server and may be absurdly large.
    for (const auto& key : *info) {
        uint32_t number = 0;
        if (!ParseNumberedKey(key.first, L'p', number) || number >= count) continue;
        if (key.second.empty()) continue;
        const std::wstring check = index.GetString(L"info", (L"m" + key.first.substr(1)).c_str());
        if (check.empty()) continue;
        if (!IsContainedRelativePath(key.second)) continue;
        UpdateSubIndex sub;
        sub.Number = number;
        sub.Path = key.second;
        sub.CheckValue = check;
        result.push_back(std::move(sub));
    }
    std::sort(result.begin(), result.end(),
              [](const UpdateSubIndex& a, const UpdateSubIndex& b) { return a.Number < b.Number; });
    return result;
}

bool ListsSelfOrAncestor(const CIniFile& index) {
    const uint32_t count = index.GetUInt(L"info", L"c");
    const CIniFile::Section* info = index.FindSection(L"info");
    if (count == 0 || !info) return false;
    for (const auto& key : *info) {
        uint32_t number = 0;
        if (!ParseNumberedKey(key.first, L'p', number) || number >= count || key.second.empty()) continue;
        if (index.GetString(L"info", (L"m" + key.first.substr(1)).c_str()).empty()) continue;
        // Parts of dots only (trailing dots and blanks are dropped by
        // Windows, and servers collapse them) stay in place or climb.
        const std::wstring& path = key.second;
        size_t start = 0;
        while (start < path.size()) {
            size_t end = start;
            while (end < path.size() && !IsSeparator(path[end])) ++end;
            std::wstring part = path.substr(start, end - start);
            while (!part.empty() && (part.back() == L' ' || part.back() == L'.')) part.pop_back();
            if (part.empty() && end > start) return true;
            start = end + 1;
        }
    }
    return false;
}

bool ApplyLocalFolderRule(const std::wstring& value, std::wstring& folder) {
    if (value.empty() || value.front() != value.back() || value.front() != L'%') {
        folder = value;
        return true;
    }
    if (value.size() >= 2 && value[1] == L'P') {
        // "%P\bin%" -> "bin"; "%P%" and "%P\%" name the program folder itself.
        folder = value.size() > 4 ? value.substr(3, value.size() - 4) : std::wstring();
        return true;
    }
    return false;
}

std::vector<CUpdateEntry> ReadUpdateEntries(const CIniFile& index) {
    std::vector<CUpdateEntry> result;
    if (IsSubIndexList(index)) return result;
    for (const auto& section : index.Sections()) {
        if (section.first == L"COMMENT") continue;
        const wchar_t* name = section.first.c_str();
        CUpdateEntry entry;
        entry.FileName = index.GetString(name, L"FN");
        entry.ServerFileName = index.GetString(name, L"SFN");
        entry.SubPath = index.SubPath();
        entry.RemotePath = entry.SubPath + index.GetString(name, L"RP");
        entry.Version = index.GetString(name, L"Ver");
        entry.FileSize = index.GetUInt(name, L"FS");
        entry.ServerFileSize = index.GetUInt(name, L"SFS");
        entry.Crc = index.GetUInt(name, L"C");
        entry.CheckMode = index.HasKey(name, L"CV") ? index.GetUInt(name, L"CV") : CHECK_CRC_ONLY;
        entry.ReplaceAtRestart = index.GetUInt(name, L"UR");
        if (!ApplyLocalFolderRule(index.GetString(name, L"LP"), entry.LocalFolder)) continue;
        entry.Destination = entry.LocalFolder.empty() ? entry.FileName : entry.LocalFolder + L"\\" + entry.FileName;
        // Without a name the destination would be a folder (which the
        // updater deletes before it fetches); without a server name there is
        // nothing to fetch.
        if (entry.FileName.empty() || !IsPlainFileName(entry.ServerFileName)) continue;
        if (!IsContainedRelativePath(entry.Destination)) continue;
        result.push_back(std::move(entry));
    }
    return result;
}

bool UnpackBuffer(const void* packed, size_t count, std::string& text) {
    text.clear();
    if (!packed || count == 0) return false;
    if (count > compressBound(kMaxUnpackSize)) return false;
    try {
        for (size_t size = kFirstUnpackSize;; size *= 2) {
            text.resize(size);
            uLongf length = static_cast<uLongf>(size);
            const int rc = uncompress(reinterpret_cast<Bytef*>(&text[0]), &length,
                                      static_cast<const Bytef*>(packed), static_cast<uLong>(count));
            if (rc == Z_OK) {
                text.resize(length);
                return true;
            }
            if (rc != Z_BUF_ERROR || size > kLastDoubledUnpackSize) break;
        }
    } catch (const std::exception&) {
        // No memory for the next size.
    }
    text.clear();
    text.shrink_to_fit();
    return false;
}

bool UnpackFile(const wchar_t* textPath, const wchar_t* packedPath) {
    if (!textPath || !packedPath) return false;
    std::string packed, text;
    {
        platform::FileHandle in(::CreateFileW(packedPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!in) return false;
        LARGE_INTEGER size;
        if (!::GetFileSizeEx(in.Get(), &size) || size.QuadPart <= 0) return false;
        // Larger input cannot unpack into the largest output allowed.
        if (static_cast<ULONGLONG>(size.QuadPart) > compressBound(kMaxUnpackSize)) return false;
        try {
            packed.resize(static_cast<size_t>(size.QuadPart));
        } catch (const std::exception&) {
            return false;
        }
        DWORD got = 0;
        if (!::ReadFile(in.Get(), &packed[0], static_cast<DWORD>(packed.size()), &got, nullptr) ||
            got != packed.size()) {
            return false;
        }
    }
    if (!UnpackBuffer(packed.data(), packed.size(), text)) return false;

    platform::FileHandle out(::CreateFileW(textPath, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out) return false;
    DWORD written = 0;
    const bool ok = text.empty() || (::WriteFile(out.Get(), text.data(), static_cast<DWORD>(text.size()), &written,
                                                  nullptr) &&
                                     written == text.size());
    out.Close();
    if (!ok) ::DeleteFileW(textPath);
    return ok;
}
