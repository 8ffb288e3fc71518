#include "ui/bkpos.h"

#include <shlwapi.h>

bool BkPosition::Parse(const char* text) {
    if (text == nullptr || *text == '\0') return false;

    int n = 0;
    const char* p = text;
    while (n < 4) {
        BkPosItem item;
        if (*p == '|') { item.fromCenter = true; ++p; }
        if (*p == '-') { item.fromFarEdge = true; ++p; }
        // Leading digits only; an item without digits is 0.
        item.value = ::StrToIntA(p);
        items[n++] = item;
        const char* comma = ::strchr(p, ',');
        if (comma == nullptr) break;
        p = comma + 1;
    }
    count = (n == 2 || n == 4) ? n : 0;
    return true;
}

int BkPosition::Resolve(const BkPosItem& item, int start, int end) {
    if (item.fromCenter) {
        // Integer division truncates toward zero, as the layouts expect.
        int centre = start + (end - start) / 2;
        return item.fromFarEdge ? centre - item.value : centre + item.value;
    }
    if (item.fromFarEdge) return end - item.value;
    return start + item.value;
}
