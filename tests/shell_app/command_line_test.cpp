#include <gtest/gtest.h>

#include "platform/command_line.h"

namespace {

// The program's own options: only "reupdate" has an effect. The general
// grammar cases sit with the service, which reads the same grammar.
TEST(ProgramCommandLine, ReupdateSpellingsAndLoneDashes) {
    struct Case {
        const wchar_t* text;
        bool reupdate;
        size_t count;
    };
    const Case cases[] = {
        {L"\"C:\\Program Files\\Lumsek\\lumsek.exe\" -reupdate", true, 1},
        {L"lumsek.exe /reupdate:x", true, 1},
        {L"lumsek.exe /ReUpdate:\"0\"", true, 1},
        {L"lumsek.exe\t-reupdate\t", true, 1},
        // The re-update program's own argument line names no such option.
        {L"reupd.exe -pid:12 -cmd:reupdate&0", false, 2},
        {L"lumsek.exe -reupdated", false, 1},
        // A dash that stands alone adds nothing and does not swallow the
        // option after it.
        {L"lumsek.exe - -reupdate", true, 1},
        {L"lumsek.exe / /reupdate -", true, 1},
        {L"\"C:\\a-b\\lumsek.exe\" \"-reupdate\"", false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.text)));
        CCommandLine line;
        ASSERT_TRUE(line.Parse(c.text));
        EXPECT_EQ(c.reupdate, line.HasOption(L"reupdate"));
        EXPECT_EQ(c.count, line.GetOptionCount());
    }
}

} // namespace
