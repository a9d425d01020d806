#include "feeds/DownloadWorker.h"

#include "feeds/AtomConversion.h"
#include "feeds/CacheFile.h"
#include "feeds/FavoritesImport.h"
#include "feeds/FeedDownload.h"
#include "feeds/OpmlConversion.h"
#include "feeds/RssConversion.h"
#include "tree/Strings.h"

namespace kelvor::feeds {
namespace {

void saveToCache(DownloadTask& task, const xml::Document& doc) {
    prepareCacheFolder(task.cacheFile);
    saveCacheFile(doc, task.cacheFile);
}

void stampAndSave(DownloadTask& task, xml::Document& source) {
    try {
        StampTreeSource(source, task.sourceUrl, "url");
        saveToCache(task, source);
    } catch (...) {
        task.errorText = str::kSaveFailed + task.cacheFile;
    }
}

} // namespace

bool convertFeedToText(const xml::Document& source, DownloadTask& task, const TextSink& sink) {
    xml::Document list = ConvertOpmlToTree(source, task);
    if (!list.isNull()) {
        sink(list.xml());
        return true;
    }
    if (ConvertAtomToTreeText(source, task, sink))
        return true;
    return ConvertRssToTreeText(source, task, sink);
}

std::string loadErrorText(const xml::ParseError& error, const std::string& sourceUrl) {
    return str::kLoadErrorPrefix + xml::formatParseError(error) + sourceUrl;
}

bool StampTreeSource(xml::Document& doc, const std::string& baseUrl, const std::string& type) {
    xml::Node root = doc.documentElement();
    if (!root || !root.nameIs("Tree"))
        return false;
    if (!baseUrl.empty())
        root.setAttribute("BaseURL", baseUrl);
    if (!type.empty())
        root.setAttribute("Type", type);
    return true;
}

int RunDownloadTask(DownloadTask& task, const xml::LoadOptions& options) {
    if (isFavoritesFeed(task.feedUrl)) {
        try {
            ImportFavorites(task);
        } catch (...) {
            // A folder that vanished mid-way leaves the old copy in place.
        }
        return task.errorText.empty() ? 1 : 0;
    }
    if (!task.feedUrl.empty())
        return DownloadFeed(task, options);
    xml::Document doc = xml::Document::create();
    if (!doc.load(task.sourceUrl, options)) {
        task.errorText = loadErrorText(doc.parseError(), task.sourceUrl);
        return 0;
    }
    if (!task.cacheFile.empty())
        stampAndSave(task, doc);
    return 1;
}

} // namespace kelvor::feeds
