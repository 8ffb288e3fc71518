#include "shell/dock_wnd.h"

CDockWnd::CDockWnd() : CBkDialogImpl<CDockWnd>(116) {}

CDockWnd::~CDockWnd() { DestroyPanels(); }

void CDockWnd::ResetState() { m_bKeepOpen = FALSE; }

HWND CDockWnd::Create(HWND owner, const RECT& rc) { return CBkDialogImpl<CDockWnd>::Create(owner, rc); }

void CDockWnd::DestroyPanels() {
    if (IsWindow()) DestroyWindow();
}

bool CDockWnd::IsExpandedDockRunning() const { return false; }

bool CDockWnd::IsMiniDockVisible() const { return false; }

void CDockWnd::RestoreFromMiniDock() {}

void CDockWnd::SetKeepOpen(BOOL keep) { m_bKeepOpen = keep; }

void CDockWnd::FocusEdit() {}
