// The read-answer walker against well-formed and hostile answers.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "index/usn_journal_io.h"
#include "tests/journal/memory_usn_journal.h"

namespace {

// An 8-byte aligned copy of an answer, as the read buffers are.
struct Answer {
    std::vector<ULONGLONG> storage;
    DWORD bytes = 0;

    explicit Answer(const std::string& raw) : storage(raw.size() / 8 + 2, 0), bytes(static_cast<DWORD>(raw.size())) {
        if (!raw.empty()) std::memcpy(storage.data(), raw.data(), raw.size());
    }
    const BYTE* data() const { return reinterpret_cast<const BYTE*>(storage.data()); }
};

std::string UsnBytes(USN usn) { return std::string(reinterpret_cast<const char*>(&usn), sizeof(usn)); }

UsnChange Change(DWORDLONG frn, const std::wstring& name, DWORD reason = USN_REASON_FILE_CREATE | USN_REASON_CLOSE) {
    UsnChange c;
    c.fileReference = frn;
    c.parentReference = 5;
    c.reason = reason;
    c.name = name;
    return c;
}

std::vector<std::wstring> Names(const Answer& a) {
    CUsnReadBuffer walk(a.data(), a.bytes);
    std::vector<std::wstring> names;
    while (const USN_RECORD_V2* r = walk.NextRecord()) names.push_back(UsnRecordName(*r));
    return names;
}

template <typename T>
void Poke(std::string& bytes, size_t offset, T value) {
    std::memcpy(&bytes[offset], &value, sizeof(value));
}

} // namespace

TEST(UsnReadBuffer, WalksWellFormedAnswer) {
    const std::string first = EncodeUsnRecord(Change(0x0001000000000040ULL, L"a.txt"), 0x2000);
    const std::string second = EncodeUsnRecord(Change(65, L"\x4E2D\x6587.doc"), 0x2000 + first.size());
    const std::string third = EncodeUsnRecord(Change(66, L""), 0x2100);
    Answer a(UsnBytes(0x3000) + first + second + third);

    CUsnReadBuffer walk(a.data(), a.bytes);
    ASSERT_TRUE(walk.HasNextUsn());
    EXPECT_EQ(walk.NextUsn(), 0x3000);
    const USN_RECORD_V2* r = walk.NextRecord();
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->FileReferenceNumber, 0x0001000000000040ULL);
    EXPECT_EQ(r->Usn, 0x2000);
    EXPECT_EQ(r->RecordLength % 8, 0u);
    EXPECT_EQ(UsnRecordName(*r), L"a.txt");
    r = walk.NextRecord();
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(UsnRecordName(*r), std::wstring(L"\x4E2D\x6587.doc"));
    r = walk.NextRecord();
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(UsnRecordName(*r), L"");
    EXPECT_EQ(walk.NextRecord(), nullptr);
    EXPECT_EQ(walk.NextRecord(), nullptr);  // stays ended
}

TEST(UsnReadBuffer, ShortAnswersYieldNoRecords) {
    Answer onlyUsn(UsnBytes(77));
    CUsnReadBuffer walk(onlyUsn.data(), onlyUsn.bytes);
    EXPECT_TRUE(walk.HasNextUsn());
    EXPECT_EQ(walk.NextUsn(), 77);
    EXPECT_EQ(walk.NextRecord(), nullptr);

    Answer tiny(std::string("\x01\x02\x03", 3));
    CUsnReadBuffer small(tiny.data(), tiny.bytes);
    EXPECT_FALSE(small.HasNextUsn());
    EXPECT_EQ(small.NextUsn(), 0);
    EXPECT_EQ(small.NextRecord(), nullptr);

    CUsnReadBuffer none(nullptr, 4096);
    EXPECT_FALSE(none.HasNextUsn());
    EXPECT_EQ(none.NextRecord(), nullptr);

    // A few bytes after the USN, too short to hold a length.
    Answer stub(UsnBytes(5) + std::string("\x40\x00", 2));
    EXPECT_TRUE(Names(stub).empty());
}

TEST(UsnReadBuffer, BadRecordLengthEndsTheWalk) {
    const std::string good = EncodeUsnRecord(Change(64, L"good.txt"), 0x100);
    const std::string after = EncodeUsnRecord(Change(65, L"after.txt"), 0x200);

    struct Case {
        const char* what;
        DWORD length;
    };
    const Case cases[] = {
        {"zero", 0},
        {"below the header", 56},
        {"not a multiple of 8", static_cast<DWORD>(after.size()) + 4},
        {"past the answer", static_cast<DWORD>(after.size()) + 8},
        {"huge", 0xFFFFFFF8u},
    };
    for (const Case& c : cases) {
        std::string bad = after;
        Poke<DWORD>(bad, 0, c.length);
        Answer a(UsnBytes(0x300) + good + bad);
        const std::vector<std::wstring> names = Names(a);
        ASSERT_EQ(names.size(), 1u) << c.what;
        EXPECT_EQ(names[0], L"good.txt") << c.what;
        CUsnReadBuffer walk(a.data(), a.bytes);
        EXPECT_EQ(walk.NextUsn(), 0x300) << c.what << ": the continuation USN still counts";
    }
}

