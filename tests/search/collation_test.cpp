// Collation keys made from the per-character table against the system: the
// same bytes as LCMapStringA, and the same order as lstrcmpiA, for texts of
// mixed case, Chinese, and the punctuation that word sorting sets aside.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "index/collation.h"
#include "index/search_workers.h"
#include "platform/strconv.h"

namespace {

int Sign(int v) { return v < 0 ? -1 : v > 0 ? 1 : 0; }

int CompareKeys(const std::string& a, const std::string& b) {
    const int c = std::memcmp(a.data(), b.data(), std::min(a.size(), b.size()));
    return c != 0 ? Sign(c) : a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

TEST(CollationKeys, TableKeysAreTheSystemsAndOrderAsLstrcmpi) {
    CSearchWorkers workers(3);
    const CCollationKeys* table = CCollationKeys::Get(workers);
    ASSERT_NE(table, nullptr) << "the table must serve this code page";

    // Parts after '|' are not plain in every code page (accents, full-width
    // letters); texts holding them may be left to the system.
    const wchar_t* const plain[] = {L"a", L"B", L"ab", L"Ab", L"-", L"'", L"_", L"1", L"10", L" ", L"\u6587",
                                    L"\u6863", L"\u62a5\u544a", L".", L"x", L"\x01", L"Z", L"\\", L"~", L"--"};
    const wchar_t* const other[] = {L"\u00e9", L"\uff21", L"\u00c6"};
    std::mt19937 rng(77);
    std::vector<std::string> texts;
    std::vector<bool> allPlain;
    for (int i = 0; i < 4000; ++i) {
        std::wstring wide;
        bool onlyPlain = true;
        const int parts = static_cast<int>(rng() % 6);
        for (int k = 0; k < parts; ++k) {
            if (rng() % 20 == 0) {
                wide += other[rng() % 3];
                onlyPlain = false;
            } else {
                wide += plain[rng() % 20];
            }
        }
        texts.push_back(platform::WideToAnsi(wide));
        allPlain.push_back(onlyPlain);
    }
    texts.push_back(std::string(400, 'q') + "-'" + std::string(100, 'r'));  // positions past 255
    allPlain.push_back(true);

    std::vector<std::string> keys(texts.size());
    std::vector<wchar_t> scratch;
    for (size_t i = 0; i < texts.size(); ++i) {
        std::string system;
        CCollationKeys::AppendSystemKey(table->Locale(), texts[i].data(), texts[i].size(), system);
        const bool made = table->AppendKey(texts[i].data(), texts[i].size(), keys[i], scratch);
        EXPECT_TRUE(made || !allPlain[i]) << "a plain text was left to the system: " << i;
        if (made) {
            EXPECT_EQ(keys[i], system) << "text " << i;
        } else {
            keys[i] = system;
        }
    }
    for (int n = 0; n < 40000; ++n) {
        const size_t a = rng() % texts.size(), b = rng() % texts.size();
        ASSERT_EQ(CompareKeys(keys[a], keys[b]), Sign(lstrcmpiA(texts[a].c_str(), texts[b].c_str())))
            << "texts " << a << " and " << b;
    }
}

} // namespace
