#include <gtest/gtest.h>

#include "tests/support/test_support.h"

namespace {

LRESULT CALLBACK PaintRedProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg != WM_PAINT) return ::DefWindowProcW(hwnd, msg, wp, lp);
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(hwnd, &ps);
    HBRUSH red = ::CreateSolidBrush(RGB(255, 0, 0));
    ::FillRect(dc, &ps.rcPaint, red);
    ::DeleteObject(red);
    ::EndPaint(hwnd, &ps);
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 1);
    return 0;
}

// Real painting under the test display (other tests draw into memory only).
TEST(Window, CreatesShowsAndPaintsUnderTheDisplay) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = PaintRedProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"LumsekPaintTest";
    ASSERT_NE(::RegisterClassW(&wc), 0);
    HWND hwnd = ::CreateWindowExW(0, wc.lpszClassName, L"paint", WS_POPUP | WS_VISIBLE, 10, 10, 120, 80, nullptr,
                                  nullptr, wc.hInstance, nullptr);
    ASSERT_NE(hwnd, nullptr);
    ::UpdateWindow(hwnd);
    ASSERT_TRUE(testing_support::PumpMessagesUntil([&] { return ::GetWindowLongPtrW(hwnd, GWLP_USERDATA) == 1; }, 5000));
    HDC dc = ::GetDC(hwnd);
    EXPECT_EQ(::GetPixel(dc, 60, 40), RGB(255, 0, 0));
    ::ReleaseDC(hwnd, dc);
    ::DestroyWindow(hwnd);
}

} // namespace
