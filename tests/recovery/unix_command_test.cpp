// The Linux commands the tests use to map drives must leave this program's
// own handles alone. Wine answers CreateProcess for a Linux program with
// success but leaves the process and thread handles uninitialised: whatever
// handle value last sat on the stack. Closing them once closed this
// program's standard output, and GoogleTest's summary went nowhere.
#include <gtest/gtest.h>

#include "platform/handle.h"
#include "tests/support/test_support.h"

namespace {

// Leaves `h` in the stack space the next call of the same depth will use,
// so a value read there uninitialised is this handle.
__attribute__((noinline)) void LeaveOnStack(HANDLE h) {
    volatile HANDLE spill[16384];
    for (auto& slot : spill) slot = h;
}

bool IsOpen(HANDLE h) {
    DWORD flags = 0;
    return ::GetHandleInformation(h, &flags) != 0;
}

TEST(UnixCommand, LeavesTheProgramsOwnHandlesOpen) {
    platform::UniqueHandle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    ASSERT_TRUE(event);
    const HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    const bool outOpen = IsOpen(out);
    for (int i = 0; i < 3; ++i) {
        LeaveOnStack(event.Get());
        EXPECT_EQ(testing_support::RunUnixCommand("true"), 0);
        EXPECT_TRUE(IsOpen(event.Get())) << "after command " << i;
        LeaveOnStack(out);
        EXPECT_EQ(testing_support::RunUnixCommand("exit 3"), 3);
        EXPECT_EQ(IsOpen(out), outOpen) << "after command " << i;
    }
    // The event is still the same object, not a handle value reused since.
    EXPECT_TRUE(::SetEvent(event.Get()));
    EXPECT_EQ(::WaitForSingleObject(event.Get(), 0), WAIT_OBJECT_0);
}

} // namespace
