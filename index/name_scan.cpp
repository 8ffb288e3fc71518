#include "index/name_scan.h"

#include <windows.h>

#include <cstdint>
#include <emmintrin.h>
#include <vector>

namespace namescan {
namespace {

inline unsigned char Fold(unsigned char c) { return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c; }

bool ComputeAsciiIdentity() {
    char bytes[127];
    wchar_t units[127];
    for (int i = 0; i < 127; ++i) bytes[i] = static_cast<char>(i + 1);
    if (::MultiByteToWideChar(CP_ACP, 0, bytes, 127, units, 127) != 127) return false;
    for (int i = 0; i < 127; ++i) {
        if (units[i] != static_cast<wchar_t>(i + 1)) return false;
    }
    return true;
}

struct DecodeTable {
    bool unique = false;
    std::vector<bool> invalidUnits = std::vector<bool>(65536, false);
    // How names split into units: lead bytes, and which single bytes and
    // which two-byte sequences decode validly (each to one unit of its own
    // when `unique`).
    bool lead[256] = {};
    bool validSingle[256] = {};
    std::vector<bool> validPair = std::vector<bool>(65536, false);
};

// Decodes every byte and every lead byte with every trail byte.
DecodeTable ComputeDecodeTable() {
    DecodeTable table;
    CPINFO info;
    if (!::GetCPInfo(CP_ACP, &info) || info.MaxCharSize > 2) return table;
    std::vector<unsigned char> seen(65536, 0);
    // Answers false when the sequence is not one unit of its own; *valid
    // tells whether it decodes without error.
    auto decode = [&](const char* bytes, int length, bool* valid) {
        wchar_t units[4];
        int n = ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, bytes, length, units, 4);
        *valid = n > 0;
        if (n <= 0) {
            n = ::MultiByteToWideChar(CP_ACP, 0, bytes, length, units, 4);
            for (int i = 0; i < n; ++i) table.invalidUnits[units[i]] = true;
            return true;
        }
        if (n != 1 || seen[units[0]]) return false;  // not one unit of its own
        seen[units[0]] = 1;
        return true;
    };
    for (int b = 1; b < 256; ++b) {
        char one[1] = {static_cast<char>(b)};
        bool valid = false;
        if (::IsDBCSLeadByte(static_cast<BYTE>(b))) {
            table.lead[b] = true;
            for (int t = 1; t < 256; ++t) {
                char two[2] = {static_cast<char>(b), static_cast<char>(t)};
                if (!decode(two, 2, &valid)) return table;
                table.validPair[b * 256 + t] = valid;
            }
        } else {
            if (!decode(one, 1, &valid)) return table;
            table.validSingle[b] = valid;
        }
    }
    table.unique = true;
    return table;
}

const DecodeTable& Decoding() {
    static const DecodeTable table = ComputeDecodeTable();
    return table;
}

bool HasSse2() {
#if defined(__x86_64__) || defined(_M_X64)
    return true;
#else
    return ::IsProcessorFeaturePresent(PF_XMMI64_INSTRUCTIONS_AVAILABLE) != FALSE;
#endif
}

const bool g_sse2 = HasSse2();

// Verifies the rest of the pattern after a first-byte hit; the name's NUL
// never equals a pattern byte, so the loop stops inside the name.
inline bool RestMatches(const unsigned char* p, const unsigned char* folded, size_t m) {
    for (size_t k = 1; k < m; ++k) {
        if (Fold(p[k]) != folded[k]) return false;
    }
    return true;
}

int FindScalar(const unsigned char* s, const unsigned char* folded, size_t m) {
    const unsigned char first = folded[0];
    bool high = false;
    for (;; ++s) {
        unsigned char c = *s;
        if (c == 0) return 0;
        if (c >= 0x80) high = true;
        else if (Fold(c) == first && RestMatches(s, folded, m)) return high ? -1 : 1;
    }
}

inline unsigned LowestBit(unsigned x) { return x & (0u - x); }

// 16 bytes at a time with aligned loads: an aligned block never crosses a
// page, so reading the whole block around the name is safe.
__attribute__((target("sse2"))) int FindSse2(const unsigned char* s, const unsigned char* folded, size_t m) {
    const unsigned char first = folded[0];
    const bool letter = first >= 'a' && first <= 'z';
    const __m128i zero = _mm_setzero_si128();
    const __m128i firstV = _mm_set1_epi8(static_cast<char>(first));
    const __m128i foldV = _mm_set1_epi8(letter ? 0x20 : 0);
    uintptr_t misalign = reinterpret_cast<uintptr_t>(s) & 15u;
    const unsigned char* block = s - misalign;
    unsigned live = 0xFFFFu << misalign;
    bool high = false;  // a byte >= 0x80 came before
    for (;;) {
        __m128i v = _mm_load_si128(reinterpret_cast<const __m128i*>(block));
        unsigned z = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, zero))) & live;
        unsigned hi = static_cast<unsigned>(_mm_movemask_epi8(v)) & live;
        unsigned hit = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_or_si128(v, foldV), firstV))) & live;
        if (z) {
            unsigned before = LowestBit(z) - 1;
            hit &= before;
            hi &= before;
        }
        while (hit) {
            unsigned bit = static_cast<unsigned>(__builtin_ctz(hit));
            if (RestMatches(block + bit, folded, m)) {
                return (high || (hi & ((1u << bit) - 1))) ? -1 : 1;
            }
            hit &= hit - 1;
        }
        if (z) return 0;
        high = high || hi != 0;
        block += 16;
        live = 0xFFFFu;
    }
}

