#include "index/search_query.h"

#include <boost/regex.hpp>

#include <cstring>
#include <cwchar>
#include <exception>

#include "index/name_scan.h"

volatile LONG g_bUseRegex = 0;

const char* const g_DocumentExtensions[] = {"doc", "docx", "wps", "wpt", "xls", "xlsx", "et",
                                            "ppt", "pptx", "dps", "pdf", "cvs", nullptr};
const char* const g_PictureExtensions[] = {"bmp", "psd", "jpg", "gif", "dib", "pnp", "tif",
                                           "png", "jpeg", "tiff", "emf", "wmf", "exif", nullptr};
const char* const g_AudioExtensions[] = {"ape", "au", "snd", "cue", "flac", "fla", "rmi",
                                         "mp3", "mp4", "ogg", "wav", "wma", nullptr};
const char* const g_VideoExtensions[] = {"avi", "wm", "wmv", "ram", "rm", "rmvb", "mpe",
                                         "mpeg", "mpg", "mp4", "mpeg4", "3gp", "mov", "qt",
                                         "f4v", "flv", "hlv", "mkv", "mts", nullptr};
const char* const g_ArchiveExtensions[] = {"zip", "rar", "7z", "tar", "msi", "iso", nullptr};

namespace {

bool EqualsNoCaseAscii(const char* a, const char* b) {
    for (;; ++a, ++b) {
        unsigned char x = FoldAsciiByte(static_cast<unsigned char>(*a));
        unsigned char y = FoldAsciiByte(static_cast<unsigned char>(*b));
        if (x != y) return false;
        if (x == 0) return true;
    }
}

bool InList(const char* ext, const char* const* list) {
    for (; *list; ++list) {
        if (EqualsNoCaseAscii(ext, *list)) return true;
    }
    return false;
}

} // namespace

// A thread's own copy of the query's expression: the library's compiled
// expression carries reference counts that every search touches, so threads
// sharing one copy wait on each other's cache lines.
struct MatchScratch::RegexState {
    boost::match_results<const wchar_t*> results;
    std::shared_ptr<const CSearchQuery::WRegex> source;  // the query's, that `own` copies
    std::unique_ptr<CSearchQuery::WRegex> own;

    const CSearchQuery::WRegex& For(const CSearchQuery& query) {
        if (source != query.Regex) {
            source = query.Regex;
            own.reset();
            try {
                own.reset(new CSearchQuery::WRegex(query.Pattern.begin(), query.Pattern.end(),
                                                   boost::regex_constants::normal));
            } catch (const std::exception&) {
                // compiled once already; should it fail now, share the query's
            }
        }
        return own ? *own : *query.Regex;
    }
};

MatchScratch::MatchScratch() : wide(512), regex(new RegexState) {}
MatchScratch::~MatchScratch() = default;

// ---------------------------------------------------------------------------
// Wildcards

bool WildcardMatch(const wchar_t* pattern, int patternLength, const wchar_t* text, int textLength,
                   bool ignoreCase) {
    // Greedy scan that backtracks only to the last '*': linear for the usual
    // patterns, never exponential.
    int p = 0, t = 0;
    int starP = -1, starT = 0;
    while (t < textLength) {
        if (p < patternLength && pattern[p] == L'*') {
            while (p < patternLength && pattern[p] == L'*') ++p;
            if (p == patternLength) return true;
            starP = p;
            starT = t;
            continue;
        }
        if (p < patternLength) {
            wchar_t pc = pattern[p], tc = text[t];
            bool same = pc == L'?' || pc == tc || (ignoreCase && FoldAscii(pc) == FoldAscii(tc));
            if (same) {
                ++p;
                ++t;
                continue;
            }
        }
        if (starP < 0) return false;
        p = starP;
        t = ++starT;
    }
    while (p < patternLength && pattern[p] == L'*') ++p;
    return p == patternLength;
}

