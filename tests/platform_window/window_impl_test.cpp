#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "platform/window_impl.h"

namespace {

// Records every message with whether the object was already bound to the
// window that received it.
class RecordingWindow : public platform::WindowImpl<RecordingWindow> {
public:
    struct Seen {
        UINT msg;
        bool bound;
    };
    std::vector<Seen> seen;
    HWND finalHwnd = nullptr;
    bool handleNullAtFinal = false;

    WINDOW_MAP_BEGIN(RecordingWindow)
        ON_WINDOW_MESSAGE_RANGE(0, 0xFFFF, OnAny)
    WINDOW_MAP_END()

    LRESULT OnAny(UINT msg, WPARAM, LPARAM, BOOL& handled) {
        seen.push_back({msg, Handle() != nullptr && Handle() == CurrentMessage()->hwnd});
        handled = FALSE;
        return 0;
    }
    size_t IndexOf(UINT msg) const {
        for (size_t i = 0; i < seen.size(); ++i)
            if (seen[i].msg == msg) return i;
        return seen.size();
    }

protected:
    void OnFinalMessage(HWND hwnd) override {
        finalHwnd = hwnd;
        handleNullAtFinal = Handle() == nullptr;
    }
};

TEST(WindowImpl, BindsAtTheFirstMessageBeforeNcCreate) {
    RecordingWindow w;
    RECT rc = {10, 10, 210, 160};
    HWND hwnd = w.Create(nullptr, &rc, L"bind", WS_OVERLAPPEDWINDOW);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(w.Handle(), hwnd);
    // A framed window is asked for its size limits before WM_NCCREATE; the
    // object must already be there to answer.
    const size_t nccreate = w.IndexOf(WM_NCCREATE);
    ASSERT_LT(nccreate, w.seen.size());
    EXPECT_EQ(w.IndexOf(WM_GETMINMAXINFO), 0u);
    for (const auto& s : w.seen) EXPECT_TRUE(s.bound) << "message 0x" << std::hex << s.msg;
    EXPECT_EQ(platform::WindowImplBase::FromHandle(hwnd), &w);
    EXPECT_TRUE(w.DestroyWindow());
}

TEST(WindowImpl, UnbindsAtNcDestroyThenCallsFinalMessage) {
    HWND hwnd = nullptr;
    {
        RecordingWindow w;
        HWND first = w.Create(nullptr, nullptr, L"unbind", WS_POPUP);
        ASSERT_NE(first, nullptr);
        ::DestroyWindow(first);
        EXPECT_EQ(w.Handle(), nullptr);
        EXPECT_EQ(w.finalHwnd, first);
        EXPECT_TRUE(w.handleNullAtFinal);
        ASSERT_FALSE(w.seen.empty());
        EXPECT_EQ(w.seen.back().msg, static_cast<UINT>(WM_NCDESTROY));
        // The object can make a new window afterwards.
        hwnd = w.Create(nullptr, nullptr, L"again", WS_POPUP);
        ASSERT_NE(hwnd, nullptr);
    }
    // Destroying the object first destroys its window.
    EXPECT_FALSE(::IsWindow(hwnd));
}

// Destroys itself in OnFinalMessage and then scribbles over its memory, so
// any later write by the window layer would show in the pattern.
class SelfDeletingWindow : public platform::WindowImpl<SelfDeletingWindow> {
public:
    static constexpr unsigned char kPattern = 0xA5;
    static constexpr UINT kDestroyFromHandler = WM_APP + 1;
    bool* finalWhileInHandler = nullptr;
    bool inHandler = false;

    WINDOW_MAP_BEGIN(SelfDeletingWindow)
        ON_WINDOW_MESSAGE(kDestroyFromHandler, OnDestroyMe)
    WINDOW_MAP_END()

