#include "tests/scanner/image_fixture.h"

#include <sstream>

#include "platform/strconv.h"
#include "tests/support/test_support.h"

namespace scanner_test {

std::wstring UnixToWindowsPath(const std::string& unixPath) {
    std::wstring w = L"\\\\?\\unix" + platform::Utf8ToWide(unixPath);
    for (auto& c : w) if (c == L'/') c = L'\\';
    return w;
}

std::string DrivePath(const std::string& utf8) {
    std::string p = "N:\\" + platform::WideToAnsi(platform::Utf8ToWide(utf8));
    for (auto& c : p) if (c == '/') c = '\\';
    return p;
}

uint64_t UnixToFileTime(int64_t seconds) {
    return static_cast<uint64_t>(seconds) * 10000000ull + 116444736000000000ull;
}

std::wstring NtfsImage::WindowsImage() const { return UnixToWindowsPath(UnixImage()); }

std::string NtfsImage::SavedCopy(const ManifestEntry& e) const {
    return testing_support::ReadFileBytes(UnixToWindowsPath(unixDir + "/orig/" + e.copy));
}

const NtfsImage& TheImage() {
    static NtfsImage image = [] {
        NtfsImage img;
        img.unixDir = testing_support::UnixWorkFolder() + "/ntfs";
        const std::string skip = testing_support::ReadFileBytes(UnixToWindowsPath(img.unixDir + "/SKIP"));
        if (skip != "<missing>") {
            img.skipReason = skip;
            return img;
        }
        std::istringstream in(testing_support::ReadFileBytes(UnixToWindowsPath(img.unixDir + "/manifest.txt")));
        std::string line;
        while (std::getline(in, line)) {
            std::istringstream fields(line);
            std::string kind, state, size, mtime;
            ManifestEntry e;
            if (!std::getline(fields, kind, '\t') || !std::getline(fields, state, '\t') ||
                !std::getline(fields, size, '\t') || !std::getline(fields, mtime, '\t') ||
                !std::getline(fields, e.path, '\t') || !std::getline(fields, e.copy, '\t')) {
                continue;
            }
            e.directory = kind == "D";
            e.deleted = state == "X";
            e.size = std::stoll(size);
            e.mtime = std::stoll(mtime);
            img.manifest.push_back(e);
        }
        img.available = !img.manifest.empty();
        if (!img.available) img.skipReason = "no image was built (the prepare step did not run)";
        return img;
    }();
    return image;
}

} // namespace scanner_test
