#include "service/log_file.h"

#include <cstdio>
#include <cwchar>
#include <new>

#include "platform/handle.h"
#include "platform/strconv.h"

// The image base of the module this code is linked into.
extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

void SplitModulePath(const std::string& path, std::string& folder, std::string& name) {
    const size_t slash = path.rfind('\\');
    folder = path.substr(0, slash + 1);
    name = path.substr(slash + 1);
}

// Splits a module path (either slash) into its folder and file name. When
// there is no folder to put a log folder in, sets logPath to where the log
// goes instead (fallback for no path at all, the path plus ".log" for a bare
// name) and returns false.
bool SplitModulePathForLog(const char* modulePath, const std::string& fallback, std::string& logPath,
                           std::string& folder, std::string& name) {
    if (!modulePath || !*modulePath) {
        logPath = fallback;
        return false;
    }
    std::string path(modulePath);
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    if (path.find('\\') == std::string::npos) {
        logPath = path + ".log";
        return false;
    }
    SplitModulePath(path, folder, name);
    return true;
}

} // namespace

bool GetOwnModulePathA(std::string& path) {
    HMODULE self = reinterpret_cast<HMODULE>(&__ImageBase);
    // The wide call and our own conversion: the narrow call loses the
    // "\\?\" prefix of long-form paths under some loaders.
    std::wstring buf(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = ::GetModuleFileNameW(self, &buf[0], static_cast<DWORD>(buf.size()));
        if (n == 0) return false;
        if (n < buf.size()) {
            buf.resize(n);
            break;
        }
        // Cut to fit: try again with room to spare, up to the longest path.
        if (buf.size() >= 32768) return false;
        buf.resize(buf.size() * 2);
    }
    std::string narrow = platform::WideToAnsi(buf);
    if (narrow.empty()) return false;
    for (char& c : narrow) {
        if (c == '/') c = '\\';
    }
    path.swap(narrow);
    return true;
}

void CLogFile::SetupModuleLog(const char* modulePath) {
    enabled_ = false;
    std::string folder, name;
    if (!SplitModulePathForLog(modulePath, ".\\unknown_module.log", path_, folder, name)) return;
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos) name.resize(dot);
    const std::string switchFile = folder + "pemover.dat";
    enabled_ = ::GetPrivateProfileIntA("pemo", "log", 0, switchFile.c_str()) != 0;
    path_ = folder + "log\\" + name + ".log";
    ::CreateDirectoryA((folder + "log").c_str(), nullptr);
}

void CLogFile::SetupNamedLog(const char* modulePath, const char* fileName) {
    enabled_ = true;
    std::string folder, name;
    if (!SplitModulePathForLog(modulePath, std::string(".\\") + fileName, path_, folder, name)) return;
    path_ = folder + "log\\" + fileName;
    ::CreateDirectoryA((folder + "log").c_str(), nullptr);
}

int CLogFile::Write(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    int n = WriteV(format, args);
    va_end(args);
    return n;
}

int CLogFile::WriteV(const wchar_t* format, va_list args) {
    if (!enabled_ || !format) return 0;

    KLogLockGuard guard(lock_);
    if (!buffer_) {
        buffer_.reset(new (std::nothrow) wchar_t[kLogBufferChars]);
        if (!buffer_) return 0;
    }
    wchar_t* buf = buffer_.get();
    buf[0] = L'\0';
    int n = _vsnwprintf(buf, kLogMessageMax, format, args);
    if (n < 0 || n > kLogMessageMax) {
        // Cut: the runtime filled the buffer without a terminator.
        n = static_cast<int>(wcsnlen(buf, kLogMessageMax));
    }
    const int length = n;

    // A "%" in the stored text could be taken for a format by whoever reads
    // the log with printf-style tools; it is stored as "_".
    for (int i = 0; i < n; ++i) {
        if (buf[i] == L'%') buf[i] = L'_';
    }
    buf[n++] = L'\r';
    buf[n++] = L'\n';

    SYSTEMTIME now;
    ::GetLocalTime(&now);
    char stamp[32];
    int stampLength = std::snprintf(stamp, sizeof(stamp), "%04d-%02d-%02d %02d:%02d:%02d ",
                                    now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond);
    if (stampLength < 0 || stampLength >= static_cast<int>(sizeof(stamp))) stampLength = 0;

    try {
        // Stamp and message go out in one append, so that lines of processes
        // sharing the log never mix.
        std::string line(stamp, static_cast<size_t>(stampLength));
        line += platform::WideToAnsi(buf, n);
        // Read access only so that the byte-range lock below is allowed.
        platform::FileHandle file(::CreateFileA(path_.c_str(), FILE_READ_DATA | FILE_APPEND_DATA,
                                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                                nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file) {
            // Other processes append to the same log; not every file system
            // makes appends from two handles atomic, so writers also take a
            // lock on one byte far past any real end of file.
            OVERLAPPED at = {};
            at.Offset = 0xFFFFFFFEu;
            at.OffsetHigh = 0x7FFFFFFFu;
            const BOOL locked = ::LockFileEx(file.Get(), LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &at);
            DWORD written = 0;
            ::WriteFile(file.Get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
            if (locked) ::UnlockFileEx(file.Get(), 0, 1, 0, &at);
        }
    } catch (const std::bad_alloc&) {
        // Out of memory: the line is dropped like one whose file cannot be opened.
    }
    return length;
}

void RotateLogFile(const char* path) {
    if (!path || !*path) return;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return;
    const ULONGLONG size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    if (size < kLogRotateSize) return;
    const std::string previous = std::string(path) + "0";
    ::SetFileAttributesA(previous.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileA(previous.c_str());
    ::SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    ::MoveFileA(path, previous.c_str());
}

CLogFile* CreateLoadedModuleLog() {
    CLogFile* log = new CLogFile;
    std::string path;
    log->SetupModuleLog(GetOwnModulePathA(path) ? path.c_str() : nullptr);
    RotateLogFile(log->Path().c_str());
    return log;
}

CLogFile* CreateLoadedNamedLog(const char* fileName) {
    CLogFile* log = new CLogFile;
    std::string path;
    log->SetupNamedLog(GetOwnModulePathA(path) ? path.c_str() : nullptr, fileName);
    RotateLogFile(log->Path().c_str());
    return log;
}