bool WildcardMatchNoCase(const wchar_t* text, const wchar_t* pattern) {
    return WildcardMatch(pattern, static_cast<int>(std::wcslen(pattern)), text,
                         static_cast<int>(std::wcslen(text)), true);
}

// ---------------------------------------------------------------------------
// CSearchQuery

CSearchQuery::CSearchQuery() { Prepare(); }

CSearchQuery::CSearchQuery(const CSearchQuery& other) = default;
CSearchQuery& CSearchQuery::operator=(const CSearchQuery& other) = default;
CSearchQuery::~CSearchQuery() = default;

void CSearchQuery::Assign(const CSearchQuery& other) {
    if (this != &other) {
        Pattern = other.Pattern;
        PathPrefix = other.PathPrefix;
    }
    FilterMask = other.FilterMask;
    FullScan = other.FullScan;
    PassThrough = other.PassThrough;
    SizeMin = other.SizeMin;
    SizeMax = other.SizeMax;
    FileState = other.FileState;
    DateFrom = other.DateFrom;
    DateTo = other.DateTo;
    Prepare();
}

void CSearchQuery::Prepare() {
    IsRegex = g_bUseRegex ? 1 : 0;
    ::GetLocalTime(&Now);
    FailureTable.clear();
    PatternLength = 0;
    IsWildcard = 0;
    Regex.reset();
    mode_ = NameMode::Empty;
    patternAscii_ = false;
    asciiIdentity_ = false;
    foldedPattern_.clear();
    prefilter_ = NamePrefilter();
    unitPattern_.clear();
    regexLiterals_.clear();
    if (Pattern.empty()) return;

    IsWildcard = Pattern.find_first_of(L"*?") != std::wstring::npos ? 1 : 0;
    if (IsRegex) {
        try {
            Regex = std::make_shared<const WRegex>(Pattern.begin(), Pattern.end(),
                                                   boost::regex_constants::normal);
        } catch (const std::exception&) {
            IsRegex = 0;  // not an expression: fall back to wildcard or substring
        }
    }
    BuildKmpTable();

    mode_ = IsRegex ? NameMode::Regex : IsWildcard ? NameMode::Wildcard : NameMode::Substring;
    patternAscii_ = true;
    for (wchar_t c : Pattern) {
        if (c == 0 || c >= 0x80) {
            patternAscii_ = false;
            break;
        }
    }
    asciiIdentity_ = namescan::AsciiIsIdentity();
    patternAscii_ = patternAscii_ && asciiIdentity_;
    if (patternAscii_) {
        foldedPattern_.reserve(Pattern.size());
        for (wchar_t c : Pattern) foldedPattern_ += static_cast<char>(FoldAscii(c));
    }
    PreparePrefilter();
}

namespace {

// The pattern's bytes in the system code page, ASCII letters folded, when
// every name whose converted text holds the pattern holds these bytes too
// (namescan::DecodesUniquely); otherwise empty.
std::string ExactAnsi(const std::wstring& pattern) {
    if (!namescan::DecodesUniquely()) return std::string();
    for (wchar_t c : pattern) {
        if (c == 0 || namescan::IsInvalidByteUnit(c)) return std::string();
    }
    const int length = static_cast<int>(pattern.size());
    BOOL usedDefault = FALSE;
    int n = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, pattern.data(), length, nullptr, 0, nullptr,
                                  &usedDefault);
    if (n <= 0 || usedDefault) return std::string();
    std::string bytes(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, pattern.data(), length, &bytes[0], n, nullptr, &usedDefault);
    std::wstring back(pattern.size() + 1, L'\0');
    int m = ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, bytes.data(), n, &back[0],
                                  static_cast<int>(back.size()));
    if (usedDefault || m != length || back.compare(0, pattern.size(), pattern) != 0) return std::string();
    return bytes;
}

std::string ExactAnsiFolded(const std::wstring& pattern) {
    std::string bytes = ExactAnsi(pattern);
    for (char& c : bytes) c = static_cast<char>(FoldAsciiByte(static_cast<unsigned char>(c)));
    return bytes;
}

