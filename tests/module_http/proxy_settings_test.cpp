#include "tests/module_http/test_server.h"

#include <curl/curl.h>

#include <string>

#include "module/base64.h"
#include "module/proxy_settings.h"
#include "module/registry.h"

namespace {

const wchar_t kInternetSettings[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
const std::string kDirect = "<error " + std::to_string(CURLE_COULDNT_CONNECT) + ">";
const std::string kViaProxy = "via proxy yes auth -";

class ProxySettings : public ::testing::Test {
protected:
    void SetUp() override { Clear(); }
    void TearDown() override { Clear(); }

    static void Clear() {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kWelgrinKey);
        HKEY key;
        if (::RegOpenKeyExW(HKEY_CURRENT_USER, kInternetSettings, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
            ::RegDeleteValueW(key, L"ProxyEnable");
            ::RegDeleteValueW(key, L"ProxyServer");
            ::RegCloseKey(key);
        }
    }
    static CRegKey& Key() {
        static CRegKey key;
        key.Create(HKEY_CURRENT_USER, kWelgrinKey, KEY_ALL_ACCESS);
        return key;
    }
    static void SetDword(const wchar_t* name, DWORD value) { ASSERT_TRUE(Key().SetDword(name, value)); }
    static void SetString(const wchar_t* name, const std::wstring& value) { ASSERT_TRUE(Key().SetString(name, value)); }
    static void SetRaw(const wchar_t* name, DWORD type, const void* bytes, DWORD size) {
        ASSERT_EQ(ERROR_SUCCESS, ::RegSetValueExW(Key().Get(), name, 0, type, static_cast<const BYTE*>(bytes), size));
    }
    static void SetSystemProxy(DWORD enable, const std::wstring& server) {
        CRegKey key;
        ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, kInternetSettings, KEY_ALL_ACCESS));
        ASSERT_TRUE(key.SetDword(L"ProxyEnable", enable));
        ASSERT_TRUE(key.SetString(L"ProxyServer", server));
    }
    static void UseTestServerAsProxy(DWORD mode) {
        SetDword(L"Proxy Mode", mode);
        SetString(L"Proxy Host", L"127.0.0.1");
        SetDword(L"Proxy Port", static_cast<DWORD>(TestServer::Instance()->Port()));
    }
    // Fetches a loopback address that only the proxy (the test server) answers.
    static std::string FetchThroughProxy() { return TestServer::Instance()->Get("/proxied", ClosedUrl("")); }
};

TEST_F(ProxySettings, ServerTexts) {
    std::wstring host;
    DWORD port = 1234;
    EXPECT_EQ(0, SplitHostPort(L"", host, port));
    // No colon keeps the port; a huge one stays invalid instead of wrapping to a valid port.
    const std::pair<const wchar_t*, DWORD> ports[] = {{L"proxy", 1234}, {L"proxy:8080x", 8080}, {L"proxy:", 80}};
    for (const auto& c : ports) {
        EXPECT_EQ(1, SplitHostPort(c.first, host, port));
        EXPECT_EQ(c.second, port) << c.first;
    }
    EXPECT_EQ(1, SplitHostPort(L"proxy:99999999999999999999", host, port));
    EXPECT_GT(port, 65535u);

    // Each as "mode host:port" (2 is HTTP, 3 SOCKS5), or "none".
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"HTTP=Proxy:8080;https=proxy:8443", L"2 proxy:8080"}, {L"proxyhost", L"2 proxyhost:80"},
        {L"http=a:1;socks=Sock:1080", L"3 sock:1080"},
        // The chosen entry ends at ';': its host is not taken from the next one.
        {L"http=plain;https=other:8443", L"2 plain:80"}, {L"http://web:8000", L"2 web:8000"},
        {L"", L"none"}, {L"http=", L"none"}, {L":8080", L"none"},
    };
    for (const auto& c : cases) {
        DWORD mode = 0;
        port = 80;
        host = L"stale";
        const bool found = ParseSystemProxyServer(c.first, mode, port, host) != 0;
        EXPECT_EQ(c.second, found ? std::to_wstring(mode) + L" " + host + L":" + std::to_wstring(port) : L"none") << c.first;
    }
}

