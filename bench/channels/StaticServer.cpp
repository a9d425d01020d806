#include "StaticServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>

namespace kelvor::bench {
namespace {

sockaddr_in loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// A port nobody listens on now; nginx takes it a moment later.
int freePort() {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = loopback(0);
    socklen_t size = sizeof address;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0)
        throw std::runtime_error("no free port on 127.0.0.1");
    close(fd);
    return ntohs(address.sin_port);
}

bool accepts(int port) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = loopback(port);
    bool ok = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return ok;
}

void writeConfig(const std::string& file, const std::string& root, const std::string& work,
                 int port) {
    std::ofstream conf(file);
    conf << "worker_processes 1;\n"
         << "pid " << work << "/nginx.pid;\n"
         << "error_log " << work << "/error.log;\n"
         << "events { worker_connections 256; }\n"
         << "http {\n"
         << "  access_log off;\n"
         << "  keepalive_requests 10000;\n"
         << "  client_body_temp_path " << work << "/body;\n"
         << "  proxy_temp_path " << work << "/proxy;\n"
         << "  fastcgi_temp_path " << work << "/fastcgi;\n"
         << "  uwsgi_temp_path " << work << "/uwsgi;\n"
         << "  scgi_temp_path " << work << "/scgi;\n"
         << "  types { application/xml xml; }\n"
         << "  server { listen 127.0.0.1:" << port << "; root " << root << "; }\n"
         << "}\n";
}

} // namespace

StaticServer::StaticServer(const std::string& root, const std::string& workFolder) {
    std::filesystem::create_directories(workFolder);
    port_ = freePort();
    std::string conf = workFolder + "/nginx.conf";
    writeConfig(conf, root, workFolder, port_);
    pid_ = fork();
    if (pid_ == 0) {
        execlp("nginx", "nginx", "-q", "-p", workFolder.c_str(), "-c", conf.c_str(), "-g",
               "daemon off;", static_cast<char*>(nullptr));
        _exit(127);
    }
    for (int i = 0; i < 500 && !accepts(port_); ++i) {
        if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
            pid_ = -1;
            throw std::runtime_error("nginx did not start (scripts/install-deps --bench)");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

StaticServer::~StaticServer() {
    if (pid_ > 0) {
        kill(pid_, SIGQUIT);
        waitpid(pid_, nullptr, 0);
    }
}

std::string StaticServer::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

} // namespace kelvor::bench