// The same bytes with only the single-byte letters folded, the way
// namescan::FindUnits compares them; trail bytes of double-byte characters
// stay as they are.
std::string ExactAnsiUnits(const std::wstring& pattern) {
    std::string bytes = ExactAnsi(pattern);
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (::IsDBCSLeadByte(static_cast<BYTE>(bytes[i]))) {
            ++i;  // a whole pattern converts back exactly, so the trail is there
        } else {
            bytes[i] = static_cast<char>(FoldAsciiByte(static_cast<unsigned char>(bytes[i])));
        }
    }
    return bytes;
}

bool IsAsciiLiteral(wchar_t c) { return c >= 0x20 && c < 0x7F && !std::wcschr(L".^$|()[]{}*+?\\", c); }

// Skips a bracketed class starting at pattern[i] == '['; returns the index
// behind its ']', or npos when it does not close.
size_t SkipClass(const std::wstring& p, size_t i) {
    ++i;
    if (i < p.size() && p[i] == L'^') ++i;
    if (i < p.size() && p[i] == L']') ++i;  // a leading ']' is a member
    while (i < p.size()) {
        const wchar_t c = p[i];
        if (c == L'\\') {
            i += 2;
        } else if (c == L'[' && i + 1 < p.size() && (p[i + 1] == L':' || p[i + 1] == L'.' || p[i + 1] == L'=')) {
            const wchar_t kind = p[i + 1];
            size_t close = i + 2;
            while (close + 1 < p.size() && !(p[close] == kind && p[close + 1] == L']')) ++close;
            if (close + 1 >= p.size()) return std::wstring::npos;
            i = close + 2;
        } else if (c == L']') {
            return i + 1;
        } else {
            ++i;
        }
    }
    return std::wstring::npos;
}

} // namespace

// The longest run of ASCII characters that every match of a Perl-syntax
// expression holds, case as written; empty when none is certain. Only the top
// level of the expression is read: groups and classes end a run and are
// skipped whole, a character made optional or repeatable by a quantifier is
// left out, and anything not understood (alternatives at the top level,
// "(?" constructs that change how the rest reads, escapes with arguments)
// gives no run at all.
std::string RequiredRegexLiteral(const std::wstring& p, std::vector<std::string>* all) {
    std::string best, run;
    std::vector<std::string> runs;
    auto endRun = [&] {
        if (run.size() > best.size()) best = run;
        if (!run.empty()) runs.push_back(run);
        run.clear();
    };
    size_t i = 0;
    while (i < p.size()) {
        const wchar_t c = p[i];
        wchar_t literal = 0;
        size_t next = i + 1;
        if (c == L'|') {
            return std::string();
        } else if (c == L'(') {
            if (i + 1 < p.size() && p[i + 1] == L'?') return std::string();
            int depth = 0;
            size_t j = i;
            for (; j < p.size(); ++j) {
                if (p[j] == L'\\') {
                    ++j;
                } else if (p[j] == L'[') {
                    const size_t after = SkipClass(p, j);
                    if (after == std::wstring::npos) return std::string();
                    j = after - 1;
                } else if (p[j] == L'(') {
                    if (j + 1 < p.size() && p[j + 1] == L'?') return std::string();
                    ++depth;
                } else if (p[j] == L')' && --depth == 0) {
                    break;
                }
            }
            if (j >= p.size()) return std::string();
            next = j + 1;
        } else if (c == L'[') {
            next = SkipClass(p, i);
            if (next == std::wstring::npos) return std::string();
        } else if (c == L'{') {
            const size_t close = p.find(L'}', i);
            if (close == std::wstring::npos) return std::string();
            next = close + 1;
        } else if (c == L'\\') {
            if (i + 1 >= p.size()) return std::string();
            const wchar_t e = p[i + 1];
            next = i + 2;
            if (e < 0x80 && std::wcschr(L".^$|()[]{}*+\\/-_,;:!@#%&=\"~ ", e)) {
                // These stand for themselves ('?' is left out: it is also
                // what bytes the code page cannot convert turn into).
                literal = e;
            } else if (!(e < 0x80 && std::wcschr(L"dDwWsSbBAzZG?", e))) {
                return std::string();  // escapes with arguments, back references, ...
            }
        } else if (IsAsciiLiteral(c)) {
            literal = c;
        }
        if (!literal) {
            endRun();
            i = next;
            continue;
        }
        // A quantifier after the character: '?', '*' and '{' may leave it
        // out, '+' keeps it but the run cannot go on past the repeats.
        const wchar_t q = next < p.size() ? p[next] : 0;
        if (q == L'?' || q == L'*' || q == L'{') {
            endRun();
        } else if (q == L'+') {
            run.push_back(static_cast<char>(literal));
            endRun();
        } else {
            run.push_back(static_cast<char>(literal));
        }
        i = next;
    }
    endRun();
    if (all) all->swap(runs);
    return best;
}

