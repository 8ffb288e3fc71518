// GDI+ runs for the whole test program, as the program itself starts it
// before any window is made.
#include <windows.h>

#include <gdiplus.h>
#include <gtest/gtest.h>

namespace {

class GdiplusEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        Gdiplus::GdiplusStartupInput input;
        ASSERT_EQ(Gdiplus::GdiplusStartup(&token_, &input, nullptr), Gdiplus::Ok);
    }
    void TearDown() override
    {
        // Left running: the image pools keep decoded images until exit and
        // shut their own GDI+ use down then.
    }

private:
    ULONG_PTR token_ = 0;
};

::testing::Environment* const g_gdiplus = ::testing::AddGlobalTestEnvironment(new GdiplusEnvironment);

} // namespace
