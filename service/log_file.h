#pragma once
// Text logs of the service program and the module library. Each line is a
// printf-style wide message, stored in the ANSI code page behind a local time
// stamp. The file is opened and closed for every line so that several
// processes can append to the same log.
#include <windows.h>

#include <cstdarg>
#include <cstddef>
#include <memory>
#include <string>

#include "platform/lock.h"

// The lock of one log. Kept as its own small class (with a guard) because the
// module library and the service share this code and nothing else.
class __KCriticalSesion {
public:
    __KCriticalSesion() = default;
    virtual ~__KCriticalSesion() = default;
    __KCriticalSesion(const __KCriticalSesion&) = delete;
    __KCriticalSesion& operator=(const __KCriticalSesion&) = delete;

    void Lock() noexcept { cs_.Enter(); }
    void Unlock() noexcept { cs_.Leave(); }

private:
    platform::CriticalSection cs_;
};

class KLogLockGuard {
public:
    explicit KLogLockGuard(__KCriticalSesion& lock) noexcept : lock_(lock) { lock_.Lock(); }
    ~KLogLockGuard() { lock_.Unlock(); }
    KLogLockGuard(const KLogLockGuard&) = delete;
    KLogLockGuard& operator=(const KLogLockGuard&) = delete;

private:
    __KCriticalSesion& lock_;
};

// Longest message of one line, in characters; the buffer adds CR LF.
constexpr int kLogMessageMax = 25598;
constexpr size_t kLogBufferChars = 25600;
static_assert(kLogBufferChars * sizeof(wchar_t) == 51200, "the format buffer is 51,200 bytes");
static_assert(kLogMessageMax + 2 == static_cast<int>(kLogBufferChars), "message plus CR LF fill the buffer");
// A log this large or larger is moved aside when its module loads.
constexpr ULONGLONG kLogRotateSize = 0x40000;

// One log: enabled flag, file path, lock and format buffer.
class CLogFile {
public:
    CLogFile() = default;
    CLogFile(const CLogFile&) = delete;
    CLogFile& operator=(const CLogFile&) = delete;

    // The per-module log of the module at `modulePath` (null when the path
    // could not be had): "<folder>log\<name without extension>.log", on only
    // when "pemover.dat" in the module's folder says [pemo] log=<non-zero>.
    void SetupModuleLog(const char* modulePath);
    // A named log ("service.log", "update.log"): always on,
    // "<folder>log\<fileName>".
    void SetupNamedLog(const char* modulePath, const char* fileName);

    // Formats and appends one line; answers the message length in
    // characters, or 0 when the log is off, the format is null or no buffer
    // could be had.
    int Write(const wchar_t* format, ...);
    int WriteV(const wchar_t* format, va_list args);

    bool IsEnabled() const noexcept { return enabled_; }
    const std::string& Path() const noexcept { return path_; }

private:
    bool enabled_ = false;
    std::string path_;
    __KCriticalSesion lock_;
    std::unique_ptr<wchar_t[]> buffer_;
};

// Moves a log of kLogRotateSize bytes or more to path + "0", replacing the
// previous copy.
void RotateLogFile(const char* path);

// Full path of the module this code is linked into (the library, not the host
// program), with "/" turned into "\"; false when it cannot be had.
bool GetOwnModulePathA(std::string& path);

// A log of this module set up from its own path and rotated, as the module's
// load-time initialisers do it. The caller keeps it for the process's life.
CLogFile* CreateLoadedModuleLog();
CLogFile* CreateLoadedNamedLog(const char* fileName);
