#pragma once
// A search request: name pattern with its match mode, the file state wanted and
// the category, date, size and path-prefix filters; and the per-record test.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "index/index_record.h"

namespace boost {
template <class charT> class cpp_regex_traits;
template <class charT, class traits> class basic_regex;
} // namespace boost

enum SearchFileState : uint32_t {
    SQS_ALL = 0,
    SQS_EXISTING = 1,
    SQS_DELETED = 2,
};

enum SearchFilterBits : uint32_t {
    SQF_PICTURE = 0x1,
    SQF_VIDEO = 0x2,
    SQF_AUDIO = 0x4,
    SQF_DOCUMENT = 0x8,
    SQF_ARCHIVE = 0x10,
    SQF_TODAY = 0x20,
    SQF_THIS_WEEK = 0x40,
    SQF_THIS_MONTH = 0x80,
    SQF_DATE_RANGE = 0x100,
    SQF_SIZE_RANGE = 0x200,
    SQF_PATH_PREFIX = 0x400,
};
constexpr uint32_t SQF_CATEGORY_MASK = 0x1F;

enum MatchResult : int {
    MATCH_REJECT = 0,
    MATCH_FILTERS_ONLY = 1,
    MATCH_FULL = 2,
};

// Match names as regular expressions; written under the index manager's query
// lock and read by CSearchQuery::Prepare.
extern volatile LONG g_bUseRegex;

// Category lists (extensions without the dot), in testing order.
extern const char* const g_DocumentExtensions[];
extern const char* const g_PictureExtensions[];
extern const char* const g_AudioExtensions[];
extern const char* const g_VideoExtensions[];
extern const char* const g_ArchiveExtensions[];

// Whole-text wildcard match: '*' any run (several act as one), '?' one code
// unit, anchored at both ends; only A-Z fold when ignoreCase is set.
bool WildcardMatch(const wchar_t* pattern, int patternLength, const wchar_t* text, int textLength,
                   bool ignoreCase);
bool WildcardMatchNoCase(const wchar_t* text, const wchar_t* pattern);

// The longest run of ASCII characters (case as written) that every match of
// the Perl-syntax expression holds; empty when none is certain. `all`, when
// given, receives every such run.
std::string RequiredRegexLiteral(const std::wstring& pattern, std::vector<std::string>* all = nullptr);

// Per-thread working storage for matching, so that matching many records does
// not allocate per record.
struct MatchScratch {
    MatchScratch();
    ~MatchScratch();
    MatchScratch(const MatchScratch&) = delete;
    MatchScratch& operator=(const MatchScratch&) = delete;

    std::vector<wchar_t> wide;  // the name converted to UTF-16
    struct RegexState;
    std::unique_ptr<RegexState> regex;
};

// The fields of a record that matching reads.
struct MatchInput {
    const char* name;  // ANSI, NUL-terminated, or null
    uint8_t flags;     // IRF_* bits
    ULONGLONG time2;   // local-time FILETIME value
    ULONGLONG size;
};

class CSearchQuery {
public:
    using WRegex = boost::basic_regex<wchar_t, boost::cpp_regex_traits<wchar_t>>;

    CSearchQuery();
    CSearchQuery(const CSearchQuery& other);
    CSearchQuery& operator=(const CSearchQuery& other);
    ~CSearchQuery();

    // Recomputes the match mode, Now, the failure table and the expression.
    void Prepare();
    // Copies the caller's fields and prepares afresh.
    void Assign(const CSearchQuery& other);
    void BuildKmpTable();
    // Position of the first occurrence of Pattern in name, or -1.
    int FindIn(const wchar_t* name) const;
    int FindIn(const wchar_t* name, int length) const;

    // Tests one record; fullPath (UTF-16) matters only for the prefix filter.
    int MatchRecord(const MatchInput& record, const wchar_t* fullPath, bool* deleted) const;
    int MatchRecord(const MatchInput& record, const wchar_t* fullPath, bool* deleted,
                    MatchScratch& scratch) const;

