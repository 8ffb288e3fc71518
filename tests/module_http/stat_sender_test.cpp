#include <winsock2.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "module/machine_identity.h"
#include "module/proxy_settings.h"
#include "module/registry.h"
#include "module/stat_sender.h"
#include "platform/strconv.h"
#include "tests/module_http/test_server.h"

namespace {

std::string Base64Decode(const std::string& text) {
    static const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    unsigned bits = 0;
    int count = 0;
    for (char c : text) {
        if (c == '=') break;
        size_t v = alphabet.find(c);
        if (v == std::string::npos) return "<bad base64>";
        bits = (bits << 6) | static_cast<unsigned>(v);
        count += 6;
        if (count >= 8) {
            count -= 8;
            out += static_cast<char>((bits >> count) & 0xFF);
        }
    }
    return out;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

bool IsLowerHex32(const std::wstring& s) {
    if (s.size() != 32) return false;
    for (wchar_t c : s) {
        if (!((c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f'))) return false;
    }
    return true;
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

    // Every statistics body the server received so far.
    static std::vector<std::string> Received() { return Lines(TestServer::Instance()->Get("/stats")); }
    // Bodies received since the test began.
    std::vector<std::string> New() {
        std::vector<std::string> all = Received();
        return std::vector<std::string>(all.begin() + static_cast<std::ptrdiff_t>(before_), all.end());
    }
    static bool WaitSent(CStatSender& sender, size_t count) {
        for (int i = 0; i < 1500 && sender.SentCount() < count; ++i) ::Sleep(10);
        return sender.SentCount() >= count;
    }

    size_t before_ = 0;
};

TEST_F(StatSender, RecordAndBodyFormats) {
    std::wstring record = BuildStatRecord(L"0123", L"7", L"ctime=1&bstart=0");
    EXPECT_EQ(L"uuid='0123'&tid='7'&ctime=1&bstart=0", record);
    // "ab?" encodes to "YWI/" and "ab>" to "YWI+": neither is escaped.
    EXPECT_EQ(L"t=run&c=YWI/", BuildStatBody(L"run", L"ab?"));
    EXPECT_EQ(L"t=run&c=YWI+", BuildStatBody(L"run", L"ab>"));
    EXPECT_EQ(L"t=x&c=YQ==", BuildStatBody(L"x", L"a"));
}

TEST_F(StatSender, PostsEventsWithMachineIdentityInOrder) {
    CRegKey key;
    ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, kWelgrinKey, KEY_ALL_ACCESS));
    ASSERT_TRUE(key.SetString(L"tid", L"4711"));
    std::wstring uuid = GetMachineUuid();
    ASSERT_TRUE(IsLowerHex32(uuid));

    CStatSender sender(HostOfServer());
    // Hold the first post on the server so the next two queue up behind it.
    TestServer::Instance()->Get("/statdelay/500");
    sender.Enqueue(L"run", L"ctime=1&bstart=0");
    ::Sleep(100);
    sender.Enqueue(L"search", L"q='a&b'");
    sender.Enqueue(L"中文", L"name=文件");
    ASSERT_TRUE(WaitSent(sender, 3));
    sender.Shutdown();

    std::vector<std::string> got = New();
    ASSERT_EQ(3u, got.size());
    std::string uuidA = platform::WideToAnsi(uuid);
    const char* expect[3][2] = {
        {"run", "ctime=1&bstart=0"},
        {"search", "q='a&b'"},
        {nullptr, nullptr},
    };
    for (int i = 0; i < 2; ++i) {
        std::string prefix = std::string("t=") + expect[i][0] + "&c=";
        ASSERT_EQ(0u, got[i].find(prefix)) << got[i];
        EXPECT_EQ("uuid='" + uuidA + "'&tid='4711'&" + expect[i][1], Base64Decode(got[i].substr(prefix.size())));
    }
    // The third went out in the ANSI code page, the event name as it is.
    std::string event = platform::WideToAnsi(L"中文");
    std::string prefix = "t=" + event + "&c=";
    ASSERT_EQ(0u, got[2].find(prefix)) << got[2];
    EXPECT_EQ("uuid='" + uuidA + "'&tid='4711'&name=" + platform::WideToAnsi(L"文件"),
              Base64Decode(got[2].substr(prefix.size())));
}

TEST_F(StatSender, TrackingIdDefaultsToZero) {
    EXPECT_EQ(L"0", ReadTrackingId());
    // Reading created the shared key.
    CRegKey key;
    ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, kWelgrinKey, KEY_ALL_ACCESS));
    ASSERT_EQ(ERROR_SUCCESS, ::RegSetValueExW(key.Get(), L"tid", 0, REG_DWORD,
                                              reinterpret_cast<const BYTE*>("\1\0\0\0"), 4));
    EXPECT_EQ(L"0", ReadTrackingId());
    ASSERT_TRUE(key.SetString(L"tid", std::wstring(300, L'9')));
    EXPECT_EQ(L"0", ReadTrackingId());
}

TEST_F(StatSender, MachineUuidIsKeptAndRepaired) {
    ::RegDeleteTreeW(HKEY_CLASSES_ROOT, kMachineUuidKey);
    EXPECT_TRUE(IsMachineUuidMissing());
    std::wstring first = GetMachineUuid();
    EXPECT_TRUE(IsLowerHex32(first));
    EXPECT_FALSE(IsMachineUuidMissing());
    EXPECT_EQ(first, GetMachineUuid());
    EXPECT_EQ(first, ReadMachineUuid());

    CRegKey key;
    ASSERT_TRUE(key.Open(HKEY_CLASSES_ROOT, kMachineUuidKey, KEY_ALL_ACCESS));
    // 33 characters: replaced by a new 32-digit one.
    ASSERT_TRUE(key.SetString(L"uuid", std::wstring(33, L'a')));
    std::wstring repaired = GetMachineUuid();
    EXPECT_TRUE(IsLowerHex32(repaired));
    EXPECT_EQ(repaired, ReadMachineUuid());
    // Empty: replaced as well.
    ASSERT_TRUE(key.SetString(L"uuid", L""));
    EXPECT_TRUE(IsMachineUuidMissing());
    EXPECT_TRUE(IsLowerHex32(GetMachineUuid()));
    // A shorter value is used as stored.
    ASSERT_TRUE(key.SetString(L"uuid", L"abc"));
    EXPECT_EQ(L"abc", GetMachineUuid());
    ::RegDeleteTreeW(HKEY_CLASSES_ROOT, kMachineUuidKey);
}

TEST_F(StatSender, ServerDownLosesEventsButKeepsRunning) {
    std::wstring down = L"127.0.0.1:" + std::to_wstring(ClosedLoopbackPort());
    {
        CStatSender sender(down);
        for (int i = 0; i < 3; ++i) sender.Enqueue(L"lost", L"n=" + std::to_wstring(i));
        ASSERT_TRUE(WaitSent(sender, 3));
        EXPECT_EQ(0u, sender.PendingCount());
        sender.Enqueue(L"lost", L"n=3");
        ASSERT_TRUE(WaitSent(sender, 4));
    }  // destruction shuts the sender down
    EXPECT_TRUE(New().empty());

    // A sender for the live server posts only its own events.
    CStatSender sender(HostOfServer());
    sender.Enqueue(L"back", L"n=9");
    ASSERT_TRUE(WaitSent(sender, 1));
    std::vector<std::string> got = New();
    ASSERT_EQ(1u, got.size());
    EXPECT_EQ(0u, got[0].find("t=back&c=")) << got[0];
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
    std::vector<std::string> got = New();
    ASSERT_EQ(1u, got.size());
    EXPECT_EQ(0u, got[0].find("t=slow&c=")) << got[0];
}

} // namespace
