#pragma once
// The thin strip left at the top edge of the screen while the bar is
// auto-hidden; hovering over it brings the bar back.
#include <cstdint>

#include "shell/shell_messages.h"
#include "ui/bkdlgimpl.h"

// What the strip hands to the bar, by pointer in the wParam of WM_TRAY_NOTIFY.
struct MiniDockRestore {
    int32_t ListHadFocus;
    int32_t EditVisible;
    int32_t ResultPanelVisible;
    int32_t WebPanelVisible;
    int32_t DockBottom;  // always 73
    int32_t StripLeft;
    int32_t StripTop;
    int32_t StripRight;
    int32_t StripBottom;
    int32_t Reserved;    // 40; not read by the restore
};
static_assert(sizeof(MiniDockRestore) == 40, "MiniDockRestore is ten 32-bit fields");
static_assert(offsetof(MiniDockRestore, StripLeft) == 20, "strip rectangle follows the flags");

class CMiniDock : public CBkDialogImpl<CMiniDock> {
public:
    static const UINT_PTR kHoverTimer = 1;
    static const UINT kHoverPeriod = 250;

    CMiniDock();

    // Fills the record and the owner and starts the hover timer.
    void Setup(BOOL listHadFocus, BOOL editVisible, BOOL resultPanelVisible, BOOL webPanelVisible, int left,
               int top, int right, int bottom, HWND owner);
    // Hands the record to the bar at once, hides and stops. Nothing when the
    // strip was never armed by Setup.
    void RestoreNow();
    bool IsArmed() const { return m_bArmed; }
    const MiniDockRestore& Record() const { return m_restore; }

    // Tells whether a full-screen window is in front (the hover then does
    // nothing); the bar supplies its test.
    void SetFullScreenTest(bool (*test)()) { m_pfnFullScreen = test; }

    WINDOW_MAP_BEGIN(CMiniDock)
        ON_WINDOW_MESSAGE(WM_INITDIALOG, OnInitDialog)
        ON_WINDOW_MESSAGE(WM_LAYERED_REFRESH, OnLayeredRefresh)
        ON_WINDOW_MESSAGE(WM_TIMER, OnTimer)
        WINDOW_MAP_CHAIN(CBkDialogImpl<CMiniDock>)
    WINDOW_MAP_END()

private:
    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnLayeredRefresh(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnTimer(UINT, WPARAM wParam, LPARAM, BOOL& bHandled);
    void OnHoverTimer();
    void Disarm();

    MiniDockRestore m_restore = {};
    HWND m_hOwner = nullptr;
    bool m_bArmed = false;
    bool (*m_pfnFullScreen)() = nullptr;
};
