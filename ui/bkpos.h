#pragma once
// The "pos" attribute of a control: 0, 2 or 4 items, each counted from the
// start of an extent, from its far edge ("-") or from its centre ("|").
#include <windows.h>

struct BkPosItem {
    bool fromCenter = false;
    bool fromFarEdge = false;
    int value = 0;
};

struct BkPosition {
    int count = 0;  // 0 (none), 2 (top-left corner) or 4 (both corners)
    BkPosItem items[4];

    // Parses "x,y" or "x1,y1,x2,y2". An empty text leaves the position as it
    // is and answers false; any other text replaces it and answers true. One
    // or three items are dropped (count 0).
    bool Parse(const char* text);

    // Resolves one item against the extent [start, end].
    static int Resolve(const BkPosItem& item, int start, int end);
};
