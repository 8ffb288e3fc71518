#pragma once
// A small fork-join pool for the full search: the calling thread and a few
// helper threads each run one share of a job, and Run returns when all are
// done. The helpers sleep between jobs and spin briefly between the rounds of
// one search, when jobs follow each other closely.
#include <windows.h>

#include <vector>

#include "platform/handle.h"
#include "platform/thread.h"

class CSearchWorkers {
public:
    using Job = void (*)(void* context, unsigned share);

    // `shares` counts the calling thread; 1 runs everything on the caller.
    explicit CSearchWorkers(unsigned shares);
    ~CSearchWorkers();
    CSearchWorkers(const CSearchWorkers&) = delete;
    CSearchWorkers& operator=(const CSearchWorkers&) = delete;

    unsigned Shares() const { return static_cast<unsigned>(helpers_.size()) + 1; }
    // Runs job(context, i) for shares i < `shares` (all when 0); share 0 runs
    // on the caller.
    void Run(Job job, void* context, unsigned shares = 0);

    // Shares worth waking now: the processors that other programs left idle
    // since the last call, plus the caller's own. On a busy machine helper
    // threads only wait for processors, and every round then waits for them.
    unsigned SharesForNow();

    // Shares to use on this machine: one per processor, at most 8.
    static unsigned DefaultShares();

private:
    struct Helper {
        CSearchWorkers* pool = nullptr;
        unsigned share = 0;
        LONG seenGeneration = 0;
        platform::Thread thread;
    };
    static unsigned __stdcall HelperProc(void* helper);
    bool WaitForJob(Helper& h);

    std::vector<Helper*> helpers_;
    ULONGLONG lastIdle_ = 0, lastTotal_ = 0, lastOwn_ = 0;
    unsigned processors_ = 1;
    // Setting an event is a call into the system (a server round trip under
    // Wine), so each side signals only when the other has said it sleeps:
    // one manual-reset event wakes every sleeping helper at once and stays
    // set until the job is done; the last helper sets done_ only for a
    // sleeping caller.
    platform::UniqueHandle wake_;  // manual-reset
    platform::UniqueHandle done_;  // auto-reset
    volatile LONG sleepers_ = 0;
    volatile LONG callerSleeping_ = 0;
    volatile LONG generation_ = 0;
    volatile LONG remaining_ = 0;
    volatile LONG quit_ = 0;
    unsigned active_ = 0;  // helpers taking part in the current job
    Job job_ = nullptr;
    void* context_ = nullptr;
};
