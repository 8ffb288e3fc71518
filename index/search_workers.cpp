#include "index/search_workers.h"

#include "platform/trace.h"

namespace {

unsigned ProcessorCount() {
    SYSTEM_INFO info;
    ::GetSystemInfo(&info);
    return info.dwNumberOfProcessors < 1 ? 1 : info.dwNumberOfProcessors;
}

// Polling before a thread goes to sleep: long enough (a few hundred
// microseconds at most) to bridge the gap between the rounds of one search,
// so that only its first round has to wake the helpers.
constexpr int kSpinRounds = 40000;
} // namespace

CSearchWorkers::CSearchWorkers(unsigned shares)
    : processors_(ProcessorCount()),
      wake_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      done_(::CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
    for (unsigned i = 1; i < shares && wake_ && done_; ++i) {
        auto* h = new Helper;
        h->pool = this;
        h->share = i;
        if (!h->thread.Start(&CSearchWorkers::HelperProc, h)) {
            platform::TraceLastError("CSearchWorkers: helper thread");
            delete h;
            break;  // fewer helpers still give correct results
        }
        helpers_.push_back(h);
    }
}

CSearchWorkers::~CSearchWorkers() {
    ::InterlockedExchange(&quit_, 1);
    if (wake_) ::SetEvent(wake_.Get());
    for (Helper* h : helpers_) {
        h->thread.Join();
        delete h;
    }
}

unsigned CSearchWorkers::DefaultShares() {
    SYSTEM_INFO info;
    ::GetSystemInfo(&info);
    unsigned n = info.dwNumberOfProcessors;
    return n < 1 ? 1 : n > 8 ? 8 : n;
}

namespace {
ULONGLONG Ticks(const FILETIME& ft) { return (static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime; }
} // namespace

unsigned CSearchWorkers::SharesForNow() {
    FILETIME idle, kernel, user, created, exited, ownKernel, ownUser;
    if (!::GetSystemTimes(&idle, &kernel, &user) ||
        !::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &ownKernel, &ownUser)) {
        return Shares();
    }
    ULONGLONG nowIdle = Ticks(idle), nowTotal = Ticks(kernel) + Ticks(user);  // kernel time includes idle
    ULONGLONG nowOwn = Ticks(ownKernel) + Ticks(ownUser);
    ULONGLONG dIdle = nowIdle - lastIdle_, dTotal = nowTotal - lastTotal_, dOwn = nowOwn - lastOwn_;
    bool first = lastTotal_ == 0;
    lastIdle_ = nowIdle;
    lastTotal_ = nowTotal;
    lastOwn_ = nowOwn;
    if (first || dTotal == 0 || nowIdle < dIdle) return Shares();
    // Processor time that was idle or ours, in processors.
    double free = static_cast<double>(dIdle + dOwn) / static_cast<double>(dTotal) * processors_;
    unsigned n = static_cast<unsigned>(free + 0.5);
    return n < 1 ? 1 : n > Shares() ? Shares() : n;
}

void CSearchWorkers::Run(Job job, void* context, unsigned shares) {
    if (shares == 0 || shares > Shares()) shares = Shares();
    if (shares <= 1) {
        job(context, 0);
        return;
    }
    job_ = job;
    context_ = context;
    active_ = shares - 1;
    ::InterlockedExchange(&remaining_, static_cast<LONG>(shares - 1));
    ::InterlockedIncrement(&generation_);  // publishes job_, context_ and active_
    const bool woke = ::InterlockedCompareExchange(&sleepers_, 0, 0) != 0;
    if (woke) ::SetEvent(wake_.Get());
    job(context, 0);
    // Spin a little for the helpers, then sleep until the last one signals.
    for (int i = 0; i < kSpinRounds && ::InterlockedCompareExchange(&remaining_, 0, 0) != 0; ++i) YieldProcessor();
    while (::InterlockedCompareExchange(&remaining_, 0, 0) != 0) {
        ::InterlockedExchange(&callerSleeping_, 1);
        if (::InterlockedCompareExchange(&remaining_, 0, 0) != 0) ::WaitForSingleObject(done_.Get(), 10);
        ::InterlockedExchange(&callerSleeping_, 0);
    }
    // Every helper of this job has taken it; one that sleeps now waits for
    // the next job.
    if (woke) ::ResetEvent(wake_.Get());
}

bool CSearchWorkers::WaitForJob(Helper& h) {
    for (;;) {
        for (int i = 0; i < kSpinRounds; ++i) {
            if (quit_) return false;
            if (::InterlockedCompareExchange(&generation_, 0, 0) != h.seenGeneration) return true;
            YieldProcessor();
        }
        ::InterlockedIncrement(&sleepers_);
        // Check again after announcing the sleep, so that no wake-up is lost:
        // a job published from now on sets the event.
        if (::InterlockedCompareExchange(&generation_, 0, 0) == h.seenGeneration && !quit_) {
            ::WaitForSingleObject(wake_.Get(), INFINITE);
        }
        ::InterlockedDecrement(&sleepers_);
    }
}

unsigned __stdcall CSearchWorkers::HelperProc(void* helper) {
    Helper& h = *static_cast<Helper*>(helper);
    CSearchWorkers& pool = *h.pool;
    while (pool.WaitForJob(h)) {
        h.seenGeneration = ::InterlockedCompareExchange(&pool.generation_, 0, 0);
        if (h.share > pool.active_) continue;  // not needed this time
        pool.job_(pool.context_, h.share);
        if (::InterlockedDecrement(&pool.remaining_) == 0 && ::InterlockedCompareExchange(&pool.callerSleeping_, 0, 0))
            ::SetEvent(pool.done_.Get());
    }
    return 0;
}
