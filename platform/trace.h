#pragma once
// Debug-output traces (OutputDebugString), the program's only diagnostic
// channel outside the log files of the module library and the service.
#include <windows.h>

namespace platform {

// printf-style; the text is cut at 1023 characters.
void Trace(const char* format, ...) __attribute__((format(printf, 1, 2)));
void TraceW(const wchar_t* format, ...);
// "<what> failed, error N" with GetLastError(); keeps the last error unchanged.
void TraceLastError(const char* what);

} // namespace platform
