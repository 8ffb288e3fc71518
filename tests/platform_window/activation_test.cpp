// Activation a window manager offers (Wine's WM_MOUSEACTIVATE without a
// click in the client area) is refused only while the keyboard is in
// another window of the thread.
#include <gtest/gtest.h>

#include "platform/activation.h"

namespace {

HWND MakePopup(HWND owner) {
    return ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 10, 10, 50, 50, owner, nullptr,
                             ::GetModuleHandleW(nullptr), nullptr);
}

LRESULT Offer(HWND window, WORD hitTest, BOOL* passedOn) {
    BOOL handled = TRUE;
    const LRESULT answer = platform::RefuseOfferedActivation(window, MAKELPARAM(hitTest, WM_LBUTTONDOWN), handled);
    *passedOn = !handled;
    return answer;
}

TEST(OfferedActivation, RefusedOnlyWhileTheKeyboardIsElsewhereInTheProgram) {
    HWND typing = MakePopup(nullptr);
    HWND panel = MakePopup(nullptr);
    ASSERT_TRUE(typing && panel);
    HWND child = ::CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, 0, 0, 20, 20, panel, nullptr,
                                   ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(child);
    BOOL passedOn = FALSE;

    // The user types elsewhere: an offer (caption or menu hit test) is refused,
    ::SetForegroundWindow(typing);
    ::SetFocus(typing);
    ASSERT_EQ(::GetFocus(), typing);
    EXPECT_EQ(Offer(panel, HTCAPTION, &passedOn), MA_NOACTIVATE);
    EXPECT_FALSE(passedOn);
    EXPECT_EQ(Offer(panel, HTMENU, &passedOn), MA_NOACTIVATE);
    // a click into the window is not.
    Offer(panel, HTCLIENT, &passedOn);
    EXPECT_TRUE(passedOn);

    // The keyboard already in the window or one of its children: taken.
    ::SetFocus(child);
    ASSERT_EQ(::GetFocus(), child);
    Offer(panel, HTCAPTION, &passedOn);
    EXPECT_TRUE(passedOn);
    ::SetFocus(panel);
    Offer(panel, HTCAPTION, &passedOn);
    EXPECT_TRUE(passedOn);

    // The focus left in a window since hidden: taken.
    ::SetFocus(typing);
    ::ShowWindow(typing, SW_HIDE);
    if (::GetFocus() == typing) {
        Offer(panel, HTCAPTION, &passedOn);
        EXPECT_TRUE(passedOn);
    }

    // The focus in a zero-sized window (an owner window nobody sees): taken.
    HWND empty = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 0, 0, nullptr, nullptr,
                                   ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(empty);
    ::SetFocus(empty);
    if (::GetFocus() == empty) {
        Offer(panel, HTCAPTION, &passedOn);
        EXPECT_TRUE(passedOn);
    }
    ::DestroyWindow(empty);

    // No focus in the program at all: taken.
    ::SetFocus(nullptr);
    ASSERT_EQ(::GetFocus(), nullptr);
    Offer(panel, HTCAPTION, &passedOn);
    EXPECT_TRUE(passedOn);

    ::DestroyWindow(panel);
    ::DestroyWindow(typing);
}

}  // namespace
