#include <winsock2.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/module_http/test_server.h"

int ClosedLoopbackPort() {
    WSADATA wsa;
    if (::WSAStartup(MAKEWORD(2, 2), &wsa) != 0) return 9;
    int port = 9;  // discard: nothing listens there on a test machine
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s != INVALID_SOCKET) {
        sockaddr_in addr = {};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int len = sizeof(addr);
        if (::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0 &&
            ::getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len) == 0) {
            port = ntohs(addr.sin_port);
        }
        ::closesocket(s);
    }
    ::WSACleanup();
    return port;
}

int main(int argc, char** argv) {
    // Proxy variables of the machine must not redirect loopback requests.
    for (const char* name : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY",
                             "no_proxy", "NO_PROXY"}) {
        ::SetEnvironmentVariableA(name, nullptr);
        _putenv((std::string(name) + "=").c_str());
    }
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new TestServer);
    return RUN_ALL_TESTS();
}
