// The byte-level shortcuts of matching against a plain matcher written from
// the rules: every name converted with the system code page, a naive
// case-folding substring search, a recursive wildcard matcher.
#include <gtest/gtest.h>

#include <boost/regex.hpp>

#include <cstring>
#include <cwchar>
#include <random>
#include <string>
#include <vector>

#include "index/name_batch.h"
#include "index/name_scan.h"
#include "index/search_query.h"
#include "platform/strconv.h"

namespace {

wchar_t Fold(wchar_t c) { return (c >= L'A' && c <= L'Z') ? c + 32 : c; }

bool RefSubstring(const std::wstring& pat, const std::wstring& name) {
    if (pat.size() > name.size()) return false;
    for (size_t i = 0; i + pat.size() <= name.size(); ++i) {
        size_t k = 0;
        while (k < pat.size() && Fold(pat[k]) == Fold(name[i + k])) ++k;
        if (k == pat.size()) return true;
    }
    return false;
}

bool RefWildcard(const wchar_t* p, const wchar_t* t) {
    if (*p == 0) return *t == 0;
    if (*p == L'*') return RefWildcard(p + 1, t) || (*t && RefWildcard(p, t + 1));
    if (*t == 0) return false;
    if (*p == L'?' || Fold(*p) == Fold(*t)) return RefWildcard(p + 1, t + 1);
    return false;
}

bool InRefList(const std::string& ext, std::initializer_list<const char*> list) {
    for (const char* e : list) {
        if (_stricmp(ext.c_str(), e) == 0) return true;
    }
    return false;
}

bool RefNameMatch(const CSearchQuery& q, bool regex, const std::string& name) {
    if (q.Pattern.empty()) return true;
    std::wstring wide = platform::AnsiToWide(name);
    if (regex) return boost::regex_search(wide, boost::wregex(q.Pattern));
    if (q.Pattern.find_first_of(L"*?") != std::wstring::npos) return RefWildcard(q.Pattern.c_str(), wide.c_str());
    return RefSubstring(q.Pattern, wide);
}

int RefMatch(const CSearchQuery& q, bool regex, const std::string& name, uint8_t flags, ULONGLONG size) {
    if (name.empty() || name == ".") return MATCH_REJECT;
    bool exists = flags & 1, dir = flags & 2;
    if (!exists && dir) return MATCH_REJECT;
    if (q.FileState == SQS_EXISTING && !exists) return MATCH_REJECT;
    if (q.FileState == SQS_DELETED && exists) return MATCH_REJECT;
    if (q.FullScan && q.FilterMask) {
        if (dir) return MATCH_REJECT;
        if (q.FilterMask & 0x1F) {
            size_t dot = name.rfind('.');
            if (dot == std::string::npos || dot == 0) return MATCH_REJECT;
            std::string ext = name.substr(dot + 1);
            bool ok = false;
            if (q.FilterMask & SQF_PICTURE)
                ok |= InRefList(ext, {"bmp", "psd", "jpg", "gif", "dib", "pnp", "tif", "png", "jpeg", "tiff", "emf", "wmf", "exif"});
            if (q.FilterMask & SQF_VIDEO)
                ok |= InRefList(ext, {"avi", "wm", "wmv", "ram", "rm", "rmvb", "mpe", "mpeg", "mpg", "mp4", "mpeg4",
                                      "3gp", "mov", "qt", "f4v", "flv", "hlv", "mkv", "mts"});
            if (q.FilterMask & SQF_AUDIO)
                ok |= InRefList(ext, {"ape", "au", "snd", "cue", "flac", "fla", "rmi", "mp3", "mp4", "ogg", "wav", "wma"});
            if (q.FilterMask & SQF_DOCUMENT)
                ok |= InRefList(ext, {"doc", "docx", "wps", "wpt", "xls", "xlsx", "et", "ppt", "pptx", "dps", "pdf", "cvs"});
            if (q.FilterMask & SQF_ARCHIVE) ok |= InRefList(ext, {"zip", "rar", "7z", "tar", "msi", "iso"});
            if (!ok) return MATCH_REJECT;
        }
        if (q.FilterMask & SQF_SIZE_RANGE) {
            if (!(q.SizeMin <= size && size < q.SizeMax)) return MATCH_REJECT;
        } else if (q.FilterMask & ~0x1Fu) {
            return MATCH_REJECT;
        }
    }
    return RefNameMatch(q, regex, name) ? MATCH_FULL : MATCH_FILTERS_ONLY;
}

class Generator {
public:
    explicit Generator(unsigned seed) : rng_(seed) {}

    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }

