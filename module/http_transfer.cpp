#include <winsock2.h>

#include "module/http_transfer.h"

#include <curl/curl.h>

#include <limits>

#include "module/progress_scope.h"
#include "module/proxy_settings.h"
#include "platform/trace.h"

namespace {

// libcurl's own global set-up is not safe to race; do it once.
INIT_ONCE g_curlInit = INIT_ONCE_STATIC_INIT;

BOOL CALLBACK InitCurl(PINIT_ONCE, PVOID, PVOID*) {
    curl_global_init(CURL_GLOBAL_ALL);
    return TRUE;
}

CURL* NewHandle() {
    ::InitOnceExecuteOnce(&g_curlInit, InitCurl, nullptr, nullptr);
    return curl_easy_init();
}

class HeaderList {
public:
    HeaderList() = default;
    ~HeaderList() { if (list_) curl_slist_free_all(list_); }
    HeaderList(const HeaderList&) = delete;
    HeaderList& operator=(const HeaderList&) = delete;
    bool Append(const char* line) {
        curl_slist* next = curl_slist_append(list_, line);
        if (!next) return false;
        list_ = next;
        return true;
    }
    curl_slist* Get() const { return list_; }

private:
    curl_slist* list_ = nullptr;
};

class Easy {
public:
    Easy() : h_(NewHandle()) {}
    ~Easy() { if (h_) curl_easy_cleanup(h_); }
    Easy(const Easy&) = delete;
    Easy& operator=(const Easy&) = delete;
    CURL* Get() const { return h_; }

private:
    CURL* h_;
};

size_t CollectChunk(char* data, size_t size, size_t count, void* user) {
    auto* response = static_cast<std::string*>(user);
    size_t bytes = size * count;
    // A server must not make us hold unlimited memory.
    if (bytes > kHttpMaxResponse - response->size()) return 0;
    response->append(data, bytes);
    return bytes;
}

size_t WriteToWriter(char* data, size_t size, size_t count, void* user) {
    size_t bytes = size * count;
    if (FAILED(static_cast<IDownloadWriter*>(user)->Write(data, bytes))) return 0;
    return bytes;
}

int ReportProgress(void* user, curl_off_t total, curl_off_t now, curl_off_t, curl_off_t) {
    double fraction = total > 0 ? static_cast<double>(now) / static_cast<double>(total) : 0.0;
    return FAILED(static_cast<IDownloadWriter*>(user)->Progress(fraction)) ? 1 : 0;
}

// Sets the headers and the protocols both transfers share. Only HTTP(S):
// addresses come from servers and must not reach local files or other protocols.
CURLcode SetCommon(CURL* h, const char* url, const HeaderList& headers) {
    CURLcode rc;
    if ((rc = curl_easy_setopt(h, CURLOPT_URL, url)) != CURLE_OK) return rc;
    if ((rc = curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https")) != CURLE_OK) return rc;
    if ((rc = curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https")) != CURLE_OK) return rc;
    return curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.Get());
}

// The result of a finished transfer: a failed transfer keeps its own code
// even when a status line arrived (a time-out in the body, say); a status
// other than 200 is the result; 0 only for a complete 200 answer.
int TransferResult(CURL* h, CURLcode performed) {
    if (performed != CURLE_OK) return performed;
    long status = 0;
    CURLcode rc = curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
    if (rc != CURLE_OK) return rc;
    if (status == 200) return 0;
    return status > 0 && status <= std::numeric_limits<int>::max() ? static_cast<int>(status)
                                                                     : static_cast<int>(CURLE_GOT_NOTHING);
}

} // namespace

int HttpPost(const char* url, const char* body, size_t length, std::string& response) {
    response.clear();
    if (!url || (!body && length)) return CURLE_BAD_FUNCTION_ARGUMENT;
    Easy easy;
    CURL* h = easy.Get();
    if (!h) return CURLE_FAILED_INIT;
    HeaderList headers;
    if (!headers.Append("Content-Type: application/x-www-form-urlencoded") ||
        !headers.Append("User-Agent: Mozilla/4.0") || !headers.Append("Accept: */*")) {
        return CURLE_OUT_OF_MEMORY;
    }
    if (length > static_cast<size_t>(std::numeric_limits<long>::max())) return CURLE_BAD_FUNCTION_ARGUMENT;
    std::string collected;
    CURLcode rc;
    if ((rc = SetCommon(h, url, headers)) != CURLE_OK ||
        (rc = curl_easy_setopt(h, CURLOPT_POST, 1L)) != CURLE_OK ||
        (rc = curl_easy_setopt(h, CURLOPT_POSTFIELDS, body ? body : "")) != CURLE_OK ||
        (rc = curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE, static_cast<long>(length))) != CURLE_OK ||
        (rc = curl_easy_setopt(h, CURLOPT_TIMEOUT, 10L)) != CURLE_OK ||
        (rc = curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, 10L)) != CURLE_OK ||
        (rc = curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, CollectChunk)) != CURLE_OK ||
        (rc = curl_easy_setopt(h, CURLOPT_WRITEDATA, &collected)) != CURLE_OK) {
        return rc;
    }
    int proxy = ApplyProxySettings(h);
    if (proxy != CURLE_OK) return proxy;
    int result = TransferResult(h, curl_easy_perform(h));
    if (result == 0) response.swap(collected);
    return result;
}

