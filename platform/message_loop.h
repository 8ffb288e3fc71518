#pragma once
// The UI thread's message loop with message filters (a window's chance to
// take a keyboard or mouse message before it is translated and dispatched)
// and idle handlers (run once each time the queue runs dry after input).
#include <windows.h>

#include <vector>

namespace platform {

class MessageFilter {
public:
    // TRUE: the message is taken and goes no further.
    virtual BOOL PreTranslateMessage(MSG* msg) = 0;
protected:
    ~MessageFilter() = default;
};

class IdleHandler {
public:
    virtual BOOL OnIdle() = 0;
protected:
    ~IdleHandler() = default;
};

class MessageLoop {
public:
    // The newest loop object of a thread is that thread's current loop until
    // it is destroyed.
    MessageLoop();
    ~MessageLoop();
    MessageLoop(const MessageLoop&) = delete;
    MessageLoop& operator=(const MessageLoop&) = delete;

    // The current loop of the calling thread, or null.
    static MessageLoop* Current();

    // Filters are asked newest first. Adding one twice has no effect.
    // Removal is safe from inside a filter or handler.
    bool AddMessageFilter(MessageFilter* filter);
    bool RemoveMessageFilter(MessageFilter* filter);
    bool AddIdleHandler(IdleHandler* handler);
    bool RemoveIdleHandler(IdleHandler* handler);

    // Runs until WM_QUIT; answers its exit code (the wParam).
    int Run();
    // Asks the filters; TRUE when one took the message.
    BOOL PreTranslateMessage(MSG* msg);
    // Runs every idle handler once.
    void RunIdleHandlers();

    // False for messages that come by themselves (paint, timers): they do not
    // start a new round of idle handlers.
    static bool EndsIdle(const MSG& msg);

private:
    template <class P> static bool Add(std::vector<P*>& list, P* item);
    template <class P> bool Remove(std::vector<P*>& list, P* item);
    void Compact();

    std::vector<MessageFilter*> filters_;
    std::vector<IdleHandler*> idleHandlers_;
    int iterating_ = 0;  // removals inside a walk only clear the slot
    MessageLoop* previous_ = nullptr;
};

} // namespace platform
