// kelvor-tool search: the reader's search box from the command line. The
// index is brought up to date with the files first, so what it prints is
// what the files hold now.
#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "platform/HomeFolder.h"
#include "store/Indexer.h"
#include "store/Repair.h"
#include "store/Search.h"
#include "store/StoreProblem.h"

#include <cstdio>
#include <cstdlib>

namespace kelvor::cli {
namespace {

const char* const kUsage =
    "usage: kelvor-tool search QUERY [--home DIR] [--limit N]\n"
    "\n"
    "Finds the items of the home folder's tree files (index.xml, fav/, the files\n"
    "they name) and cached channels (rss/, url/) whose title, description or\n"
    "link holds every word of QUERY. Files changed since the last search are\n"
    "indexed again first. Prints one hit per line: title, link and where the\n"
    "item is, separated by tabs.\n"
    "\n"
    "  --home DIR   the home folder (default: $KELVOR_HOME, else ~/.local/share/Kelvor)\n"
    "  --limit N    print at most N hits (default 50)\n";

std::string chooseHome(const Arguments& parsed) {
    if (!parsed.value("home").empty())
        return parsed.value("home");
    const char* environment = std::getenv("KELVOR_HOME");
    return environment && *environment ? environment : platform::defaultUserDataFolder();
}

// One hit is one line, whatever its fields hold.
std::string field(std::string text) {
    for (char& c : text)
        if (c == '\t' || c == '\n' || c == '\r')
            c = ' ';
    return text;
}

} // namespace

int runSearch(const std::vector<std::string>& args) {
    Arguments parsed;
    if (auto exitCode =
            parseCommandArguments(args, {"home", "limit"}, {}, "search", "QUERY", kUsage, parsed))
        return *exitCode;
    char* end = nullptr;
    std::string limitText = parsed.value("limit", "50");
    long limit = std::strtol(limitText.c_str(), &end, 10);
    if (end == limitText.c_str() || *end != '\0' || limit < 1)
        return usageError("search", "--limit needs a positive number", kUsage);
    try {
        store::Store store(chooseHome(parsed));
        if (!store::storeNotice(store).empty())
            std::fprintf(stderr, "kelvor-tool search: %s\n", store::storeNotice(store).c_str());
        // Damage found anywhere on the way rebuilds the store, which is then
        // indexed and searched again.
        auto updateAndFind = [&](store::Store& db) {
            try {
                store::updateIndex(db);
            } catch (const store::StoreError& error) {
                if (error.damaged())
                    throw;
                // What was indexed before is still there to search.
                std::fprintf(stderr, "kelvor-tool search: %s\n",
                             store::indexProblemText(error).c_str());
            }
            return store::search(db, parsed.positional[0], int(limit));
        };
        for (const store::Hit& hit : store::repairing(store, updateAndFind))
            std::printf("%s\t%s\t%s\n", field(hit.title).c_str(), field(hit.link).c_str(),
                        field(hit.place).c_str());
    } catch (const store::StoreError& error) {
        std::fprintf(stderr, "kelvor-tool search: %s (%s)\n",
                     store::indexProblemText(error).c_str(), error.what());
        return 1;
    }
    return 0;
}

} // namespace kelvor::cli
