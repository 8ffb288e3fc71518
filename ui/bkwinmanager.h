#pragma once
// The framework's one manager per run: the paint lock taken while a view
// draws its dirty region, and the window registered as the owner of the next
// modal dialog. The shell creates it on its run function's frame; the first
// one created becomes the global manager.
#include <windows.h>

#include "platform/lock.h"

class BkWinManager {
public:
    BkWinManager();
    ~BkWinManager();
    BkWinManager(const BkWinManager&) = delete;
    BkWinManager& operator=(const BkWinManager&) = delete;

    // The global manager, or null when none exists.
    static BkWinManager* GetInstance();

    // The registered window (null when none or no manager).
    static HWND GetActive();
    // Registers a window and answers the one registered before. Without a
    // manager nothing is kept and null is answered.
    static HWND SetActive(HWND hWnd);

    // The paint lock; does nothing without a manager.
    static void EnterPaintLock();
    static void LeavePaintLock();

    class PaintLock {
    public:
        PaintLock() : m_pManager(GetInstance()) { if (m_pManager) m_pManager->m_lock.Enter(); }
        ~PaintLock() { if (m_pManager) m_pManager->m_lock.Leave(); }
        PaintLock(const PaintLock&) = delete;
        PaintLock& operator=(const PaintLock&) = delete;
    private:
        BkWinManager* m_pManager;
    };

private:
    platform::CriticalSection m_lock;
    HWND m_hWndActive = nullptr;
};
