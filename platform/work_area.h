#pragma once
// Where a window the program opens may stand: wholly inside the work area of
// one monitor, so that the user can always reach it.
#include <windows.h>

namespace platform {

// The work area of the monitor nearest to `rc` (the primary work area when
// no monitor answers).
RECT WorkAreaNear(const RECT& rc);

// `wanted` moved just enough to lie wholly within `area` (its top-left kept
// inside when it is larger than the area).
RECT FitIntoArea(const RECT& wanted, const RECT& area);

// `wanted`, a window placed under `anchor` (hanging from it, or overlapping
// its lower edge), fitted into `area`: where it fits it stays; where it runs
// past the bottom it goes above the anchor, as far above it as it was meant
// to stand below; where there is no room above either, it is moved up just
// enough. Sideways it is only pulled in.
RECT FitUnderAnchorInArea(const RECT& wanted, const RECT& anchor, const RECT& area);

// FitUnderAnchorInArea with the work area of the anchor's monitor.
RECT FitUnderAnchor(const RECT& wanted, const RECT& anchor);

// FitIntoArea with the work area of the monitor `wanted` mostly lies on.
RECT FitIntoWorkArea(const RECT& wanted);

} // namespace platform
