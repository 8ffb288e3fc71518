#include <gtest/gtest.h>

#include "platform/handle.h"
#include "platform/lock.h"
#include "platform/thread.h"

using platform::CriticalSection;
using platform::ScopedLock;
using platform::Thread;
using platform::UniqueHandle;

namespace {

TEST(Handle, ClosesOnceAfterMovesAndIgnoresTheInvalidValue) {
    HANDLE raw = ::CreateEventW(nullptr, TRUE, FALSE, nullptr), dup = nullptr;
    ASSERT_TRUE(::DuplicateHandle(::GetCurrentProcess(), raw, ::GetCurrentProcess(), &dup, 0, FALSE,
                                  DUPLICATE_SAME_ACCESS));
    {
        UniqueHandle a(raw);
        UniqueHandle b(std::move(a));
        EXPECT_FALSE(a.IsValid());
        EXPECT_EQ(b.Get(), raw);
    }
    DWORD flags = 0;
    EXPECT_FALSE(::GetHandleInformation(raw, &flags));
    EXPECT_TRUE(::GetHandleInformation(dup, &flags));
    ::CloseHandle(dup);

    platform::FileHandle f(::CreateFileW(L"C:\\no\\such\\file.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    f.Close();  // must not call CloseHandle on INVALID_HANDLE_VALUE
    EXPECT_FALSE(f);
}

struct Counter {
    CriticalSection cs;
    long value = 0;  // guarded by cs
};

unsigned __stdcall AddMany(void* arg) {
    auto* c = static_cast<Counter*>(arg);
    for (int i = 0; i < 20000; ++i) {
        ScopedLock lock(c->cs);
        long v = c->value;
        if ((i & 255) == 0) ::Sleep(0);  // widen the window a lost update would need
        c->value = v + 1;
    }
    return 7;
}

unsigned __stdcall WaitForEvent(void* arg) {
    ::WaitForSingleObject(static_cast<HANDLE>(arg), INFINITE);
    return 0;
}

unsigned __stdcall TryTake(void* p) {
    auto* cs = static_cast<CriticalSection*>(p);
    if (!cs->TryEnter()) return 0;
    cs->Leave();
    return 1;
}

TEST(Thread, LockedCountingRestartAndEarlyUnlock) {
    Counter c;
    Thread threads[4];
    for (auto& t : threads) ASSERT_TRUE(t.Start(&AddMany, &c));
    for (auto& t : threads) ASSERT_TRUE(t.Join(30000));
    EXPECT_EQ(c.value, 4 * 20000);
    EXPECT_EQ(threads[0].ExitCode(), 7u);
    EXPECT_FALSE(threads[0].IsRunning());

    // A second start is refused while running; after the end it may start again.
    UniqueHandle ev(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    Thread t;
    ASSERT_TRUE(t.Start(&WaitForEvent, ev.Get()));
    EXPECT_FALSE(t.Start(&WaitForEvent, ev.Get()));
    EXPECT_FALSE(t.Join(50));
    ::SetEvent(ev.Get());
    EXPECT_TRUE(t.Join(10000));
    EXPECT_TRUE(t.Start(&WaitForEvent, ev.Get()));
    EXPECT_TRUE(t.Join(10000));

    // An early Unlock lets another thread take the lock.
    CriticalSection cs;
    ScopedLock lock(cs);
    lock.Unlock();
    ASSERT_TRUE(t.Start(&TryTake, &cs));
    ASSERT_TRUE(t.Join(10000));
    EXPECT_EQ(t.ExitCode(), 1u);
}

} // namespace