// Which byte scan finds every name that can match, by the same reasoning as
// the per-name shortcuts: in a code page where ASCII bytes are ASCII units,
// ASCII units of a converted name come from ASCII bytes, in the same order and
// never joined across other bytes; so an ASCII literal that a converted name
// holds is in its bytes too, and a name of ASCII bytes only cannot hold a unit
// above 0x7F.
void CSearchQuery::PreparePrefilter() {
    if (!asciiIdentity_) return;
    bool nonAscii = false;
    for (wchar_t c : Pattern) nonAscii = nonAscii || c >= 0x80;
    if (mode_ == NameMode::Substring) {
        unitPattern_ = ExactAnsiUnits(Pattern);  // empty where names do not decode uniquely
        prefilter_.usable = true;
        if (patternAscii_) {
            prefilter_.literal = foldedPattern_;
            prefilter_.exact = true;
        } else {
            prefilter_.literal = ExactAnsiFolded(Pattern);  // empty: any byte >= 0x80 is the hit
        }
    } else if (mode_ == NameMode::Regex) {
        // Case-sensitive in the expression, but found folded by the scan:
        // every hit is then tested with the expression itself.
        std::string longest = RequiredRegexLiteral(Pattern, &regexLiterals_);
        if (longest.empty()) return;
        for (std::string& literal : regexLiterals_) {
            for (char& c : literal) c = static_cast<char>(FoldAsciiByte(static_cast<unsigned char>(c)));
        }
        for (char& c : longest) c = static_cast<char>(FoldAsciiByte(static_cast<unsigned char>(c)));
        prefilter_.usable = true;
        prefilter_.literal = longest;
    } else if (mode_ == NameMode::Wildcard) {
        if (nonAscii) {
            prefilter_.usable = true;  // a literal unit above 0x7F
            return;
        }
        // The longest literal run between wildcards.
        size_t best = 0, bestLength = 0;
        for (size_t i = 0; i < foldedPattern_.size();) {
            size_t j = i;
            while (j < foldedPattern_.size() && foldedPattern_[j] != '*' && foldedPattern_[j] != '?') ++j;
            if (j - i > bestLength) {
                best = i;
                bestLength = j - i;
            }
            i = j + 1;
        }
        if (bestLength == 0) return;  // nothing but wildcards
        prefilter_.usable = true;
        prefilter_.literal = foldedPattern_.substr(best, bestLength);
    }
}

void CSearchQuery::BuildKmpTable() {
    PatternLength = static_cast<int32_t>(Pattern.size());
    FailureTable.assign(Pattern.size(), 0);
    if (Pattern.empty()) return;
    int32_t k = 0;
    for (int32_t j = 1; j < PatternLength; ++j) {
        wchar_t cj = FoldAscii(Pattern[j]);
        while (k > 0 && FoldAscii(Pattern[k]) != cj) k = FailureTable[k - 1];
        if (FoldAscii(Pattern[k]) == cj) ++k;
        FailureTable[j] = k;
    }
}

