#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/command_line.h"
#include "service/service_control.h"

namespace {

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

TEST(ServiceCommands, FixedOrderNotGivenOrder) {
    FakeCommands fake;
    const std::string out =
        RunCommands(L"pelvane.exe /uninstall /stop_until_stopped -stop /START_UNTIL_RUNNING /start -install", fake);
    EXPECT_EQ((std::vector<std::string>{"install", "start", "start_wait", "stop", "stop_wait", "uninstall"}), fake.calls);
    EXPECT_EQ(
        "It successed to install service.\n"
        "It successed to start service.\n"
        "It successed to start service.\n"
        "It successed to stop service.\n"
        "It successed to stop service.\n"
        "It successed to uninstall service.\n",
        out);
}

TEST(ServiceCommands, FailureLinesCarrySignedCodes) {
    FakeCommands fake;
    fake.installOk = false;
    fake.uninstallOk = false;
    fake.startCode = SVC_E_SERVICE_STOPPED;
    fake.stopCode = ERROR_SERVICE_NOT_ACTIVE;
    EXPECT_EQ(
        "It failed to install service. error: 1\n"
        "It failed to start the service. error: -536870888\n"
        "It failed to stop the service. error: 1062\n"
        "It failed to uninstall the service. error: 1\n",
        RunCommands(L"p.exe -install -start_until_running -stop -uninstall", fake));
}

TEST(ServiceCommands, UnknownOptionPrintsUsageAndValuesAreIgnored) {
    FakeCommands fake;
    EXPECT_EQ(0u, RunCommands(L"pelvane.exe /help", fake).find("It accept the parameter is:\n"));
    EXPECT_TRUE(fake.calls.empty());
    RunCommands(L"pelvane.exe /stop:now", fake);
    EXPECT_EQ(std::vector<std::string>{"stop"}, fake.calls);
}

} // namespace
