// kelvor-tool search: the reader's search box from the command line. The
// index is brought up to date with the files first, so what it prints is
// what the files hold now.
#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/IndexProgress.h"
#include "platform/HomeFolder.h"
#include "store/Repair.h"
#include "store/Search.h"
#include "store/StoreProblem.h"

#include <cstdio>
#include <cstdlib>
#include <optional>

namespace kelvor::cli {
namespace {

const char* const kUsage =
    "usage: kelvor-tool search QUERY [--home DIR] [--limit N] [--offset N]\n"
    "\n"
    "Finds the items of the home folder's tree files (index.xml, fav/, the files\n"
    "they name) and cached channels (rss/, url/) whose title, description or\n"
    "link holds every word of QUERY. Files changed since the last search are\n"
    "indexed again first. Prints one hit per line, best first: title, link and\n"
    "where the item is, separated by tabs, and 历史 after another tab for an entry\n"
    "that has left its channel's feed (see kelvor-tool history); then, on standard\n"
    "error, how many hits there are in all. A search that fails says why and exits\n"
    "with 1.\n"
    "\n"
    "  --home DIR   the home folder (default: $KELVOR_HOME, else ~/.local/share/Kelvor)\n"
    "  --limit N    print at most N hits (default 50)\n"
    "  --offset N   leave out the first N hits (default 0), for the next page\n";

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

// "--name N" as a number of at least `least`; nullopt when it is none.
std::optional<long> countOption(const Arguments& parsed, const char* name, const char* fallback,
                                long least) {
    char* end = nullptr;
    std::string text = parsed.value(name, fallback);
    long count = std::strtol(text.c_str(), &end, 10);
    if (end == text.c_str() || *end != '\0' || count < least)
        return std::nullopt;
    return count;
}

} // namespace

// More than any index holds: what lies beyond is read as usual.
constexpr long long kMappedBytes = 1LL << 30;

int runSearch(const std::vector<std::string>& args) {
    Arguments parsed;
    if (auto exitCode = parseCommandArguments(args, {"home", "limit", "offset"}, {}, "search",
                                              "QUERY", kUsage, parsed))
        return *exitCode;
    std::optional<long> limit = countOption(parsed, "limit", "50", 1);
    if (!limit)
        return usageError("search", "--limit needs a positive number", kUsage);
    std::optional<long> offset = countOption(parsed, "offset", "0", 0);
    if (!offset)
        return usageError("search", "--offset needs a number of hits", kUsage);
    try {
        store::Store store(chooseHome(parsed));
        // A search run once reads each page it needs once: mapped, the pages
        // are not copied into the connection's cache first (a sixth of the
        // command's time on 100,000 entries).
        store.db().exec("PRAGMA mmap_size=" + std::to_string(kMappedBytes));
        // Channel copies are indexed while the tree reaches them, which it
        // does from the program's home folder.
        platform::setProgramFolder(store.home());
        if (!store::storeNotice(store).empty())
            std::fprintf(stderr, "kelvor-tool search: %s\n", store::storeNotice(store).c_str());
        // Damage found anywhere on the way rebuilds the store, which is then
        // indexed and searched again.
        auto updateAndFind = [&](store::Store& db) {
            updateIndexFor("search", db);
            return store::search(db, parsed.positional[0], *offset, int(*limit));
        };
        store::SearchResult found = store::repairing(store, updateAndFind);
        for (const store::Hit& hit : found.hits)
            std::printf("%s\t%s\t%s%s\n", field(hit.title).c_str(), field(hit.link).c_str(),
                        field(hit.place).c_str(), hit.history ? "\t历史" : "");
        std::fflush(stdout);
        std::fprintf(stderr, "共 %lld 项", static_cast<long long>(found.total));
        if (!found.hits.empty())
            std::fprintf(stderr, "，这里是第 %ld–%ld 项", *offset + 1,
                         *offset + static_cast<long>(found.hits.size()));
        std::fprintf(stderr, "\n");
    } catch (const std::exception& error) {
        std::fprintf(stderr, "kelvor-tool search: %s\n", store::searchProblemText(error).c_str());
        return 1;
    }
    return 0;
}

} // namespace kelvor::cli
