#include <gtest/gtest.h>

#include <vector>

#include "platform/message_loop.h"
#include "platform/window_impl.h"

namespace {

constexpr UINT kFiltered = WM_APP + 5, kDispatched = WM_APP + 6, kQuit = WM_APP + 7, kInnerLoop = WM_APP + 8;

class Target : public platform::WindowImpl<Target> {
public:
    std::vector<UINT> got;
    int innerResult = -1;

    WINDOW_MAP_BEGIN(Target)
        ON_WINDOW_MESSAGE_RANGE(kFiltered, kDispatched, OnRecord)
        ON_WINDOW_MESSAGE(kQuit, OnQuit)
        ON_WINDOW_MESSAGE(kInnerLoop, OnInnerLoop)
    WINDOW_MAP_END()

    LRESULT OnRecord(UINT msg, WPARAM, LPARAM, BOOL&) { got.push_back(msg); return 0; }
    LRESULT OnQuit(UINT, WPARAM wp, LPARAM, BOOL&) { ::PostQuitMessage(static_cast<int>(wp)); return 0; }
    // A nested loop runs until its own quit and is the thread's current loop meanwhile.
    LRESULT OnInnerLoop(UINT, WPARAM, LPARAM, BOOL&) {
        platform::MessageLoop inner;
        EXPECT_EQ(platform::MessageLoop::Current(), &inner);
        ::PostMessageW(Handle(), kDispatched, 0, 0);
        ::PostMessageW(Handle(), kQuit, 3, 0);
        innerResult = inner.Run();
        ::PostMessageW(Handle(), kQuit, 9, 0);
        return 0;
    }
};

class TakeOne : public platform::MessageFilter {
public:
    explicit TakeOne(UINT t, platform::MessageLoop* removeFrom = nullptr) : take(t), loop(removeFrom) {}
    UINT take;
    platform::MessageLoop* loop;  // set: removes itself when it takes a message
    int asked = 0;

    BOOL PreTranslateMessage(MSG* msg) override {
        ++asked;
        if (msg->message != take) return FALSE;
        if (loop) loop->RemoveMessageFilter(this);
        return TRUE;
    }
};

class PostOnIdle : public platform::IdleHandler {
public:
    HWND target = nullptr;
    int calls = 0;
    BOOL OnIdle() override {
        if (++calls == 1) {
            ::PostMessageW(target, kFiltered, 0, 0);
            ::PostMessageW(target, kDispatched, 0, 0);
        } else if (calls == 2) {
            ::PostMessageW(target, kQuit, 7, 0);
        }
        return FALSE;
    }
};

TEST(MessageLoop, FiltersIdleHandlersAndQuitCode) {
    Target target;
    ASSERT_NE(target.Create(nullptr, nullptr, L"loop", WS_POPUP), nullptr);
    platform::MessageLoop loop;
    TakeOne filter(kFiltered);
    PostOnIdle idle;
    idle.target = target.Handle();
    EXPECT_TRUE(loop.AddMessageFilter(&filter));
    EXPECT_FALSE(loop.AddMessageFilter(&filter));
    EXPECT_TRUE(loop.AddIdleHandler(&idle));

    EXPECT_EQ(loop.Run(), 7);
    // The filter took its message before the window saw it; the idle
    // handlers ran once per dry queue: before the first batch and after it.
    EXPECT_EQ(target.got, (std::vector<UINT>{kDispatched}));
    EXPECT_EQ(idle.calls, 2);
    EXPECT_GE(filter.asked, 3);
    EXPECT_TRUE(loop.RemoveMessageFilter(&filter));
    EXPECT_FALSE(loop.RemoveMessageFilter(&filter));

    // The newest filter is asked first and may remove itself inside the walk.
    TakeOne older(WM_APP), newer(WM_APP, &loop);
    loop.AddMessageFilter(&older);
    loop.AddMessageFilter(&newer);
    MSG msg = {};
    msg.message = WM_APP;
    EXPECT_TRUE(loop.PreTranslateMessage(&msg));
    EXPECT_EQ(older.asked, 0);
    EXPECT_TRUE(loop.PreTranslateMessage(&msg));
    EXPECT_EQ(newer.asked, 1);
    EXPECT_EQ(older.asked, 1);
    msg.message = WM_APP + 1;
    EXPECT_FALSE(loop.PreTranslateMessage(&msg));
    target.DestroyWindow();
}

TEST(MessageLoop, NestedLoopEndsOnItsOwnQuitAndRestoresTheCurrentLoop) {
    Target target;
    ASSERT_NE(target.Create(nullptr, nullptr, L"nested", WS_POPUP), nullptr);
    platform::MessageLoop outer;
    ::PostMessageW(target.Handle(), kInnerLoop, 0, 0);
    EXPECT_EQ(outer.Run(), 9);
    EXPECT_EQ(target.innerResult, 3);
    EXPECT_EQ(target.got, (std::vector<UINT>{kDispatched}));
    EXPECT_EQ(platform::MessageLoop::Current(), &outer);
    target.DestroyWindow();
}

} // namespace
