#pragma once
// The NTFS test image that prepare_images.sh builds for a test run: where it
// is, what it holds (its manifest), and paths on the drive it is mapped to.
#include <sstream>
#include <string>
#include <vector>

#include "platform/strconv.h"
#include "tests/support/test_support.h"

namespace {

using testing_support::UnixToWindowsPath;

// "N:\a\b" in the ANSI code page from a manifest path.
inline std::string DrivePath(const std::string& utf8) {
    std::string p = "N:\\" + platform::WideToAnsi(platform::Utf8ToWide(utf8));
    for (auto& c : p) if (c == '/') c = '\\';
    return p;
}

struct ManifestEntry {
    bool directory, deleted;
    int64_t size, mtime;     // mtime in Unix seconds
    std::string path, copy;  // UTF-8 below the root with "/"; the saved bytes of a deleted file, or "-"
};

// What prepare_images.sh left in <work>/ntfs: volume.img, manifest.txt and
// orig/, or SKIP with the reason FUSE mounting was impossible.
struct Image {
    std::string dir, skipReason;
    std::vector<ManifestEntry> manifest;
    std::string UnixImage() const { return dir + "/volume.img"; }
};

inline const Image& TheImage() {
    static const Image image = [] {
        Image img;
        img.dir = testing_support::UnixWorkFolder() + "/ntfs";
        img.skipReason = testing_support::ReadFileBytes(UnixToWindowsPath(img.dir + "/SKIP"));
        if (img.skipReason != "<missing>") return img;
        std::istringstream in(testing_support::ReadFileBytes(UnixToWindowsPath(img.dir + "/manifest.txt")));
        for (std::string line; std::getline(in, line);) {
            std::istringstream fields(line);
            std::vector<std::string> f;
            for (std::string field; std::getline(fields, field, '\t');) f.push_back(field);
            if (f.size() == 6) img.manifest.push_back({f[0] == "D", f[1] == "X", std::stoll(f[2]), std::stoll(f[3]), f[4], f[5]});
        }
        img.skipReason = img.manifest.empty() ? "no image was built (the prepare step did not run)" : "";
        return img;
    }();
    return image;
}

#define SKIP_WITHOUT_NTFS_IMAGE() \
    if (!TheImage().skipReason.empty()) GTEST_SKIP() << "NTFS image tests skipped: " << TheImage().skipReason

} // namespace
