#include "platform/work_area.h"

#include <algorithm>

namespace platform {

RECT WorkAreaNear(const RECT& rc) {
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    HMONITOR monitor = ::MonitorFromRect(&rc, MONITOR_DEFAULTTONEAREST);
    if (monitor && ::GetMonitorInfoW(monitor, &info)) return info.rcWork;
    RECT area = {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    return area;
}

RECT FitIntoArea(const RECT& wanted, const RECT& area) {
    const LONG w = wanted.right - wanted.left;
    const LONG h = wanted.bottom - wanted.top;
    LONG x = wanted.left;
    LONG y = wanted.top;
    if (x + w > area.right) x = area.right - w;
    if (y + h > area.bottom) y = area.bottom - h;
    x = std::max(x, area.left);
    y = std::max(y, area.top);
    return RECT{x, y, x + w, y + h};
}

RECT FitUnderAnchorInArea(const RECT& wanted, const RECT& anchor, const RECT& area) {
    RECT placed = wanted;
    const LONG h = wanted.bottom - wanted.top;
    if (wanted.bottom > area.bottom) {
        // The same gap above the anchor as was meant below it; a window
        // that overlapped the anchor's lower edge goes right above it.
        const LONG gap = std::max<LONG>(0, wanted.top - anchor.bottom);
        const LONG top = anchor.top - gap - h;
        if (top >= area.top) {
            placed.top = top;
            placed.bottom = top + h;
        }
    }
    return FitIntoArea(placed, area);
}

RECT FitUnderAnchor(const RECT& wanted, const RECT& anchor) {
    return FitUnderAnchorInArea(wanted, anchor, WorkAreaNear(anchor));
}

RECT FitIntoWorkArea(const RECT& wanted) { return FitIntoArea(wanted, WorkAreaNear(wanted)); }

} // namespace platform
