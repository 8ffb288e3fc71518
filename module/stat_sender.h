#pragma once
// Statistics events, posted to the statistics server from a thread of their
// own so that callers never wait for the network.
#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

#include "platform/handle.h"
#include "platform/lock.h"
#include "platform/thread.h"

// Host (and optional ":port") of the statistics server.
extern const wchar_t kStatHost[];
extern const wchar_t kStatPath[];

// "uuid='%s'&tid='%s'&%s": nothing is escaped.
std::wstring BuildStatRecord(const std::wstring& uuid, const std::wstring& tid, const std::wstring& params);
// "t=%s&c=%s" with the base64 of the record in the ANSI code page.
std::wstring BuildStatBody(const std::wstring& event, const std::wstring& record);

// Bodies waiting beyond this many are refused: a server that never answers
// must not make the queue grow for the whole run.
constexpr size_t kStatQueueLimit = 256;

class CStatSender {
public:
    // Starts the sender thread at once.
    explicit CStatSender(std::wstring host = kStatHost);
    ~CStatSender();
    CStatSender(const CStatSender&) = delete;
    CStatSender& operator=(const CStatSender&) = delete;

    // Builds the body with the machine's identity and queues it; any thread.
    // False (nothing queued) once Shutdown has begun, when the sender thread
    // could not start, or when kStatQueueLimit bodies already wait.
    bool Enqueue(std::wstring event, std::wstring params);
    // Stops the thread and waits for it: the post in progress ends (within
    // its time-out), the bodies taken but not yet posted are dropped.
    void Shutdown();

    // Posts made so far, whatever their outcome.
    size_t SentCount() const noexcept { return sendIndex_.load(); }
    // Bodies waiting for the sender thread.
    size_t PendingCount();

private:
    static unsigned __stdcall ThreadProc(void* self);
    void Run();
    void SendTaken(std::vector<std::wstring>& taken);

    platform::Thread thread_;
    platform::UniqueHandle newItem_;
    platform::UniqueHandle stop_;
    platform::CriticalSection lock_;
    std::vector<std::wstring> queue_;  // bodies not yet taken by the sender
    std::atomic<size_t> sendIndex_{0};
    std::wstring url_;
    std::wstring host_;
    std::atomic<bool> stopping_{false};
};
