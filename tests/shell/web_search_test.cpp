// Web-search addresses and the result panel's height rule.
#include <gtest/gtest.h>

#include <climits>

#include "index/search_query.h"
#include "shell/dock_wnd.h"
#include "shell/web_search_url.h"

TEST(WebSearchUrl, QueryIsUtf8AndPercentEncodedInEveryRow) {
    EXPECT_EQ(UrlFormEncode(L"\u7167\u7247 a"), "%E7%85%A7%E7%89%87+a");
    // Nothing in the query can end it or add a parameter of its own.
    EXPECT_EQ(UrlFormEncode(L"a&b=c#d%e+f\tg"), "a%26b%3Dc%23d%25e%2Bf+g");
    EXPECT_EQ(UrlFormEncode(L"\u00e9"), "%C3%A9");  // two UTF-8 bytes, not three

    EXPECT_EQ(BuildWebSearchUrl(0, L"x y"), L"https://www.baidu.com/s?e=utf-8&wd=x+y");
    EXPECT_EQ(BuildWebSearchUrl(SQF_PICTURE | SQF_TODAY, L"\u7167\u7247 a"),
              L"https://image.baidu.com/i?ie=utf-8&word=%E7%85%A7%E7%89%87+a");
    EXPECT_EQ(BuildWebSearchUrl(SQF_ARCHIVE, L"x"), L"https://www.baidu.com/s?ie=utf-8&wd=inurl%3Arar+x");
    // Rows that once took the text as typed encode it too.
    EXPECT_EQ(BuildWebSearchUrl(SQF_VIDEO, L"a&wd=b"), L"https://video.baidu.com/v?ie=utf-8&word=a%26wd%3Db");
    EXPECT_EQ(BuildWebSearchUrl(SQF_DOCUMENT, L"a b"), L"https://wenku.baidu.com/search?word=a+b");
    EXPECT_EQ(BuildWebSearchUrl(SQF_AUDIO, L"#"), L"https://music.baidu.com/search?ie=utf-8&key=%23");
}

TEST(ResultPanelGeometry, HeightFollowsRowsUpToThreeFifthsOfTheFreeHeight) {
    // Bar at y 0, 73 high: the panel starts at 65 on a 1080 screen with a
    // 40 px taskbar, so the free height is 975 and the maximum 585.
    EXPECT_EQ(CDockWnd::ResultPanelHeight(20, 65, 1080, 40), 585);
    EXPECT_EQ(CDockWnd::ResultPanelHeight(3, 65, 1080, 40), 3 * 24 + 127);
    EXPECT_EQ(CDockWnd::ResultPanelHeight(0, 65, 1080, 40), 77);
    // A huge count cannot overflow the multiplication.
    EXPECT_EQ(CDockWnd::ResultPanelHeight(INT_MAX, 65, 1080, 40), 585);
    // The free height is measured from where the bar stands.
    EXPECT_EQ(CDockWnd::ResultPanelHeight(20, 565, 1080, 40), (475 / 5) * 3);
    // A bar at the very bottom still gets the empty panel's height.
    EXPECT_EQ(CDockWnd::ResultPanelHeight(20, 1075, 1080, 40), 77);
}

TEST(ResultPanelGeometry, PanelRunningPastTheScreenKeepsATenthShownWhereItIsPlaced) {
    // On screen, or with more than a tenth plus a pixel showing: its own height.
    EXPECT_EQ(CDockWnd::HeightOnScreen(65, 573, 77, 1024), 573);
    EXPECT_EQ(CDockWnd::HeightOnScreen(1016, 60, 77, 1024), 60);
    EXPECT_EQ(CDockWnd::HeightOnScreen(1016, 80, 77, 1024), 80);
    // Mostly below the screen: cut to ten times the 8 px that show.
    EXPECT_EQ(CDockWnd::HeightOnScreen(1016, 573, 77, 1024), 80);
    // The empty panel's tenth (7) is a pixel short of what shows (8), which
    // would have the window manager move it down: it gets 80.
    EXPECT_EQ(CDockWnd::HeightOnScreen(1016, 77, 77, 1024), 80);
    EXPECT_EQ(CDockWnd::HeightOnScreen(1016, 70, 77, 1024), 80);
    EXPECT_EQ(CDockWnd::HeightOnScreen(1000, 239, 40, 1024), 240);
    EXPECT_EQ(CDockWnd::HeightOnScreen(1000, 229, 40, 1024), 229);
    // Never below its least height.
    EXPECT_EQ(CDockWnd::HeightOnScreen(1020, 573, 77, 1024), 77);
    EXPECT_EQ(CDockWnd::HeightOnScreen(1030, 573, 77, 1024), 77);
}
