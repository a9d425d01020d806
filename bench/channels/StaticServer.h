// nginx serving a folder on 127.0.0.1, for refreshes against a real static
// file server: it keeps connections open and answers conditional requests
// with "304 Not Modified" from the files' ETag and Last-Modified.
#pragma once

#include <string>
#include <sys/types.h>

namespace kelvor::bench {

class StaticServer {
  public:
    // Serves root; its own configuration, logs and pid go into workFolder.
    // Throws std::runtime_error when nginx is missing or does not come up.
    StaticServer(const std::string& root, const std::string& workFolder);
    ~StaticServer();
    StaticServer(const StaticServer&) = delete;
    StaticServer& operator=(const StaticServer&) = delete;

    std::string url(const std::string& path) const;

  private:
    int port_ = 0;
    pid_t pid_ = -1;
};

} // namespace kelvor::bench
