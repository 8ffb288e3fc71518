// Recovery straight from the image: deleted files come back byte for byte,
// whatever their layout (resident, runs, runs behind an attribute list).
#include <gtest/gtest.h>

#include "platform/strconv.h"
#include "scanner/mft_reader.h"
#include "scanner/recover.h"
#include "tests/scanner/image_fixture.h"

namespace {

using scanner_test::TheImage;

class ImageRecovery : public ::testing::Test {
protected:
    void SetUp() override {
        if (!TheImage().available) return;
        ASSERT_TRUE(source_.Open(TheImage().WindowsImage()));
        scanner::NtfsVolume volume(source_);
        ASSERT_TRUE(volume.Open());
        scanner::MftReader reader(volume);
        ASSERT_TRUE(reader.Scan(entries_));
    }

    uint32_t SlotOf(const std::string& path) {
        for (const auto& item : entries_.items) {
            if (entries_.PathOf(item.first) == path) return item.first;
        }
        return 0;
    }

    // "N:\a\b" in the ANSI code page from a manifest path.
    static std::string DrivePath(const std::string& utf8) {
        std::string p = "N:\\" + platform::WideToAnsi(platform::Utf8ToWide(utf8));
        for (auto& c : p) if (c == '/') c = '\\';
        return p;
    }

    scanner::HandleSectorSource source_;
    scanner_test::EntryCollector entries_;
};

TEST_F(ImageRecovery, DeletedFilesComeBackByteForByte) {
    SKIP_WITHOUT_NTFS_IMAGE(TheImage());
    scanner::RecoveryCounter counter;
    uint64_t expectedBytes = 0;
    int recovered = 0;
    for (const auto& m : TheImage().manifest) {
        if (m.directory || !m.deleted) continue;
        uint32_t slot = SlotOf(m.path);
        ASSERT_NE(slot, 0u) << m.path;
        ASSERT_EQ(scanner::RecoverToFolder(DrivePath(m.path), "C:\\recovered\\deleted\\", slot, counter, &source_),
                  scanner::RecoverStatus::kOk)
            << m.path;
        std::string name = m.path.substr(m.path.rfind('/') + 1);
        std::string got, want;
        ASSERT_TRUE(scanner_test::ReadWholeFile(L"C:\\recovered\\deleted\\" + platform::Utf8ToWide(name), got)) << name;
        ASSERT_TRUE(scanner_test::ReadWholeFile(
            scanner_test::UnixToWindowsPath(TheImage().unixDir + "/orig/" + m.copy), want));
        EXPECT_EQ(got.size(), want.size()) << m.path;
        EXPECT_TRUE(got == want) << m.path;
        expectedBytes += want.size();
        ++recovered;
    }
    EXPECT_GE(recovered, 7);
    EXPECT_EQ(counter.Sectors(), expectedBytes / 512);
}

TEST_F(ImageRecovery, FileWithRunsInExtensionRecordsComesBackWhole) {
    SKIP_WITHOUT_NTFS_IMAGE(TheImage());
    // Kept on the volume, so its bytes are checked against the generator's
    // size; its runs continue in an extension record behind an attribute list.
    uint32_t slot = SlotOf("scattered.bin");
    ASSERT_NE(slot, 0u);
    scanner::RecoveryCounter counter;
    ASSERT_EQ(scanner::RecoverToFolder("N:\\scattered.bin", "C:\\recovered\\kept", slot, counter, &source_),
              scanner::RecoverStatus::kOk);
    std::string got;
    ASSERT_TRUE(scanner_test::ReadWholeFile(L"C:\\recovered\\kept\\scattered.bin", got));
    ASSERT_EQ(static_cast<int64_t>(got.size()), TheImage().Find("scattered.bin")->size);
    // The generator repeats one 4096-byte block.
    for (size_t i = 4096; i < got.size(); i += 4096) {
        ASSERT_EQ(got.compare(i, std::min<size_t>(4096, got.size() - i), got, 0, std::min<size_t>(4096, got.size() - i)), 0)
            << "block at " << i;
    }
}

TEST_F(ImageRecovery, NeverOverwritesAndRefusesTheSameVolume) {
    SKIP_WITHOUT_NTFS_IMAGE(TheImage());
    uint32_t slot = SlotOf("docs/small.txt");
    ASSERT_NE(slot, 0u);
    scanner::RecoveryCounter counter;
    ASSERT_TRUE(::CreateDirectoryW(L"C:\\again", nullptr));
    {
        HANDLE h = ::CreateFileW(L"C:\\again\\small.txt", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        DWORD n;
        ::WriteFile(h, "mine", 4, &n, nullptr);
        ::CloseHandle(h);
    }
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(scanner::RecoverToFolder("N:\\docs\\small.txt", "C:\\again\\", slot, counter, &source_),
                  scanner::RecoverStatus::kOk);
    }
    std::string mine, second, third;
    ASSERT_TRUE(scanner_test::ReadWholeFile(L"C:\\again\\small.txt", mine));
    EXPECT_EQ(mine, "mine");
    ASSERT_TRUE(scanner_test::ReadWholeFile(L"C:\\again\\small (2).txt", second));
    ASSERT_TRUE(scanner_test::ReadWholeFile(L"C:\\again\\small (3).txt", third));
    EXPECT_EQ(second, "hello resident world\n");
    EXPECT_EQ(third, second);

    EXPECT_EQ(scanner::RecoverToFolder("N:\\docs\\small.txt", "n:\\out\\", slot, counter, &source_),
              scanner::RecoverStatus::kSameVolume);
}

TEST_F(ImageRecovery, RefusesASlotThatNowHoldsAnotherFile) {
    SKIP_WITHOUT_NTFS_IMAGE(TheImage());
    uint32_t slot = SlotOf("docs/small.txt");
    scanner::RecoveryCounter counter;
    EXPECT_EQ(scanner::RecoverToFolder("N:\\docs\\other.txt", "C:\\mismatch\\", slot, counter, &source_),
              scanner::RecoverStatus::kRecordMismatch);
    EXPECT_EQ(scanner::RecoverToFolder("N:\\docs\\small.txt", "C:\\mismatch\\", 0xFFFFFFF0u, counter, &source_),
              scanner::RecoverStatus::kRecordMismatch);
    // The failed attempts leave no partial files behind.
    EXPECT_EQ(::GetFileAttributesW(L"C:\\mismatch\\other.txt"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(::GetFileAttributesW(L"C:\\mismatch\\small.txt"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(counter.Sectors(), 0u);
}

} // namespace
