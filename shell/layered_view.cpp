#include "shell/layered_view.h"

#include <algorithm>

#include "platform/gdi.h"
#include "platform/trace.h"
#include "shell/shell_messages.h"
#include "ui/bkdlgimpl.h"

namespace {

// The value every pixel starts with. GDI output overwrites it with alpha 0
// and its own colour; a skin blended over it with alpha 0 leaves it as is.
constexpr uint32_t kUntouched = 0x00010203;

} // namespace

void RenderLayeredPixels(CBkDialogView& view, HDC dc, uint32_t* bits, int width, int height) {
    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    std::fill(bits, bits + count, kUntouched);
    ::SetBkMode(dc, TRANSPARENT);
    view.RequestFullRepaint();
    view.DrawDirtyRegion(dc);
    ::GdiFlush();
    for (size_t i = 0; i < count; ++i) {
        uint32_t p = bits[i];
        if (p == kUntouched) {
            bits[i] = 0;
            continue;
        }
        uint32_t a = p >> 24;
        if (a == 0) {
            bits[i] = p | 0xFF000000u;  // painted by plain GDI
            continue;
        }
        // Blended over the start value: keep the colour premultiplied.
        uint32_t b = std::min(p & 0xFF, a), g = std::min((p >> 8) & 0xFF, a), r = std::min((p >> 16) & 0xFF, a);
        bits[i] = (a << 24) | (r << 16) | (g << 8) | b;
    }
}

BOOL UpdateLayeredView(CBkDialogHost& dlg, int bitmapHeight) {
    HWND hwnd = dlg.Handle();
    if (hwnd == nullptr || !::IsWindowVisible(hwnd)) return FALSE;
    RECT rc = {};
    if (!::GetWindowRect(hwnd, &rc)) return FALSE;
    const int width = rc.right - rc.left;
    const int height = bitmapHeight >= 0 ? bitmapHeight : rc.bottom - rc.top;
    if (width <= 0 || height <= 0) return FALSE;

    platform::WindowDC screen(nullptr);
    platform::MemoryDC mem(screen);
    void* raw = nullptr;
    platform::Bitmap bitmap(platform::CreateDib32(width, height, &raw));
    if (!mem || !bitmap || raw == nullptr) {
        platform::Trace("layered repaint: no %dx%d bitmap", width, height);
        return FALSE;
    }
    platform::SelectObjectScope select(mem, bitmap.Get());
    RenderLayeredPixels(dlg.GetViewControl(), mem, static_cast<uint32_t*>(raw), width, height);

    POINT dst = {rc.left, rc.top};
    SIZE size = {width, height};
    POINT src = {0, 0};
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    if (!::UpdateLayeredWindow(hwnd, screen, &dst, &size, mem, &src, 0, &blend, ULW_ALPHA)) {
        platform::TraceLastError("UpdateLayeredWindow");
        return FALSE;
    }
    return TRUE;
}

void MakeLayered(HWND hwnd) {
    ::SetWindowLongPtrW(hwnd, GWL_EXSTYLE, ::GetWindowLongPtrW(hwnd, GWL_EXSTYLE) | WS_EX_LAYERED);
    ::PostMessageW(hwnd, WM_LAYERED_REFRESH, 0, 0);
}
