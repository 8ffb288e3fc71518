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

namespace {

constexpr LONGLONG kPartMask = 0xFFFF;
constexpr LONG kGenerationMask = 0xFFFFFF;

inline unsigned NextPart(LONGLONG t) { return static_cast<unsigned>(t & kPartMask); }
inline unsigned PartCount(LONGLONG t) { return static_cast<unsigned>((t >> 16) & kPartMask); }
inline unsigned ThreadsAllowed(LONGLONG t) { return static_cast<unsigned>((t >> 32) & 0xFF); }
inline LONG TicketGeneration(LONGLONG t) { return static_cast<LONG>((t >> 40) & kGenerationMask); }

inline LONGLONG MakeTicket(LONG generation, unsigned threads, unsigned parts, unsigned next) {
    return (static_cast<LONGLONG>(generation & kGenerationMask) << 40) | (static_cast<LONGLONG>(threads & 0xFF) << 32) |
           (static_cast<LONGLONG>(parts & kPartMask) << 16) | static_cast<LONGLONG>(next & kPartMask);
}

struct ShareJob {
    CSearchWorkers::Job job;
    void* context;
};

void RunShare(void* context, unsigned, unsigned part) {
    const ShareJob& j = *static_cast<const ShareJob*>(context);
    j.job(j.context, part);
}

} // namespace

void CSearchWorkers::Run(Job job, void* context, unsigned shares) {
    if (shares == 0 || shares > Shares()) shares = Shares();
    ShareJob j{job, context};
    RunParts(&RunShare, &j, shares);
}

bool CSearchWorkers::Claim(LONG generation, unsigned thread, unsigned* part) {
    LONGLONG seen = ::InterlockedCompareExchange64(&ticket_, 0, 0);
    for (;;) {
        if (TicketGeneration(seen) != (generation & kGenerationMask) || thread >= ThreadsAllowed(seen) ||
            NextPart(seen) >= PartCount(seen)) {
            return false;
        }
        const LONGLONG prev = ::InterlockedCompareExchange64(&ticket_, seen + 1, seen);
        if (prev == seen) {
            *part = NextPart(seen);
            return true;
        }
        seen = prev;
    }
}

void CSearchWorkers::RunPart(PartJob job, void* context, unsigned thread, unsigned part) {
    job(context, thread, part);
    const LONGLONG t = ::InterlockedCompareExchange64(&ticket_, 0, 0);
    if (static_cast<unsigned>(::InterlockedIncrement(&partsDone_)) == PartCount(t) &&
        ::InterlockedCompareExchange(&callerSleeping_, 0, 0)) {
        ::SetEvent(done_.Get());
    }
}

void CSearchWorkers::RunParts(PartJob job, void* context, unsigned parts, unsigned threads) {
    if (threads == 0 || threads > Shares()) threads = Shares();
    if (parts <= 1 || threads <= 1) {
        for (unsigned p = 0; p < parts; ++p) job(context, 0, p);
        return;
    }
    // Every part of the previous job is done, so no helper still runs it and
    // none can take a part of this one before the ticket is published.
    job_ = job;
    context_ = context;
    ::InterlockedExchange(&partsDone_, 0);
    // The ticket first: a helper that sees the new generation finds its parts.
    const LONG generation = generation_ + 1;  // written by the caller only
    ::InterlockedExchange64(&ticket_, MakeTicket(generation, threads, parts, 1));  // part 0 is the caller's
    ::InterlockedExchange(&generation_, generation);
    const bool woke = ::InterlockedCompareExchange(&sleepers_, 0, 0) != 0;
    if (woke) ::SetEvent(wake_.Get());
    unsigned part = 0;
    do {
        RunPart(job, context, 0, part);
    } while (Claim(generation, 0, &part));
    // Wait only for parts that helpers took; spin a little, then sleep until
    // the one finishing the last part signals.
    auto pending = [&] { return static_cast<unsigned>(::InterlockedCompareExchange(&partsDone_, 0, 0)) != parts; };
    for (int i = 0; i < kSpinRounds && pending(); ++i) YieldProcessor();
    while (pending()) {
        ::InterlockedExchange(&callerSleeping_, 1);
        if (pending()) ::WaitForSingleObject(done_.Get(), 10);
        ::InterlockedExchange(&callerSleeping_, 0);
    }
    // Helpers that were asleep have been released by now or take the next
    // job: one that missed this one has nothing to do for it.
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
        const LONG generation = ::InterlockedCompareExchange(&pool.generation_, 0, 0);
        h.seenGeneration = generation;
        // Read after the generation: the job of this generation or, when the
        // caller has moved on since, of a later one, whose parts the claim
        // below then refuses.
        PartJob job = pool.job_;
        void* context = pool.context_;
        unsigned part;
        while (pool.Claim(generation, h.share, &part)) pool.RunPart(job, context, h.share, part);
    }
    return 0;
}
