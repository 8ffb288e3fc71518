#include <gtest/gtest.h>

#include <vector>

#include "platform/window_impl.h"

namespace {

// Swallows 'x' and WM_SYSCOMMAND, notes every other key and lets the edit have it.
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

HWND CreateWindowOf(const wchar_t* cls, HWND parent) {
    return ::CreateWindowExW(0, cls, L"", parent ? WS_CHILD : WS_POPUP, 0, 0, 200, 24, parent, nullptr,
                             ::GetModuleHandleW(nullptr), nullptr);
}

std::wstring Type(HWND edit, const wchar_t* text) {
    for (; *text; ++text) ::SendMessageW(edit, WM_CHAR, *text, 1);
    return platform::Window(edit).GetWindowText();
}

TEST(Subclass, TakesSomeMessagesForwardsTheRestAndUnbinds) {
    HWND edit = CreateWindowOf(L"EDIT", nullptr);
    ASSERT_NE(edit, nullptr);
    WNDPROC original = reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(edit, GWLP_WNDPROC));
    FilteringEdit filter, second;
    ASSERT_TRUE(filter.SubclassWindow(edit));
    EXPECT_EQ(platform::WindowImplBase::FromHandle(edit), &filter);
    EXPECT_FALSE(second.SubclassWindow(edit));  // one object per window
    EXPECT_FALSE(filter.SubclassWindow(edit));  // and one window per object

    EXPECT_EQ(Type(edit, L"axb"), L"ab");
    EXPECT_EQ(filter.passed, (std::vector<WPARAM>{L'a', L'b'}));
    ::SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"hello"));
    EXPECT_EQ(::SendMessageW(edit, WM_GETTEXTLENGTH, 0, 0), 5);
    EXPECT_EQ(::SendMessageW(edit, WM_SYSCOMMAND, SC_CLOSE, 0), 0);
    EXPECT_TRUE(::IsWindow(edit));

    EXPECT_EQ(filter.UnsubclassWindow(), edit);
    EXPECT_EQ(reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(edit, GWLP_WNDPROC)), original);
    EXPECT_EQ(platform::WindowImplBase::FromHandle(edit), nullptr);
    ::SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
    EXPECT_EQ(Type(edit, L"x"), L"x");
    EXPECT_EQ(filter.finals, 0);
    EXPECT_TRUE(second.SubclassWindow(edit));  // once free, another object may take it
    EXPECT_EQ(second.UnsubclassWindow(), edit);
    ::DestroyWindow(edit);
    EXPECT_FALSE(filter.SubclassWindow(edit));  // nor dead windows
    EXPECT_FALSE(filter.SubclassWindow(nullptr));

    // A control destroyed with its parent unbinds and gets its final call.
    HWND parent = CreateWindowOf(L"STATIC", nullptr);
    ASSERT_TRUE(filter.SubclassWindow(CreateWindowOf(L"EDIT", parent)));
    ::DestroyWindow(parent);
    EXPECT_EQ(filter.finals, 1);
    EXPECT_FALSE(filter.IsSubclassed());
    EXPECT_EQ(filter.UnsubclassWindow(), nullptr);
}

} // namespace
