#pragma once
// Proxy settings shared with the companion data-recovery product, read from
// the registry afresh for every transfer.
#include <windows.h>

#include <string>

typedef void CURL;

// HKEY_CURRENT_USER key of the proxy values (and the tracking id).
extern const wchar_t kWelgrinKey[];

enum ProxyMode : DWORD {
    PROXY_MODE_NONE = 0,
    PROXY_MODE_SYSTEM = 1,   // the system's (Internet Settings) proxy
    PROXY_MODE_HTTP = 2,
    PROXY_MODE_SOCKS5 = 3,
    PROXY_MODE_DEFAULT = 4,  // libcurl's default proxy type
};

// Texts read from the registry keep at most this many characters.
constexpr size_t kProxyTextMax = 260;

// Applies the configured proxy to a libcurl handle: 0 (CURLE_OK), also when
// no proxy is configured, or the code of the first option libcurl refused.
int ApplyProxySettings(CURL* handle);

DWORD ReadProxyMode();
// "Proxy Port"; `port` stays as it was when the value is missing or unreadable.
void ReadProxyPort(DWORD& port);
void ReadProxyHost(std::wstring& host);
// Reads user and password; answers the "Proxy Authorization" value (0 when missing).
DWORD ReadProxyCredentials(std::wstring& user, std::wstring& password);
// The system proxy from Internet Settings: answers 1 and sets mode (2 HTTP,
// 3 SOCKS5), host and port when one is enabled and named, else 0.
int ReadSystemProxy(DWORD& mode, DWORD& port, std::wstring& host);
// Parses one "ProxyServer" text as ReadSystemProxy does (lower-cased first).
int ParseSystemProxyServer(const std::wstring& server, DWORD& mode, DWORD& port, std::wstring& host);
// "host[:port]": 0 for empty text, else 1. No colon keeps `port`; a port of 0
// (or no digits) becomes 80; a port beyond 65535 is kept as read so that
// libcurl refuses it.
int SplitHostPort(const std::wstring& text, std::wstring& host, DWORD& port);