    LRESULT OnDestroyMe(UINT, WPARAM, LPARAM, BOOL&) {
        inHandler = true;
        ::DestroyWindow(Handle());
        // Still alive here: the final call waits for this handler to return.
        inHandler = false;
        return 42;
    }

protected:
    void OnFinalMessage(HWND) override {
        if (finalWhileInHandler) *finalWhileInHandler = inHandler;
        void* self = this;
        this->~SelfDeletingWindow();
        std::memset(self, kPattern, sizeof(SelfDeletingWindow));
    }
};

bool AllPattern(const unsigned char* p, size_t n) {
    for (size_t i = 0; i < n; ++i)
        if (p[i] != SelfDeletingWindow::kPattern) return false;
    return true;
}

TEST(WindowImpl, ObjectIsNotTouchedAfterFinalMessage) {
    alignas(SelfDeletingWindow) unsigned char storage[sizeof(SelfDeletingWindow)];
    HWND hwnd = (new (storage) SelfDeletingWindow)->Create(nullptr, nullptr, L"self", WS_POPUP);
    ASSERT_NE(hwnd, nullptr);
    ::DestroyWindow(hwnd);
    EXPECT_TRUE(AllPattern(storage, sizeof(storage)));

    // Destroyed from inside a handler: the final call waits for the handler to return.
    auto* w = new (storage) SelfDeletingWindow;
    bool finalWhileInHandler = true;
    w->finalWhileInHandler = &finalWhileInHandler;
    hwnd = w->Create(nullptr, nullptr, L"nested", WS_POPUP);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(::SendMessageW(hwnd, SelfDeletingWindow::kDestroyFromHandler, 0, 0), 42);
    EXPECT_FALSE(::IsWindow(hwnd));
    EXPECT_FALSE(finalWhileInHandler);
    EXPECT_TRUE(AllPattern(storage, sizeof(storage)));
}

// Chaining: Derived's map runs first, then Base's where Derived declines.
std::vector<std::string> g_log;

LRESULT Logged(const std::string& line, LRESULT result) {
    g_log.push_back(line);
    return result;
}

class BaseWindow : public platform::WindowImpl<BaseWindow> {
public:
    WINDOW_MAP_BEGIN(BaseWindow)
        ON_WINDOW_MESSAGE(WM_APP + 1, OnBase)
        ON_WINDOW_MESSAGE(WM_APP + 2, OnBase)
        ON_WINDOW_MESSAGE(WM_APP + 3, OnBase)
        ON_WINDOW_COMMAND(IDOK, OnBaseCommand)
    WINDOW_MAP_END()

    LRESULT OnBase(UINT msg, WPARAM, LPARAM, BOOL&) { return Logged("base " + std::to_string(msg - WM_APP), 100 + (msg - WM_APP)); }
    LRESULT OnBaseCommand(WORD, WORD id, HWND, BOOL&) { return Logged("base command " + std::to_string(id), 0); }
};

class DerivedWindow : public BaseWindow {
public:
    static const wchar_t* WindowClassName() { return L"LumsekTestDerived"; }

    WINDOW_MAP_BEGIN(DerivedWindow)
        ON_WINDOW_MESSAGE(WM_APP + 1, OnDeclines)
        ON_WINDOW_MESSAGE(WM_APP + 2, OnTakes)
        ON_WINDOW_COMMAND_CODE(7, EN_CHANGE, OnChange)
        ON_WINDOW_COMMAND_RANGE(20, 29, OnRange)
        ON_WINDOW_NOTIFY_CODE(1000, 13, OnNotifyCode)
        ON_WINDOW_NOTIFY(1000, OnNotifyAny)
        WINDOW_MAP_CHAIN(BaseWindow)
        ON_WINDOW_MESSAGE(WM_APP + 3, OnAfterChain)
    WINDOW_MAP_END()

    // Not created through WindowImpl<DerivedWindow>: create it through the
    // base template with this class's name and style.
    HWND CreateDerived() {
        platform::WindowClassSpec spec;
        spec.name = WindowClassName();
        spec.style = CS_DBLCLKS;
        spec.proc = &platform::WindowImplBase::ClassWindowProc;
        spec.windowExtra = sizeof(LONG_PTR);
        if (!platform::RegisterWindowClass(spec)) return nullptr;
        return CreateOfClass(spec.name, nullptr, nullptr, L"derived", WS_POPUP, 0, 0, nullptr);
    }

