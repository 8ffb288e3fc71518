#include "tests/module_http/test_server.h"

#include <sstream>
#include <string>
#include <vector>

#include "module/machine_identity.h"
#include "module/proxy_settings.h"
#include "module/registry.h"
#include "module/stat_sender.h"
#include "platform/strconv.h"
#include "tests/module_util/module_test_util.h"

namespace {

bool IsLowerHex32(const std::wstring& s) {
    return s.size() == 32 && s.find_first_not_of(L"0123456789abcdef") == std::wstring::npos;
}

std::wstring HostOfServer() { return L"127.0.0.1:" + std::to_wstring(TestServer::Instance()->Port()); }

class StatSender : public ::testing::Test {
protected:
    void SetUp() override {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kWelgrinKey);
        before_ = Received().size();
    }
    void TearDown() override {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kWelgrinKey);
        TestServer::Instance()->Get("/statdelay/0");
    }

    // Every statistics body the server received so far, one a line.
    static std::vector<std::string> Received() {
        std::vector<std::string> lines;
        std::istringstream text(TestServer::Instance()->Get("/stats"));
        for (std::string line; std::getline(text, line);) lines.push_back(line);
        return lines;
    }
    // Bodies received since the test began, each as event and decoded record.
    std::vector<std::string> New() {
        std::vector<std::string> got, all = Received();
        for (size_t i = before_; i < all.size(); ++i) {
            const size_t c = all[i].find("&c=");
            got.push_back(all[i].compare(0, 2, "t=") || c == std::string::npos
                              ? "<bad: " + all[i] + ">"
                              : all[i].substr(2, c - 2) + " " + Base64Decode(all[i].substr(c + 3)));
        }
        return got;
    }
    static bool WaitSent(CStatSender& sender, size_t count) {
        for (int i = 0; i < 1500 && sender.SentCount() < count; ++i) ::Sleep(10);
        return sender.SentCount() >= count;
    }

    size_t before_ = 0;
};

TEST_F(StatSender, PostsEventsWithMachineIdentityInOrder) {
    // "ab?" encodes to "YWI/" and "ab>" to "YWI+": neither is escaped.
    EXPECT_EQ(L"t=run&c=YWI/", BuildStatBody(L"run", L"ab?"));
    EXPECT_EQ(L"t=run&c=YWI+", BuildStatBody(L"run", L"ab>"));

    CRegKey key;
    ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, kWelgrinKey, KEY_ALL_ACCESS));
    ASSERT_TRUE(key.SetString(L"tid", L"4711"));
    const std::string identity = "uuid='" + platform::WideToAnsi(GetMachineUuid()) + "'&tid='4711'&";

    CStatSender sender(HostOfServer());
    // Hold the first post on the server so the next two queue up behind it.
    TestServer::Instance()->Get("/statdelay/500");
    sender.Enqueue(L"run", L"ctime=1&bstart=0");
    ::Sleep(100);
    sender.Enqueue(L"search", L"q='a&b'");
    sender.Enqueue(L"中文", L"name=文件");
    ASSERT_TRUE(WaitSent(sender, 3));
    sender.Shutdown();
    // The third went out in the ANSI code page, the event name as it is.
    EXPECT_EQ(New(), (std::vector<std::string>{
                         "run " + identity + "ctime=1&bstart=0",
                         "search " + identity + "q='a&b'",
                         platform::WideToAnsi(L"中文") + " " + identity + "name=" + platform::WideToAnsi(L"文件"),
                     }));
}

