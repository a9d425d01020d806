#include "support/HttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstring>
#include <stdexcept>

namespace kelvor::test {
namespace {

const char* reasonPhrase(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    default:
        return "Status";
    }
}

bool sendAll(int fd, const std::string& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

// The request line's path, or "" when the request did not arrive whole.
std::string readRequest(int fd) {
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
        ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            return {};
        request.append(buffer, static_cast<size_t>(n));
    }
    return request;
}

std::string requestPath(const std::string& request) {
    size_t start = request.find(' ');
    size_t end = start == std::string::npos ? start : request.find(' ', start + 1);
    return end == std::string::npos ? std::string() : request.substr(start + 1, end - start - 1);
}

// The value of a header line of a request head, matched without case.
std::string headerValue(const std::string& request, const std::string& name) {
    std::string lower = request;
    std::string key = "\r\n" + name + ":";
    for (auto* text : {&lower, &key})
        for (char& c : *text)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    size_t at = lower.find(key);
    if (at == std::string::npos)
        return {};
    size_t from = request.find_first_not_of(' ', at + key.size());
    size_t end = request.find("\r\n", from);
    return request.substr(from, end - from);
}

// As HTTP says: a request that names an entity tag is judged by it alone.
bool notModified(const HttpResponse& response, const std::string& request) {
    std::string tag = headerValue(request, "If-None-Match");
    if (!tag.empty() && !response.etag.empty())
        return tag == response.etag;
    return !response.lastModified.empty() &&
           headerValue(request, "If-Modified-Since") == response.lastModified;
}

} // namespace

void HttpServer::serveOnce(const std::string& path, HttpResponse response) {
    std::lock_guard<std::mutex> lock(mutex_);
    once_[path].push_back(std::move(response));
}

std::string HttpServer::lastRequestHeader(const std::string& path, const std::string& name) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = lastRequests_.find(path);
    return it == lastRequests_.end() ? std::string() : headerValue(it->second, name);
}

HttpServer::HttpServer() {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    if (listener_ < 0)
        throw std::runtime_error("socket failed");
    int yes = 1;
    ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener_, 256) != 0)
        throw std::runtime_error("bind/listen failed");
    socklen_t length = sizeof address;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    acceptor_ = std::thread([this] { acceptLoop(); });
}

HttpServer::~HttpServer() {
    stop();
}

void HttpServer::serve(const std::string& path, HttpResponse response) {
    std::lock_guard<std::mutex> lock(mutex_);
    routes_[path] = std::move(response);
}

void HttpServer::serve(const std::string& path, const std::string& body) {
    HttpResponse response;
    response.body = body;
    serve(path, response);
}

void HttpServer::setDefaultDelay(int delayMs) {
    std::lock_guard<std::mutex> lock(mutex_);
    defaultDelayMs_ = delayMs;
}

std::string HttpServer::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

int HttpServer::requestCount(const std::string& path) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = counts_.find(path);
    return it == counts_.end() ? 0 : it->second;
}

void HttpServer::stop() {
    if (stopping_.exchange(true))
        return;
    ::shutdown(listener_, SHUT_RDWR);
    ::close(listener_);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (int client : openClients_)
            ::shutdown(client, SHUT_RDWR);
    }
    stopped_.notify_all();
    if (acceptor_.joinable())
        acceptor_.join();
    std::vector<std::thread> connections;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        connections.swap(connections_);
    }
    for (auto& connection : connections)
        connection.join();
}

void HttpServer::acceptLoop() {
    while (!stopping_) {
        int client = ::accept(listener_, nullptr, nullptr);
        if (client < 0) {
            if (stopping_)
                return;
            continue;
        }
        int yes = 1;
        ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_) {
            ::close(client);
            return;
        }
        openClients_.push_back(client);
        connections_.emplace_back([this, client] { handle(client); });
    }
}

bool HttpServer::waitUntilStopped(int ms) {
    std::unique_lock<std::mutex> lock(mutex_);
    return stopped_.wait_for(lock, std::chrono::milliseconds(ms),
                             [this] { return stopping_.load(); });
}

void HttpServer::handle(int client) {
    std::string request = readRequest(client);
    std::string path = requestPath(request);
    HttpResponse response;
    response.status = 404;
    response.body = "not found";
    int delay = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++counts_[path];
        lastRequests_[path] = request;
        auto it = routes_.find(path);
        if (auto queued = once_.find(path); queued != once_.end() && !queued->second.empty()) {
            response = queued->second.front();
            queued->second.erase(queued->second.begin());
        } else if (it != routes_.end()) {
            response = it->second;
        }
        delay = response.delayMs > 0 ? response.delayMs : defaultDelayMs_;
    }
    ++requests_;
    bool stopped = !path.empty() && ((response.stall && waitUntilStopped(24 * 3600 * 1000)) ||
                                     (delay > 0 && waitUntilStopped(delay)));
    if (notModified(response, request)) {
        response.status = 304;
        response.body.clear();
    }
    if (!path.empty() && !stopped) {
        std::string head =
            "HTTP/1.1 " + std::to_string(response.status) + " " + reasonPhrase(response.status) +
            "\r\nContent-Type: " + response.contentType + "\r\nConnection: close\r\n";
        if (!response.location.empty())
            head += "Location: " + response.location + "\r\n";
        if (!response.etag.empty())
            head += "ETag: " + response.etag + "\r\n";
        if (!response.lastModified.empty())
            head += "Last-Modified: " + response.lastModified + "\r\n";
        head += response.headers;
        if (!response.endless)
            head += "Content-Length: " + std::to_string(response.body.size()) + "\r\n";
        bool ok = sendAll(client, head + "\r\n") && sendAll(client, response.body);
        while (ok && response.endless && !stopping_)
            ok = sendAll(client, response.body.empty() ? std::string(4096, ' ') : response.body);
    }
    std::lock_guard<std::mutex> lock(mutex_);
    openClients_.erase(std::remove(openClients_.begin(), openClients_.end(), client),
                       openClients_.end());
    ::shutdown(client, SHUT_WR);
    ::close(client);
}

} // namespace kelvor::test
