#include "cli/Commands.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace kelvor::cli {

int usageError(const std::string& command, const std::string& message, const char* usage) {
    std::fprintf(stderr, "kelvor-tool %s: %s\n\n%s", command.c_str(), message.c_str(), usage);
    return 2;
}

bool applyTimeout(const std::string& seconds, long& connectMs, long& totalMs) {
    if (seconds.empty())
        return true;
    char* end = nullptr;
    double value = std::strtod(seconds.c_str(), &end);
    if (!end || *end != '\0' || !(value > 0) || value > 86400)
        return false;
    totalMs = static_cast<long>(value * 1000);
    connectMs = std::min(connectMs, totalMs);
    return true;
}

} // namespace kelvor::cli
