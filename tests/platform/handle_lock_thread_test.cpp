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
    HANDLE raw = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(raw, nullptr);
    HANDLE dup = nullptr;
    ASSERT_TRUE(::DuplicateHandle(::GetCurrentProcess(), raw, ::GetCurrentProcess(), &dup, 0, FALSE,
                                  DUPLICATE_SAME_ACCESS));
    {
        UniqueHandle a(raw);
        UniqueHandle b(std::move(a));
        EXPECT_FALSE(a.IsValid());
        EXPECT_EQ(b.Get(), raw);
    }
    // The original handle is closed: only the duplicate still works.
    DWORD flags = 0;
    EXPECT_FALSE(::GetHandleInformation(raw, &flags));
    EXPECT_TRUE(::GetHandleInformation(dup, &flags));
    ::CloseHandle(dup);

    platform::FileHandle f(::CreateFileW(L"C:\\no\\such\\file.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                                         nullptr));
    EXPECT_FALSE(f.IsValid());
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

TEST(Thread, LockedIncrementsFromFourThreadsAreNotLost) {
    Counter c;
    Thread threads[4];
    for (auto& t : threads) ASSERT_TRUE(t.Start(&AddMany, &c));
    for (auto& t : threads) ASSERT_TRUE(t.Join(30000));
    EXPECT_EQ(c.value, 4 * 20000);
    EXPECT_EQ(threads[0].ExitCode(), 7u);
    EXPECT_FALSE(threads[0].IsRunning());
}

unsigned __stdcall WaitForEvent(void* arg) {
    ::WaitForSingleObject(static_cast<HANDLE>(arg), INFINITE);
    return 0;
}

TEST(Thread, RefusesSecondStartWhileRunningAndRestartsAfterEnd) {
    UniqueHandle ev(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    Thread t;
    ASSERT_TRUE(t.Start(&WaitForEvent, ev.Get()));
    EXPECT_TRUE(t.IsRunning());
    EXPECT_FALSE(t.Start(&WaitForEvent, ev.Get()));
    EXPECT_FALSE(t.Join(50));
    ::SetEvent(ev.Get());
    EXPECT_TRUE(t.Join(10000));
    EXPECT_TRUE(t.Start(&WaitForEvent, ev.Get()));  // the event is still set: ends at once
    EXPECT_TRUE(t.Join(10000));
}

struct TryArg {
    CriticalSection* cs;
    bool took;
};

unsigned __stdcall TryTake(void* p) {
    auto* a = static_cast<TryArg*>(p);
    a->took = a->cs->TryEnter();
    if (a->took) a->cs->Leave();
    return 0;
}

TEST(Lock, ScopedLockUnlockEarlyReleases) {
    CriticalSection cs;
    ScopedLock lock(cs);
    lock.Unlock();
    // Another thread must now be able to take it.
    TryArg arg{&cs, false};
    Thread t;
    ASSERT_TRUE(t.Start(&TryTake, &arg));
    ASSERT_TRUE(t.Join(10000));
    EXPECT_TRUE(arg.took);
}

} // namespace