int CSearchQuery::FindIn(const wchar_t* name) const {
    return FindIn(name, static_cast<int>(std::wcslen(name)));
}

int CSearchQuery::FindIn(const wchar_t* name, int length) const {
    const int32_t m = PatternLength;
    if (m == 0 || static_cast<int32_t>(FailureTable.size()) != m) return m == 0 ? 0 : -1;
    int32_t k = 0;
    for (int i = 0; i < length; ++i) {
        wchar_t c = FoldAscii(name[i]);
        while (k > 0 && FoldAscii(Pattern[k]) != c) k = FailureTable[k - 1];
        if (FoldAscii(Pattern[k]) == c) ++k;
        if (k == m) return i - m + 1;
    }
    return -1;
}

bool CSearchQuery::CategoryPasses(const char* name) const {
    const char* dot = std::strrchr(name, '.');
    if (!dot || dot == name) return false;  // no extension, or only a leading dot
    const char* ext = dot + 1;
    const uint32_t m = FilterMask;
    if ((m & SQF_DOCUMENT) && InList(ext, g_DocumentExtensions)) return true;
    if ((m & SQF_PICTURE) && InList(ext, g_PictureExtensions)) return true;
    if ((m & SQF_AUDIO) && InList(ext, g_AudioExtensions)) return true;
    if ((m & SQF_VIDEO) && InList(ext, g_VideoExtensions)) return true;
    if ((m & SQF_ARCHIVE) && InList(ext, g_ArchiveExtensions)) return true;
    return false;
}

bool CSearchQuery::DatePasses(ULONGLONG time2, bool* tested) const {
    const uint32_t m = FilterMask;
    if (!(m & (SQF_TODAY | SQF_THIS_WEEK | SQF_THIS_MONTH | SQF_DATE_RANGE))) return true;
    *tested = true;
    if (!(m & (SQF_TODAY | SQF_THIS_WEEK | SQF_THIS_MONTH))) {
        // The bar's date-range button sets the bit before any range is
        // chosen; a range with neither bound set restricts nothing.
        if (!HasDateRange()) return true;
        return FileTimeValue(DateFrom) < time2 && time2 < FileTimeValue(DateTo);
    }
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(time2);
    ft.dwHighDateTime = static_cast<DWORD>(time2 >> 32);
    SYSTEMTIME st = {};
    if (!::FileTimeToSystemTime(&ft, &st)) return false;  // beyond the calendar: no date matches
    bool sameMonth = st.wYear == Now.wYear && st.wMonth == Now.wMonth;
    if (m & SQF_TODAY) return sameMonth && st.wDay == Now.wDay;
    if (m & SQF_THIS_WEEK) {
        return sameMonth && (Now.wDay < 7 || st.wDay >= Now.wDay - 7) &&
               st.wDayOfWeek <= Now.wDayOfWeek;
    }
    return sameMonth;
}

int CSearchQuery::MatchStateAndFilters(const MatchInput& r, const wchar_t* fullPath, bool* deleted) const {
    const char* name = r.name;
    if (MatchState(name, r.flags, deleted) == MATCH_REJECT) return MATCH_REJECT;
    const bool directory = (r.flags & IRF_DIRECTORY) != 0;

    const uint32_t m = FilterMask;
    if (FullScan && m != 0) {
        if (directory) return MATCH_REJECT;
        if ((m & SQF_CATEGORY_MASK) && !CategoryPasses(name)) return MATCH_REJECT;
        bool tested = false;
        if (!DatePasses(r.time2, &tested)) return MATCH_REJECT;
        if (m & SQF_SIZE_RANGE) {
            tested = true;
            if (!(SizeMin <= r.size && r.size < SizeMax)) return MATCH_REJECT;
        }
        if ((m & SQF_PATH_PREFIX) && !PathPrefix.empty() && fullPath && fullPath[0]) {
            tested = true;
            if (std::wcsncmp(fullPath, PathPrefix.c_str(), PathPrefix.size()) != 0) return MATCH_REJECT;
        }
        if ((m & ~SQF_CATEGORY_MASK) && !tested) return MATCH_REJECT;
    }
    return MATCH_FILTERS_ONLY;
}

