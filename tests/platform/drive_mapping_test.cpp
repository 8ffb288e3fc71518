#include <gtest/gtest.h>

#include "tests/support/test_support.h"

TEST(TestDrives, OnlyMappedDrivesAreVisibleAndFilesLandInTheFolder) {
    // The prefix has C: only; Z: (the Linux root) is removed.
    DWORD before = ::GetLogicalDrives();
    EXPECT_EQ(before & (1u << ('Z' - 'A')), 0u);
    EXPECT_NE(before & (1u << ('C' - 'A')), 0u);

    std::wstring root = testing_support::MapDriveToTempFolder(L'T');
    ASSERT_EQ(root, L"T:\\");
    EXPECT_NE(::GetLogicalDrives() & (1u << ('T' - 'A')), 0u);
    ASSERT_TRUE(testing_support::WriteFileBytes(L"T:\\sub\\hello.txt", "hello"));

    // The file is really in the Linux folder behind the drive.
    EXPECT_EQ(testing_support::RunUnixCommand("grep -q hello \"$(readlink \"$WINEPREFIX/dosdevices/t:\")/sub/hello.txt\""),
              0);
    testing_support::UnmapDrive(L'T');
    EXPECT_EQ(::GetFileAttributesW(L"T:\\sub\\hello.txt"), INVALID_FILE_ATTRIBUTES);
}

TEST(TestDrives, UnixCommandReportsItsExitCode) {
    EXPECT_EQ(testing_support::RunUnixCommand("exit 3"), 3);
    EXPECT_EQ(testing_support::RunUnixCommand("true"), 0);
}
