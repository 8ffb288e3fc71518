#include "index/name_scan.h"

#include <windows.h>

#include <cstdint>
#include <emmintrin.h>

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

void FindInNamesScalar(const unsigned char* s, const unsigned char* end, const unsigned char* folded, size_t m,
                       const unsigned char* base, std::vector<uint32_t>& hits) {
    while (s < end) {
        unsigned char c = *s;
        bool hit = m == 0 ? c >= 0x80 : (c != 0 && Fold(c) == folded[0] && RestMatches(s, folded, m));
        if (!hit) {
            ++s;
            continue;
        }
        hits.push_back(static_cast<uint32_t>(s - base));
        s = NextName(s);
    }
}

__attribute__((target("sse2"))) inline __m128i FoldMask(unsigned char c) {
    return _mm_set1_epi8(static_cast<char>((c >= 'a' && c <= 'z') ? 0x20 : 0));
}

// Candidates come from the first two pattern bytes of each aligned block
// (the second byte of the block's last position is not looked at, so that no
// read goes past the block holding `end`); each is verified in full. After a
// hit the scan goes on behind the NUL that ends the name.
__attribute__((target("sse2"))) void FindInNamesSse2(const unsigned char* s, const unsigned char* end,
                                                     const unsigned char* folded, size_t m,
                                                     const unsigned char* base, std::vector<uint32_t>& hits) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i first = _mm_set1_epi8(static_cast<char>(m ? folded[0] : 0));
    const __m128i second = _mm_set1_epi8(static_cast<char>(m > 1 ? folded[1] : 0));
    const __m128i fold1 = FoldMask(m ? folded[0] : 0);
    const __m128i fold2 = FoldMask(m > 1 ? folded[1] : 0);
    const unsigned char* block = s - (reinterpret_cast<uintptr_t>(s) & 15u);
    unsigned live = 0xFFFFu << (s - block);
    while (block < end) {
        __m128i v = _mm_load_si128(reinterpret_cast<const __m128i*>(block));
        unsigned mask;
        if (m == 0) {
            mask = static_cast<unsigned>(_mm_movemask_epi8(v));
        } else {
            mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_or_si128(v, fold1), first)));
            if (m > 1) {
                unsigned m2 = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_or_si128(v, fold2), second)));
                mask &= (m2 >> 1) | 0x8000u;
            }
        }
        mask &= live;
        if (end - block < 16) mask &= (1u << (end - block)) - 1;
        bool seekNul = false;
        while (mask) {
            unsigned bit = static_cast<unsigned>(__builtin_ctz(mask));
            if (m > 1 && !RestMatches(block + bit, folded, m)) {
                mask &= mask - 1;
                continue;
            }
            hits.push_back(static_cast<uint32_t>(block + bit - base));
            unsigned nulAfter = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, zero))) & ~((2u << bit) - 1);
            if (!nulAfter) {
                seekNul = true;
                break;
            }
            mask &= ~((2u << __builtin_ctz(nulAfter)) - 1);
        }
        block += 16;
        live = 0xFFFFu;
        if (seekNul) {
            // The name goes on into the next blocks: carry on behind its NUL.
            for (;; block += 16) {
                if (block >= end) return;
                unsigned z = static_cast<unsigned>(
                    _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_load_si128(reinterpret_cast<const __m128i*>(block)), zero)));
                if (z) {
                    live = 0xFFFFu & ~((2u << __builtin_ctz(z)) - 1);
                    break;
                }
            }
        }
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
        FindInNamesScalar(s, e, f, m, s, hits);
    }
}

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
