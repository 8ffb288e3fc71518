#pragma once
// The NTFS image that prepare_images.sh built for this run, its manifest, and
// helpers shared by the scanner tests.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>


namespace scanner_test {

struct ManifestEntry {
    bool directory = false, deleted = false;
    int64_t size = 0;
    int64_t mtime = 0;  // Unix seconds
    std::string path;   // UTF-8, "/" separators, below the root
    std::string copy;   // saved bytes of a deleted file, or "-"
};

struct NtfsImage {
    bool available = false;
    std::string skipReason;
    std::string unixDir;  // Linux folder with volume.img, manifest.txt, orig/
    std::vector<ManifestEntry> manifest;

    std::string UnixImage() const { return unixDir + "/volume.img"; }
    std::wstring WindowsImage() const;
    // The bytes a deleted file had, as the generator saved them.
    std::string SavedCopy(const ManifestEntry& e) const;
};

// Loaded once per test program.
const NtfsImage& TheImage();

#define SKIP_WITHOUT_NTFS_IMAGE() \
    if (!scanner_test::TheImage().available) \
        GTEST_SKIP() << "NTFS image tests skipped: " << scanner_test::TheImage().skipReason

std::wstring UnixToWindowsPath(const std::string& unixPath);
// "N:\a\b" in the ANSI code page from a manifest path.
std::string DrivePath(const std::string& utf8);
uint64_t UnixToFileTime(int64_t seconds);

} // namespace scanner_test
