#pragma once
// A small fork-join pool for the full search: a job is cut into parts, and the
// calling thread and whichever helper threads are awake take the parts in
// turn; Run returns when every part is done. A helper that the system has not
// scheduled in time takes no part and holds up no one -- the caller does the
// rest itself. The helpers sleep between jobs and spin briefly between the
// rounds of one search, when jobs follow each other closely.
#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <vector>

#include "platform/handle.h"
#include "platform/thread.h"

class CSearchWorkers {
public:
    using Job = void (*)(void* context, unsigned share);
    // One part of a job: `thread` (below Shares()) names the thread running
    // it, for working storage of its own; `part` the part.
    using PartJob = void (*)(void* context, unsigned thread, unsigned part);

    // `shares` counts the calling thread; 1 runs everything on the caller.
    explicit CSearchWorkers(unsigned shares);
    ~CSearchWorkers();
    CSearchWorkers(const CSearchWorkers&) = delete;
    CSearchWorkers& operator=(const CSearchWorkers&) = delete;

    unsigned Shares() const { return static_cast<unsigned>(helpers_.size()) + 1; }
    // Runs job(context, i) once for every share i < `shares` (all when 0),
    // share 0 on the caller, the others on whichever threads take them.
    void Run(Job job, void* context, unsigned shares = 0);
    // Runs job(context, thread, p) once for every part p < `parts`, on the
    // caller (part 0 and whatever is left) and on the helpers below
    // `threads` (all when 0) that are awake to take parts.
    void RunParts(PartJob job, void* context, unsigned parts, unsigned threads = 0);

    // Shares worth waking now: the processors that other programs left idle
    // since the last call, plus the caller's own. On a busy machine helper
    // threads only wait for processors.
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
    // Takes the next part of the job of `generation` for `thread`; false when
    // the job is another one, is not for that thread or has no part left.
    bool Claim(LONG generation, unsigned thread, unsigned* part);
    void RunPart(PartJob job, void* context, unsigned thread, unsigned part);

    std::vector<Helper*> helpers_;
    ULONGLONG lastIdle_ = 0, lastTotal_ = 0, lastOwn_ = 0;
    unsigned processors_ = 1;
    // Setting an event is a call into the system (a server round trip under
    // Wine), so each side signals only when the other has said it sleeps:
    // one manual-reset event wakes every sleeping helper at once; the thread
    // finishing the last part sets done_ only for a sleeping caller.
    platform::UniqueHandle wake_;  // manual-reset
    platform::UniqueHandle done_;  // auto-reset
    volatile LONG sleepers_ = 0;
    volatile LONG callerSleeping_ = 0;
    volatile LONG generation_ = 0;
    volatile LONG quit_ = 0;
    // The parts of the current job, handed out by compare-and-swap on one
    // word: bits 0-15 the next part, 16-31 the number of parts, 32-39 the
    // threads allowed, 40-63 the job's generation (its low 24 bits), so that
    // a helper that wakes late can never take a part of a later job.
    volatile LONGLONG ticket_ = 0;
    volatile LONG partsDone_ = 0;
    PartJob volatile job_ = nullptr;
    void* volatile context_ = nullptr;
};

// Hands out [begin, end) `grain` items at a time to whichever share of a job
// asks next, through `taken` (0 when the job starts): a share the system
// holds back leaves its part to the others. False when nothing is left.
inline bool NextGrain(volatile LONG& taken, size_t begin, size_t end, LONG grain, size_t* from, size_t* to) {
    *from = begin + static_cast<size_t>(::InterlockedExchangeAdd(&taken, grain));
    if (*from >= end) return false;
    *to = std::min(end, *from + static_cast<size_t>(grain));
    return true;
}
