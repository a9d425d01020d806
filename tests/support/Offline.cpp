#include "support/Offline.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdlib>
#include <stdexcept>

namespace kelvor::test {
namespace {

int bindClosedPort() {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("no port for the closed address");
    return ntohs(address.sin_port); // fd stays open on purpose
}

// libcurl honours these (lower case; it ignores HTTP_PROXY), and with a
// proxy it never looks the target's name up itself; kelvor-tool run by the
// tests inherits them. Set before main, so no test can start earlier.
[[maybe_unused]] const bool proxiesSet = [] {
    std::string proxy = "http://127.0.0.1:" + std::to_string(closedPort());
    for (const char* name : {"http_proxy", "https_proxy", "all_proxy", "HTTPS_PROXY", "ALL_PROXY"})
        setenv(name, proxy.c_str(), 1);
    setenv("no_proxy", "127.0.0.1,localhost", 1);
    setenv("NO_PROXY", "127.0.0.1,localhost", 1);
    return true;
}();

} // namespace

int closedPort() {
    static const int port = bindClosedPort();
    return port;
}

std::string unreachableUrl(const std::string& path) {
    return "http://127.0.0.1:" + std::to_string(closedPort()) + path;
}

std::string offlineChromiumFlags() {
    std::string port = std::to_string(closedPort());
    return "--proxy-server=127.0.0.1:" + port +
           " --host-resolver-rules=\"MAP * ~NOTFOUND , EXCLUDE 127.0.0.1\"";
}

} // namespace kelvor::test
