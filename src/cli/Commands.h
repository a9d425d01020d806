// kelvor-tool's commands. Each returns the process exit code: 0 success,
// 1 a failed load or download, 2 bad arguments.
#pragma once

#include "cli/Arguments.h"
#include "feeds/CategoryImport.h"

#include <optional>
#include <set>
#include <string>
#include <vector>

namespace kelvor::cli {

int runConvert(const std::vector<std::string>& args);
int runRefresh(const std::vector<std::string>& args);
int runDump(const std::vector<std::string>& args);
int runExportOpml(const std::vector<std::string>& args);
int runImportOpml(const std::vector<std::string>& args);
int runImportBookmarks(const std::vector<std::string>& args);
int runSearch(const std::vector<std::string>& args);
int runProbe(const std::vector<std::string>& args);
int runHistory(const std::vector<std::string>& args);
int runClearHistory(const std::vector<std::string>& args);
int runSync(const std::vector<std::string>& args);

// Prints "kelvor-tool COMMAND: message" and the usage hint to stderr; returns 2.
int usageError(const std::string& command, const std::string& message, const char* usage);

// Parses the arguments of a command that takes exactly one operand (named
// `operand` in the error). A returned exit code ends the command at once: 0
// after printing the usage for --help, 2 after reporting a usage error.
std::optional<int> parseCommandArguments(const std::vector<std::string>& args,
                                         const std::set<std::string>& valueOptions,
                                         const std::set<std::string>& flagOptions,
                                         const char* command, const char* operand,
                                         const char* usage, Arguments& parsed);

// The Favorites folder from --favorites, $HOME/Favorites by default.
void applyFavoritesOption(const Arguments& parsed);

// Load limits from --timeout SECONDS (total; connecting gets at most 15 s).
bool applyTimeout(const std::string& seconds, long& connectMs, long& totalMs);

// The home folder from --home, else $KELVOR_HOME, else the user's data folder.
std::string homeOption(const Arguments& parsed);

// Prints an import's summary (stdout) or its error (stderr); the exit code.
int printImportReport(const char* command, const feeds::ImportReport& report);

} // namespace kelvor::cli