// Returns the length when the name is ASCII, or -1.
__attribute__((target("sse2"))) ptrdiff_t AsciiLengthSse2(const unsigned char* s) {
    const __m128i zero = _mm_setzero_si128();
    uintptr_t misalign = reinterpret_cast<uintptr_t>(s) & 15u;
    const unsigned char* block = s - misalign;
    unsigned live = 0xFFFFu << misalign;
    for (;;) {
        __m128i v = _mm_load_si128(reinterpret_cast<const __m128i*>(block));
        unsigned z = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, zero))) & live;
        unsigned hi = static_cast<unsigned>(_mm_movemask_epi8(v)) & live;
        if (z) {
            unsigned lz = LowestBit(z);
            if (hi & (lz - 1)) return -1;
            return (block + __builtin_ctz(z)) - s;
        }
        if (hi) return -1;
        block += 16;
        live = 0xFFFFu;
    }
}

ptrdiff_t AsciiLengthScalar(const unsigned char* s) {
    const unsigned char* p = s;
    for (; *p; ++p) {
        if (*p >= 0x80) return -1;
    }
    return p - s;
}

// The byte after the NUL that ends the name holding `p`.
inline const unsigned char* NextName(const unsigned char* p) {
    while (*p) ++p;
    return p + 1;
}

// Where the scan stands: the start of the name it is in, and whether a byte
// >= 0x80 came before in that name.
struct ScanState {
    const unsigned char* nameStart;
    bool high;
};

inline void PushHit(std::vector<uint32_t>& hits, const unsigned char* nameStart, const unsigned char* base,
                    bool high) {
    hits.push_back(static_cast<uint32_t>(nameStart - base) | (high ? kHitAfterHighByte : 0u));
}

void FindInNamesScalar(const unsigned char* s, const unsigned char* end, const unsigned char* folded, size_t m,
                       const unsigned char* base, ScanState state, std::vector<uint32_t>& hits) {
    while (s < end) {
        unsigned char c = *s;
        if (c == 0) {
            state = ScanState{++s, false};
            continue;
        }
        bool hit = m == 0 ? c >= 0x80 : (Fold(c) == folded[0] && RestMatches(s, folded, m));
        if (hit) {
            PushHit(hits, state.nameStart, base, state.high);
            s = NextName(s);
            state = ScanState{s, false};
            continue;
        }
        state.high = state.high || c >= 0x80;
        ++s;
    }
}

__attribute__((target("sse2"))) inline __m128i FoldMask(unsigned char c) {
    return _mm_set1_epi8(static_cast<char>((c >= 'a' && c <= 'z') ? 0x20 : 0));
}

// The byte after the first NUL at or after `p`, 16 bytes at a time with
// aligned loads (which never cross a page, so reading around is safe).
__attribute__((target("sse2"))) const unsigned char* NextNameSse2(const unsigned char* p) {
    const __m128i zero = _mm_setzero_si128();
    const unsigned char* block = p - (reinterpret_cast<uintptr_t>(p) & 15u);
    unsigned live = 0xFFFFu << (p - block);
    for (;; block += 16, live = 0xFFFFu) {
        unsigned z = static_cast<unsigned>(
                         _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_load_si128(reinterpret_cast<const __m128i*>(block)), zero))) &
                     live;
        if (z) return block + __builtin_ctz(z) + 1;
    }
}