TEST(UsnReadBuffer, RecordWithNameOutsideItIsSteppedOver) {
    const std::string before = EncodeUsnRecord(Change(64, L"one"), 0x100);
    const std::string after = EncodeUsnRecord(Change(66, L"three"), 0x300);
    const std::string middle = EncodeUsnRecord(Change(65, L"two.txt"), 0x200);
    const WORD nameOffset = offsetof(USN_RECORD_V2, FileNameOffset);
    const WORD nameLength = offsetof(USN_RECORD_V2, FileNameLength);

    std::vector<std::string> hostile;
    std::string m = middle;
    Poke<WORD>(m, nameOffset, static_cast<WORD>(middle.size()));  // starts at the record's end
    hostile.push_back(m);
    m = middle;
    Poke<WORD>(m, nameLength, static_cast<WORD>(middle.size()));  // runs past the record
    hostile.push_back(m);
    m = middle;
    Poke<WORD>(m, nameOffset, 0xFFFF);
    Poke<WORD>(m, nameLength, 0xFFFF);
    hostile.push_back(m);
    m = middle;
    Poke<WORD>(m, nameOffset, 8);  // inside the header
    hostile.push_back(m);
    m = middle;
    Poke<WORD>(m, nameLength, 3);  // half a UTF-16 unit
    hostile.push_back(m);
    m = middle;
    Poke<WORD>(m, offsetof(USN_RECORD_V2, MajorVersion), 3);  // other layout
    hostile.push_back(m);

    for (size_t i = 0; i < hostile.size(); ++i) {
        Answer a(UsnBytes(0x400) + before + hostile[i] + after);
        EXPECT_EQ(Names(a), (std::vector<std::wstring>{L"one", L"three"})) << "case " << i;
    }
}

TEST(UsnReadBuffer, NameAtOddOffsetIsCopiedWhole) {
    // Names are copied, so an odd (but inside) offset is still read correctly.
    std::string r = EncodeUsnRecord(Change(64, L"abcd"), 0x100);
    r.append(8, '\0');
    Poke<DWORD>(r, 0, static_cast<DWORD>(r.size()));
    std::memmove(&r[61], &r[60], 8);
    Poke<WORD>(r, offsetof(USN_RECORD_V2, FileNameOffset), 61);
    Answer a(UsnBytes(1) + r);
    EXPECT_EQ(Names(a), std::vector<std::wstring>{L"abcd"});
}

TEST(UsnReadBuffer, MisalignedAnswerGivesOnlyItsUsn) {
    const std::string raw = UsnBytes(0x55) + EncodeUsnRecord(Change(64, L"x"), 0x10);
    std::vector<ULONGLONG> storage(raw.size() / 8 + 2);
    BYTE* shifted = reinterpret_cast<BYTE*>(storage.data()) + 4;
    std::memcpy(shifted, raw.data(), raw.size());
    CUsnReadBuffer walk(shifted, static_cast<DWORD>(raw.size()));
    EXPECT_EQ(walk.NextUsn(), 0x55);
    EXPECT_EQ(walk.NextRecord(), nullptr);
}

TEST(UsnReadBuffer, RandomGarbageStaysInsideTheAnswer) {
    // Mutated answers: every record handed out, and its name, must lie inside
    // the bytes returned, and the walk must end.
    std::mt19937 rng(12345);
    std::string base = UsnBytes(0x9000);
    for (int i = 0; i < 30; ++i) base += EncodeUsnRecord(Change(64 + i, std::wstring(i % 9, L'q')), 0x100 * i);
    for (int round = 0; round < 20000; ++round) {
        std::string raw = base.substr(0, std::uniform_int_distribution<size_t>(0, base.size())(rng));
        const int flips = std::uniform_int_distribution<int>(1, 6)(rng);
        for (int f = 0; f < flips && !raw.empty(); ++f)
            raw[std::uniform_int_distribution<size_t>(0, raw.size() - 1)(rng)] = static_cast<char>(rng());
        Answer a(raw);
        CUsnReadBuffer walk(a.data(), a.bytes);
        const BYTE* begin = a.data();
        const BYTE* end = begin + a.bytes;
        int count = 0;
        while (const USN_RECORD_V2* r = walk.NextRecord()) {
            const BYTE* p = reinterpret_cast<const BYTE*>(r);
            ASSERT_GE(p, begin + sizeof(USN));
            ASSERT_LE(p + r->RecordLength, end);
            ASSERT_LE(p + r->FileNameOffset + r->FileNameLength, p + r->RecordLength);
            ASSERT_LE(++count, static_cast<int>(a.bytes / 64));
        }
    }
}
