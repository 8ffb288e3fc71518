#include "module/progress_scope.h"

void CProgressScope::SetValue(double value) noexcept {
    // NaN fails both comparisons and would spread to the root; treat it as 0.
    if (!(value >= 0.0)) value = 0.0;
    if (value > 1.0) value = 1.0;
    value_ = value;
    if (parent_) parent_->SetValue(start_ + value * (end_ - start_));
}