// The start of the name holding `p`: behind the last NUL before it, or
// `begin`. Aligned 16-byte loads, which never cross a page; bits before
// `begin` are ignored.
__attribute__((target("sse2"))) const unsigned char* NameStartSse2(const unsigned char* p,
                                                                   const unsigned char* begin) {
    const __m128i zero = _mm_setzero_si128();
    const unsigned char* block = p - (reinterpret_cast<uintptr_t>(p) & 15u);
    unsigned live = (1u << (p - block)) - 1;  // the bytes before p
    for (;; block -= 16, live = 0xFFFFu) {
        if (block < begin) live &= ~((1u << (begin - block)) - 1);
        const unsigned nuls = static_cast<unsigned>(
                                  _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_load_si128(reinterpret_cast<const __m128i*>(block)), zero))) &
                              live;
        if (nuls) return block + (31u - static_cast<unsigned>(__builtin_clz(nuls))) + 1;
        if (block <= begin) return begin;
    }
}

// True when a byte of [from, to) is >= 0x80.
__attribute__((target("sse2"))) bool HasHighByteSse2(const unsigned char* from, const unsigned char* to) {
    const unsigned char* block = from - (reinterpret_cast<uintptr_t>(from) & 15u);
    unsigned live = 0xFFFFu << (from - block);
    for (; block < to; block += 16, live = 0xFFFFu) {
        if (to - block < 16) live &= (1u << (to - block)) - 1;
        if (static_cast<unsigned>(_mm_movemask_epi8(_mm_load_si128(reinterpret_cast<const __m128i*>(block)))) & live)
            return true;
    }
    return false;
}

// 16 positions at a time: a position is a candidate when its byte equals the
// pattern's first byte and the byte m - 1 further on its last (the pair is
// far rarer in names than the first byte alone); each candidate is verified
// in full. Every read at a candidate position stays below `end`; the last
// stretch goes byte by byte. Where the hit's name started is worked out only
// for hits; after a hit the scan goes on behind the NUL that ends the name.
__attribute__((target("sse2"))) void FindInNamesSse2(const unsigned char* s, const unsigned char* end,
                                                     const unsigned char* folded, size_t m,
                                                     const unsigned char* base, std::vector<uint32_t>& hits) {
    const size_t lastAt = m > 1 ? m - 1 : 0;
    const __m128i zero = _mm_setzero_si128();
    const __m128i first = _mm_set1_epi8(static_cast<char>(m ? folded[0] : 0));
    const __m128i last = _mm_set1_epi8(static_cast<char>(m ? folded[lastAt] : 0));
    const __m128i foldFirst = FoldMask(m ? folded[0] : 0);
    const __m128i foldLast = FoldMask(m ? folded[lastAt] : 0);
    while (end - s >= static_cast<ptrdiff_t>(lastAt + 16)) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
        unsigned mask;
        if (m == 0) {
            mask = static_cast<unsigned>(_mm_movemask_epi8(v));
        } else {
            mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_or_si128(v, foldFirst), first)));
            if (m > 1) {  // no test of `mask` first: that branch would be mispredicted half the time
                const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + lastAt));
                mask &= static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_or_si128(w, foldLast), last)));
            }
        }
        const unsigned char* next = s + 16;
        if (mask) {
            const unsigned nuls = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, zero)));
            const unsigned highs = static_cast<unsigned>(_mm_movemask_epi8(v));
            while (mask) {
                const unsigned bit = static_cast<unsigned>(__builtin_ctz(mask));
                if (m > 2 && !RestMatches(s + bit, folded, m)) {
                    mask &= mask - 1;
                    continue;
                }
                const unsigned before = (1u << bit) - 1;
                if (const unsigned nulsBefore = nuls & before) {
                    const unsigned lastNul = 31u - static_cast<unsigned>(__builtin_clz(nulsBefore));
                    PushHit(hits, s + lastNul + 1, base, (highs & before & ~((2u << lastNul) - 1)) != 0);
                } else {
                    const unsigned char* start = NameStartSse2(s, base);
                    PushHit(hits, start, base, (highs & before) != 0 || HasHighByteSse2(start, s));
                }
                const unsigned nulsAfter = nuls & ~((2u << bit) - 1);
                if (!nulsAfter) {
                    next = NextNameSse2(s + 16);  // the name goes on past these 16 bytes
                    break;
                }
                mask &= ~((2u << __builtin_ctz(nulsAfter)) - 1);
            }
        }
        s = next;
    }
    if (s < end) {
        const unsigned char* start = NameStartSse2(s, base);
        FindInNamesScalar(s, end, folded, m, base, ScanState{start, HasHighByteSse2(start, s)}, hits);
    }
}

} // namespace

