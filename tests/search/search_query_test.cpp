// Query preparation, the three name modes and the filters of one record.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "index/search_query.h"
#include "platform/strconv.h"

namespace {

constexpr uint8_t kExists = 0x01;
constexpr uint8_t kDirectory = 0x02;

struct RegexMode {
    explicit RegexMode(bool on) : saved(g_bUseRegex) { g_bUseRegex = on ? 1 : 0; }
    ~RegexMode() { g_bUseRegex = saved; }
    LONG saved;
};

CSearchQuery Query(const std::wstring& pattern, uint32_t mask = 0, uint32_t state = SQS_ALL) {
    CSearchQuery q;
    q.Pattern = pattern;
    q.FilterMask = mask;
    q.FileState = state;
    q.Prepare();
    return q;
}

int Match(const CSearchQuery& q, const std::string& ansiName, uint8_t flags = kExists, ULONGLONG time2 = 0,
          ULONGLONG size = 0, const wchar_t* path = L"", bool* deleted = nullptr) {
    MatchInput in{ansiName.c_str(), flags, time2, size};
    bool del = false;
    int r = q.MatchRecord(in, path, &del);
    if (deleted) *deleted = del;
    return r;
}

bool ChineseCodePage() { return GetACP() == 936; }

bool Names(const CSearchQuery& q, const std::wstring& name) {
    return Match(q, platform::WideToAnsi(name)) == MATCH_FULL;
}

ULONGLONG LocalTime(WORD y, WORD mo, WORD d, WORD h = 12) {
    SYSTEMTIME st = {};
    st.wYear = y;
    st.wMonth = mo;
    st.wDay = d;
    st.wHour = h;
    FILETIME ft;
    EXPECT_TRUE(SystemTimeToFileTime(&st, &ft));
    return (static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

SYSTEMTIME NowAt(WORD y, WORD mo, WORD d) {
    FILETIME ft;
    ULONGLONG v = LocalTime(y, mo, d, 9);
    ft.dwLowDateTime = static_cast<DWORD>(v);
    ft.dwHighDateTime = static_cast<DWORD>(v >> 32);
    SYSTEMTIME st;
    FileTimeToSystemTime(&ft, &st);
    return st;
}

TEST(SearchQuery, SubstringFoldsOnlyAscii) {
    EXPECT_TRUE(Names(Query(L"abc"), L"xxABCxx"));
    EXPECT_TRUE(Names(Query(L"ABC"), L"xxabcxx"));
    // Ä and ä are different code units: no folding outside A-Z.
    CSearchQuery q = Query(L"\u00c4B");
    EXPECT_EQ(q.FindIn(L"\u00e4b"), -1);
    EXPECT_EQ(q.FindIn(L"x\u00c4b"), 1);
    if (ChineseCodePage()) {
        EXPECT_TRUE(Names(Query(L"文档"), L"我的文档.doc"));
        EXPECT_FALSE(Names(Query(L"文档"), L"wendang.doc"));
        EXPECT_TRUE(Names(Query(L"doc"), L"我的文档.DOC"));
    }
    EXPECT_TRUE(Names(Query(L"\u00e9T"), L"caf\u00e9t"));
}

TEST(SearchQuery, KmpBorders) {
    CSearchQuery q = Query(L"aAb");
    ASSERT_EQ(q.FailureTable.size(), 3u);
    EXPECT_EQ(q.FailureTable[0], 0);
    EXPECT_EQ(q.FailureTable[1], 1);  // 'a' and 'A' fold alike
    EXPECT_EQ(q.FailureTable[2], 0);
    EXPECT_EQ(q.FindIn(L"aaAb"), 1);
    CSearchQuery abc = Query(L"abc");
    EXPECT_EQ(abc.FindIn(L"abbc"), -1);
    EXPECT_EQ(abc.FindIn(L"abxbc"), -1);
    EXPECT_EQ(abc.FindIn(L"xabcx"), 1);
    CSearchQuery border = Query(L"abab");
    EXPECT_EQ(border.FindIn(L"abaabab"), 3);
    EXPECT_FALSE(Names(Query(L"abc"), L"abbc"));
    EXPECT_TRUE(Names(Query(L"aAb"), L"aaAb"));
}

TEST(SearchQuery, WildcardAnchoredAtBothEnds) {
    EXPECT_TRUE(WildcardMatchNoCase(L"A.TXT", L"*.txt"));
    EXPECT_FALSE(WildcardMatchNoCase(L"a.txt.bak", L"*.txt"));
    EXPECT_TRUE(WildcardMatchNoCase(L"aXbYc", L"a*b*c"));
    EXPECT_TRUE(WildcardMatchNoCase(L"anything", L"**"));
    EXPECT_TRUE(WildcardMatchNoCase(L"abc", L"a?c"));
    EXPECT_FALSE(WildcardMatchNoCase(L"abcd", L"a?c"));
    EXPECT_TRUE(WildcardMatchNoCase(L"abcd", L"ab*"));
    EXPECT_FALSE(WildcardMatchNoCase(L"xabc", L"ab*"));
    EXPECT_FALSE(WildcardMatch(L"A*", 2, L"abc", 3, false));
    CSearchQuery q = Query(L"*.txt");
    EXPECT_EQ(q.IsWildcard, 1u);
    EXPECT_TRUE(Names(q, L"A.TXT"));
    EXPECT_FALSE(Names(q, L"a.txt.bak"));
    if (ChineseCodePage()) {
        EXPECT_TRUE(Names(Query(L"*文?.txt"), L"我的文档.txt"));
        EXPECT_FALSE(Names(Query(L"*文?.txt"), L"wen.txt"));
    }
}

TEST(SearchQuery, RegexIsCaseSensitiveSearchAndFallsBack) {
    RegexMode on(true);
    CSearchQuery q = Query(L"^a.*z$");
    EXPECT_EQ(q.IsRegex, 1u);
    EXPECT_TRUE(Names(q, L"abcz"));
    EXPECT_FALSE(Names(q, L"ABCZ"));
    EXPECT_TRUE(Names(Query(L"b.d"), L"xxbcdxx"));  // a search, not a whole-name match
    if (ChineseCodePage()) {
        EXPECT_TRUE(Names(Query(L"文.\\.txt"), L"中文档.txt"));
    }

    CSearchQuery broken = Query(L"([");
    EXPECT_EQ(broken.IsRegex, 0u);
    EXPECT_TRUE(Names(broken, L"a([b"));
    EXPECT_TRUE(Names(broken, L"A([B"));
    EXPECT_FALSE(Names(broken, L"ab"));

    RegexMode off(false);
    EXPECT_EQ(Query(L"^a.*z$").IsRegex, 0u);
}

TEST(SearchQuery, RequiredLiteralOfAnExpression) {
    const struct {
        const wchar_t* expression;
        const char* literal;
    } cases[] = {
        {L"inv.ice[0-9]+\\.pdf$", ".pdf"},   {L"ab+c", "ab"},      {L"abc?d", "ab"},
        {L"a(b|c)de", "de"},                 {L"x|abcd", ""},      {L"(?i)abcd", ""},
        {L"\\x41bcd", ""},                   {L"a{2}bcd", "bcd"},  {L"[]x]yz", "yz"},
        {L"\\?ab", "ab"},                    {L"\\<word", ""},     {L"abc\\d+xyzw", "xyzw"},
        {L"[[:alpha:]]+Report", "Report"},   {L"(a(b)c)*", ""},    {L"x*y*", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RequiredRegexLiteral(c.expression), c.literal) << platform::WideToUtf8(c.expression);
    }
}

TEST(SearchQuery, PathologicalRegexNeitherCrashesNorHangs) {
    RegexMode on(true);
    // Nested repetition over a long name: exponential backtracking that the
    // library cuts off with an error, which counts as a match -- for a name
    // that holds the literal 'x' every match needs; one without it is never
    // run through the expression.
    CSearchQuery q = Query(L"(a*)*(b*)*(c*)*(d*)*$x");
    ASSERT_EQ(q.IsRegex, 1u);
    std::string name(250, 'a');
    EXPECT_EQ(Match(q, name + "x"), MATCH_FULL);
    EXPECT_EQ(Match(q, name), MATCH_FILTERS_ONLY);
    // An ordinary expression on the same name is unaffected.
    EXPECT_EQ(Match(Query(L"^b"), name), MATCH_FILTERS_ONLY);
}

TEST(SearchQuery, AssignCopiesCallerFieldsAndPreparesAfresh) {
    CSearchQuery src;
    src.Pattern = L"a*c";
    src.PathPrefix = L"C:\\x";
    src.FilterMask = SQF_SIZE_RANGE;
    src.FileState = SQS_DELETED;
    src.FullScan = 0;
    src.PassThrough = 7;
    src.SizeMin = 3;
    src.SizeMax = 9;
    src.DateFrom = {1, 2};
    src.DateTo = {3, 4};
    CSearchQuery dst;
    dst.IsWildcard = 0;
    dst.Assign(src);
    EXPECT_EQ(dst.Pattern, L"a*c");
    EXPECT_EQ(dst.PathPrefix, L"C:\\x");
    EXPECT_EQ(dst.FilterMask, SQF_SIZE_RANGE);
    EXPECT_EQ(dst.FileState, static_cast<uint32_t>(SQS_DELETED));
    EXPECT_EQ(dst.FullScan, 0u);
    EXPECT_EQ(dst.PassThrough, 7u);
    EXPECT_EQ(dst.SizeMin, 3u);
    EXPECT_EQ(dst.SizeMax, 9u);
    EXPECT_EQ(dst.DateFrom.dwLowDateTime, 1u);
    EXPECT_EQ(dst.DateTo.dwHighDateTime, 4u);
    EXPECT_EQ(dst.IsWildcard, 1u);
    EXPECT_EQ(dst.FailureTable.size(), 3u);
}

TEST(SearchQuery, StateAndDirectories) {
    CSearchQuery all = Query(L"");
    bool deleted = false;
    EXPECT_EQ(Match(all, "dir", kExists | kDirectory), MATCH_FULL);
    EXPECT_EQ(Match(all, "gone", 0, 0, 0, L"", &deleted), MATCH_FULL);
    EXPECT_TRUE(deleted);
    for (uint32_t state : {0u, 1u, 2u, 9u}) {
        EXPECT_EQ(Match(Query(L"", 0, state), "olddir", kDirectory), MATCH_REJECT) << state;
    }
    EXPECT_EQ(Match(Query(L"", 0, SQS_EXISTING), "gone", 0), MATCH_REJECT);
    EXPECT_EQ(Match(Query(L"", 0, SQS_DELETED), "here", kExists), MATCH_REJECT);
    EXPECT_EQ(Match(Query(L"", 0, SQS_DELETED), "gone", 0), MATCH_FULL);
    EXPECT_EQ(Match(Query(L"x"), "abc"), MATCH_FILTERS_ONLY);
    EXPECT_EQ(Match(all, ""), MATCH_REJECT);
    EXPECT_EQ(Match(all, "."), MATCH_REJECT);
    EXPECT_EQ(Match(all, ".."), MATCH_FULL);
    MatchInput nameless{nullptr, kExists, 0, 0};
    EXPECT_EQ(all.MatchRecord(nameless, L"", nullptr), MATCH_REJECT);
    // Any filter bit turns directories away.
    EXPECT_EQ(Match(Query(L"", SQF_THIS_MONTH), "dir", kExists | kDirectory), MATCH_REJECT);
}

TEST(SearchQuery, Categories) {
    EXPECT_EQ(Match(Query(L"", SQF_PICTURE | SQF_DOCUMENT | SQF_AUDIO | SQF_VIDEO | SQF_ARCHIVE), ".bashrc"),
              MATCH_REJECT);
    EXPECT_EQ(Match(Query(L"", SQF_AUDIO), "movie.MP4"), MATCH_FULL);
    EXPECT_EQ(Match(Query(L"", SQF_VIDEO), "movie.MP4"), MATCH_FULL);
    EXPECT_EQ(Match(Query(L"", SQF_PICTURE), "movie.MP4"), MATCH_REJECT);
    EXPECT_EQ(Match(Query(L"", SQF_ARCHIVE), "a.tar.GZ"), MATCH_REJECT);
    EXPECT_EQ(Match(Query(L"", SQF_ARCHIVE), "a.gz.7Z"), MATCH_FULL);
    EXPECT_EQ(Match(Query(L"", SQF_DOCUMENT), "report."), MATCH_REJECT);
    EXPECT_EQ(Match(Query(L"", SQF_DOCUMENT), ".x.pdf"), MATCH_FULL);
    EXPECT_EQ(Match(Query(L"zz", SQF_DOCUMENT), "a.doc"), MATCH_FILTERS_ONLY);
    // Filters apply only to a full scan; a narrowing pass checks state and name.
    CSearchQuery narrow = Query(L"", SQF_DOCUMENT);
    narrow.FullScan = 0;
    EXPECT_EQ(Match(narrow, "a.txt"), MATCH_FULL);
    EXPECT_EQ(Match(narrow, "dir", kExists | kDirectory), MATCH_FULL);
}

TEST(SearchQuery, WeekRuleOnThe3rdAndThe20th) {
    // 3 June 2026 is a Wednesday (weekday 3).
    CSearchQuery q = Query(L"", SQF_THIS_WEEK);
    q.Now = NowAt(2026, 6, 3);
    ASSERT_EQ(q.Now.wDayOfWeek, 3);
    EXPECT_EQ(Match(q, "a", kExists, LocalTime(2026, 6, 1)), MATCH_FULL);   // Monday
    EXPECT_EQ(Match(q, "a", kExists, LocalTime(2026, 6, 3)), MATCH_FULL);   // Wednesday
    EXPECT_EQ(Match(q, "a", kExists, LocalTime(2026, 6, 4)), MATCH_REJECT); // Thursday
    EXPECT_EQ(Match(q, "a", kExists, LocalTime(2026, 6, 24)), MATCH_FULL);  // a later Wednesday
    EXPECT_EQ(Match(q, "a", kExists, LocalTime(2026, 6, 28)), MATCH_FULL);  // Sunday
    EXPECT_EQ(Match(q, "a", kExists, LocalTime(2026, 5, 31)), MATCH_REJECT);

    // 20 June 2026 is a Saturday (weekday 6): days from the 13th on.
    q.Now = NowAt(2026, 6, 20);
    ASSERT_EQ(q.Now.wDayOfWeek, 6);
    EXPECT_EQ(Match(q, "a", kExists, LocalTime(2026, 6, 12)), MATCH_REJECT);
    EXPECT_EQ(Match(q, "a", kExists, LocalTime(2026, 6, 13)), MATCH_FULL);
    EXPECT_EQ(Match(q, "a", kExists, LocalTime(2026, 6, 20)), MATCH_FULL);
    EXPECT_EQ(Match(q, "a", kExists, LocalTime(2026, 6, 26)), MATCH_FULL);
    q.Now = NowAt(2026, 6, 17);  // Wednesday: from the 10th on
    EXPECT_EQ(Match(q, "a", kExists, LocalTime(2026, 6, 9)), MATCH_REJECT);  // Tuesday, too early
    EXPECT_EQ(Match(q, "a", kExists, LocalTime(2026, 6, 10)), MATCH_FULL);   // Wednesday
    EXPECT_EQ(Match(q, "a", kExists, LocalTime(2026, 6, 11)), MATCH_REJECT); // Thursday
    EXPECT_EQ(Match(q, "a", kExists, LocalTime(2026, 6, 15)), MATCH_FULL);   // Monday
}

TEST(SearchQuery, TodayMonthAndOnlyTheFirstDateBit) {
    CSearchQuery q = Query(L"", SQF_TODAY | SQF_THIS_MONTH);
    q.Now = NowAt(2026, 6, 20);
    EXPECT_EQ(Match(q, "a", kExists, LocalTime(2026, 6, 20, 23)), MATCH_FULL);
    EXPECT_EQ(Match(q, "a", kExists, LocalTime(2026, 6, 19)), MATCH_REJECT);  // month bit not tested
    CSearchQuery m = Query(L"", SQF_THIS_MONTH | SQF_DATE_RANGE);
    m.Now = NowAt(2026, 6, 20);
    EXPECT_EQ(Match(m, "a", kExists, LocalTime(2026, 6, 1)), MATCH_FULL);
    EXPECT_EQ(Match(m, "a", kExists, LocalTime(2025, 6, 1)), MATCH_REJECT);
}

TEST(SearchQuery, DateRangeIsExclusive) {
    CSearchQuery q = Query(L"", SQF_DATE_RANGE);
    ULONGLONG from = LocalTime(2026, 1, 1), to = LocalTime(2026, 2, 1);
    q.DateFrom = {static_cast<DWORD>(from), static_cast<DWORD>(from >> 32)};
    q.DateTo = {static_cast<DWORD>(to), static_cast<DWORD>(to >> 32)};
    EXPECT_EQ(Match(q, "a", kExists, from), MATCH_REJECT);
    EXPECT_EQ(Match(q, "a", kExists, to), MATCH_REJECT);
    EXPECT_EQ(Match(q, "a", kExists, from + 1), MATCH_FULL);
    EXPECT_EQ(Match(q, "a", kExists, to - 1), MATCH_FULL);
}

TEST(SearchQuery, DateRangeWithoutBoundsRestrictsNothing) {
    // The bar's date-range button sets the bit with no range chosen: every
    // date passes, the other filters still apply.
    CSearchQuery q = Query(L"", SQF_DATE_RANGE);
    EXPECT_EQ(Match(q, "a", kExists, LocalTime(2026, 6, 20)), MATCH_FULL);
    EXPECT_EQ(Match(q, "a", kExists, 0), MATCH_FULL);
    EXPECT_EQ(Match(q, "dir", kExists | kDirectory), MATCH_REJECT);  // filters still drop folders
    CSearchQuery doc = Query(L"rep", SQF_DATE_RANGE | SQF_DOCUMENT);
    EXPECT_EQ(Match(doc, "report.docx", kExists, LocalTime(2026, 6, 20)), MATCH_FULL);
    EXPECT_EQ(Match(doc, "report.txt", kExists, LocalTime(2026, 6, 20)), MATCH_REJECT);
    // One bound set is a range: the other bound, zero, lets nothing through.
    ULONGLONG from = LocalTime(2026, 1, 1);
    q.DateFrom = {static_cast<DWORD>(from), static_cast<DWORD>(from >> 32)};
    EXPECT_EQ(Match(q, "a", kExists, LocalTime(2026, 6, 20)), MATCH_REJECT);
}

TEST(SearchQuery, SizeBoundsAndCombinedFilters) {
    CSearchQuery q = Query(L"", SQF_SIZE_RANGE);
    q.SizeMin = 0;
    q.SizeMax = 1048576;
    EXPECT_EQ(Match(q, "a", kExists, 0, 1048575), MATCH_FULL);
    EXPECT_EQ(Match(q, "a", kExists, 0, 1048576), MATCH_REJECT);
    q.SizeMin = 10;
    EXPECT_EQ(Match(q, "a", kExists, 0, 9), MATCH_REJECT);
    EXPECT_EQ(Match(q, "a", kExists, 0, 10), MATCH_FULL);
    // Unsigned: a negative stored size is huge.
    EXPECT_EQ(Match(q, "a", kExists, 0, ~0ull), MATCH_REJECT);

    CSearchQuery both = Query(L"", SQF_TODAY | SQF_SIZE_RANGE);
    both.SizeMax = 100;
    both.Now = NowAt(2026, 6, 20);
    EXPECT_EQ(Match(both, "a", kExists, LocalTime(2026, 6, 19), 50), MATCH_REJECT);
    EXPECT_EQ(Match(both, "a", kExists, LocalTime(2026, 6, 20), 50), MATCH_FULL);
}

TEST(SearchQuery, PathPrefix) {
    CSearchQuery q = Query(L"", SQF_PATH_PREFIX);
    q.PathPrefix = L"D:\\photos";
    EXPECT_EQ(Match(q, "a.jpg", kExists, 0, 0, L"D:\\photos\\a.jpg"), MATCH_FULL);
    EXPECT_EQ(Match(q, "a.jpg", kExists, 0, 0, L"D:\\Photos\\a.jpg"), MATCH_REJECT);  // case-sensitive
    EXPECT_EQ(Match(q, "a.jpg", kExists, 0, 0, L"D:\\pho"), MATCH_REJECT);
    // No path given: the test is not carried out, and the prefix bit alone rejects.
    EXPECT_EQ(Match(q, "a.jpg", kExists, 0, 0, L""), MATCH_REJECT);
    CSearchQuery withCategory = Query(L"", SQF_PATH_PREFIX | SQF_PICTURE);
    EXPECT_EQ(Match(withCategory, "a.jpg", kExists, 0, 0, L"C:\\a.jpg"), MATCH_REJECT);  // empty prefix
    CSearchQuery unknownBit = Query(L"", 0x800);
    EXPECT_EQ(Match(unknownBit, "a.jpg"), MATCH_REJECT);
    CSearchQuery categoryOnly = Query(L"", SQF_PICTURE);
    EXPECT_EQ(Match(categoryOnly, "a.jpg"), MATCH_FULL);
}

} // namespace
