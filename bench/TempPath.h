// Where the benchmarks put the files they generate: $TMPDIR, or /tmp.
#pragma once

#include <cstdlib>
#include <string>

namespace kelvor::bench {

inline std::string tempPath(const std::string& name) {
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir && *dir ? dir : "/tmp") + "/" + name;
}

} // namespace kelvor::bench
