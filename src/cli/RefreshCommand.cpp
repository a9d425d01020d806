// kelvor-tool refresh: downloads the channel copies of a tree file (and of
// the local tree files it names) through the reader's own queue, five at a
// time, into the cache files the reader uses.
#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/RefreshPlan.h"
#include "feeds/DownloadQueue.h"
#include "platform/HomeFolder.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

namespace kelvor::cli {
namespace {

const char* const kUsage =
    "usage: kelvor-tool refresh TREEFILE [--all] [--home DIR] [--timeout SECONDS] [--favorites "
    "DIR]\n"
    "\n"
    "Resolves every channel and sub-tree item of TREEFILE, and of the local tree\n"
    "files it names, and downloads those whose cached copy is missing or expired\n"
    "into the home folder's rss/ and url/, five at a time. Prints one line per\n"
    "finished download (ok, not modified: the server says the copy is current,\n"
    "recovered: read leniently from a broken feed, or failed with the error), then\n"
    "\"N downloaded, N failed, N fresh\" (with \", N not modified, N recovered\" when\n"
    "there were such). Exits with 1 when any download failed.\n"
    "\n"
    "  --all              download every copy, fresh or not\n"
    "  --home DIR         the home folder (default: $KELVOR_HOME, else the nearest\n"
    "                     folder above TREEFILE holding index.xml, else\n"
    "                     ~/.local/share/Kelvor)\n"
    "  --timeout SECONDS  give up one download after this long (default 60)\n"
    "  --favorites DIR    the Favorites folder for $FAVORITES channels\n";

std::string nearestIndexFolder(const std::string& file) {
    std::error_code ec;
    for (fs::path dir = fs::path(file).parent_path(); !dir.empty(); dir = dir.parent_path()) {
        if (fs::is_regular_file(dir / "index.xml", ec))
            return dir.string();
        if (dir == dir.root_path())
            break;
    }
    return {};
}

std::string chooseHome(const Arguments& parsed, const std::string& treeFile) {
    if (!parsed.value("home").empty())
        return parsed.value("home");
    const char* environment = std::getenv("KELVOR_HOME");
    if (environment && *environment)
        return environment;
    std::string near = nearestIndexFolder(treeFile);
    return near.empty() ? platform::defaultUserDataFolder() : near;
}

struct Tally {
    int done = 0, downloaded = 0, failed = 0, notModified = 0, recovered = 0;
};

const char* outcomeOf(const feeds::DownloadTask& task, Tally& tally) {
    if (task.notModified) {
        ++tally.notModified;
        return "not modified";
    }
    ++tally.downloaded;
    if (task.recovered) {
        ++tally.recovered;
        return "recovered";
    }
    return "ok";
}

void report(const feeds::DownloadTask& task, const PlannedChannel& channel, Tally& tally,
            size_t total) {
    ++tally.done;
    if (task.errorText.empty()) {
        std::printf("[%d/%zu] %-7s %s -> %s\n", tally.done, total, outcomeOf(task, tally),
                    channel.title.c_str(), channel.cacheFile.c_str());
    } else {
        ++tally.failed;
        std::printf("[%d/%zu] failed  %s: %s\n", tally.done, total, channel.title.c_str(),
                    task.errorText.c_str());
    }
    std::fflush(stdout);
}

} // namespace

int runRefresh(const std::vector<std::string>& args) {
    Arguments parsed;
    if (auto exitCode = parseCommandArguments(args, {"home", "timeout", "favorites"}, {"all"}, "refresh",
                                              "TREEFILE", kUsage, parsed))
        return *exitCode;
    xml::LoadOptions options;
    if (!applyTimeout(parsed.value("timeout"), options.connectTimeoutMs, options.totalTimeoutMs))
        return usageError("refresh", "--timeout needs a number of seconds", kUsage);

    std::error_code ec;
    std::string treeFile = fs::absolute(parsed.positional[0], ec).lexically_normal().string();
    std::string home = chooseHome(parsed, treeFile);
    std::string error;
    if (!platform::prepareHomeFolder(home, "", &error)) {
        std::fprintf(stderr, "kelvor-tool refresh: %s\n", error.c_str());
        return 1;
    }
    platform::setProgramFolder(home);
    applyFavoritesOption(parsed);

    RefreshPlan plan = planRefresh(treeFile, parsed.has("all"));
    if (!plan.error.empty()) {
        std::fprintf(stderr, "%s\n", plan.error.c_str());
        return 1;
    }
    Tally tally;
    feeds::DownloadQueue queue([&](feeds::DownloadTask& task) {
        report(task, *static_cast<const PlannedChannel*>(task.item), tally, plan.downloads.size());
    });
    queue.setLoadOptions(options);
    for (const PlannedChannel& channel : plan.downloads)
        queue.QueueDownload({const_cast<PlannedChannel*>(&channel), channel.title, channel.href,
                             channel.source, channel.cacheFile, channel.feed,
                             feeds::kKindFirstLoad});
    queue.runUntilEmpty();
    std::printf("%d downloaded, %d failed, %d fresh", tally.downloaded, tally.failed, plan.fresh);
    if (tally.notModified > 0 || tally.recovered > 0)
        std::printf(", %d not modified, %d recovered", tally.notModified, tally.recovered);
    std::printf("\n");
    return tally.failed > 0 ? 1 : 0;
}

} // namespace kelvor::cli