int HttpDownloadToFile(IDownloadWriter& writer, const char* url) {
    struct CloseAtEnd {
        IDownloadWriter& w;
        ~CloseAtEnd() { w.Close(); }
    } closeAtEnd{writer};
    if (!url) return CURLE_BAD_FUNCTION_ARGUMENT;
    Easy easy;
    CURL* h = easy.Get();
    if (!h) return CURLE_FAILED_INIT;
    HeaderList headers;
    if (!headers.Append("Content-Type: application/octet-stream") || !headers.Append("User-Agent: Mozilla/4.0") ||
        !headers.Append("Accept: */*")) {
        return CURLE_OUT_OF_MEMORY;
    }
    CURLcode rc;
    if ((rc = SetCommon(h, url, headers)) != CURLE_OK ||
        (rc = curl_easy_setopt(h, CURLOPT_HTTPGET, 1L)) != CURLE_OK ||
        (rc = curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, 10L)) != CURLE_OK ||
        // No overall limit (installers are large), but a connection that
        // stalls for a minute is given up instead of holding the worker forever.
        (rc = curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L)) != CURLE_OK ||
        (rc = curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, 60L)) != CURLE_OK ||
        (rc = curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, WriteToWriter)) != CURLE_OK ||
        (rc = curl_easy_setopt(h, CURLOPT_WRITEDATA, static_cast<void*>(&writer))) != CURLE_OK ||
        (rc = curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L)) != CURLE_OK ||
        (rc = curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, ReportProgress)) != CURLE_OK ||
        (rc = curl_easy_setopt(h, CURLOPT_XFERINFODATA, static_cast<void*>(&writer))) != CURLE_OK ||
        (rc = curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L)) != CURLE_OK ||
        // A redirect loop would otherwise never end.
        (rc = curl_easy_setopt(h, CURLOPT_MAXREDIRS, 20L)) != CURLE_OK) {
        return rc;
    }
    int proxy = ApplyProxySettings(h);
    if (proxy != CURLE_OK) return proxy;
    // Without a file there is nothing to download into; an empty answer would
    // otherwise count as success.
    if (FAILED(writer.Open())) return CURLE_WRITE_ERROR;
    return TransferResult(h, curl_easy_perform(h));
}

BOOL EnsureDirectoryExists(const wchar_t* path) {
    if (!path) return FALSE;
    std::wstring text(path);
    // From the fourth character: "C:\" itself is never created.
    for (size_t i = 3; i < text.size(); ++i) {
        if (text[i] != L'\\') continue;
        std::wstring prefix = text.substr(0, i + 1);
        if (::GetFileAttributesW(prefix.c_str()) != INVALID_FILE_ATTRIBUTES) continue;
        if (!::CreateDirectoryW(prefix.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) {
            platform::TraceLastError("EnsureDirectoryExists: CreateDirectoryW");
            return FALSE;
        }
    }
    return TRUE;
}

// ---- CDownloadFile ----

bool CDownloadFile::StopRequested() const noexcept {
    return stopEvent_ && ::WaitForSingleObject(stopEvent_, 0) == WAIT_OBJECT_0;
}

HRESULT CDownloadFile::Open() {
    file_.Close();
    if (!EnsureDirectoryExists(path_.c_str())) return E_FAIL;
    file_.Reset(::CreateFileW(path_.c_str(), GENERIC_ALL, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file_) {
        DWORD error = ::GetLastError();
        platform::TraceLastError("CDownloadFile::Open: CreateFileW");
        return HRESULT_FROM_WIN32(error);
    }
    md5_.Init();
    return S_OK;
}

HRESULT CDownloadFile::Seek(uint64_t offset) {
    if (!file_) return E_HANDLE;
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(offset);
    if (!::SetFilePointerEx(file_.Get(), to, nullptr, FILE_BEGIN)) return HRESULT_FROM_WIN32(::GetLastError());
    return S_OK;
}

HRESULT CDownloadFile::Write(const void* bytes, size_t count) {
    if (!file_) return E_HANDLE;
    const char* p = static_cast<const char*>(bytes);
    while (count > 0) {
        DWORD chunk = count > 0x40000000u ? 0x40000000u : static_cast<DWORD>(count);
        DWORD written = 0;
        if (!::WriteFile(file_.Get(), p, chunk, &written, nullptr)) return HRESULT_FROM_WIN32(::GetLastError());
        if (written == 0) return HRESULT_FROM_WIN32(ERROR_WRITE_FAULT);
        p += written;
        count -= written;
    }
    return StopRequested() ? E_FAIL : S_OK;
}

HRESULT CDownloadFile::Close() {
    if (!file_) return S_FALSE;
    ::SetEndOfFile(file_.Get());
    file_.Close();
    return S_OK;
}

HRESULT CDownloadFile::Progress(double fraction) {
    if (StopRequested()) return E_FAIL;
    if (scope_) scope_->SetValue(fraction);
    return S_OK;
}
