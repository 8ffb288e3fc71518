#include "index/search_workers.h"

#include "platform/trace.h"

namespace {
// About 20-50 microseconds of polling before a helper goes to sleep.
constexpr int kSpinRounds = 4000;
} // namespace

CSearchWorkers::CSearchWorkers(unsigned shares) : done_(::CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
    for (unsigned i = 1; i < shares; ++i) {
        auto* h = new Helper;
        h->pool = this;
        h->share = i;
        h->wake.Reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
        if (!h->wake || !h->thread.Start(&CSearchWorkers::HelperProc, h)) {
            platform::TraceLastError("CSearchWorkers: helper thread");
            delete h;
            break;  // fewer helpers still give correct results
        }
        helpers_.push_back(h);
    }
}

CSearchWorkers::~CSearchWorkers() {
    ::InterlockedExchange(&quit_, 1);
    for (Helper* h : helpers_) ::SetEvent(h->wake.Get());
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

void CSearchWorkers::Run(Job job, void* context) {
    if (helpers_.empty()) {
        job(context, 0);
        return;
    }
    job_ = job;
    context_ = context;
    ::InterlockedExchange(&remaining_, static_cast<LONG>(helpers_.size()));
    ::InterlockedIncrement(&generation_);  // publishes job_ and context_
    for (Helper* h : helpers_) {
        if (::InterlockedCompareExchange(&h->sleeping, 0, 0)) ::SetEvent(h->wake.Get());
    }
    job(context, 0);
    // Spin a little for the helpers, then sleep until the last one signals.
    for (int i = 0; i < kSpinRounds && ::InterlockedCompareExchange(&remaining_, 0, 0) != 0; ++i) YieldProcessor();
    while (::InterlockedCompareExchange(&remaining_, 0, 0) != 0) ::WaitForSingleObject(done_.Get(), 10);
}

bool CSearchWorkers::WaitForJob(Helper& h) {
    for (;;) {
        for (int i = 0; i < kSpinRounds; ++i) {
            if (quit_) return false;
            if (::InterlockedCompareExchange(&generation_, 0, 0) != h.seenGeneration) return true;
            YieldProcessor();
        }
        ::InterlockedExchange(&h.sleeping, 1);
        // Check again after announcing the sleep, so that no wake-up is lost.
        if (::InterlockedCompareExchange(&generation_, 0, 0) == h.seenGeneration && !quit_) {
            ::WaitForSingleObject(h.wake.Get(), INFINITE);
        }
        ::InterlockedExchange(&h.sleeping, 0);
    }
}

unsigned __stdcall CSearchWorkers::HelperProc(void* helper) {
    Helper& h = *static_cast<Helper*>(helper);
    CSearchWorkers& pool = *h.pool;
    while (pool.WaitForJob(h)) {
        h.seenGeneration = ::InterlockedCompareExchange(&pool.generation_, 0, 0);
        pool.job_(pool.context_, h.share);
        if (::InterlockedDecrement(&pool.remaining_) == 0) ::SetEvent(pool.done_.Get());
    }
    return 0;
}