TEST_F(ProxySettings, ReadsRegistryValuesDefensively) {
    DWORD port = 80;
    SetString(L"Proxy Port", L"8080");  // wrong type: default kept
    ReadProxyPort(port);
    EXPECT_EQ(80u, port);
    SetRaw(L"Proxy Mode", REG_DWORD, "\x02", 1);  // short DWORD
    EXPECT_EQ(0u, ReadProxyMode());

    auto host = [](DWORD type, const void* bytes, DWORD size) {
        SetRaw(L"Proxy Host", type, bytes, size);
        std::wstring value = L"stale";
        ReadProxyHost(value);
        return value;
    };
    const std::wstring longest(260, L'h');
    EXPECT_EQ(L"", host(REG_BINARY, "abc", 3));
    EXPECT_EQ(L"", host(REG_SZ, (longest + L"h").c_str(), 262 * 2));  // longer than a host may be
    EXPECT_EQ(longest, host(REG_SZ, longest.c_str(), 261 * 2));
    EXPECT_EQ(L"pxy", host(REG_SZ, L"pxy!", 7));  // no terminator, odd byte count
}

TEST_F(ProxySettings, ModesRouteTransfers) {
    EXPECT_EQ(kDirect, FetchThroughProxy());
    UseTestServerAsProxy(PROXY_MODE_HTTP);
    EXPECT_EQ(kViaProxy, FetchThroughProxy());
    // Libcurl's default type is HTTP as well; only the type option is left out.
    UseTestServerAsProxy(PROXY_MODE_DEFAULT);
    EXPECT_EQ(kViaProxy, FetchThroughProxy());
    // Posts take the same proxy.
    std::string response;
    EXPECT_EQ(0, HttpPost(ClosedUrl("/echo").c_str(), "p=1", 3, response));
    EXPECT_EQ("application/x-www-form-urlencoded|Mozilla/4.0|*/*|p=1", response);

    // SOCKS5: the server sees a SOCKS greeting, which it refuses.
    SetString(L"Proxy Host", L"");
    const int greetings = std::stoi(TestServer::Instance()->Get("/socks"));
    UseTestServerAsProxy(PROXY_MODE_SOCKS5);
    EXPECT_EQ(0u, FetchThroughProxy().find("<error "));
    SetString(L"Proxy Host", L"");
    EXPECT_EQ(greetings + 1, std::stoi(TestServer::Instance()->Get("/socks")));

    // Basic authentication when asked for.
    UseTestServerAsProxy(PROXY_MODE_HTTP);
    SetDword(L"Proxy Authorization", 1);
    SetString(L"Proxy User", L"user");
    SetString(L"Proxy Password", L"pa:ss");
    EXPECT_EQ("via proxy yes auth Basic " + Base64EncodeString("user:pa:ss"), FetchThroughProxy());
    // A ':' in the user name stays in the user name (sent as user, then password).
    SetString(L"Proxy User", L"dom:user");
    SetString(L"Proxy Password", L"pw");
    EXPECT_EQ("via proxy yes auth Basic " + Base64EncodeString("dom:user:pw"), FetchThroughProxy());

    // An empty host and unknown modes mean a direct connection.
    SetDword(L"Proxy Authorization", 0);
    SetString(L"Proxy Host", L"");
    EXPECT_EQ(kDirect, FetchThroughProxy());
    UseTestServerAsProxy(7);
    EXPECT_EQ(kDirect, FetchThroughProxy());

    // A port libcurl cannot use fails the transfer instead of going direct.
    UseTestServerAsProxy(PROXY_MODE_HTTP);
    SetDword(L"Proxy Port", 70000);
    EXPECT_EQ(0u, FetchThroughProxy().find("<error "));
    EXPECT_NE(0, HttpPost(TestServer::Instance()->Url("/echo").c_str(), "x", 1, response));
    CURL* h = curl_easy_init();
    ASSERT_NE(nullptr, h);
    SetDword(L"Proxy Port", 0xFFFFFFFF);
    EXPECT_EQ(CURLE_BAD_FUNCTION_ARGUMENT, ApplyProxySettings(h));
    curl_easy_cleanup(h);
}

TEST_F(ProxySettings, SystemModeUsesInternetSettings) {
    SetDword(L"Proxy Mode", PROXY_MODE_SYSTEM);
    EXPECT_EQ(kDirect, FetchThroughProxy());
    SetSystemProxy(1, L"HTTP=127.0.0.1:" + std::to_wstring(TestServer::Instance()->Port()) + L";https=h:1");
    EXPECT_EQ(kViaProxy, FetchThroughProxy());
    SetSystemProxy(0, L"127.0.0.1:" + std::to_wstring(TestServer::Instance()->Port()));
    EXPECT_EQ(kDirect, FetchThroughProxy());
}

} // namespace
