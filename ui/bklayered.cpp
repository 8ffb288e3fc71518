#include "ui/bklayered.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "platform/gdi.h"
#include "platform/trace.h"
#include "ui/bkdlgview.h"

namespace {

// One rendering of the view over a solid background.
bool RenderOver(CBkDialogView& view, int width, int height, uint32_t background, uint32_t* out) {
    void* raw = nullptr;
    platform::Bitmap bitmap(platform::CreateDib32(width, height, &raw));
    platform::MemoryDC memory;
    if (!bitmap || !memory || raw == nullptr) return false;
    uint32_t* bits = static_cast<uint32_t*>(raw);
    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    std::fill(bits, bits + count, background);
    {
        platform::SelectObjectScope select(memory, bitmap.Get());
        ::SetBkMode(memory, TRANSPARENT);
        view.RequestFullRepaint();
        view.DrawDirtyRegion(memory);
        ::GdiFlush();
    }
    std::memcpy(out, bits, count * sizeof(uint32_t));
    return true;
}

} // namespace

BOOL BkRenderLayeredPixels(CBkDialogView& view, int width, int height, uint32_t* pixels) {
    if (width <= 0 || height <= 0 || pixels == nullptr) return FALSE;
    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    std::unique_ptr<uint32_t[]> overWhite(new (std::nothrow) uint32_t[count]);
    if (!overWhite) return FALSE;
    if (!RenderOver(view, width, height, 0xFF000000u, pixels) ||
        !RenderOver(view, width, height, 0xFFFFFFFFu, overWhite.get()))
        return FALSE;
    for (size_t i = 0; i < count; ++i) {
        // Over black a pixel is its premultiplied colour; over white that plus
        // (255 - alpha) in every channel.
        const uint32_t b = pixels[i], w = overWhite[i];
        int spread = 0;
        for (int shift = 0; shift < 24; shift += 8)
            spread = std::max(spread, static_cast<int>((w >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF));
        const uint32_t alpha = static_cast<uint32_t>(255 - spread);
        uint32_t colour = 0;
        for (int shift = 0; shift < 24; shift += 8)
            colour |= std::min((b >> shift) & 0xFFu, alpha) << shift;
        pixels[i] = (alpha << 24) | colour;
    }
    return TRUE;
}

BOOL BkUpdateLayeredView(HWND hwnd, CBkDialogView& view, int fixedHeight) {
    if (hwnd == nullptr || !::IsWindow(hwnd) || !::IsWindowVisible(hwnd)) return FALSE;
    RECT rc;
    if (!::GetWindowRect(hwnd, &rc)) return FALSE;
    const int width = rc.right - rc.left;
    const int height = fixedHeight > 0 ? fixedHeight : rc.bottom - rc.top;
    if (width <= 0 || height <= 0) return FALSE;

    platform::WindowDC screen(nullptr);
    platform::MemoryDC memory(screen);
    void* raw = nullptr;
    platform::Bitmap bitmap(platform::CreateDib32(width, height, &raw));
    if (!screen || !memory || !bitmap || raw == nullptr) return FALSE;
    if (!BkRenderLayeredPixels(view, width, height, static_cast<uint32_t*>(raw))) return FALSE;
    platform::SelectObjectScope select(memory, bitmap.Get());

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
