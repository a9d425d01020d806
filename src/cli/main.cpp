// kelvor-tool: the reader's core from the command line. Converts feeds into
// tree files, refreshes a collection's channel caches the way the reader
// does, and prints tree files as outlines.
#include "cli/Commands.h"
#include "kelvor/Version.h"
#include "platform/Allocator.h"
#include "platform/Log.h"
#include "platform/XmlDom.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char* const kUsage =
    "usage: kelvor-tool COMMAND [ARGS]\n"
    "\n"
    "commands:\n"
    "  convert ADDRESS [--title T] [--href H]   convert a feed or OPML list, print the tree file\n"
    "  refresh TREEFILE [--all] [--home DIR]    download missing or expired channel copies\n"
    "  dump TREEFILE                            print a tree file as an outline\n"
    "  export-opml [TREEFILE] [--home DIR]      print your channels as an OPML list\n"
    "  import-opml FILE --into fav/NAME.xml     add an OPML list to a category\n"
    "  import-bookmarks FILE --into fav/NAME.xml  add a browser's bookmarks file to a category\n"
    "  search QUERY [--home DIR] [--limit N]    find items of the collection\n"
    "  probe ADDRESS                            print a feed's title and address, or why not\n"
    "  history CHANNEL-COPY [--home DIR]        print the entries that left a channel's feed\n"
    "  clear-history [--home DIR]               forget the entries that left every feed\n"
    "  sync [--home DIR] [--server URL --user NAME]  sync with a Tiny Tiny RSS server\n"
    "\n"
    "kelvor-tool COMMAND --help describes a command; kelvor-tool --version prints the version.\n";

} // namespace

int main(int argc, char** argv) {
    kelvor::platform::keepAllocatorPagesForReuse();
    kelvor::xml::initialize();
    // Failures the tool gets over are told in its output; their technical
    // reasons only when asked for.
    if (kelvor::platform::debugRequested())
        kelvor::platform::setFailureSink([](const char* where, const std::string& what) {
            std::fprintf(stderr, "kelvor-tool: %s: %s\n", where, what.c_str());
        });
    if (argc < 2) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    std::string command = argv[1];
    std::vector<std::string> args(argv + 2, argv + argc);
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (command == "--version" || command == "-v") {
        std::printf("kelvor-tool %s\n", kelvor::kVersion);
        return 0;
    }
    if (command == "convert")
        return kelvor::cli::runConvert(args);
    if (command == "refresh")
        return kelvor::cli::runRefresh(args);
    if (command == "dump")
        return kelvor::cli::runDump(args);
    if (command == "export-opml")
        return kelvor::cli::runExportOpml(args);
    if (command == "import-opml")
        return kelvor::cli::runImportOpml(args);
    if (command == "import-bookmarks")
        return kelvor::cli::runImportBookmarks(args);
    if (command == "search")
        return kelvor::cli::runSearch(args);
    if (command == "probe")
        return kelvor::cli::runProbe(args);
    if (command == "history")
        return kelvor::cli::runHistory(args);
    if (command == "clear-history")
        return kelvor::cli::runClearHistory(args);
    if (command == "sync")
        return kelvor::cli::runSync(args);
    std::fprintf(stderr, "kelvor-tool: unknown command '%s'\n\n%s", command.c_str(), kUsage);
    return 2;
}