TEST_F(StatSender, TrackingIdAndMachineUuidAreRepaired) {
    EXPECT_EQ(L"0", ReadTrackingId());
    CRegKey tid;
    ASSERT_TRUE(tid.Open(HKEY_CURRENT_USER, kWelgrinKey, KEY_ALL_ACCESS));  // reading created the key
    ASSERT_EQ(ERROR_SUCCESS, ::RegSetValueExW(tid.Get(), L"tid", 0, REG_DWORD,
                                              reinterpret_cast<const BYTE*>("\1\0\0\0"), 4));
    EXPECT_EQ(L"0", ReadTrackingId());
    ASSERT_TRUE(tid.SetString(L"tid", std::wstring(300, L'9')));
    EXPECT_EQ(L"0", ReadTrackingId());

    ::RegDeleteTreeW(HKEY_CLASSES_ROOT, kMachineUuidKey);
    EXPECT_TRUE(IsMachineUuidMissing());
    const std::wstring first = GetMachineUuid();
    EXPECT_TRUE(IsLowerHex32(first));
    EXPECT_EQ(first, ReadMachineUuid());
    CRegKey key;
    ASSERT_TRUE(key.Open(HKEY_CLASSES_ROOT, kMachineUuidKey, KEY_ALL_ACCESS));
    auto stored = [&key](const std::wstring& value) {
        EXPECT_TRUE(key.SetString(L"uuid", value));
        return GetMachineUuid();
    };
    // 33 characters or none: replaced by a new 32-digit one; shorter is used as stored.
    const std::wstring repaired = stored(std::wstring(33, L'a'));
    EXPECT_TRUE(IsLowerHex32(repaired));
    EXPECT_EQ(repaired, ReadMachineUuid());
    EXPECT_TRUE(IsLowerHex32(stored(L"")));
    EXPECT_EQ(L"abc", stored(L"abc"));
    ::RegDeleteTreeW(HKEY_CLASSES_ROOT, kMachineUuidKey);
}

TEST_F(StatSender, ServerDownLosesEventsButTheSenderKeepsRunning) {
    {
        CStatSender sender(L"127.0.0.1:" + std::to_wstring(ClosedLoopbackPort()));
        for (int i = 0; i < 3; ++i) sender.Enqueue(L"lost", L"n=" + std::to_wstring(i));
        ASSERT_TRUE(WaitSent(sender, 3));
        EXPECT_EQ(0u, sender.PendingCount());
        sender.Enqueue(L"lost", L"n=3");  // the sender survived the failures
        ASSERT_TRUE(WaitSent(sender, 4));
    }  // destruction shuts the sender down
    EXPECT_TRUE(New().empty());
}

TEST_F(StatSender, ShutdownFinishesPostInProgressAndRefusesLaterEvents) {
    CStatSender sender(HostOfServer());
    TestServer::Instance()->Get("/statdelay/700");
    sender.Enqueue(L"slow", L"n=1");
    // Let the sender take it, then stop while the post is held.
    for (int i = 0; i < 500 && sender.PendingCount() != 0; ++i) ::Sleep(10);
    ::Sleep(100);
    sender.Shutdown();
    EXPECT_EQ(1u, sender.SentCount());
    sender.Enqueue(L"late", L"n=2");
    EXPECT_EQ(0u, sender.PendingCount());
    sender.Shutdown();  // a second call does nothing
    TestServer::Instance()->Get("/statdelay/0");
    const std::vector<std::string> got = New();
    ASSERT_EQ(1u, got.size());
    EXPECT_EQ(0u, got[0].find("slow uuid=")) << got[0];
}

TEST_F(StatSender, QueueIsBoundedAndShutdownLeavesBetweenPosts) {
    CStatSender sender(HostOfServer());
    TestServer::Instance()->Get("/statdelay/1500");
    ASSERT_TRUE(sender.Enqueue(L"slow", L"n=0"));
    for (int i = 0; i < 500 && sender.PendingCount() != 0; ++i) ::Sleep(10);
    // While the server holds the first post, the queue fills to its limit.
    for (size_t i = 0; i < kStatQueueLimit; ++i) ASSERT_TRUE(sender.Enqueue(L"wait", L"n=1")) << i;
    EXPECT_FALSE(sender.Enqueue(L"over", L"n=2"));
    EXPECT_EQ(kStatQueueLimit, sender.PendingCount());
    // Without the check between posts this would hold the caller for every queued post.
    sender.Shutdown();
    EXPECT_LE(sender.SentCount(), 2u);
    TestServer::Instance()->Get("/statdelay/0");
    New();
}

} // namespace