    LRESULT OnDeclines(UINT, WPARAM, LPARAM, BOOL& handled) {
        handled = FALSE;
        return Logged("derived declines", 1);
    }
    LRESULT OnTakes(UINT, WPARAM, LPARAM, BOOL&) { return Logged("derived takes", 2); }
    LRESULT OnAfterChain(UINT, WPARAM, LPARAM, BOOL&) { return Logged("after chain", 3); }
    LRESULT OnChange(WORD code, WORD id, HWND, BOOL&) { return Logged("change " + std::to_string(id) + " " + std::to_string(code), 0); }
    LRESULT OnRange(WORD, WORD id, HWND, BOOL&) { return Logged("range " + std::to_string(id), 0); }
    LRESULT OnNotifyCode(int id, NMHDR* hdr, BOOL&) { return Logged("notify code " + std::to_string(id) + " " + std::to_string(hdr->code), 5); }
    LRESULT OnNotifyAny(int, NMHDR* hdr, BOOL&) { return Logged("notify any " + std::to_string(hdr->code), 6); }
};

TEST(MessageMap, ChainsInOrderAndHonoursTheHandledFlag) {
    DerivedWindow w;
    HWND hwnd = w.CreateDerived();
    ASSERT_NE(hwnd, nullptr);
    EXPECT_TRUE(::GetClassLongPtrW(hwnd, GCL_STYLE) & CS_DBLCLKS);
    // A second registration of the name answers the same class; no name, none.
    platform::WindowClassSpec spec;
    spec.name = DerivedWindow::WindowClassName();
    EXPECT_EQ(platform::RegisterWindowClass(spec), static_cast<ATOM>(::GetClassLongPtrW(hwnd, GCW_ATOM)));
    spec.name = nullptr;
    EXPECT_EQ(platform::RegisterWindowClass(spec), 0);

    g_log.clear();
    EXPECT_EQ(::SendMessageW(hwnd, WM_APP + 1, 0, 0), 101);  // declined, so the base answers
    EXPECT_EQ(::SendMessageW(hwnd, WM_APP + 2, 0, 0), 2);    // taken: the base never sees it
    EXPECT_EQ(::SendMessageW(hwnd, WM_APP + 3, 0, 0), 103);  // the chain stands before the later entry
    EXPECT_EQ(g_log, (std::vector<std::string>{"derived declines", "base 1", "derived takes", "base 3"}));

    g_log.clear();
    ::SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(7, EN_CHANGE), 0);
    ::SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(7, EN_UPDATE), 0);  // other code: nobody
    ::SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(25, 0), 0);
    ::SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(30, 0), 0);        // outside the range: nobody
    ::SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDOK, 0), 0);      // chained to the base
    EXPECT_EQ(g_log, (std::vector<std::string>{"change 7 768", "range 25", "base command 1"}));

    g_log.clear();
    NMHDR hdr = {hwnd, 1000, 13};
    EXPECT_EQ(::SendMessageW(hwnd, WM_NOTIFY, 1000, reinterpret_cast<LPARAM>(&hdr)), 5);
    hdr.code = 3;
    EXPECT_EQ(::SendMessageW(hwnd, WM_NOTIFY, 1000, reinterpret_cast<LPARAM>(&hdr)), 6);
    NMHDR other = {hwnd, 999, 13};
    EXPECT_EQ(::SendMessageW(hwnd, WM_NOTIFY, 999, reinterpret_cast<LPARAM>(&other)), 0);
    EXPECT_EQ(g_log, (std::vector<std::string>{"notify code 1000 13", "notify any 3"}));
    w.DestroyWindow();
}

TEST(Window, WrapperMethodsActOnTheWindow) {
    RecordingWindow w;
    RECT rc = {0, 0, 100, 50};
    ASSERT_NE(w.Create(nullptr, &rc, L"标题", WS_POPUP), nullptr);
    platform::Window plain(w.Handle());
    EXPECT_EQ(plain.GetWindowText(), L"标题");
    EXPECT_TRUE(plain.ModifyStyle(0, WS_DISABLED));
    EXPECT_FALSE(plain.ModifyStyle(0, WS_DISABLED));  // no change
    EXPECT_FALSE(plain.IsWindowEnabled());

    ASSERT_TRUE(plain.CenterWindow());
    RECT wr = plain.GetWindowRect();
    RECT work = {};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_EQ(wr.right - wr.left, 100);
    EXPECT_NEAR((wr.left + wr.right) / 2, (work.left + work.right) / 2, 1);
    EXPECT_NEAR((wr.top + wr.bottom) / 2, (work.top + work.bottom) / 2, 1);

    w.DestroyWindow();
    EXPECT_FALSE(plain.IsWindow());
    EXPECT_FALSE(plain.PostMessage(WM_NULL));  // a gone window takes no posts
}

} // namespace
