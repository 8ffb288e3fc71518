#pragma once
// Sort keys that order ANSI texts as lstrcmpiA does, made without a system
// call per text. The system's key (LCMapStringA with LCMAP_SORTKEY |
// NORM_IGNORECASE) of a text made only of "plain" characters is the run of
// their primary weights, four section marks, then one entry per punctuation
// mark that word sorting sets aside ('-', '\'', control characters): where it
// stands among the primary weights, and its weight. Each plain
// character's weights are read once from the system; a text holding any other
// character (accents, widths, kana, surrogates...) is keyed by the system.
#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

class CSearchWorkers;

class CCollationKeys {
public:
    // The table of the thread locale, built on first use with the workers'
    // help; null when the locale's keys do not have the shape described above
    // (then every key comes from the system).
    static const CCollationKeys* Get(CSearchWorkers& workers);

    // Appends the key of text[0, length) to `out` and answers true, or
    // answers false (out unchanged) when the text holds a character that is
    // not plain. `wide` is the caller's scratch.
    bool AppendKey(const char* text, size_t length, std::string& out, std::vector<wchar_t>& wide) const;

    // Appends only the primary weights of text[0, length), what its key holds
    // before the section marks, and answers true; false (out unchanged) when
    // the text holds a character that is not plain or ends in a lead byte,
    // which a character after it would complete.
    bool AppendPrimary(const char* text, size_t length, std::string& out, std::vector<wchar_t>& wide) const;

    // The system's key, appended to `out`.
    static void AppendSystemKey(LCID locale, const char* text, size_t length, std::string& out);

    LCID Locale() const { return locale_; }

private:
    CCollationKeys() = default;
    // text[0, length) as UTF-16 units in `wide`; false when it cannot be converted.
    bool ToUnits(const char* text, size_t length, std::vector<wchar_t>& wide, size_t* count) const;
    bool Build(CSearchWorkers& workers);
    bool SelfTest() const;
    static void FillUnits(void* context, unsigned share);

    // Per UTF-16 unit: kind in the top byte, weight bytes below.
    enum : uint32_t { kNotPlain = 0, kPrimary2 = 1, kPrimary3 = 2, kSetAside = 3 };
    std::vector<uint32_t> units_;
    LCID locale_ = 0;
    UINT codePage_ = CP_ACP;
    bool asciiIdentity_ = false;
    bool positionByBytes_ = true;
    unsigned shares_ = 1;
};

// How many of the first n bytes of a and b agree, found eight at a time.
inline size_t MatchingBytes(const unsigned char* a, const unsigned char* b, size_t n) {
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t x, y;
        std::memcpy(&x, a + i, 8);
        std::memcpy(&y, b + i, 8);
        if (x != y) return i + static_cast<size_t>(__builtin_ctzll(x ^ y) / 8);
    }
    while (i < n && a[i] == b[i]) ++i;
    return i;
}

// memcmp, inline and eight bytes at a time: keys of one folder's subfolders
// agree on hundreds of bytes, and the runtime's memcmp (Wine's compares byte
// by byte) is a call per comparison.
inline int CompareBytes(const unsigned char* a, const unsigned char* b, size_t n) {
    const size_t same = MatchingBytes(a, b, n);
    return same == n ? 0 : a[same] < b[same] ? -1 : 1;
}

// Two keys as the system orders them: their bytes, then the shorter first.
inline int CompareKeys(const std::string& a, const std::string& b) {
    const size_t shorter = std::min(a.size(), b.size());
    const int c = CompareBytes(reinterpret_cast<const unsigned char*>(a.data()),
                               reinterpret_cast<const unsigned char*>(b.data()), shorter);
    if (c != 0) return c;
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

// Counts the sorts in which lstrcmpiA disagreed with the order of the keys
// (the sort then checked or compared with lstrcmpiA itself): a diagnostic.
extern volatile LONG g_SortKeyDisagreements;
