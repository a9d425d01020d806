#include "FuzzSupport.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace kelvor::fuzz {
namespace {

std::string makeScratchFolder() {
    std::error_code ec;
    const char* tmpdir = std::getenv("TMPDIR");
    fs::path base = tmpdir && *tmpdir                  ? fs::path(tmpdir)
                    : fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm")
                                                       : fs::temp_directory_path();
    std::string pattern = (base / "kelvor-fuzz-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        std::perror("mkdtemp");
        std::abort();
    }
    return pattern;
}

void removeScratchFolder() {
    std::error_code ec;
    fs::remove_all(scratchFolder(), ec);
}

} // namespace

// Never destroyed: the exit handler that removes the folder runs after
// static destructors would have run.
const std::string& scratchFolder() {
    static const std::string* folder = [] {
        auto* made = new std::string(makeScratchFolder());
        std::atexit(removeScratchFolder);
        return made;
    }();
    return *folder;
}

std::vector<std::string> splitFields(const uint8_t* data, size_t size, size_t count) {
    std::vector<std::string> fields;
    std::string input(reinterpret_cast<const char*>(data), size);
    size_t start = 0;
    while (fields.size() + 1 < count) {
        size_t newline = input.find('\n', start);
        if (newline == std::string::npos)
            break;
        fields.push_back(input.substr(start, newline - start));
        start = newline + 1;
    }
    fields.push_back(start <= input.size() ? input.substr(start) : std::string());
    fields.resize(count);
    return fields;
}

void fail(const std::string& what, const std::vector<std::string>& details) {
    std::fprintf(stderr, "\n*** invariant broken: %s\n", what.c_str());
    for (const std::string& detail : details)
        std::fprintf(stderr, "    %s\n", detail.c_str());
    std::fflush(stderr);
    std::abort();
}

} // namespace kelvor::fuzz
