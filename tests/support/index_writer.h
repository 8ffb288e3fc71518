#pragma once
// Index files ("index_X", "name_X") written straight from a list of records,
// so tests load an engine with exactly the files they describe.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "index/index_record.h"
#include "tests/support/test_support.h"

namespace testing_support {

struct IndexEntry {
    uint32_t slot;
    uint32_t father;
    std::string name;  // ANSI (system code page)
    uint8_t flags;
    uint64_t time2;    // local-time FILETIME value
    int64_t size;
};

// Writes the two files of drive `letter` into `folder`; slots not given have
// no name. False when a file could not be written.
inline bool WriteIndexVolume(const std::wstring& folder, wchar_t letter, const std::vector<IndexEntry>& entries) {
    uint32_t slots = 0;
    for (const auto& e : entries) slots = std::max(slots, e.slot + 1);
    std::vector<IndexRecord> records(slots);
    for (auto& r : records) {
        std::memset(&r, 0, sizeof(r));
        r.FileName = 0xFFFFFFFFu;
    }
    std::string names;
    for (const auto& e : entries) {
        IndexRecord& r = records[e.slot];
        r.FatherID = e.father;
        r.FileName = static_cast<uint32_t>(names.size());
        r.Flags = e.flags;
        r.Time2 = MakeFileTime(e.time2);
        r.Size = e.size;
        names += e.name;
        names.push_back('\0');
    }
    std::string bytes(reinterpret_cast<const char*>(records.data()), records.size() * sizeof(IndexRecord));
    const wchar_t l[2] = {letter, 0};
    return WriteFileBytes(folder + L"\\index_" + l, bytes) && WriteFileBytes(folder + L"\\name_" + l, names);
}

} // namespace testing_support
