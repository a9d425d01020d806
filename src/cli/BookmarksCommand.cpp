// kelvor-tool import-bookmarks: a browser's exported bookmarks into a
// category file.
#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "feeds/BookmarksImport.h"

#include <cstdio>

namespace kelvor::cli {
namespace {

const char* const kUsage =
    "usage: kelvor-tool import-bookmarks FILE --into fav/NAME.xml [--home DIR]\n"
    "\n"
    "Adds the folders and links of a bookmarks file in the HTML form browsers\n"
    "export to the category file fav/NAME.xml of the home folder (created when\n"
    "missing, and listed under 我的收藏), in the file's order. Links to scripts,\n"
    "local files and browser pages are skipped; folders nested deeper than 64\n"
    "levels are not made, their links go into the 64th. The report names both.\n"
    "\n"
    "  --home DIR   the home folder (default: $KELVOR_HOME, else ~/.local/share/Kelvor)\n";

} // namespace

int runImportBookmarks(const std::vector<std::string>& args) {
    Arguments parsed;
    if (auto exitCode = parseCommandArguments(args, {"home", "into"}, {}, "import-bookmarks",
                                              "FILE", kUsage, parsed))
        return *exitCode;
    if (parsed.value("into").empty())
        return usageError("import-bookmarks", "--into fav/NAME.xml is needed", kUsage);
    return printImportReport(
        "import-bookmarks",
        feeds::importBookmarksFile(parsed.positional[0], homeOption(parsed), parsed.value("into")));
}

} // namespace kelvor::cli
