#pragma once
// Helpers the benchmark programs share: a millisecond clock and writing a
// whole file of generated data.
#include <windows.h>

#include <algorithm>
#include <string>

#include "platform/handle.h"

namespace bench {

// Milliseconds on the performance counter.
inline double NowMs() {
    static const LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

// Writes `size` bytes as the whole file, in chunks WriteFile takes.
inline bool WriteWhole(const std::wstring& path, const void* data, size_t size) {
    platform::FileHandle f(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    if (!f) return false;
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(size, 1u << 26)), wrote = 0;
        if (!::WriteFile(f.Get(), p, chunk, &wrote, nullptr) || wrote == 0) return false;
        p += wrote;
        size -= wrote;
    }
    return true;
}

} // namespace bench
