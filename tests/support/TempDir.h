// A temporary folder for one test, removed with everything in it.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace kelvor::test {

class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    // Writes a file (creating folders on the way) and returns its path.
    std::string write(const std::string& name, const std::string& bytes) const;
    std::string read(const std::string& name) const;

  private:
    std::string path_;
};

std::string readFile(const std::string& path);

// The names of the entries directly in folder, sorted.
std::vector<std::string> namesIn(const std::string& folder);

} // namespace kelvor::test
