#pragma once
// A share of an overall progress: a value 0..1 inside [start, end] of its
// parent's range, passed up to the root on every change. The value is read by
// other threads (the dialogs poll the root), so it is atomic.
#include <atomic>

class CProgressScope {
public:
    CProgressScope() noexcept = default;
    CProgressScope(CProgressScope* parent, double start, double end) noexcept
        : parent_(parent), start_(start), end_(end) {}

    // Clamps to 0..1, stores and passes start + value x (end - start) upwards.
    void SetValue(double value) noexcept;
    double Value() const noexcept { return value_.load(); }
    double Start() const noexcept { return start_; }
    double End() const noexcept { return end_; }
    CProgressScope* Parent() const noexcept { return parent_; }

private:
    CProgressScope* parent_ = nullptr;
    std::atomic<double> value_{0.0};
    double start_ = 0.0;
    double end_ = 1.0;
};