    std::wstring WideName() {
        static const wchar_t* const pieces[] = {L"a", L"b", L"A", L"B", L"ab", L"Ab", L"aab", L"x",
                                                L"_", L"-", L" ", L"1", L".", L"?", L"[", L"~",
                                                L"文", L"档", L"中", L"國", L"测试", L"é", L"Ä", L"ä",
                                                L"doc", L"TXT", L"mp4", L"jpg", L"\u00ff", L"\u30fb"};
        std::wstring s;
        int n = 1 + Pick(12);
        for (int i = 0; i < n; ++i) s += pieces[Pick(sizeof(pieces) / sizeof(pieces[0]))];
        return s;
    }

    // An ANSI name: mostly converted text, sometimes raw bytes that need not
    // form valid double-byte pairs.
    std::string AnsiName() {
        if (Pick(8) == 0) {
            std::string s;
            int n = 1 + Pick(10);
            for (int i = 0; i < n; ++i) {
                int kind = Pick(3);
                s += static_cast<char>(kind == 0 ? 0x80 + Pick(0x80) : kind == 1 ? 'a' + Pick(3) : 0x40 + Pick(0x3F));
            }
            return s;
        }
        return platform::WideToAnsi(WideName());
    }

    std::wstring Pattern(const std::vector<std::wstring>& names) {
        std::wstring p;
        if (Pick(3) == 0) {
            p = WideName();
        } else {
            const std::wstring& n = names[Pick(static_cast<int>(names.size()))];
            size_t from = Pick(static_cast<int>(n.size()));
            size_t len = 1 + Pick(static_cast<int>(n.size() - from));
            p = n.substr(from, len);
            for (auto& c : p) {
                if (Pick(3) == 0 && c < 0x80) c = static_cast<wchar_t>(c ^ 0x20 * ((c | 0x20) >= 'a' && (c | 0x20) <= 'z'));
            }
        }
        if (Pick(3) == 0) {  // wildcard form
            for (auto& c : p) {
                if (Pick(6) == 0) c = L'?';
            }
            int stars = Pick(3);
            for (int i = 0; i < stars; ++i) p.insert(p.begin() + Pick(static_cast<int>(p.size()) + 1), L'*');
            if (Pick(2) == 0) p = L"*" + p;
        }
        return p;
    }

    // An expression around a piece of a name: its ASCII punctuation escaped,
    // with anchors, classes, optional and repeated characters and groups.
    std::wstring Expression(const std::vector<std::wstring>& names) {
        const std::wstring& n = names[Pick(static_cast<int>(names.size()))];
        const size_t from = Pick(static_cast<int>(n.size()));
        const std::wstring piece = n.substr(from, 1 + Pick(static_cast<int>(n.size() - from)));
        static const wchar_t* const inserts[] = {L".", L"[ab]", L"x?", L"b+", L"(doc|TXT)", L"\\.", L"A*", L"\\d*",
                                                 L"[^a]", L"(a|\u6587)", L".{0,2}", L"\\w"};
        std::wstring p;
        if (Pick(4) == 0) p += L"^";
        for (wchar_t c : piece) {
            if (Pick(5) == 0) p += inserts[Pick(12)];
            if (c < 0x80 && std::wcschr(L".^$|()[]{}*+?\\", c)) p += L'\\';
            p += c;
        }
        if (Pick(4) == 0) p += L"$";
        return p;
    }

private:
    std::mt19937 rng_;
};

