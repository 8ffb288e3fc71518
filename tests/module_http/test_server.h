#pragma once
// The loopback HTTP server of these tests (a Python script on the Linux
// side), started once per program and stopped at its end.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "module/http_transfer.h"
#include "tests/support/test_support.h"

// Collects a download in memory and records how the writer was driven.
class MemoryWriter : public IDownloadWriter {
public:
    HRESULT Open() override { ++opens; data.clear(); return S_OK; }
    HRESULT Seek(uint64_t) override { return S_OK; }
    HRESULT Write(const void* bytes, size_t count) override {
        if (closes) ++writesAfterClose;
        data.append(static_cast<const char*>(bytes), count);
        return S_OK;
    }
    HRESULT Close() override { ++closes; return S_OK; }
    HRESULT Progress(double fraction) override {
        if (fraction < 0.0 || fraction > 1.0 || fraction < lastFraction) ++badFractions;
        lastFraction = fraction;
        ++progressCalls;
        return S_OK;
    }

    std::string data;
    int opens = 0, closes = 0, writesAfterClose = 0, progressCalls = 0, badFractions = 0;
    double lastFraction = 0.0;
};

class TestServer : public ::testing::Environment {
public:
    static TestServer* Instance() { return instance_; }

    void SetUp() override {
        instance_ = this;
        const std::string portFile = testing_support::UnixWorkFolder() + "/http-port";
        ASSERT_EQ(0, testing_support::RunUnixCommand("py=/usr/bin/python3; [ -x $py ] || py=python3; "
                                                     "nohup $py '" HTTP_TEST_SERVER "' '" + portFile +
                                                     "' 300 >/dev/null 2>&1 &"));
        const std::wstring portPath = testing_support::UnixToWindowsPath(portFile);
        for (int i = 0; i < 1000 && port_ == 0; ++i) {
            const std::string text = testing_support::ReadFileBytes(portPath);
            if (text == "<missing>") ::Sleep(10); else port_ = atoi(text.c_str());
        }
        ASSERT_NE(0, port_) << "test server did not start";
        ASSERT_TRUE(Hold()) << "test server did not take the program's hold";
    }
    void TearDown() override {
        if (port_) Get("/quit");
        if (holder_ != INVALID_SOCKET) ::closesocket(holder_);
        holder_ = INVALID_SOCKET;
    }

    int Port() const { return port_; }
    std::string Url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }
    // GET through the download routine (from this server or from base); the body, or "<error N>".
    std::string Get(const std::string& path, const std::string& base = "") const {
        MemoryWriter writer;
        const int rc = HttpDownloadToFile(writer, (base.empty() ? Url(path) : base + path).c_str());
        return rc == 0 ? writer.data : "<error " + std::to_string(rc) + ">";
    }

private:
    // The server lives as long as this connection: the system closes it
    // however the program ends, so a slow run keeps its server to the last
    // test and a crashed one leaves no server behind.
    bool Hold() {
        WSADATA data;
        if (::WSAStartup(MAKEWORD(2, 2), &data) != 0) return false;
        holder_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        if (holder_ == INVALID_SOCKET) return false;
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<u_short>(port_));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(holder_, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) return false;
        const char request[] = "GET /hold HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
        if (::send(holder_, request, static_cast<int>(sizeof(request) - 1), 0) != static_cast<int>(sizeof(request) - 1))
            return false;
        // The answer tells that the server has taken the hold.
        std::string answer;
        char buffer[256];
        while (answer.find("held") == std::string::npos) {
            const int got = ::recv(holder_, buffer, sizeof(buffer), 0);
            if (got <= 0) return false;
            answer.append(buffer, static_cast<size_t>(got));
        }
        return answer.compare(0, 12, "HTTP/1.1 200") == 0 || answer.compare(0, 12, "HTTP/1.0 200") == 0;
    }

    static inline TestServer* instance_ = nullptr;
    int port_ = 0;
    SOCKET holder_ = INVALID_SOCKET;
};

// The main of the programs that use the server.
inline int RunTestsWithServer(int argc, char** argv) {
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

// A loopback port nothing listens on (a privileged port no test opens).
inline int ClosedLoopbackPort() { return 1; }
inline std::string ClosedUrl(const std::string& path) { return "http://127.0.0.1:1" + path; }
