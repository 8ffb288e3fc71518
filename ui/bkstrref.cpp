#include "ui/bkstrref.h"

#include <windows.h>
#include <shlwapi.h>

std::wstring BkExpandStringRefs(std::wstring text, const BkStringLookup& lookup) {
    static const wchar_t kPrefix[] = L"%str";
    const size_t prefixLength = 4;

    size_t pos = 0;
    for (;;) {
        pos = text.find(kPrefix, pos);
        if (pos == std::wstring::npos) break;
        int id = ::StrToIntW(text.c_str() + pos + prefixLength);
        if (id <= 0) break;
        size_t close = text.find(L'%', pos + prefixLength);
        if (close == std::wstring::npos) break;
        const wchar_t* value = lookup ? lookup(id) : nullptr;
        std::wstring replacement = value ? value : L"";
        text.replace(pos, close + 1 - pos, replacement);
        pos += replacement.size();
    }
    return text;
}
