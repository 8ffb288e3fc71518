#include "index/collation.h"

#include <cstring>
#include <mutex>

#include "index/search_workers.h"
#include "platform/strconv.h"
#include "platform/trace.h"

namespace {

constexpr DWORD kKeyFlags = LCMAP_SORTKEY | NORM_IGNORECASE;
// The marks that end the primary, diacritic, case and extra sections.
constexpr char kSectionMarks[] = "\x01\x01\x01\x01";

struct FillJob {
    std::vector<uint32_t>* units;
    LCID locale;
    unsigned shares;
};

} // namespace

void CCollationKeys::FillUnits(void* context, unsigned share) {
    const FillJob& job = *static_cast<const FillJob*>(context);
    std::vector<uint32_t>& units = *job.units;
    const size_t from = units.size() * share / job.shares, to = units.size() * (share + 1) / job.shares;
    unsigned char key[64];
    for (size_t u = from; u < to; ++u) {
        units[u] = kNotPlain;
        if (u == 0 || (u >= 0xD800 && u <= 0xDFFF)) continue;  // no character of its own
        const wchar_t unit = static_cast<wchar_t>(u);
        const int n = ::LCMapStringW(job.locale, kKeyFlags, &unit, 1, reinterpret_cast<wchar_t*>(key), sizeof(key));
        if (n <= 0 || key[n - 1] != 0) continue;
        int mark = 0;
        while (mark < n && key[mark] != 1) ++mark;
        if (mark + 5 > n || std::memcmp(key + mark, kSectionMarks, 4) != 0) continue;
        const int rest = n - (mark + 4);  // the set-aside entries and the closing 0
        if ((mark == 2 || mark == 3) && rest == 1) {
            if (key[0] < 2 || key[1] < 2 || (mark == 3 && key[2] < 2)) continue;
            uint32_t bytes = (static_cast<uint32_t>(key[0]) << 16) | (static_cast<uint32_t>(key[1]) << 8);
            if (mark == 3) bytes |= key[2];
            units[u] = ((mark == 2 ? kPrimary2 : kPrimary3) << 24) | bytes;
        } else if (mark == 0 && rest == 5 && key[4] == 0xFF && key[5] == 0xFF) {
            units[u] = (kSetAside << 24) | (static_cast<uint32_t>(key[6]) << 8) | key[7];
        }
    }
}

bool CCollationKeys::Build(CSearchWorkers& workers) {
    locale_ = ::GetThreadLocale();
    DWORD codePage = 0;
    if (!::GetLocaleInfoW(locale_, LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                          reinterpret_cast<LPWSTR>(&codePage), sizeof(codePage) / sizeof(wchar_t)) ||
        codePage != ::GetACP()) {
        return false;  // which code page the system converts with would be a guess
    }
    codePage_ = codePage;
    char bytes[127];
    wchar_t wide[127];
    for (int i = 0; i < 127; ++i) bytes[i] = static_cast<char>(i + 1);
    asciiIdentity_ = ::MultiByteToWideChar(codePage_, 0, bytes, 127, wide, 127) == 127;
    for (int i = 0; asciiIdentity_ && i < 127; ++i) asciiIdentity_ = wide[i] == static_cast<wchar_t>(i + 1);

    units_.assign(0x10000, kNotPlain);
    FillJob job{&units_, locale_, workers.Shares()};
    workers.Run(&CCollationKeys::FillUnits, &job);
    // Where a set-aside mark stands is counted in characters by some systems
    // and in halves of the primary bytes by others; the test tells which.
    for (bool byBytes : {true, false}) {
        positionByBytes_ = byBytes;
        if (SelfTest()) return true;
    }
    platform::Trace("CCollationKeys: keys differ from the system's; using the system's");
    return false;
}

// Texts whose keys show the shape's rules at work: set-aside marks at the
// start, in runs, at the end and far on, beside Chinese characters.
bool CCollationKeys::SelfTest() const {
    std::vector<std::string> texts = {"", "a", "Ab-c", "-a", "a--b'c", "ab-'", "x\x01y\x7f", "C:\\a-b\\c'd",
                                      std::string(300, 'a') + "-b"};
    std::string ascii;
    for (int c = 1; c < 128; ++c) ascii.push_back(static_cast<char>(c));
    texts.push_back(ascii);
    texts.push_back(platform::WideToAnsi(L"\u6587-\u6863'a\u62a5\u544a-"));
    texts.push_back(platform::WideToAnsi(L"-\u4e2d\u6587_1.txt"));
    std::string mine, system;
    std::vector<wchar_t> wide;
    for (const std::string& text : texts) {
        mine.clear();
        system.clear();
        if (!AppendKey(text.data(), text.size(), mine, wide)) continue;
        AppendSystemKey(locale_, text.data(), text.size(), system);
        if (mine != system) return false;
    }
    return true;
}

const CCollationKeys* CCollationKeys::Get(CSearchWorkers& workers) {
    static std::once_flag once;
    static CCollationKeys* table = nullptr;
    std::call_once(once, [&] {
        auto* built = new CCollationKeys;
        if (built->Build(workers)) {
            table = built;
        } else {
            delete built;
        }
    });
    return table;
}

