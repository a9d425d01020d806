// kelvor-tool history and clear-history: what the store keeps of entries
// that left their channels' copies, and forgetting it.
#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/IndexProgress.h"
#include "platform/HomeFolder.h"
#include "store/History.h"
#include "store/Repair.h"
#include "store/TreeFileItems.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>

namespace fs = std::filesystem;

namespace kelvor::cli {
namespace {

const char* const kHistoryUsage =
    "usage: kelvor-tool history CHANNEL-COPY [--home DIR]\n"
    "\n"
    "Prints the history of the channel whose copy is CHANNEL-COPY (a file under\n"
    "the home folder's rss/ or url/, given as a path or relative to the home\n"
    "folder): the entries that have left its feed, newest first, one per line:\n"
    "title, date and link, separated by tabs; then, on standard error, how many\n"
    "there are. Files changed since the last look are indexed again first.\n"
    "\n"
    "  --home DIR   the home folder (default: $KELVOR_HOME, else ~/.local/share/Kelvor)\n";

const char* const kClearUsage =
    "usage: kelvor-tool clear-history [--home DIR]\n"
    "\n"
    "Forgets the history of every channel (the entries that have left their\n"
    "feeds); what the copies hold now stays, and so do the read marks. Says how\n"
    "many entries were forgotten.\n"
    "\n"
    "  --home DIR   the home folder (default: $KELVOR_HOME, else ~/.local/share/Kelvor)\n";

// One entry is one line, whatever its fields hold.
std::string field(std::string text) {
    for (char& c : text)
        if (c == '\t' || c == '\n' || c == '\r')
            c = ' ';
    return text;
}

// The copy as the index names it: absolute and normal; a relative path
// that names no file here is taken from the home folder.
std::string copyPath(const std::string& given, const std::string& home) {
    std::error_code ec;
    fs::path path(given);
    if (path.is_relative() && !fs::exists(path, ec))
        path = fs::path(home) / path;
    return fs::absolute(path, ec).lexically_normal().string();
}

} // namespace

int runHistory(const std::vector<std::string>& args) {
    Arguments parsed;
    if (auto exitCode = parseCommandArguments(args, {"home"}, {}, "history", "CHANNEL-COPY",
                                              kHistoryUsage, parsed))
        return *exitCode;
    try {
        store::Store store(homeOption(parsed));
        std::string copy = copyPath(parsed.positional[0], store.home());
        if (!store::isCachePath(copy, store.home()))
            return usageError("history", copy + " is no channel copy of " + store.home(),
                              kHistoryUsage);
        // What left the feed since the last look becomes history as the
        // copy is indexed; the tree reaches copies from the program's folder.
        platform::setProgramFolder(store.home());
        auto updateAndRead = [&](store::Store& db) {
            updateIndexFor("history", db);
            return store::historyOf(db, copy, SIZE_MAX);
        };
        std::vector<store::HistoryEntry> entries = store::repairing(store, updateAndRead);
        for (const store::HistoryEntry& entry : entries)
            std::printf("%s\t%s\t%s\n", field(entry.title).c_str(), field(entry.date).c_str(),
                        field(entry.link).c_str());
        std::fflush(stdout);
        std::fprintf(stderr, "共 %zu 条历史条目\n", entries.size());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "kelvor-tool history: %s\n", error.what());
        return 1;
    }
    return 0;
}

int runClearHistory(const std::vector<std::string>& args) {
    Arguments parsed = parseArguments(args, {"home"}, {});
    if (parsed.help) {
        std::fputs(kClearUsage, stdout);
        return 0;
    }
    if (!parsed.error.empty() || !parsed.positional.empty())
        return usageError("clear-history",
                          parsed.error.empty() ? "expected no operand" : parsed.error, kClearUsage);
    try {
        store::Store store(homeOption(parsed));
        int64_t forgotten =
            store::repairing(store, [](store::Store& db) { return store::clearHistory(db); });
        std::printf("已清除 %lld 条历史条目\n", static_cast<long long>(forgotten));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "kelvor-tool clear-history: %s\n", error.what());
        return 1;
    }
    return 0;
}

} // namespace kelvor::cli
