// A small real HTTP/1.1 server on 127.0.0.1 for download tests and
// benchmarks: fixed bodies per path, status codes, delays, stalls, endless
// bodies and redirects. One thread per connection; every response closes
// its connection.
#pragma once

#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kelvor::test {

struct HttpResponse {
    int status = 200;
    std::string body;
    std::string contentType = "application/xml";
    std::string location; // sent as Location (for 3xx)
    int delayMs = 0;      // wait before answering
    bool stall = false;   // accept, read the request, never answer
    bool endless = false; // send the body over and over, without a length
    std::string headers;  // more header lines, each ending in "\r\n"
    // Validators: sent as ETag / Last-Modified, and a request that names
    // them in If-None-Match / If-Modified-Since gets "304 Not Modified".
    std::string etag;
    std::string lastModified;
};

// A web page (text/html) with the given body.
inline HttpResponse htmlPage(const std::string& body) {
    HttpResponse page;
    page.body = body;
    page.contentType = "text/html";
    return page;
}

class HttpServer {
  public:
    HttpServer();  // listens on an ephemeral port at once
    ~HttpServer(); // stops: stalled and endless answers end, threads joined

    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    void serve(const std::string& path, HttpResponse response);
    void serve(const std::string& path, const std::string& body);
    // Answers the next request for path with this, before its usual answer
    // (several queue up in order).
    void serveOnce(const std::string& path, HttpResponse response);
    // Applied to every path that has none of its own (e.g. a delay for all).
    void setDefaultDelay(int delayMs);

    int port() const { return port_; }
    std::string url(const std::string& path) const;
    int requestCount() const { return requests_; }
    int requestCount(const std::string& path) const;
    // A header of the last request for path, "" when it had none.
    std::string lastRequestHeader(const std::string& path, const std::string& name) const;

    void stop();

  private:
    void acceptLoop();
    void handle(int client);
    bool waitUntilStopped(int ms); // true when stopped meanwhile

    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> requests_{0};
    std::thread acceptor_;
    mutable std::mutex mutex_;
    std::condition_variable stopped_;
    std::map<std::string, HttpResponse> routes_;
    std::map<std::string, int> counts_;
    std::map<std::string, std::vector<HttpResponse>> once_;
    std::map<std::string, std::string> lastRequests_;
    int defaultDelayMs_ = 0;
    std::vector<std::thread> connections_;
    std::vector<int> openClients_;
};

} // namespace kelvor::test
