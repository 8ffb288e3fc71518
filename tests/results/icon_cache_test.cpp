// The list's icon cache: bounded, keyed by type or by file, and never without
// an icon.
#include <gtest/gtest.h>

#include "results/icon_cache.h"

TEST(IconCache, BoundedWithGenericFallback) {
    CIconCache cache;
    EXPECT_NE(cache.GetItemIcon(L"C:\\Windows", true, true), nullptr);
    EXPECT_NE(cache.GetItemIcon(L"C:\\Windows", false, true), nullptr);
    // Files of one type share one icon; a deleted file still gets its type's.
    HICON a = cache.GetItemIcon(L"C:\\gone\\a.txt", true, false);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(cache.GetItemIcon(L"D:\\other\\b.TXT", true, false), a);
    EXPECT_NE(cache.GetItemIcon(L"C:\\no-extension", true, false), nullptr);
    EXPECT_NE(cache.GetItemIcon(L"C:\\missing\\tool.exe", false, false), nullptr);
    // Many distinct types never grow the cache past its bound.
    for (int i = 0; i < 600; ++i) {
        EXPECT_NE(cache.GetItemIcon(L"C:\\x.t" + std::to_wstring(i), i % 2 == 0, false), nullptr);
        ASSERT_LE(cache.Size(), CIconCache::kMaxEntries);
    }
    EXPECT_EQ(CIconCache::LowerExtension(L"C:\\a.b\\NAME.Txt"), L"txt");
    EXPECT_EQ(CIconCache::LowerExtension(L"C:\\a.b\\name"), L"");
}
