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
    std::vector<std::pair<UINT, bool>> seen;  // message, bound
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

protected:
    void OnFinalMessage(HWND hwnd) override {
        finalHwnd = hwnd;
        handleNullAtFinal = Handle() == nullptr;
    }
};

TEST(WindowImpl, BindsAtTheFirstMessageAndUnbindsAtNcDestroy) {
    HWND hwnd = nullptr;
    {
        RecordingWindow w;
        RECT rc = {10, 10, 210, 160};
        HWND first = w.Create(nullptr, &rc, L"bind", WS_OVERLAPPEDWINDOW);
        ASSERT_NE(first, nullptr);
        // A framed window is asked for its size limits before WM_NCCREATE; the
        // object must already be there to answer.
        ASSERT_FALSE(w.seen.empty());
        EXPECT_EQ(w.seen[0].first, static_cast<UINT>(WM_GETMINMAXINFO));
        for (const auto& s : w.seen) EXPECT_TRUE(s.second) << "message 0x" << std::hex << s.first;
        EXPECT_EQ(platform::WindowImplBase::FromHandle(first), &w);

        ::DestroyWindow(first);
        EXPECT_EQ(w.Handle(), nullptr);
        EXPECT_EQ(w.finalHwnd, first);
        EXPECT_TRUE(w.handleNullAtFinal);
        EXPECT_EQ(w.seen.back().first, static_cast<UINT>(WM_NCDESTROY));
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
    static constexpr UINT kDestroyFromHandler = WM_APP + 1;
    bool* finalWhileInHandler = nullptr;
    bool inHandler = false;

    WINDOW_MAP_BEGIN(SelfDeletingWindow)
        ON_WINDOW_MESSAGE(kDestroyFromHandler, OnDestroyMe)
    WINDOW_MAP_END()

    LRESULT OnDestroyMe(UINT, WPARAM, LPARAM, BOOL&) {
        inHandler = true;
        ::DestroyWindow(Handle());
        inHandler = false;  // still alive here: the final call waits for this handler
        return 42;
    }

protected:
    void OnFinalMessage(HWND) override {
        if (finalWhileInHandler) *finalWhileInHandler = inHandler;
        void* self = this;
        this->~SelfDeletingWindow();
        std::memset(self, 0xA5, sizeof(SelfDeletingWindow));
    }
};

TEST(WindowImpl, ObjectIsNotTouchedAfterFinalMessage) {
    alignas(SelfDeletingWindow) unsigned char storage[sizeof(SelfDeletingWindow)];
    const std::string pattern(sizeof(storage), '\xA5');
    HWND hwnd = (new (storage) SelfDeletingWindow)->Create(nullptr, nullptr, L"self", WS_POPUP);
    ASSERT_NE(hwnd, nullptr);
    ::DestroyWindow(hwnd);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(storage), sizeof(storage)), pattern);

    auto* w = new (storage) SelfDeletingWindow;
    bool finalWhileInHandler = true;
    w->finalWhileInHandler = &finalWhileInHandler;
    hwnd = w->Create(nullptr, nullptr, L"nested", WS_POPUP);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(::SendMessageW(hwnd, SelfDeletingWindow::kDestroyFromHandler, 0, 0), 42);
    EXPECT_FALSE(::IsWindow(hwnd));
    EXPECT_FALSE(finalWhileInHandler);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(storage), sizeof(storage)), pattern);
}

std::vector<std::string> g_log;

LRESULT Logged(const std::string& line, LRESULT result) {
    g_log.push_back(line);
    return result;
}

class BaseWindow : public platform::WindowImpl<BaseWindow> {
public:
    WINDOW_MAP_BEGIN(BaseWindow)
        ON_WINDOW_MESSAGE_RANGE(WM_APP + 1, WM_APP + 3, OnBase)
        ON_WINDOW_COMMAND(IDOK, OnBaseCommand)
    WINDOW_MAP_END()

    LRESULT OnBase(UINT msg, WPARAM, LPARAM, BOOL&) { return Logged("base " + std::to_string(msg - WM_APP), 100 + (msg - WM_APP)); }
    LRESULT OnBaseCommand(WORD, WORD id, HWND, BOOL&) { return Logged("base command " + std::to_string(id), 0); }
};

