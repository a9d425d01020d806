// kelvor-tool convert: the download worker's load and conversion, with the
// tree file printed instead of cached.
#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "feeds/DownloadTask.h"
#include "feeds/DownloadWorker.h"
#include "feeds/FavoritesImport.h"
#include "feeds/FeedReading.h"
#include "platform/SourceBytes.h"
#include "tree/Strings.h"

#include <cstdio>
#include <new>

namespace kelvor::cli {
namespace {

const char* const kUsage =
    "usage: kelvor-tool convert ADDRESS [--title T] [--href H] [--timeout SECONDS] [--favorites "
    "DIR]\n"
    "\n"
    "Loads ADDRESS (http or https address, file:// address or local path) and\n"
    "converts it as the reader does: a JSON Feed, an OPML list when its root is\n"
    "\"opml\", an Atom feed, RSS otherwise; a feed that does not parse is read\n"
    "again leniently (said on stderr). An address ending in $FAVORITES reads\n"
    "the Favorites folder or bookmarks file (--favorites, default\n"
    "$HOME/Favorites). The tree file goes to stdout.\n"
    "\n"
    "  --title T          the channel title (root Title)\n"
    "  --href H           the channel's web page (root Href; default ADDRESS)\n"
    "  --timeout SECONDS  give up a web load after this long (default 60)\n";

bool printDocument(const xml::Document& doc) {
    std::string text = doc.xml();
    return std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
}

} // namespace

int runConvert(const std::vector<std::string>& args) {
    Arguments parsed;
    if (auto exitCode = parseCommandArguments(args, {"title", "href", "timeout", "favorites"}, {},
                                              "convert", "ADDRESS", kUsage, parsed))
        return *exitCode;
    xml::LoadOptions options;
    if (!applyTimeout(parsed.value("timeout"), options.connectTimeoutMs, options.totalTimeoutMs))
        return usageError("convert", "--timeout needs a number of seconds", kUsage);
    applyFavoritesOption(parsed);

    feeds::DownloadTask task;
    task.title = parsed.value("title");
    task.href = parsed.value("href");
    task.feedUrl = parsed.positional[0];
    try {
        if (feeds::isFavoritesFeed(task.feedUrl)) {
            xml::Document favorites = feeds::buildFavoritesDocument(task);
            if (!task.errorText.empty())
                std::fprintf(stderr, "%s\n", task.errorText.c_str());
            return !favorites.isNull() && printDocument(favorites) ? 0 : 1;
        }
        platform::SourceBytes source;
        if (!platform::readSource(task.feedUrl, options, source)) {
            std::fprintf(stderr, "%s\n",
                         feeds::loadErrorText(source.error, task.sourceUrl).c_str());
            return 1;
        }
        // The text goes out only once it is whole: a feed that turns out
        // unreadable half-way prints nothing but its error.
        std::string text;
        feeds::FeedReport report;
        bool converted = feeds::convertFeedSource(
            source, task, [&text](const std::string& piece) { text += piece; }, &report);
        if (!converted) {
            std::fprintf(stderr, "%s\n", task.errorText.c_str());
            return 1;
        }
        if (report.recovered)
            std::fprintf(stderr, "%s\n", "已修复格式错误后读取");
        bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
        return written ? 0 : 1;
    } catch (const xml::DomError& error) {
        std::fprintf(stderr, "转换失败: %s\n", error.what());
        return 1;
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "%s\n", feeds::outOfMemoryText(task).c_str());
        return 1;
    }
}

} // namespace kelvor::cli
