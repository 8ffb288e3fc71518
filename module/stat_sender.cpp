#include "module/stat_sender.h"

#include <utility>

#include "module/base64.h"
#include "module/http_transfer.h"
#include "module/machine_identity.h"
#include "platform/strconv.h"
#include "platform/trace.h"

const wchar_t kStatHost[] = L"stat.lumsek.net";
const wchar_t kStatPath[] = L"/dorvu/kemrat/sv_infoc.php";

std::wstring BuildStatRecord(const std::wstring& uuid, const std::wstring& tid, const std::wstring& params) {
    return L"uuid='" + uuid + L"'&tid='" + tid + L"'&" + params;
}

std::wstring BuildStatBody(const std::wstring& event, const std::wstring& record) {
    std::string encoded = Base64EncodeString(platform::WideToAnsi(record));
    return L"t=" + event + L"&c=" + platform::AnsiToWide(encoded);
}

CStatSender::CStatSender(std::wstring host) : host_(std::move(host)) {
    newItem_.Reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
    stop_.Reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (!newItem_ || !stop_) {
        platform::TraceLastError("CStatSender: CreateEventW");
        return;
    }
    thread_.Start(&CStatSender::ThreadProc, this);
}

CStatSender::~CStatSender() { Shutdown(); }

bool CStatSender::Enqueue(std::wstring event, std::wstring params) {
    platform::ScopedLock lock(lock_);
    // Without a running sender the queue would only grow.
    if (stopping_ || !thread_.IsStarted() || queue_.size() >= kStatQueueLimit) return false;
    std::wstring record = BuildStatRecord(GetMachineUuid(), ReadTrackingId(), params);
    queue_.push_back(BuildStatBody(event, record));
    ::SetEvent(newItem_.Get());
    return true;
}

void CStatSender::Shutdown() {
    {
        platform::ScopedLock lock(lock_);
        if (stopping_.exchange(true)) return;
    }
    if (stop_) ::SetEvent(stop_.Get());
    if (thread_.IsStarted()) {
        thread_.Join();
        thread_.Close();
    }
    newItem_.Close();
    stop_.Close();
    platform::ScopedLock lock(lock_);
    queue_.clear();
}

size_t CStatSender::PendingCount() {
    platform::ScopedLock lock(lock_);
    return queue_.size();
}

unsigned __stdcall CStatSender::ThreadProc(void* self) {
    static_cast<CStatSender*>(self)->Run();
    return 0;
}

void CStatSender::Run() {
    HANDLE events[2] = {newItem_.Get(), stop_.Get()};
    for (;;) {
        DWORD wait = ::WaitForMultipleObjects(2, events, FALSE, INFINITE);
        if (wait == WAIT_OBJECT_0) {
            std::vector<std::wstring> taken;
            {
                platform::ScopedLock lock(lock_);
                taken.swap(queue_);
            }
            SendTaken(taken);
        } else if (wait == WAIT_OBJECT_0 + 1) {
            return;
        } else if (wait == WAIT_FAILED) {
            // Waiting again would spin; nothing can be sent any more.
            platform::TraceLastError("CStatSender: WaitForMultipleObjects");
            return;
        }
    }
}

void CStatSender::SendTaken(std::vector<std::wstring>& taken) {
    if (url_.empty()) url_ = L"http://" + host_ + kStatPath;
    std::string url = platform::WideToAnsi(url_);
    // Sent bodies are dropped: nothing reads them again and a long run would
    // otherwise keep every event in memory. A failed post is not retried.
    for (const std::wstring& body : taken) {
        // A shutdown waits for this thread: leave between posts, not after all of them.
        if (stopping_) return;
        std::string bytes = platform::WideToAnsi(body);
        std::string response;
        HttpPost(url.c_str(), bytes.c_str(), bytes.size(), response);
        ++sendIndex_;
    }
}