// Its map runs first, then the base's where it declines.
class DerivedWindow : public BaseWindow {
public:
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

    // Created through the base template with this class's own name and style.
    HWND CreateDerived(platform::WindowClassSpec& spec) {
        spec.name = L"LumsekTestDerived";
        spec.style = CS_DBLCLKS;
        spec.proc = &platform::WindowImplBase::ClassWindowProc;
        spec.windowExtra = sizeof(LONG_PTR);
        if (!platform::RegisterWindowClass(spec)) return nullptr;
        return CreateOfClass(spec.name, nullptr, nullptr, L"derived", WS_POPUP, 0, 0, nullptr);
    }

    LRESULT OnDeclines(UINT, WPARAM, LPARAM, BOOL& handled) { handled = FALSE; return Logged("derived declines", 1); }
    LRESULT OnTakes(UINT, WPARAM, LPARAM, BOOL&) { return Logged("derived takes", 2); }
    LRESULT OnAfterChain(UINT, WPARAM, LPARAM, BOOL&) { return Logged("after chain", 3); }
    LRESULT OnChange(WORD code, WORD id, HWND, BOOL&) { return Logged("change " + std::to_string(id) + " " + std::to_string(code), 0); }
    LRESULT OnRange(WORD, WORD id, HWND, BOOL&) { return Logged("range " + std::to_string(id), 0); }
    LRESULT OnNotifyCode(int id, NMHDR* hdr, BOOL&) { return Logged("notify code " + std::to_string(id) + " " + std::to_string(hdr->code), 5); }
    LRESULT OnNotifyAny(int, NMHDR* hdr, BOOL&) { return Logged("notify any " + std::to_string(hdr->code), 6); }
};

TEST(MessageMap, ChainsInOrderAndHonoursTheHandledFlag) {
    DerivedWindow w;
    platform::WindowClassSpec spec;
    HWND hwnd = w.CreateDerived(spec);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_TRUE(::GetClassLongPtrW(hwnd, GCL_STYLE) & CS_DBLCLKS);
    // A second registration of the name answers the same class; no name, none.
    EXPECT_EQ(platform::RegisterWindowClass(spec), static_cast<ATOM>(::GetClassLongPtrW(hwnd, GCW_ATOM)));
    spec.name = nullptr;
    EXPECT_EQ(platform::RegisterWindowClass(spec), 0);

    NMHDR hdr = {hwnd, 1000, 13}, hdr3 = {hwnd, 1000, 3}, other = {hwnd, 999, 13};
    struct Send { UINT msg; WPARAM wp; LPARAM lp; LRESULT result; };
    const Send sends[] = {
        {WM_APP + 1, 0, 0, 101},  // declined, so the base answers
        {WM_APP + 2, 0, 0, 2},    // taken: the base never sees it
        {WM_APP + 3, 0, 0, 103},  // the chain stands before the later entry
        {WM_COMMAND, MAKEWPARAM(7, EN_CHANGE), 0, 0},
        {WM_COMMAND, MAKEWPARAM(7, EN_UPDATE), 0, 0},  // other code: nobody
        {WM_COMMAND, MAKEWPARAM(25, 0), 0, 0},
        {WM_COMMAND, MAKEWPARAM(30, 0), 0, 0},  // outside the range: nobody
        {WM_COMMAND, MAKEWPARAM(IDOK, 0), 0, 0},
        {WM_NOTIFY, 1000, reinterpret_cast<LPARAM>(&hdr), 5},
        {WM_NOTIFY, 1000, reinterpret_cast<LPARAM>(&hdr3), 6},
        {WM_NOTIFY, 999, reinterpret_cast<LPARAM>(&other), 0},
    };
    for (const Send& s : sends) EXPECT_EQ(::SendMessageW(hwnd, s.msg, s.wp, s.lp), s.result) << s.msg << " " << s.wp;
    EXPECT_EQ(g_log, (std::vector<std::string>{"derived declines", "base 1", "derived takes", "base 3", "change 7 768",
                                               "range 25", "base command 1", "notify code 1000 13", "notify any 3"}));
    w.DestroyWindow();
}

} // namespace
