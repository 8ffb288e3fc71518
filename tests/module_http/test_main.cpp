#include <cstdlib>
#include <string>

#include "tests/module_http/test_server.h"

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
