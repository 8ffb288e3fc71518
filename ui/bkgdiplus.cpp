#include "ui/bkgdiplus.h"

#include <cmath>
#include <objidl.h>
#include <gdiplus.h>

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

namespace {

// Owners of the flat-API objects, each deleted with its own function.
struct GraphicsHolder {
    GpGraphics* p = nullptr;
    ~GraphicsHolder() { if (p) GdipDeleteGraphics(p); }
};
struct FontHolder {
    GpFont* p = nullptr;
    ~FontHolder() { if (p) GdipDeleteFont(p); }
};
struct BrushHolder {
    GpSolidFill* p = nullptr;
    ~BrushHolder() { if (p) GdipDeleteBrush(p); }
};
struct FormatHolder {
    GpStringFormat* p = nullptr;
    ~FormatHolder() { if (p) GdipDeleteStringFormat(p); }
};

ARGB MakeArgb(COLORREF color, int alpha) {
    if (alpha < 0) alpha = 0;
    if (alpha > 255) alpha = 255;
    return (static_cast<ARGB>(alpha) << 24) | (static_cast<ARGB>(GetRValue(color)) << 16) |
           (static_cast<ARGB>(GetGValue(color)) << 8) | GetBValue(color);
}

// A GDI+ font made from the font currently selected in the DC.
bool FontFromDc(HDC hdc, FontHolder& font) {
    LOGFONTW lf = {};
    HGDIOBJ current = ::GetCurrentObject(hdc, OBJ_FONT);
    if (current == nullptr || ::GetObjectW(current, sizeof(lf), &lf) == 0) return false;
    return GdipCreateFontFromLogfontW(hdc, &lf, &font.p) == Ok;
}

} // namespace

bool BkGdipFillRect(HDC hdc, const RECT& rc, COLORREF color, int alpha) {
    GraphicsHolder graphics;
    if (GdipCreateFromHDC(hdc, &graphics.p) != Ok) return false;
    BrushHolder brush;
    if (GdipCreateSolidFill(MakeArgb(color, alpha), &brush.p) != Ok) return false;
    return GdipFillRectangleI(graphics.p, brush.p, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top) == Ok;
}

bool BkGdipDrawText(HDC hdc, const std::wstring& text, const RECT& box, UINT format, int alpha, int hint) {
    GraphicsHolder graphics;
    if (GdipCreateFromHDC(hdc, &graphics.p) != Ok) return false;
    FontHolder font;
    if (!FontFromDc(hdc, font)) return false;
    BrushHolder brush;
    if (GdipCreateSolidFill(MakeArgb(::GetTextColor(hdc), alpha), &brush.p) != Ok) return false;
    FormatHolder fmt;
    if (GdipCreateStringFormat(0, LANG_NEUTRAL, &fmt.p) != Ok) return false;
    if (format & DT_CENTER) GdipSetStringFormatAlign(fmt.p, StringAlignmentCenter);
    if (format & DT_VCENTER) GdipSetStringFormatLineAlign(fmt.p, StringAlignmentCenter);
    if (format & DT_END_ELLIPSIS) GdipSetStringFormatTrimming(fmt.p, StringTrimmingEllipsisCharacter);
    if (format & DT_WORD_ELLIPSIS) GdipSetStringFormatTrimming(fmt.p, StringTrimmingEllipsisWord);
    if (format & DT_PATH_ELLIPSIS) GdipSetStringFormatTrimming(fmt.p, StringTrimmingEllipsisPath);
    GdipSetTextRenderingHint(graphics.p, static_cast<TextRenderingHint>(hint));
    RectF layout(static_cast<REAL>(box.left), static_cast<REAL>(box.top),
                 static_cast<REAL>(box.right - box.left), static_cast<REAL>(box.bottom - box.top));
    return GdipDrawString(graphics.p, text.c_str(), static_cast<INT>(text.size()), font.p, &layout, fmt.p,
                          brush.p) == Ok;
}

bool BkGdipMeasureText(HDC hdc, const std::wstring& text, int layoutWidth, int layoutHeight, SIZE* size) {
    GraphicsHolder graphics;
    if (GdipCreateFromHDC(hdc, &graphics.p) != Ok) return false;
    FontHolder font;
    if (!FontFromDc(hdc, font)) return false;
    RectF layout(0, 0, static_cast<REAL>(layoutWidth), static_cast<REAL>(layoutHeight));
    RectF bounds;
    if (GdipMeasureString(graphics.p, text.c_str(), static_cast<INT>(text.size()), font.p, &layout, nullptr,
                          &bounds, nullptr, nullptr) != Ok) {
        return false;
    }
    size->cx = static_cast<LONG>(std::ceil(bounds.Width));
    size->cy = static_cast<LONG>(std::ceil(bounds.Height));
    return true;
}