void CCollationKeys::AppendSystemKey(LCID locale, const char* text, size_t length, std::string& out) {
    const size_t start = out.size();
    const int n = static_cast<int>(length);
    // Keys of file names fit here; the longest paths need more.
    out.resize(start + 4 * length + 16);
    int got = n == 0 ? ::LCMapStringA(locale, kKeyFlags, "", -1, &out[start], static_cast<int>(out.size() - start))
                     : ::LCMapStringA(locale, kKeyFlags, text, n, &out[start], static_cast<int>(out.size() - start));
    if (got == 0 && n > 0) {
        const int need = ::LCMapStringA(locale, kKeyFlags, text, n, nullptr, 0);
        if (need > 0) {
            out.resize(start + static_cast<size_t>(need));
            got = ::LCMapStringA(locale, kKeyFlags, text, n, &out[start], need);
        }
    }
    out.resize(start + static_cast<size_t>(got > 0 ? got : 0));
}

bool CCollationKeys::ToUnits(const char* text, size_t length, std::vector<wchar_t>& wide, size_t* count) const {
    if (wide.size() < length + 1) wide.resize(length + 1);
    bool ascii = asciiIdentity_;
    for (size_t i = 0; ascii && i < length; ++i) ascii = static_cast<unsigned char>(text[i]) < 0x80;
    if (ascii) {
        for (size_t i = 0; i < length; ++i) wide[i] = static_cast<unsigned char>(text[i]);
        *count = length;
        return true;
    }
    *count = 0;
    if (length == 0) return true;
    const int n = ::MultiByteToWideChar(codePage_, 0, text, static_cast<int>(length), wide.data(),
                                        static_cast<int>(wide.size()));
    if (n <= 0) return false;
    *count = static_cast<size_t>(n);
    return true;
}

bool CCollationKeys::AppendPrimary(const char* text, size_t length, std::string& out, std::vector<wchar_t>& wide) const {
    size_t count = 0;
    if (!ToUnits(text, length, wide, &count)) return false;
    // A lead byte at the very end is completed by whatever follows the
    // text, so its weights would depend on that.
    size_t i = 0;
    while (i < length) {
        const BYTE b = static_cast<BYTE>(text[i]);
        i += b >= 0x80 && ::IsDBCSLeadByteEx(codePage_, b) ? 2 : 1;
    }
    if (i > length) return false;
    const size_t start = out.size();
    out.resize(start + 3 * count);
    unsigned char* const begin = reinterpret_cast<unsigned char*>(&out[start]);
    unsigned char* p = begin;
    for (size_t i = 0; i < count; ++i) {
        const uint32_t entry = units_[wide[i]];
        switch (entry >> 24) {
        case kPrimary3:
            p[2] = static_cast<unsigned char>(entry);
            // fall through
        case kPrimary2:
            p[0] = static_cast<unsigned char>(entry >> 16);
            p[1] = static_cast<unsigned char>(entry >> 8);
            p += (entry >> 24) == kPrimary3 ? 3 : 2;
            break;
        case kSetAside:
            break;
        default:
            out.resize(start);
            return false;
        }
    }
    out.resize(start + static_cast<size_t>(p - begin));
    return true;
}

bool CCollationKeys::AppendKey(const char* text, size_t length, std::string& out, std::vector<wchar_t>& wide) const {
    size_t count = 0;
    if (!ToUnits(text, length, wide, &count)) return false;

    // Written through a pointer into room for the longest key: 3 bytes per
    // weighted character or 4 per set-aside mark, the marks and the end.
    const size_t start = out.size();
    out.resize(start + 4 * count + 5);
    unsigned char* const begin = reinterpret_cast<unsigned char*>(&out[start]);
    unsigned char* p = begin;
    size_t weighted = 0, setAside = 0;
    for (size_t i = 0; i < count; ++i) {
        const uint32_t entry = units_[wide[i]];
        switch (entry >> 24) {
        case kPrimary3:
            p[0] = static_cast<unsigned char>(entry >> 16);
            p[1] = static_cast<unsigned char>(entry >> 8);
            p[2] = static_cast<unsigned char>(entry);
            p += 3;
            ++weighted;
            break;
        case kPrimary2:
            p[0] = static_cast<unsigned char>(entry >> 16);
            p[1] = static_cast<unsigned char>(entry >> 8);
            p += 2;
            ++weighted;
            break;
        case kSetAside:
            ++setAside;
            break;
        default:
            out.resize(start);
            return false;
        }
    }
    if (weighted > 0x7FFF) {
        out.resize(start);
        return false;
    }
    std::memcpy(p, kSectionMarks, 4);
    p += 4;
    if (setAside) {
        // Each set-aside mark: 0xFFFF less where it stands among the primary
        // weights, then its weight.
        size_t before = 0;
        for (size_t i = 0; i < count; ++i) {
            const uint32_t entry = units_[wide[i]];
            if ((entry >> 24) != kSetAside) {
                before += positionByBytes_ ? ((entry >> 24) == kPrimary3 ? 3 : 2) : 2;
                continue;
            }
            const uint32_t position = 0xFFFF - static_cast<uint32_t>(before / 2);
            p[0] = static_cast<unsigned char>(position >> 8);
            p[1] = static_cast<unsigned char>(position);
            p[2] = static_cast<unsigned char>(entry >> 8);
            p[3] = static_cast<unsigned char>(entry);
            p += 4;
        }
    }
    *p++ = 0;
    out.resize(start + static_cast<size_t>(p - begin));
    return true;
}