TEST(SearchDifferential, FastPathsAgreeWithPlainMatcher) {
    Generator gen(20260608);
    std::vector<std::string> names;
    std::vector<std::wstring> wideNames;
    for (int i = 0; i < 1500; ++i) {
        names.push_back(gen.AnsiName());
        wideNames.push_back(platform::AnsiToWide(names.back()));
        if (wideNames.back().empty()) wideNames.back() = L"a";
    }
    // Names placed at every alignment, and right before a page end.
    std::vector<char> arena(names.size() * 40 + 8192);
    char* base = reinterpret_cast<char*>((reinterpret_cast<uintptr_t>(arena.data()) + 4095) & ~uintptr_t(4095));
    std::vector<const char*> placed;
    size_t off = 0;
    for (const auto& n : names) {
        if (off + n.size() + 1 > arena.size() - (base - arena.data())) off = 0;
        std::memcpy(base + off, n.c_str(), n.size() + 1);
        placed.push_back(base + off);
        off += n.size() + 1 + gen.Pick(3);
    }

    MatchScratch scratch;
    int checked = 0, full = 0;
    for (int round = 0; round < 400; ++round) {
        CSearchQuery q;
        q.Pattern = round % 10 == 0 ? L"" : gen.Pattern(wideNames);
        q.FileState = gen.Pick(3);
        q.FilterMask = gen.Pick(2) ? 0 : (1u << gen.Pick(5)) | (gen.Pick(2) ? uint32_t(SQF_SIZE_RANGE) : 0u);
        q.SizeMin = gen.Pick(50);
        q.SizeMax = q.SizeMin + gen.Pick(100);
        q.FullScan = gen.Pick(4) ? 1 : 0;
        q.Prepare();
        for (size_t i = 0; i < names.size(); ++i) {
            uint8_t flags = static_cast<uint8_t>(gen.Pick(4));
            ULONGLONG size = gen.Pick(200);
            MatchInput in{placed[i], flags, 0, size};
            bool deleted = false;
            int got = q.MatchRecord(in, L"", &deleted, scratch);
            int want = RefMatch(q, false, names[i], flags, size);
            ASSERT_EQ(got, want) << "pattern '" << platform::WideToUtf8(q.Pattern) << "' name '"
                                 << platform::WideToUtf8(platform::AnsiToWide(names[i])) << "'";
            ++checked;
            full += got == MATCH_FULL;
        }
    }
    EXPECT_EQ(checked, 400 * 1500);
    EXPECT_GT(full, 1000);  // the patterns do hit
}

TEST(SearchDifferential, RegexModeAgreesWithPlainSearch) {
    LONG saved = g_bUseRegex;
    g_bUseRegex = 1;
    Generator gen(7);
    const wchar_t* const patterns[] = {L"a", L"^a", L"b$", L"文.", L"[ab]+x", L"\\.(doc|TXT)$", L"A.?b", L"测试"};
    MatchScratch scratch;
    for (const wchar_t* p : patterns) {
        CSearchQuery q;
        q.Pattern = p;
        q.Prepare();
        ASSERT_EQ(q.IsRegex, 1u);
        for (int i = 0; i < 500; ++i) {
            std::string name = gen.AnsiName();
            MatchInput in{name.c_str(), 1, 0, 0};
            ASSERT_EQ(q.MatchRecord(in, L"", nullptr, scratch), RefMatch(q, true, name, 1, 0));
        }
    }
    g_bUseRegex = saved;
}

