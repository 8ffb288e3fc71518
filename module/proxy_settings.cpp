#include <winsock2.h>

#include "module/proxy_settings.h"

#include <curl/curl.h>

#include <cwctype>

#include "module/registry.h"
#include "platform/strconv.h"

const wchar_t kWelgrinKey[] = L"Software\\Welgrin Data Recovery";

namespace {

const wchar_t kInternetSettingsKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

bool OpenProxyKey(CRegKey& key) {
    // Create semantics: the companion product shares the key, we may be first.
    return key.Create(HKEY_CURRENT_USER, kWelgrinKey, KEY_QUERY_VALUE);
}

} // namespace

DWORD ReadProxyMode() {
    CRegKey key;
    DWORD mode = PROXY_MODE_NONE;
    if (OpenProxyKey(key)) key.QueryDword(L"Proxy Mode", mode);
    return mode;
}

void ReadProxyPort(DWORD& port) {
    CRegKey key;
    if (OpenProxyKey(key)) key.QueryDword(L"Proxy Port", port);
}

void ReadProxyHost(std::wstring& host) {
    host.clear();
    CRegKey key;
    if (OpenProxyKey(key)) key.QueryString(L"Proxy Host", host, kProxyTextMax);
}

DWORD ReadProxyCredentials(std::wstring& user, std::wstring& password) {
    user.clear();
    password.clear();
    DWORD authorization = 0;
    CRegKey key;
    if (!OpenProxyKey(key)) return 0;
    key.QueryDword(L"Proxy Authorization", authorization);
    key.QueryString(L"Proxy User", user, kProxyTextMax);
    key.QueryString(L"Proxy Password", password, kProxyTextMax);
    return authorization;
}

int SplitHostPort(const std::wstring& text, std::wstring& host, DWORD& port) {
    if (text.empty()) return 0;
    size_t colon = text.find(L':');
    if (colon == std::wstring::npos) {
        host = text;
    } else {
        host = text.substr(0, colon);
        DWORD value = 0;
        for (size_t i = colon + 1; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
            // Saturate rather than wrap: a huge port must stay invalid.
            value = value > 100000 ? value : value * 10 + (text[i] - L'0');
        }
        port = value;
    }
    if (port == 0) port = 80;
    return 1;
}

int ParseSystemProxyServer(const std::wstring& server, DWORD& mode, DWORD& port, std::wstring& host) {
    std::wstring text = server;
    for (auto& c : text) c = static_cast<wchar_t>(std::towlower(c));
    mode = PROXY_MODE_HTTP;
    size_t at;
    if ((at = text.find(L"socks=")) != std::wstring::npos) {
        mode = PROXY_MODE_SOCKS5;
        text = text.substr(at + 6);
    } else if ((at = text.find(L"http=")) != std::wstring::npos) {
        text = text.substr(at + 5);
    }
    // One entry only: the list goes on after ';' (or a blank) with other schemes.
    size_t end = text.find_first_of(L"; \t");
    if (end != std::wstring::npos) text.resize(end);
    // Entries may carry a scheme ("http://proxy:8080").
    size_t scheme = text.find(L"://");
    if (scheme != std::wstring::npos) text = text.substr(scheme + 3);
    return SplitHostPort(text, host, port) && !host.empty() ? 1 : 0;
}

int ReadSystemProxy(DWORD& mode, DWORD& port, std::wstring& host) {
    host.clear();
    CRegKey key;
    if (!key.Open(HKEY_CURRENT_USER, kInternetSettingsKey, KEY_QUERY_VALUE)) return 0;
    DWORD enable = 0;
    if (!key.QueryDword(L"ProxyEnable", enable) || enable == 0) return 0;
    std::wstring server;
    if (!key.QueryString(L"ProxyServer", server, kProxyTextMax)) return 0;
    return ParseSystemProxyServer(server, mode, port, host);
}

int ApplyProxySettings(CURL* handle) {
    DWORD mode = ReadProxyMode();
    DWORD port = 80;
    std::wstring host;
    switch (mode) {
    case PROXY_MODE_SYSTEM:
        if (!ReadSystemProxy(mode, port, host)) return CURLE_OK;
        break;
    case PROXY_MODE_HTTP:
    case PROXY_MODE_SOCKS5:
    case PROXY_MODE_DEFAULT:
        ReadProxyPort(port);
        ReadProxyHost(host);
        break;
    default:
        return CURLE_OK;
    }
    if (host.empty()) return CURLE_OK;

    CURLcode rc = CURLE_OK;
    if (mode == PROXY_MODE_HTTP) {
        rc = curl_easy_setopt(handle, CURLOPT_PROXYTYPE, static_cast<long>(CURLPROXY_HTTP));
    } else if (mode == PROXY_MODE_SOCKS5) {
        rc = curl_easy_setopt(handle, CURLOPT_PROXYTYPE, static_cast<long>(CURLPROXY_SOCKS5));
    }
    if (rc != CURLE_OK) return rc;
    // libcurl refuses ports beyond 65535, so a bad registry value fails the transfer.
    if ((rc = curl_easy_setopt(handle, CURLOPT_PROXYPORT, static_cast<long>(port > 0x7fffffff ? 0x7fffffff : port))) !=
        CURLE_OK) {
        return rc;
    }
    std::string hostA = platform::WideToAnsi(host);
    if ((rc = curl_easy_setopt(handle, CURLOPT_PROXY, hostA.c_str())) != CURLE_OK) return rc;

    std::wstring user, password;
    if (ReadProxyCredentials(user, password) == 0) return CURLE_OK;
    if ((rc = curl_easy_setopt(handle, CURLOPT_PROXYAUTH, static_cast<long>(CURLAUTH_BASIC))) != CURLE_OK) return rc;
    // Separate options: a ':' inside the user name must not split it.
    std::string userA = platform::WideToAnsi(user);
    std::string passwordA = platform::WideToAnsi(password);
    if ((rc = curl_easy_setopt(handle, CURLOPT_PROXYUSERNAME, userA.c_str())) != CURLE_OK) return rc;
    return curl_easy_setopt(handle, CURLOPT_PROXYPASSWORD, passwordA.c_str());
}
