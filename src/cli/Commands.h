// kelvor-tool's commands. Each returns the process exit code: 0 success,
// 1 a failed load or download, 2 bad arguments.
#pragma once

#include <string>
#include <vector>

namespace kelvor::cli {

int runConvert(const std::vector<std::string>& args);
int runRefresh(const std::vector<std::string>& args);
int runDump(const std::vector<std::string>& args);

// Prints "kelvor-tool COMMAND: message" and the usage hint to stderr; returns 2.
int usageError(const std::string& command, const std::string& message, const char* usage);

// Load limits from --timeout SECONDS (total; connecting gets at most 15 s).
bool applyTimeout(const std::string& seconds, long& connectMs, long& totalMs);

} // namespace kelvor::cli