// Names tested together, the way a search scans a chunk of the name buffer,
// against the same names tested one by one. The buffer is laid out as a name
// file (names one after another, the last one ending right at a page end);
// some entries start inside another name, come out of order, or lie outside
// the buffer like names added at run time.
TEST(SearchDifferential, BatchScanAgreesWithPlainMatcher) {
    Generator gen(4242);
    std::vector<std::string> names;
    std::vector<std::wstring> wideNames;
    std::string file;
    for (int i = 0; i < 3000; ++i) {
        std::string n = gen.AnsiName();
        if (n.empty()) n = "a";
        names.push_back(n);
        wideNames.push_back(platform::AnsiToWide(n));
        file += n;
        file.push_back('\0');
    }
    const size_t pages = (file.size() + 4095) / 4096 + 1;
    char* region = static_cast<char*>(::VirtualAlloc(nullptr, pages * 4096, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    ASSERT_NE(region, nullptr);
    ::VirtualFree(region + (pages - 1) * 4096, 4096, MEM_DECOMMIT);  // nothing readable after the buffer
    char* buffer = region + (pages - 1) * 4096 - file.size();
    std::memcpy(buffer, file.data(), file.size());
    const char* bufferEnd = buffer + file.size() - 1;  // the last name's NUL
    std::vector<const char*> starts;
    for (const char* p = buffer; p < bufferEnd; p += std::strlen(p) + 1) starts.push_back(p);
    ASSERT_EQ(starts.size(), names.size());

    MatchScratch scratch;
    CNameBatch batch;
    int matched = 0;
    const LONG savedRegex = g_bUseRegex;
    for (int round = 0; round < 600; ++round) {
        // Every third round an expression: the scan for its literal must keep
        // every name the expression finds.
        const bool regex = round % 3 == 1;
        CSearchQuery q;
        q.Pattern = round % 20 == 0 ? L"" : regex ? gen.Expression(wideNames) : gen.Pattern(wideNames);
        g_bUseRegex = regex;
        q.Prepare();
        g_bUseRegex = savedRegex;
        if (!q.Pattern.empty()) {
            ASSERT_EQ(q.IsRegex != 0, regex) << platform::WideToUtf8(q.Pattern);
        }
        std::vector<NameBatchEntry> entries;
        const int first = gen.Pick(static_cast<int>(names.size()));
        const int last = std::min<int>(static_cast<int>(names.size()), first + 1 + gen.Pick(400));
        const bool messy = gen.Pick(3) == 0;
        for (int i = first; i < last; ++i) {
            if (gen.Pick(4) == 0) continue;  // a record that failed the state test
            const char* name = starts[i];
            if (messy) {
                int kind = gen.Pick(12);
                if (kind == 0 && name[1]) ++name;                                      // inside a name
                if (kind == 1) name = starts[gen.Pick(static_cast<int>(starts.size()))];  // out of order
                if (kind == 2) name = names[i].c_str();                                // outside the buffer
            }
            entries.push_back(NameBatchEntry{name, static_cast<uint32_t>(i), 0, static_cast<uint8_t>(gen.Pick(2))});
        }
        std::vector<SearchResult> results(entries.size() + 1);
        uint32_t deleted = 0;
        uint32_t count = batch.Match(q, buffer, bufferEnd, !messy, entries.data(), entries.size(), scratch,
                                     results.data(), &deleted);
        std::vector<uint32_t> want;
        uint32_t wantDeleted = 0;
        for (const NameBatchEntry& e : entries) {
            if (!RefNameMatch(q, q.IsRegex != 0, e.name)) continue;
            want.push_back(e.slot);
            wantDeleted += e.deleted;
        }
        std::vector<uint32_t> got;
        for (uint32_t i = 0; i < count; ++i) got.push_back(results[i].Slot);
        ASSERT_EQ(got, want) << "pattern '" << platform::WideToUtf8(q.Pattern) << "'";
        ASSERT_EQ(deleted, wantDeleted);
        matched += count;
    }
    EXPECT_GT(matched, 5000);
    ::VirtualFree(region, 0, MEM_RELEASE);
}

// The whole-buffer scan against a byte-by-byte one: one hit per name, at its
// first occurrence, with names running over several blocks and hits and
// NULs at every position of a block.
TEST(SearchDifferential, NameScanReportsEachNameHoldingTheText) {
    std::mt19937 rng(5);
    const char alphabet[] = "abAB\x80\xc4\0";
    for (int round = 0; round < 3000; ++round) {
        std::vector<char> data(48 + rng() % 200);
        for (auto& c : data) c = alphabet[rng() % (sizeof(alphabet) - 1)];
        data.back() = 0;
        const size_t from = rng() % 16;
        const std::string pattern = round % 5 == 0 ? "" : std::string("ab", 1 + rng() % 2) + (rng() % 2 ? "a" : "");
        std::vector<uint32_t> hits;
        namescan::FindInNames(data.data() + from, data.data() + data.size() - 1, pattern.data(), pattern.size(), hits);
        std::vector<uint32_t> want;
        size_t start = from;
        bool high = false, done = false;  // a byte >= 0x80 so far; this name already reported
        for (size_t i = from; i + 1 < data.size(); ++i) {
            if (data[i] == 0) {
                start = i + 1;
                high = done = false;
                continue;
            }
            if (done) continue;
            bool hit = pattern.empty() ? static_cast<unsigned char>(data[i]) >= 0x80 : true;
            for (size_t k = 0; k < pattern.size() && hit; ++k) {
                char c = data[i + k];
                hit = (c >= 'A' && c <= 'Z' ? c + 32 : c) == pattern[k];
            }
            if (hit) {
                want.push_back(static_cast<uint32_t>(start - from) | (high ? namescan::kHitAfterHighByte : 0u));
                done = true;
            }
            high = high || static_cast<unsigned char>(data[i]) >= 0x80;
        }
        ASSERT_EQ(hits, want) << "round " << round;
    }
}

} // namespace

namespace {

// The unit-by-unit search of a name's bytes against converting the name and
// searching its UTF-16 text: Chinese and other double-byte characters whose
// trail bytes are ASCII letters, mixed case, raw bytes that do not decode.
TEST(SearchDifferential, UnitSearchAgreesWithConvertedName) {
    if (!namescan::DecodesUniquely() || !namescan::AsciiIsIdentity()) GTEST_SKIP() << "names are converted here";
    Generator gen(31337);
    std::vector<std::string> names;
    std::vector<std::wstring> wideNames;
    for (int i = 0; i < 2000; ++i) {
        std::string n = gen.AnsiName();
        if (n.empty()) n = "a";
        names.push_back(n);
        wideNames.push_back(platform::AnsiToWide(n));
        if (wideNames.back().empty()) wideNames.back() = L"a";
    }
    // Texts whose second byte in double-byte code pages is an ASCII letter
    // ("\u6587" is C4 'E' in code page 936), so a trail byte can look like a
    // letter of the pattern.
    for (const wchar_t* w : {L"\u6587e", L"x\u6587", L"\u6587\u6863", L"aE", L"E"}) wideNames.push_back(w);
    MatchScratch scratch;
    int answered = 0, found = 0;
    for (int round = 0; round < 300; ++round) {
        CSearchQuery q;
        do {
            q.Pattern = gen.Pattern(wideNames);
        } while (q.Pattern.find_first_of(L"*?") != std::wstring::npos);
        q.Prepare();
        const std::string units = [&] {
            // What the query compares: the pattern's bytes, single-byte letters folded.
            std::string bytes = platform::WideToAnsi(q.Pattern);
            for (size_t i = 0; i < bytes.size(); ++i) {
                if (::IsDBCSLeadByte(static_cast<BYTE>(bytes[i]))) ++i;
                else if (bytes[i] >= 'A' && bytes[i] <= 'Z') bytes[i] = static_cast<char>(bytes[i] + 32);
            }
            return bytes;
        }();
        if (platform::AnsiToWide(platform::WideToAnsi(q.Pattern)) != q.Pattern) continue;  // no exact bytes
        for (size_t i = 0; i < names.size(); ++i) {
            const bool want = RefSubstring(q.Pattern, wideNames[i]);
            const int got = namescan::FindUnits(names[i].c_str(), units.data(), units.size());
            if (got >= 0) {
                ASSERT_EQ(got == 1, want) << "pattern '" << platform::WideToUtf8(q.Pattern) << "' name '"
                                          << platform::WideToUtf8(wideNames[i]) << "'";
                ++answered;
                found += got;
            }
            ASSERT_EQ(q.MatchName(names[i].c_str(), scratch), want);
        }
    }
    EXPECT_GT(answered, 100000);  // most names decode validly
    EXPECT_GT(found, 1000);
}

} // namespace

namespace {

// A chunk of slots tested from the slot keys and one scan of the volume's
// name buffer, against each record tested on its own: names in slot order
// with some out of order, repeated, missing, renamed into the run-time pools
// or lying at the end of the buffer; deleted files and folders, every file
// state, Chinese names and mixed case; with and without a candidate list.
TEST(SearchDifferential, SlotScanAgreesWithRecordByRecord) {
    Generator gen(777);
    constexpr uint32_t kSlots = 6000;
    std::string file;
    std::vector<IndexRecord> records(kSlots);
    std::memset(records.data(), 0, records.size() * sizeof(IndexRecord));
    std::vector<std::wstring> wideNames;
    std::vector<uint32_t> starts;
    for (uint32_t slot = 0; slot < kSlots; ++slot) {
        std::string n = gen.Pick(40) == 0 ? std::string(".") : gen.AnsiName();
        starts.push_back(static_cast<uint32_t>(file.size()));
        file += n;
        file.push_back('\0');
        wideNames.push_back(platform::AnsiToWide(n));
        if (wideNames.back().empty()) wideNames.back() = L"a";
    }
    for (uint32_t slot = 0; slot < kSlots; ++slot) {
        IndexRecord& r = records[slot];
        const int kind = gen.Pick(30);
        r.FileName = kind == 0 ? 0xFFFFFFFFu                                   // no name
                     : kind == 1 ? starts[gen.Pick(static_cast<int>(kSlots))]  // out of order
                     : kind == 2 && slot > 0 ? records[slot - 1].FileName      // the same name again
                                             : starts[slot];
        r.Flags = static_cast<uint8_t>(gen.Pick(4));
        r.FatherID = 5;
    }
    std::unique_ptr<char[]> names(new char[file.size() + 1]);
    std::memcpy(names.get(), file.data(), file.size());
    CVolumeIndex volume(L'C');
    volume.AdoptLoaded(records, std::move(names), file.size());
    ASSERT_TRUE(volume.NamesStartAligned());
    for (int i = 0; i < 200; ++i) {  // names added at run time live in the pools
        const std::string n = gen.AnsiName();
        const uint32_t slot = static_cast<uint32_t>(gen.Pick(static_cast<int>(kSlots)));
        ASSERT_TRUE(volume.ReNameIndex(slot, 5, n.data(), static_cast<int>(n.size()), false));
    }

    MatchScratch scratch;
    CNameBatch batch;
    std::vector<SearchResult> candidates(kSlots), results(kSlots), fastResults(kSlots);
    int answered = 0, listAnswered = 0;
    size_t matched = 0;
    ASSERT_TRUE(volume.ReNameIndex(10, 5, "$Mft", 4, false));
    for (int round = 0; round < 400; ++round) {
        CSearchQuery q;
        do {
            q.Pattern = round % 25 == 0 ? L"" : round % 25 == 1 ? L"." : gen.Pattern(wideNames);
        } while (q.Pattern.find_first_of(L"*?") != std::wstring::npos);
        q.FileState = static_cast<uint32_t>(gen.Pick(3));
        q.Prepare();
        uint32_t from = static_cast<uint32_t>(gen.Pick(static_cast<int>(kSlots)));
        uint32_t to = std::min(kSlots, from + 1 + static_cast<uint32_t>(gen.Pick(4096)));
        if (round % 7 == 0) to = kSlots;  // up to the last name of the buffer
        std::vector<uint32_t> wantCandidates, wantResults;
        uint32_t wantDeleted = 0;
        for (uint32_t slot = from; slot < to; ++slot) {
            const IndexRecord& r = *volume.GetRecord(slot);
            const char* name = volume.GetName(r);
            bool deleted = false;
            if (q.MatchState(name, r.Flags, &deleted) == MATCH_REJECT) continue;
            wantCandidates.push_back(slot);
            if (!RefNameMatch(q, false, name)) continue;
            wantResults.push_back(slot);
            wantDeleted += deleted;
        }
        CNameBatch::SlotCounts withList, alone;
        if (!batch.MatchSlots(q, volume, from, to, 3, scratch, candidates.data(), results.data(), &withList)) continue;
        ASSERT_TRUE(batch.MatchSlots(q, volume, from, to, 3, scratch, nullptr, fastResults.data(), &alone));
        auto slots = [](const std::vector<SearchResult>& list, uint32_t n) {
            std::vector<uint32_t> out;
            for (uint32_t i = 0; i < n; ++i) {
                EXPECT_EQ(list[i].Volume, 3);
                out.push_back(list[i].Slot);
            }
            return out;
        };
        const std::string what = "pattern '" + platform::WideToUtf8(q.Pattern) + "' state " +
                                 std::to_string(q.FileState) + " slots " + std::to_string(from) + "-" +
                                 std::to_string(to);
        ASSERT_EQ(slots(candidates, withList.candidates), wantCandidates) << what;
        ASSERT_EQ(slots(results, withList.results), wantResults) << what;
        ASSERT_EQ(slots(fastResults, alone.results), wantResults) << what;
        ASSERT_EQ(withList.deleted, wantDeleted) << what;
        ASSERT_EQ(alone.deleted, wantDeleted) << what;
        ++answered;
        matched += wantResults.size();

        // The same slots as a narrowing's list: a few left out, one out of
        // order, one beyond the table, and the metadata slot named "$Mft".
        std::vector<SearchResult> list;
        for (uint32_t slot = from; slot < to; ++slot) {
            if (gen.Pick(5) != 0) list.push_back(SearchResult{slot, 3});
        }
        if (!list.empty() && gen.Pick(2)) list.insert(list.begin() + gen.Pick(static_cast<int>(list.size())), {static_cast<uint32_t>(gen.Pick(static_cast<int>(kSlots))), 3});
        if (gen.Pick(3) == 0) list.push_back(SearchResult{kSlots + 1000, 3});
        if (gen.Pick(3) == 0) list.insert(list.begin(), SearchResult{10, 3});
        std::vector<uint32_t> wantListed;
        uint32_t wantListedDeleted = 0;
        for (const SearchResult& e : list) {
            const IndexRecord* r = volume.GetRecord(e.Slot);
            const char* name = r ? volume.GetName(*r) : nullptr;
            bool deleted = false;
            if (!r || (e.Slot < 50 && name && name[0] == '$')) continue;
            if (q.MatchState(name, r->Flags, &deleted) == MATCH_REJECT || !RefNameMatch(q, false, name)) continue;
            wantListed.push_back(e.Slot);
            wantListedDeleted += deleted;
        }
        CNameBatch::SlotCounts listed;
        std::vector<SearchResult> listResults(list.size() + 1);
        if (batch.MatchEntries(q, volume, list.data(), list.size(), scratch, listResults.data(), &listed)) {
            ASSERT_EQ(slots(listResults, listed.results), wantListed) << what << " (list)";
            ASSERT_EQ(listed.deleted, wantListedDeleted) << what << " (list)";
            ++listAnswered;
        }
    }
    EXPECT_GT(listAnswered, 150);
    EXPECT_GT(answered, 200);  // the scan answers unless a chunk ends on a name far out of order
    EXPECT_GT(matched, 20000u);
}

} // namespace
