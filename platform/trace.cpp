#include "platform/trace.h"

#include <cstdarg>
#include <cstdio>

namespace platform {

void Trace(const char* format, ...) {
    char buf[1024];
    va_list args;
    va_start(args, format);
    int n = vsnprintf(buf, sizeof(buf) - 1, format, args);
    va_end(args);
    if (n < 0) return;
    buf[sizeof(buf) - 2] = '\0';
    ::OutputDebugStringA(buf);
}

void TraceW(const wchar_t* format, ...) {
    wchar_t buf[1024];
    va_list args;
    va_start(args, format);
    int n = _vsnwprintf(buf, 1023, format, args);
    va_end(args);
    buf[1023] = L'\0';
    if (n < 0 && buf[0] == L'\0') return;
    ::OutputDebugStringW(buf);
}

void TraceLastError(const char* what) {
    DWORD err = ::GetLastError();
    Trace("%s failed, error %lu", what, static_cast<unsigned long>(err));
    ::SetLastError(err);
}

} // namespace platform
