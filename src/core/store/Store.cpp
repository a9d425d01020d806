#include "store/Store.h"

#include <filesystem>

namespace kelvor::store {
namespace {

// Paths in the index are compared as text, so the home folder is spelt one way.
std::string normalHome(const std::string& home) {
    std::error_code ec;
    std::string path = std::filesystem::absolute(home, ec).lexically_normal().string();
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

} // namespace

Store::Store(const std::string& home)
    : home_(normalHome(home)), db_(openSchema(pathFor(home_), &outcome_)) {}

} // namespace kelvor::store
