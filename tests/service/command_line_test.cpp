#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/command_line.h"

namespace {

std::wstring Value(const CCommandLine& line, const wchar_t* name) {
    std::wstring value = L"<absent>";
    line.GetOption(name, &value);
    return value;
}

TEST(CommandLine, OptionsValuesAndQuotes) {
    struct Case {
        const wchar_t* text;
        size_t count;
        std::vector<std::pair<const wchar_t*, const wchar_t*>> options;  // name, value
    };
    const Case cases[] = {
        // A blank ends even a quoted value.
        {L"prog.exe -a -b:1 /c:\"x y\"", 3, {{L"a", L""}, {L"b", L"1"}, {L"c", L"x"}, {L"y", L"<absent>"}}},
        // After "a b" is cut at the blank, the closing quote opens a quoted
        // stretch in which -z is no option.
        {L"/pid:12 -cmd:\"a b\" -z", 2, {{L"pid", L"12"}, {L"cmd", L"a"}, {L"z", L"<absent>"}}},
        // Names ignore case; the last value wins.
        {L"x.exe /Install -START_until_running /pid:1 -PID:2", 3,
         {{L"INSTALL", L""}, {L"start_until_running", L""}, {L"start", L"<absent>"}, {L"pid", L"2"}}},
        {L"prog.exe -", 0, {}},
        {L"prog.exe /", 0, {}},
        {L"prog.exe -name: -other:", 2, {{L"name", L""}, {L"other", L""}}},
        // An empty quoted value ends at its second quote.
        {L"-x:\"\" -y:\"", 2, {{L"x", L""}, {L"y", L""}}},
        // Dashes inside a quoted program path are no options; unquoted they are.
        {L"\"C:\\my-dir\\pelvane.exe\" /stop", 1, {{L"stop", L""}}},
        {L"C:\\my-dir\\pelvane.exe", 1, {{L"dir\\pelvane.exe", L""}}},
        // The character after the dash starts the name whatever it is.
        {L"-:v --w", 2, {{L":v", L""}, {L"-w", L""}}},
        {L"", 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.text)));
        CCommandLine line;
        ASSERT_TRUE(line.Parse(c.text));
        EXPECT_EQ(c.count, line.GetOptionCount());
        for (const auto& option : c.options) EXPECT_EQ(option.second, Value(line, option.first)) << option.first;
    }

    CCommandLine line;
    EXPECT_FALSE(line.Parse(nullptr));
    line.SetOption(L"Key", nullptr);
    EXPECT_EQ(L"", Value(line, L"kEY"));
    line.SetOption(L"KEY", L"v");
    EXPECT_EQ(L"v", Value(line, L"key"));
    EXPECT_EQ(1u, line.GetOptionCount());
}

} // namespace
