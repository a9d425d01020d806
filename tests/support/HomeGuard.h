// A test that moves the home folder or the current folder puts both back, so
// that the tests after it (in any order) start where they expect.
#pragma once

#include "platform/HomeFolder.h"

#include <filesystem>
#include <string>
#include <system_error>

namespace kelvor::test {

class HomeGuard {
  public:
    HomeGuard() : home_(platform::programFolder()), folder_(currentFolder()) {}
    explicit HomeGuard(const std::string& home) : HomeGuard() { setHome(home); }
    ~HomeGuard() {
        platform::setProgramFolder(home_);
        std::error_code ec;
        if (!folder_.empty())
            std::filesystem::current_path(folder_, ec);
    }
    HomeGuard(const HomeGuard&) = delete;
    HomeGuard& operator=(const HomeGuard&) = delete;

    void setHome(const std::string& home) { platform::setProgramFolder(home); }
    // The tree view still opens a bare "index.xml" from the current folder.
    void enter(const std::string& folder) { std::filesystem::current_path(folder); }

  private:
    static std::filesystem::path currentFolder() {
        std::error_code ec;
        return std::filesystem::current_path(ec);
    }

    std::string home_;
    std::filesystem::path folder_;
};

// Makes `path` the current folder for the guard's lifetime.
struct InFolder : HomeGuard {
    explicit InFolder(const std::string& path) { enter(path); }
};

} // namespace kelvor::test
