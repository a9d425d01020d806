// kelvor-tool convert: the download worker's load and conversion, with the
// tree file printed instead of cached.
#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "feeds/DownloadTask.h"
#include "feeds/DownloadWorker.h"
#include "feeds/FavoritesImport.h"
#include "tree/Strings.h"

#include <cstdio>

namespace kelvor::cli {
namespace {

const char* const kUsage =
    "usage: kelvor-tool convert ADDRESS [--title T] [--href H] [--timeout SECONDS] [--favorites "
    "DIR]\n"
    "\n"
    "Loads ADDRESS (http or https address, file:// address or local path) and\n"
    "converts it as the reader does: an OPML list when its root is \"opml\", RSS\n"
    "otherwise. An address ending in $FAVORITES reads the Favorites folder or\n"
    "bookmarks file (--favorites, default $HOME/Favorites). The tree file goes\n"
    "to stdout.\n"
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
    if (auto exitCode = parseCommandArguments(args, {"title", "href", "timeout", "favorites"}, {}, "convert",
                                              "ADDRESS", kUsage, parsed))
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
        xml::Document source = xml::Document::create();
        if (!source.load(task.feedUrl, options)) {
            std::fprintf(stderr, "%s\n",
                         feeds::loadErrorText(source.parseError(), task.sourceUrl).c_str());
            return 1;
        }
        bool written = true;
        bool converted = feeds::convertFeedToText(source, task, [&written](const std::string& piece) {
            written = written && std::fwrite(piece.data(), 1, piece.size(), stdout) == piece.size();
        });
        return converted && written ? 0 : 1;
    } catch (const xml::DomError& error) {
        std::fprintf(stderr, "转换失败: %s\n", error.what());
        return 1;
    }
}

} // namespace kelvor::cli