int CSearchQuery::MatchRecord(const MatchInput& record, const wchar_t* fullPath, bool* deleted) const {
    MatchScratch scratch;
    return MatchRecord(record, fullPath, deleted, scratch);
}

int CSearchQuery::MatchRecord(const MatchInput& record, const wchar_t* fullPath, bool* deleted,
                              MatchScratch& scratch) const {
    int r = MatchStateAndFilters(record, fullPath, deleted);
    if (r == MATCH_REJECT) return r;
    return MatchName(record.name, scratch) ? MATCH_FULL : MATCH_FILTERS_ONLY;
}

bool CSearchQuery::MatchName(const char* name, MatchScratch& scratch) const {
    switch (mode_) {
    case NameMode::Empty:
        return true;
    case NameMode::Substring:
        if (patternAscii_) {
            int r = namescan::FindFoldedAscii(name, foldedPattern_.data(), foldedPattern_.size());
            if (r >= 0) return r == 1;
        } else if (asciiIdentity_ && namescan::IsAsciiName(name)) {
            return false;  // an ASCII name converts to ASCII units only
        }
        if (!unitPattern_.empty()) {
            int r = namescan::FindUnits(name, unitPattern_.data(), unitPattern_.size());
            if (r >= 0) return r == 1;
        }
        break;
    case NameMode::Wildcard: {
        size_t length = 0;
        if (asciiIdentity_ && namescan::AsciiLength(name, &length)) {
            if (patternAscii_) return namescan::WildcardMatchBytes(foldedPattern_.data(), foldedPattern_.size(), name, length);
            // A literal unit above 0x7F can never meet an ASCII name.
            for (wchar_t c : Pattern) {
                if (c >= 0x80) return false;
            }
        }
        break;
    }
    case NameMode::Regex:
        // A name without every literal that every match holds is not run
        // through the expression.
        for (const std::string& literal : regexLiterals_) {
            if (namescan::FindFoldedAscii(name, literal.data(), literal.size()) == 0) return false;
        }
        break;
    }
    // General case: convert with the system code page and match on UTF-16.
    size_t bytes = std::strlen(name);
    if (scratch.wide.size() < bytes + 1) scratch.wide.resize(bytes + 1);
    int n = 0;
    if (bytes > 0 && asciiIdentity_ && namescan::IsAsciiName(name)) {
        for (size_t i = 0; i < bytes; ++i) scratch.wide[i] = static_cast<unsigned char>(name[i]);
        n = static_cast<int>(bytes);
    } else if (bytes > 0) {
        n = ::MultiByteToWideChar(CP_ACP, 0, name, static_cast<int>(bytes), scratch.wide.data(),
                                  static_cast<int>(scratch.wide.size()));
        if (n < 0) n = 0;
    }
    return MatchWideName(scratch.wide.data(), n, scratch);
}

bool CSearchQuery::MatchWideName(const wchar_t* name, int length, MatchScratch& scratch) const {
    switch (mode_) {
    case NameMode::Empty:
        return true;
    case NameMode::Substring:
        return FindIn(name, length) >= 0;
    case NameMode::Wildcard:
        return WildcardMatch(Pattern.data(), static_cast<int>(Pattern.size()), name, length, true);
    case NameMode::Regex:
        try {
            return boost::regex_search(name, name + length, scratch.regex->results, scratch.regex->For(*this),
                                       boost::match_default | boost::match_any);
        } catch (...) {
            return true;  // the library gave up (too complex): count it as a match
        }
    }
    return false;
}
