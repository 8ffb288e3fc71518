#include "ui/bklayered.h"

#include "platform/gdi.h"
#include "platform/trace.h"
#include "ui/bkdlgview.h"

BOOL BkUpdateLayeredView(HWND hwnd, CBkDialogView& view, int fixedHeight) {
    if (hwnd == nullptr || !::IsWindow(hwnd) || !::IsWindowVisible(hwnd)) return FALSE;
    RECT rc;
    if (!::GetWindowRect(hwnd, &rc)) return FALSE;
    const int width = rc.right - rc.left;
    const int height = fixedHeight > 0 ? fixedHeight : rc.bottom - rc.top;
    if (width <= 0 || height <= 0) return FALSE;

    platform::WindowDC screen(nullptr);
    platform::MemoryDC memory(screen);
    platform::Bitmap bitmap(platform::CreateDib32(width, height, nullptr));
    if (!screen || !memory || !bitmap) return FALSE;
    platform::SelectObjectScope select(memory, bitmap.Get());
    ::SetBkMode(memory, TRANSPARENT);
    view.RequestFullRepaint();
    view.DrawDirtyRegion(memory);

    POINT destination = {rc.left, rc.top};
    SIZE size = {width, height};
    POINT source = {0, 0};
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    if (!::UpdateLayeredWindow(hwnd, screen, &destination, &size, memory, &source, 0, &blend, ULW_ALPHA)) {
        platform::TraceLastError("UpdateLayeredWindow");
        return FALSE;
    }
    return TRUE;
}
