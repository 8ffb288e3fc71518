#pragma once
// Blocking HTTP transfers over libcurl, with the configured proxy.
#include <windows.h>

#include <cstdint>
#include <string>
#include <utility>

#include "module/md5.h"
#include "platform/handle.h"

class CProgressScope;

// The receiving end of a download. HRESULT-style results: a failure of
// write or progress aborts the transfer.
class IDownloadWriter {
public:
    virtual HRESULT Open() = 0;
    virtual HRESULT Seek(uint64_t offset) = 0;
    virtual HRESULT Write(const void* bytes, size_t count) = 0;
    virtual HRESULT Close() = 0;
    virtual HRESULT Progress(double fraction) = 0;

protected:
    ~IDownloadWriter() = default;
};

// Writes a download into a file, reports progress to a scope and stops when
// the stop event is set.
class CDownloadFile : public IDownloadWriter {
public:
    CDownloadFile(std::wstring path, CProgressScope* scope = nullptr, HANDLE stopEvent = nullptr)
        : path_(std::move(path)), scope_(scope), stopEvent_(stopEvent) {}
    virtual ~CDownloadFile() { Close(); }
    CDownloadFile(const CDownloadFile&) = delete;
    CDownloadFile& operator=(const CDownloadFile&) = delete;

    void SetPath(std::wstring path) { path_ = std::move(path); }
    const std::wstring& Path() const noexcept { return path_; }
    void SetScope(CProgressScope* scope) noexcept { scope_ = scope; }

    // Creates the file's folders and the file (always anew).
    HRESULT Open() override;
    HRESULT Seek(uint64_t offset) override;
    // E_FAIL after writing when the stop event is set.
    HRESULT Write(const void* bytes, size_t count) override;
    // Cuts the file at the current position and closes it.
    HRESULT Close() override;
    // E_FAIL when the stop event is set; else passes the fraction to the scope.
    HRESULT Progress(double fraction) override;

private:
    bool StopRequested() const noexcept;

    std::wstring path_;
    platform::FileHandle file_;
    CMd5 md5_;  // for an integrity check while writing; not switched on by any caller
    CProgressScope* scope_;
    HANDLE stopEvent_;
};

// Answers posted to HttpPost beyond this many bytes fail the transfer.
constexpr size_t kHttpMaxResponse = 16u << 20;

// Posts a form body ("application/x-www-form-urlencoded"). Result: 0 when the
// server answered 200 (the answer is in `response`); the HTTP status when it
// answered anything else (`response` empty); else the libcurl code (2 when no
// handle could be made, the transfer's code when it failed or timed out).
int HttpPost(const char* url, const char* body, size_t length, std::string& response);

// Fetches `url` (following redirects) into the writer. Result as HttpPost;
// the writer is closed in every case.
int HttpDownloadToFile(IDownloadWriter& writer, const char* url);

// Creates every folder above the last backslash of `path` that is missing.
BOOL EnsureDirectoryExists(const wchar_t* path);
