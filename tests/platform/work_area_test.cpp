// Windows the bar opens under itself stay wholly on the work area: where
// there is no room below the bar they open above it.
#include <gtest/gtest.h>

#include "platform/work_area.h"

namespace {

const RECT kArea = {0, 0, 1280, 1024};

::testing::AssertionResult SameRect(const RECT& got, const RECT& want) {
    if (got.left == want.left && got.top == want.top && got.right == want.right && got.bottom == want.bottom)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "got " << got.left << "," << got.top << "-" << got.right << ","
                                         << got.bottom << ", expected " << want.left << "," << want.top << "-"
                                         << want.right << "," << want.bottom;
}

TEST(FitUnderAnchor, KeepsThePlaceUnderTheAnchorWhereItFits) {
    const RECT bar = {240, 0, 1040, 73};
    const RECT tip = {718, 81, 1032, 281};
    EXPECT_TRUE(SameRect(platform::FitUnderAnchorInArea(tip, bar, kArea), tip));
    // Down to the last row of the area.
    const RECT low = {240, 700, 1040, 773};
    const RECT lowTip = {718, 781, 1032, 1024};
    EXPECT_TRUE(SameRect(platform::FitUnderAnchorInArea(lowTip, low, kArea), lowTip));
}

TEST(FitUnderAnchor, GoesAboveTheAnchorAtTheSameDistanceWhenThereIsNoRoomBelow) {
    // The bar at the screen's bottom: the tip 8 px under it would be off the
    // screen; it stands 8 px above the bar instead.
    const RECT bar = {240, 951, 1040, 1024};
    const RECT tip = {718, 1032, 1032, 1232};
    EXPECT_TRUE(SameRect(platform::FitUnderAnchorInArea(tip, bar, kArea), RECT{718, 743, 1032, 943}));
    // A popup that overlaps the anchor's lower edge goes right above it.
    const RECT popup = {903, 1006, 1015, 1092};
    EXPECT_TRUE(SameRect(platform::FitUnderAnchorInArea(popup, bar, kArea), RECT{903, 865, 1015, 951}));
}

TEST(FitUnderAnchor, MovesUpJustEnoughWhenThereIsNoRoomAboveEither) {
    const RECT area = {0, 0, 1280, 300};
    const RECT bar = {240, 100, 1040, 173};
    const RECT tip = {718, 181, 1032, 381};
    EXPECT_TRUE(SameRect(platform::FitUnderAnchorInArea(tip, bar, area), RECT{718, 100, 1032, 300}));
}

TEST(FitUnderAnchor, IsPulledInSidewaysAndOntoAnAreaThatDoesNotStartAtZero) {
    // A second monitor right of the first, with a panel of 30 px at its top.
    const RECT area = {1280, 30, 2560, 1024};
    const RECT bar = {2000, 30, 2800, 103};
    const RECT tip = {2478, 111, 2792, 311};
    EXPECT_TRUE(SameRect(platform::FitUnderAnchorInArea(tip, bar, area), RECT{2246, 111, 2560, 311}));
    const RECT left = {900, 111, 1214, 311};
    EXPECT_TRUE(SameRect(platform::FitUnderAnchorInArea(left, bar, area), RECT{1280, 111, 1594, 311}));
}

TEST(FitIntoArea, KeepsTheTopLeftOfAWindowLargerThanTheArea) {
    const RECT area = {0, 30, 640, 480};
    EXPECT_TRUE(SameRect(platform::FitIntoArea(RECT{-50, 400, 750, 971}, area), RECT{0, 30, 800, 601}));
    EXPECT_TRUE(SameRect(platform::FitIntoArea(RECT{600, 470, 700, 500}, area), RECT{540, 450, 640, 480}));
}

} // namespace
