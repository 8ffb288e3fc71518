#include <gtest/gtest.h>

#include "platform/command_line.h"

namespace {

std::wstring Value(const CCommandLine& line, const wchar_t* name) {
    std::wstring value = L"<absent>";
    line.GetOption(name, &value);
    return value;
}

TEST(CommandLine, OptionsWithAndWithoutValues) {
    CCommandLine line;
    ASSERT_TRUE(line.Parse(L"prog.exe -a -b:1 /c:\"x y\""));
    EXPECT_EQ(3u, line.GetOptionCount());
    EXPECT_EQ(L"", Value(line, L"a"));
    EXPECT_EQ(L"1", Value(line, L"b"));
    // A blank ends even a quoted value.
    EXPECT_EQ(L"x", Value(line, L"c"));
    EXPECT_EQ(L"<absent>", Value(line, L"y"));

    CCommandLine single;
    single.Parse(L"-reupdate");
    EXPECT_TRUE(single.HasOption(L"reupdate"));
    EXPECT_EQ(L"", Value(single, L"reupdate"));
}

TEST(CommandLine, QuotedValueThenClosingQuoteStartsQuotedScan) {
    // After "a b" is cut at the blank, the closing quote opens a quoted stretch
    // in which -z is no option.
    CCommandLine line;
    line.Parse(L"/pid:12 -cmd:\"a b\" -z");
    EXPECT_EQ(L"12", Value(line, L"pid"));
    EXPECT_EQ(L"a", Value(line, L"cmd"));
    EXPECT_FALSE(line.HasOption(L"z"));
    EXPECT_FALSE(line.HasOption(L"b"));
}

TEST(CommandLine, NamesIgnoreCaseAndLastValueWins) {
    CCommandLine line;
    line.Parse(L"x.exe /Install -START_until_running /pid:1 -PID:2");
    EXPECT_TRUE(line.HasOption(L"install"));
    EXPECT_TRUE(line.HasOption(L"INSTALL"));
    EXPECT_TRUE(line.HasOption(L"start_until_running"));
    EXPECT_FALSE(line.HasOption(L"start"));
    EXPECT_EQ(L"2", Value(line, L"pid"));
    EXPECT_EQ(3u, line.GetOptionCount());
}

TEST(CommandLine, EdgeCases) {
    CCommandLine trailing;
    trailing.Parse(L"prog.exe -");
    EXPECT_EQ(0u, trailing.GetOptionCount());
    trailing.Parse(L"prog.exe /");
    EXPECT_EQ(0u, trailing.GetOptionCount());

    CCommandLine colonOnly;
    colonOnly.Parse(L"prog.exe -name: -other:");
    EXPECT_EQ(L"", Value(colonOnly, L"name"));
    EXPECT_EQ(L"", Value(colonOnly, L"other"));

    // An empty quoted value ends at its second quote.
    CCommandLine emptyQuoted;
    emptyQuoted.Parse(L"-x:\"\" -y:\"");
    EXPECT_EQ(L"", Value(emptyQuoted, L"x"));
    EXPECT_EQ(L"", Value(emptyQuoted, L"y"));

    // Dashes inside a quoted program path are no options; unquoted they are.
    CCommandLine quotedPath;
    quotedPath.Parse(L"\"C:\\my-dir\\pelvane.exe\" /stop");
    EXPECT_EQ(1u, quotedPath.GetOptionCount());
    EXPECT_TRUE(quotedPath.HasOption(L"stop"));
    CCommandLine plainPath;
    plainPath.Parse(L"C:\\my-dir\\pelvane.exe");
    EXPECT_TRUE(plainPath.HasOption(L"dir\\pelvane.exe"));

    // The character after the dash starts the name whatever it is.
    CCommandLine odd;
    odd.Parse(L"-:v --w");
    EXPECT_TRUE(odd.HasOption(L":v"));
    EXPECT_TRUE(odd.HasOption(L"-w"));

    CCommandLine none;
    EXPECT_FALSE(none.Parse(nullptr));
    EXPECT_TRUE(none.Parse(L""));
    EXPECT_EQ(0u, none.GetOptionCount());
}

TEST(CommandLine, SetOptionNullValueIsEmpty) {
    CCommandLine line;
    line.SetOption(L"Key", nullptr);
    EXPECT_EQ(L"", Value(line, L"kEY"));
    line.SetOption(L"KEY", L"v");
    EXPECT_EQ(L"v", Value(line, L"key"));
    EXPECT_EQ(1u, line.GetOptionCount());
}

} // namespace
