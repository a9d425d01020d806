#include "cli/Commands.h"

#include "feeds/FavoritesImport.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace kelvor::cli {

int usageError(const std::string& command, const std::string& message, const char* usage) {
    std::fprintf(stderr, "kelvor-tool %s: %s\n\n%s", command.c_str(), message.c_str(), usage);
    return 2;
}

std::optional<int> parseCommandArguments(const std::vector<std::string>& args,
                                         const std::set<std::string>& valueOptions,
                                         const std::set<std::string>& flagOptions, const char* command,
                                         const char* operand, const char* usage, Arguments& parsed) {
    parsed = parseArguments(args, valueOptions, flagOptions);
    if (parsed.help) {
        std::fputs(usage, stdout);
        return 0;
    }
    if (!parsed.error.empty())
        return usageError(command, parsed.error, usage);
    if (parsed.positional.size() != 1)
        return usageError(command, std::string("expected one ") + operand, usage);
    return std::nullopt;
}

void applyFavoritesOption(const Arguments& parsed) {
    feeds::setFavoritesFolder(feeds::expandEnvironment(parsed.value("favorites", "$HOME/Favorites")));
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
