// The read-answer walker against well-formed and hostile answers.
#include <gtest/gtest.h>

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

std::string Record(DWORDLONG frn, const std::wstring& name, USN usn) {
    return EncodeUsnRecord(UsnChange{frn, 5, USN_REASON_FILE_CREATE | USN_REASON_CLOSE, FILE_ATTRIBUTE_ARCHIVE, name}, usn);
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

TEST(UsnReadBuffer, WalksWellFormedAndShortAnswers) {
    const std::string first = Record(0x0001000000000040ULL, L"a.txt", 0x2000);
    Answer a(UsnBytes(0x3000) + first + Record(65, L"\x4E2D\x6587.doc", 0x2000 + first.size()) +
             Record(66, L"", 0x2100));
    CUsnReadBuffer walk(a.data(), a.bytes);
    ASSERT_TRUE(walk.HasNextUsn());
    EXPECT_EQ(walk.NextUsn(), 0x3000);
    const USN_RECORD_V2* r = walk.NextRecord();
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(std::make_pair(r->FileReferenceNumber, r->Usn), std::make_pair(0x0001000000000040ULL, USN(0x2000)));
    EXPECT_EQ(Names(a), (std::vector<std::wstring>{L"a.txt", L"\x4E2D\x6587.doc", L""}));
    while (walk.NextRecord()) {
    }
    EXPECT_EQ(walk.NextRecord(), nullptr);  // stays ended

    Answer onlyUsn(UsnBytes(77)), tiny(std::string("\x01\x02\x03", 3));
    CUsnReadBuffer usnOnly(onlyUsn.data(), onlyUsn.bytes), small(tiny.data(), tiny.bytes), none(nullptr, 4096);
    EXPECT_EQ(usnOnly.NextUsn(), 77);
    EXPECT_EQ(usnOnly.NextRecord(), nullptr);
    EXPECT_FALSE(small.HasNextUsn() || none.HasNextUsn());
    EXPECT_EQ(small.NextUsn(), 0);
    EXPECT_TRUE(!small.NextRecord() && !none.NextRecord());
    EXPECT_TRUE(Names(Answer(UsnBytes(5) + std::string("\x40\x00", 2))).empty());  // too short for a length

    // Misaligned data gives only its USN.
    const std::string raw = UsnBytes(0x55) + Record(64, L"x", 0x10);
    std::vector<ULONGLONG> storage(raw.size() / 8 + 2);
    BYTE* shifted = reinterpret_cast<BYTE*>(storage.data()) + 4;
    std::memcpy(shifted, raw.data(), raw.size());
    CUsnReadBuffer misaligned(shifted, static_cast<DWORD>(raw.size()));
    EXPECT_EQ(misaligned.NextUsn(), 0x55);
    EXPECT_EQ(misaligned.NextRecord(), nullptr);
}

// A bad length ends the walk; a name outside its record (or another version)
// only steps over that record.
TEST(UsnReadBuffer, HostileRecordEndsTheWalkOrIsSteppedOver) {
    const std::string before = Record(64, L"one", 0x100), after = Record(66, L"three", 0x300);
    const std::string middle = Record(65, L"two.txt", 0x200);
    const DWORD size = static_cast<DWORD>(middle.size());
    const size_t kLength = 0, kVersion = offsetof(USN_RECORD_V2, MajorVersion);
    const size_t kNameOffset = offsetof(USN_RECORD_V2, FileNameOffset);
    const size_t kNameLength = offsetof(USN_RECORD_V2, FileNameLength);
    struct Case {
        const char* what;
        size_t at;  // a 16-bit field unless the length
        DWORD value;
        bool ends;
    };
    const Case cases[] = {
        {"zero length", kLength, 0, true},
        {"length below the header", kLength, 56, true},
        {"length not a multiple of 8", kLength, size + 4, true},
        {"length past the answer", kLength, static_cast<DWORD>(size + after.size() + 8), true},
        {"huge length", kLength, 0xFFFFFFF8u, true},
        {"name starts at the record end", kNameOffset, size, false},
        {"name runs past the record", kNameLength, size, false},
        {"name offset and length at most", kNameOffset + kNameLength, 0xFFFF, false},
        {"name inside the header", kNameOffset, 8, false},
        {"half a UTF-16 unit", kNameLength, 3, false},
        {"other layout", kVersion, 3, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string m = middle;
        if (c.at == kLength) {
            Poke<DWORD>(m, kLength, c.value);
        } else if (c.at == kNameOffset + kNameLength) {
            Poke<WORD>(m, kNameOffset, static_cast<WORD>(c.value));
            Poke<WORD>(m, kNameLength, static_cast<WORD>(c.value));
        } else {
            Poke<WORD>(m, c.at, static_cast<WORD>(c.value));
        }
        Answer a(UsnBytes(0x400) + before + m + after);
        EXPECT_EQ(Names(a), (c.ends ? std::vector<std::wstring>{L"one"} : std::vector<std::wstring>{L"one", L"three"}));
        EXPECT_EQ(CUsnReadBuffer(a.data(), a.bytes).NextUsn(), 0x400) << "the continuation USN still counts";
    }

    // Names are copied, so an odd (but inside) offset is still read correctly.
    std::string odd = Record(64, L"abcd", 0x100);
    odd.append(8, '\0');
    Poke<DWORD>(odd, 0, static_cast<DWORD>(odd.size()));
    std::memmove(&odd[61], &odd[60], 8);
    Poke<WORD>(odd, kNameOffset, 61);
    EXPECT_EQ(Names(Answer(UsnBytes(1) + odd)), std::vector<std::wstring>{L"abcd"});
}

TEST(UsnReadBuffer, RandomGarbageStaysInsideTheAnswer) {
    // Every record handed out, and its name, must lie inside the bytes
    // returned, and the walk must end.
    std::mt19937 rng(12345);
    std::string base = UsnBytes(0x9000);
    for (int i = 0; i < 30; ++i) base += Record(64 + i, std::wstring(i % 9, L'q'), 0x100 * i);
    for (int round = 0; round < 20000; ++round) {
        std::string raw = base.substr(0, std::uniform_int_distribution<size_t>(0, base.size())(rng));
        const int flips = std::uniform_int_distribution<int>(1, 6)(rng);
        for (int f = 0; f < flips && !raw.empty(); ++f)
            raw[std::uniform_int_distribution<size_t>(0, raw.size() - 1)(rng)] = static_cast<char>(rng());
        Answer a(raw);
        CUsnReadBuffer walk(a.data(), a.bytes);
        int count = 0;
        while (const USN_RECORD_V2* r = walk.NextRecord()) {
            const BYTE* p = reinterpret_cast<const BYTE*>(r);
            ASSERT_GE(p, a.data() + sizeof(USN));
            ASSERT_LE(p + r->RecordLength, a.data() + a.bytes);
            ASSERT_LE(p + r->FileNameOffset + r->FileNameLength, p + r->RecordLength);
            ASSERT_LE(++count, static_cast<int>(a.bytes / 64));
        }
    }
}
