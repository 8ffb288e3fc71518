#include <gtest/gtest.h>

#include <vector>

#include "platform/window_impl.h"

namespace {

// Swallows 'x' and WM_SYSCOMMAND, notes every other key and lets the edit
// have it.
class FilteringEdit : public platform::WindowImplBase {
public:
    std::vector<WPARAM> passed;
    int finals = 0;

    WINDOW_MAP_BEGIN(FilteringEdit)
        ON_WINDOW_MESSAGE(WM_CHAR, OnChar)
        ON_WINDOW_MESSAGE(WM_SYSCOMMAND, OnSysCommand)
    WINDOW_MAP_END()

    LRESULT OnChar(UINT, WPARAM wp, LPARAM, BOOL& handled) {
        if (wp == L'x') return 0;
        passed.push_back(wp);
        handled = FALSE;
        return 0;
    }
    LRESULT OnSysCommand(UINT, WPARAM, LPARAM, BOOL&) { return 0; }

protected:
    void OnFinalMessage(HWND) override { ++finals; }
};

class OtherEdit : public platform::WindowImplBase {
public:
    WINDOW_MAP_BEGIN(OtherEdit)
    WINDOW_MAP_END()
};

std::wstring TextOf(HWND hwnd) { return platform::Window(hwnd).GetWindowText(); }

void Type(HWND edit, const wchar_t* text) {
    for (; *text; ++text) ::SendMessageW(edit, WM_CHAR, *text, 1);
}

TEST(Subclass, TakesSomeMessagesAndForwardsTheRestToTheEdit) {
    HWND edit = ::CreateWindowExW(0, L"EDIT", L"", WS_POPUP | ES_AUTOHSCROLL, 0, 0, 200, 24, nullptr, nullptr,
                                  ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(edit, nullptr);
    WNDPROC original = reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(edit, GWLP_WNDPROC));

    FilteringEdit filter;
    ASSERT_TRUE(filter.SubclassWindow(edit));
    EXPECT_TRUE(filter.IsSubclassed());
    EXPECT_EQ(filter.Handle(), edit);
    EXPECT_EQ(platform::WindowImplBase::FromHandle(edit), &filter);

    OtherEdit second;
    EXPECT_FALSE(second.SubclassWindow(edit));  // one object per window
    EXPECT_FALSE(filter.SubclassWindow(edit));  // and one window per object

    Type(edit, L"axb");
    EXPECT_EQ(TextOf(edit), L"ab");
    EXPECT_EQ(filter.passed, (std::vector<WPARAM>{L'a', L'b'}));
    // Messages the map does not list reach the edit unchanged.
    ::SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"hello"));
    EXPECT_EQ(::SendMessageW(edit, WM_GETTEXTLENGTH, 0, 0), 5);
    EXPECT_EQ(::SendMessageW(edit, WM_SYSCOMMAND, SC_CLOSE, 0), 0);
    EXPECT_TRUE(::IsWindow(edit));

    EXPECT_EQ(filter.UnsubclassWindow(), edit);
    EXPECT_EQ(filter.Handle(), nullptr);
    EXPECT_EQ(reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(edit, GWLP_WNDPROC)), original);
    EXPECT_EQ(platform::WindowImplBase::FromHandle(edit), nullptr);
    ::SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
    Type(edit, L"x");
    EXPECT_EQ(TextOf(edit), L"x");
    EXPECT_EQ(filter.finals, 0);

    // Once free, another object may take it.
    EXPECT_TRUE(second.SubclassWindow(edit));
    EXPECT_EQ(second.UnsubclassWindow(), edit);
    ::DestroyWindow(edit);
}

TEST(Subclass, DestroyedControlUnbindsAndCallsFinalMessage) {
    HWND parent = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 300, 100, nullptr, nullptr,
                                    ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(parent, nullptr);
    HWND edit = ::CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, 0, 0, 200, 24, parent,
                                  reinterpret_cast<HMENU>(1001), ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(edit, nullptr);
    FilteringEdit filter;
    ASSERT_TRUE(filter.SubclassWindow(edit));
    Type(edit, L"xyz");
    EXPECT_EQ(TextOf(edit), L"yz");

    ::DestroyWindow(parent);  // takes the child with it
    EXPECT_EQ(filter.finals, 1);
    EXPECT_EQ(filter.Handle(), nullptr);
    EXPECT_FALSE(filter.IsSubclassed());
    EXPECT_EQ(filter.UnsubclassWindow(), nullptr);
}

TEST(Subclass, RefusesNullAndDeadWindows) {
    FilteringEdit filter;
    EXPECT_FALSE(filter.SubclassWindow(nullptr));
    HWND edit = ::CreateWindowExW(0, L"EDIT", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(edit, nullptr);
    ::DestroyWindow(edit);
    EXPECT_FALSE(filter.SubclassWindow(edit));
    EXPECT_EQ(filter.Handle(), nullptr);
}

} // namespace
