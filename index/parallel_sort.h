#pragma once
// Sorting a large array on the search workers: each share sorts one part,
// then the parts are merged pairwise, in parallel, until one run is left.
// The order is that of `less`, which must be a strict total order (ties
// broken by the caller) for the result not to depend on the parts.
#include <algorithm>
#include <cstddef>
#include <vector>

#include "index/search_workers.h"

namespace parallel_sort {

template <class T, class Less>
struct Job {
    T* data;
    T* temp;
    const size_t* bounds;  // parts + 1 part boundaries
    unsigned parts;
    unsigned width;  // parts per run being merged
    Less less;

    static void SortPart(void* context, unsigned share) {
        Job& j = *static_cast<Job*>(context);
        std::sort(j.data + j.bounds[share], j.data + j.bounds[share + 1], j.less);
    }
    static void MergePair(void* context, unsigned share) {
        Job& j = *static_cast<Job*>(context);
        const unsigned first = share * 2 * j.width;
        const unsigned middle = std::min(first + j.width, j.parts);
        const unsigned last = std::min(first + 2 * j.width, j.parts);
        T* const begin = j.data + j.bounds[first];
        std::merge(begin, j.data + j.bounds[middle], j.data + j.bounds[middle], j.data + j.bounds[last],
                   j.temp + j.bounds[first], j.less);
    }
};

// Sorts items[0, n) in `parts` parts (at most the workers' shares). False
// when `stop` was seen set between the steps (the items are then in some
// order of their own).
template <class T, class Less>
bool Sort(T* items, size_t n, Less less, CSearchWorkers& workers, unsigned parts, volatile long* stop) {
    parts = std::min(parts, workers.Shares());
    if (n < 32768 || parts < 2) {
        std::sort(items, items + n, less);
        return !*stop;
    }
    std::vector<size_t> bounds(parts + 1);
    for (unsigned i = 0; i <= parts; ++i) bounds[i] = n * i / parts;
    std::vector<T> temp(n);
    Job<T, Less> job{items, temp.data(), bounds.data(), parts, 1, less};
    workers.Run(&Job<T, Less>::SortPart, &job, parts);
    for (unsigned width = 1; width < parts; width *= 2) {
        if (*stop) return false;
        job.width = width;
        const unsigned pairs = (parts + 2 * width - 1) / (2 * width);
        workers.Run(&Job<T, Less>::MergePair, &job, pairs);
        std::swap(job.data, job.temp);
    }
    if (job.data != items) std::copy(job.data, job.data + n, items);
    return !*stop;
}

template <class T, class Less>
bool Sort(std::vector<T>& items, Less less, CSearchWorkers& workers, unsigned parts, volatile long* stop) {
    return Sort(items.data(), items.size(), less, workers, parts, stop);
}

} // namespace parallel_sort
