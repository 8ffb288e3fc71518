#include "shell/dock_menu.h"

#include "index/app_context.h"
#include "platform/trace.h"
#include "results/shell_menu.h"
#include "shell/search_ctrl.h"

void ShowDockMenu(HWND owner, int anchorX, BOOL* hold) {
    HINSTANCE instance = GetAppContext()->Instance ? GetAppContext()->Instance : ::GetModuleHandleW(nullptr);
    HMENU menu = ::LoadMenuW(instance, MAKEINTRESOURCEW(107));
    if (menu == nullptr) {
        platform::TraceLastError("LoadMenuW(107)");
        return;
    }
    if (HMENU popup = ::GetSubMenu(menu, 0)) {
        ::CheckMenuItem(popup, 40008, MF_BYCOMMAND | (IsRegexMode() ? MF_CHECKED : MF_UNCHECKED));
        POINT pt = {anchorX, 21};
        ::ClientToScreen(owner, &pt);
        pt.x = ClampXToNearestWorkArea(pt.x, pt.y);
        const BOOL previous = *hold;
        *hold = TRUE;
        ::TrackPopupMenu(popup, TPM_LEFTBUTTON, pt.x, pt.y, 0, owner, nullptr);
        *hold = previous;
    }
    ::DestroyMenu(menu);
}