    // True when the name test (step 5) passes; the name is not null.
    bool MatchName(const char* name, MatchScratch& scratch) const;
    // Step 1-4 of matching: MATCH_REJECT or MATCH_FILTERS_ONLY.
    int MatchStateAndFilters(const MatchInput& record, const wchar_t* fullPath, bool* deleted) const;
    // True when the filters take no part (no filter bit, or not a full scan):
    // MatchState then stands for MatchStateAndFilters.
    bool StateOnly() const { return !FullScan || FilterMask == 0; }
    // Steps 1-3: the name must be there, deleted folders never pass, and the
    // file state. Inline: a search runs it for every record.
    int MatchState(const char* name, uint8_t flags, bool* deleted) const {
        if (!name || name[0] == 0 || (name[0] == '.' && name[1] == 0)) return MATCH_REJECT;
        const bool exists = (flags & IRF_EXISTS) != 0;
        if (!exists) {
            if (flags & IRF_DIRECTORY) return MATCH_REJECT;  // deleted directories are never listed
            if (deleted) *deleted = true;
        }
        if (FileState == SQS_EXISTING && !exists) return MATCH_REJECT;
        if (FileState == SQS_DELETED && exists) return MATCH_REJECT;
        return MATCH_FILTERS_ONLY;
    }

    // How a search may pick out the names worth testing by scanning many
    // names at once (namescan::FindInNames): a name without a hit cannot match.
    struct NamePrefilter {
        bool usable = false;
        std::string literal;  // folded ASCII text; empty: a byte >= 0x80 is the hit
        bool exact = false;   // a hit of the literal before any byte >= 0x80 is a match
    };
    const NamePrefilter& Prefilter() const { return prefilter_; }
    // True when the pattern is empty, so every name matches.
    bool MatchesEveryName() const { return mode_ == NameMode::Empty; }
    // True when a date range was chosen (either bound set); SQF_DATE_RANGE
    // without one lets every date through.
    bool HasDateRange() const {
        return DateFrom.dwLowDateTime || DateFrom.dwHighDateTime || DateTo.dwLowDateTime || DateTo.dwHighDateTime;
    }

    // Fields set by the caller.
    std::wstring Pattern;
    uint32_t FilterMask = 0;
    uint32_t FileState = SQS_ALL;
    uint32_t FullScan = 1;
    uint32_t PassThrough = 1;  // kept for the caller, never read here
    FILETIME DateFrom = {};
    FILETIME DateTo = {};
    ULONGLONG SizeMin = 0;
    ULONGLONG SizeMax = 0;
    std::wstring PathPrefix;

    // Derived by Prepare.
    uint32_t IsWildcard = 0;
    uint32_t IsRegex = 0;
    SYSTEMTIME Now = {};
    std::vector<int32_t> FailureTable;
    int32_t PatternLength = 0;
    std::shared_ptr<const WRegex> Regex;

private:
    enum class NameMode { Empty, Substring, Wildcard, Regex };

    bool MatchWideName(const wchar_t* name, int length, MatchScratch& scratch) const;
    bool CategoryPasses(const char* name) const;
    bool DatePasses(ULONGLONG time2, bool* tested) const;
    void PreparePrefilter();

    // Byte-level shortcuts for names without bytes >= 0x80; set by Prepare.
    NameMode mode_ = NameMode::Empty;
    bool patternAscii_ = false;
    bool asciiIdentity_ = false;
    std::string foldedPattern_;  // Pattern folded to lower case, ASCII only
    // Pattern's code-page bytes for namescan::FindUnits; empty when names
    // must be converted to be matched.
    std::string unitPattern_;
    std::vector<std::string> regexLiterals_;  // folded texts every match of the expression holds
    NamePrefilter prefilter_;
};

// Folds only A-Z, as the C locale's single-byte tolower does.
inline wchar_t FoldAscii(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + 32) : c; }
inline unsigned char FoldAsciiByte(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c;
}