void FindInNames(const char* begin, const char* end, const char* folded, size_t m, std::vector<uint32_t>& hits) {
    const auto* s = reinterpret_cast<const unsigned char*>(begin);
    const auto* e = reinterpret_cast<const unsigned char*>(end);
    const auto* f = reinterpret_cast<const unsigned char*>(folded);
    if (g_sse2) {
        FindInNamesSse2(s, e, f, m, s, hits);
    } else {
        FindInNamesScalar(s, e, f, m, s, ScanState{s, false}, hits);
    }
}

bool DecodesUniquely() { return Decoding().unique; }

int FindUnits(const char* name, const char* pattern, size_t m) {
    const DecodeTable& table = Decoding();
    if (!table.unique || m == 0) return -1;
    const auto* s = reinterpret_cast<const unsigned char*>(name);
    const auto* p = reinterpret_cast<const unsigned char*>(pattern);
    for (size_t i = 0; s[i]; ) {
        // The unit starting here must decode validly: else the conversion's
        // stand-in units are the caller's to judge.
        const unsigned char b = s[i];
        size_t width = 1;
        if (table.lead[b]) {
            if (!table.validPair[b * 256u + s[i + 1]]) return -1;  // also a lead byte before the NUL
            width = 2;
        } else if (b >= 0x80 && !table.validSingle[b]) {
            return -1;
        }
        // The pattern's units from this boundary: a lead byte and its trail
        // compare exactly (only single bytes A-Z fold), and equal bytes split
        // into the same units, so equal bytes are equal units.
        size_t j = 0;
        while (j < m) {
            if (table.lead[p[j]]) {
                if (j + 1 >= m || s[i + j] != p[j] || s[i + j + 1] != p[j + 1]) break;
                j += 2;
            } else {
                if (Fold(s[i + j]) != p[j]) break;
                ++j;
            }
        }
        if (j == m) return 1;
        i += width;
    }
    return 0;
}

bool IsInvalidByteUnit(wchar_t unit) { return Decoding().invalidUnits[unit]; }

bool AsciiIsIdentity() {
    static const bool identity = ComputeAsciiIdentity();
    return identity;
}

int FindFoldedAscii(const char* name, const char* folded, size_t m) {
    const auto* s = reinterpret_cast<const unsigned char*>(name);
    const auto* f = reinterpret_cast<const unsigned char*>(folded);
    return g_sse2 ? FindSse2(s, f, m) : FindScalar(s, f, m);
}

bool AsciiLength(const char* name, size_t* length) {
    const auto* s = reinterpret_cast<const unsigned char*>(name);
    ptrdiff_t n = g_sse2 ? AsciiLengthSse2(s) : AsciiLengthScalar(s);
    if (n < 0) return false;
    *length = static_cast<size_t>(n);
    return true;
}

bool IsAsciiName(const char* name) {
    size_t length;
    return AsciiLength(name, &length);
}

bool WildcardMatchBytes(const char* folded, size_t m, const char* name, size_t length) {
    // Same greedy scan with backtracking to the last '*' as the UTF-16 form.
    size_t p = 0, t = 0, starP = 0, starT = 0;
    bool star = false;
    while (t < length) {
        if (p < m && folded[p] == '*') {
            while (p < m && folded[p] == '*') ++p;
            if (p == m) return true;
            star = true;
            starP = p;
            starT = t;
            continue;
        }
        if (p < m && (folded[p] == '?' || folded[p] == static_cast<char>(Fold(static_cast<unsigned char>(name[t]))))) {
            ++p;
            ++t;
            continue;
        }
        if (!star) return false;
        p = starP;
        t = ++starT;
    }
    while (p < m && folded[p] == '*') ++p;
    return p == m;
}

} // namespace namescan
