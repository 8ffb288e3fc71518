#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/command_line.h"
#include "service/service_control.h"

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

class FakeCommands : public IServiceCommands {
public:
    bool Install() override { calls.push_back("install"); return installOk; }
    DWORD Start(bool wait) override { calls.push_back(wait ? "start_wait" : "start"); return startCode; }
    DWORD Stop(bool wait) override { calls.push_back(wait ? "stop_wait" : "stop"); return stopCode; }
    bool Uninstall() override { calls.push_back("uninstall"); return uninstallOk; }

    std::vector<std::string> calls;
    bool installOk = true, uninstallOk = true;
    DWORD startCode = NO_ERROR, stopCode = NO_ERROR;
};

std::string RunCommands(const wchar_t* text, FakeCommands& fake) {
    CCommandLine line;
    line.Parse(text);
    std::string output;
    RunServiceCommands(line, fake, output);
    return output;
}

TEST(ServiceCommands, FixedOrderSignedFailureCodesAndUsage) {
    FakeCommands fake;
    const std::string ok =
        RunCommands(L"pelvane.exe /uninstall /stop_until_stopped -stop /START_UNTIL_RUNNING /start -install", fake);
    EXPECT_EQ((std::vector<std::string>{"install", "start", "start_wait", "stop", "stop_wait", "uninstall"}), fake.calls);
    EXPECT_EQ("It successed to install service.\nIt successed to start service.\nIt successed to start service.\n"
              "It successed to stop service.\nIt successed to stop service.\nIt successed to uninstall service.\n",
              ok);

    FakeCommands failing;
    failing.installOk = failing.uninstallOk = false;
    failing.startCode = SVC_E_SERVICE_STOPPED;
    failing.stopCode = ERROR_SERVICE_NOT_ACTIVE;
    EXPECT_EQ("It failed to install service. error: 1\n"
              "It failed to start the service. error: -536870888\n"
              "It failed to stop the service. error: 1062\n"
              "It failed to uninstall the service. error: 1\n",
              RunCommands(L"p.exe -install -start_until_running -stop -uninstall", failing));

    // Unknown options print the usage; values of known ones are ignored.
    FakeCommands other;
    EXPECT_EQ(0u, RunCommands(L"pelvane.exe /help", other).find("It accept the parameter is:\n"));
    EXPECT_TRUE(other.calls.empty());
    RunCommands(L"pelvane.exe /stop:now", other);
    EXPECT_EQ(std::vector<std::string>{"stop"}, other.calls);
}

} // namespace
