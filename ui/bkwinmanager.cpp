#include "ui/bkwinmanager.h"

namespace {
BkWinManager* g_pManager = nullptr;
}

BkWinManager::BkWinManager() {
    if (g_pManager == nullptr) g_pManager = this;
}

BkWinManager::~BkWinManager() {
    if (g_pManager == this) g_pManager = nullptr;
}

BkWinManager* BkWinManager::GetInstance() { return g_pManager; }

HWND BkWinManager::GetActive() { return g_pManager ? g_pManager->m_hWndActive : nullptr; }

HWND BkWinManager::SetActive(HWND hWnd) {
    if (g_pManager == nullptr) return nullptr;
    HWND previous = g_pManager->m_hWndActive;
    g_pManager->m_hWndActive = hWnd;
    return previous;
}

void BkWinManager::EnterPaintLock() {
    if (g_pManager) g_pManager->m_lock.Enter();
}

void BkWinManager::LeavePaintLock() {
    if (g_pManager) g_pManager->m_lock.Leave();
}
