#include "tests/scanner/image_fixture.h"

#include <fstream>
#include <sstream>

#include "platform/handle.h"
#include "platform/strconv.h"
#include "tests/support/test_support.h"

namespace scanner_test {

std::wstring UnixToWindowsPath(const std::string& unixPath) {
    std::wstring w = L"\\\\?\\unix" + platform::Utf8ToWide(unixPath);
    for (auto& c : w) if (c == L'/') c = L'\\';
    return w;
}

bool ReadWholeFile(const std::wstring& path, std::string& bytes) {
    platform::FileHandle f(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                         OPEN_EXISTING, 0, nullptr));
    bytes.clear();
    if (!f) return false;
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(f.Get(), &size)) return false;
    bytes.resize(static_cast<size_t>(size.QuadPart));
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD got = 0;
        DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 24));
        if (!::ReadFile(f.Get(), &bytes[done], want, &got, nullptr) || got == 0) return false;
        done += got;
    }
    return true;
}

uint64_t UnixToFileTime(int64_t seconds) {
    return static_cast<uint64_t>(seconds) * 10000000ull + 116444736000000000ull;
}

std::wstring NtfsImage::WindowsImage() const { return UnixToWindowsPath(UnixImage()); }

const ManifestEntry* NtfsImage::Find(const std::string& path) const {
    for (const ManifestEntry& e : manifest) {
        if (e.path == path) return &e;
    }
    return nullptr;
}

const NtfsImage& TheImage() {
    static NtfsImage image = [] {
        NtfsImage img;
        img.unixDir = testing_support::UnixWorkFolder() + "/ntfs";
        std::string text;
        if (ReadWholeFile(UnixToWindowsPath(img.unixDir + "/SKIP"), text)) {
            img.skipReason = text;
            return img;
        }
        if (!ReadWholeFile(UnixToWindowsPath(img.unixDir + "/manifest.txt"), text)) {
            img.skipReason = "no image was built (the prepare step did not run)";
            return img;
        }
        std::istringstream in(text);
        std::string line;
        while (std::getline(in, line)) {
            std::istringstream fields(line);
            std::string kind, state, size, mtime, path, copy;
            if (!std::getline(fields, kind, '\t') || !std::getline(fields, state, '\t') ||
                !std::getline(fields, size, '\t') || !std::getline(fields, mtime, '\t') ||
                !std::getline(fields, path, '\t') || !std::getline(fields, copy, '\t')) {
                continue;
            }
            ManifestEntry e;
            e.directory = kind == "D";
            e.deleted = state == "X";
            e.size = std::stoll(size);
            e.mtime = std::stoll(mtime);
            e.path = path;
            e.copy = copy;
            img.manifest.push_back(e);
        }
        img.available = !img.manifest.empty();
        if (!img.available) img.skipReason = "empty manifest";
        return img;
    }();
    return image;
}

void EntryCollector::OnEntry(const scanner::MftEntry& e) {
    Item item;
    item.parent = e.parentSlot;
    item.name = platform::WideToUtf8(e.name, static_cast<int>(e.nameLength));
    item.inUse = e.inUse;
    item.directory = e.isDirectory;
    item.mtime = e.modificationTime;
    item.size = e.size;
    if (!items.emplace(e.slot, item).second) ++duplicates;
}

std::string EntryCollector::PathOf(uint32_t slot) const {
    std::string path;
    for (int depth = 0; depth < 64; ++depth) {
        auto it = items.find(slot);
        if (it == items.end()) return std::string();
        path = path.empty() ? it->second.name : it->second.name + "/" + path;
        if (it->second.parent == 5) return path;
        slot = it->second.parent;
    }
    return std::string();
}

} // namespace scanner_test
