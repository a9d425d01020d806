#include "feeds/DownloadWorker.h"

#include "feeds/AtomConversion.h"
#include "feeds/CacheFile.h"
#include "feeds/FavoritesImport.h"
#include "feeds/FeedDownload.h"
#include "feeds/OpmlConversion.h"
#include "feeds/RssConversion.h"
#include "platform/Log.h"
#include "tree/Strings.h"

#include <new>

namespace kelvor::feeds {
namespace {

void saveToCache(DownloadTask& task, const xml::Document& doc) {
    if (task.cancelled())
        return;
    prepareCacheFolder(task);
    saveCacheFile(doc, task.cacheFile);
}

bool stampAndSave(DownloadTask& task, xml::Document& source) {
    try {
        StampTreeSource(source, task.sourceUrl, "url");
        saveToCache(task, source);
        return true;
    } catch (...) {
        task.errorText = exceptionText(task);
        return false;
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

std::string outOfMemoryText(const DownloadTask& task) {
    xml::ParseError error;
    error.errorCode = xml::kErrOutOfMemory;
    error.reason = "内存不足";
    return loadErrorText(error, task.sourceUrl);
}

std::string exceptionText(const DownloadTask& task) {
    platform::logCurrentFailure("download worker");
    try {
        throw;
    } catch (const std::bad_alloc&) {
        return outOfMemoryText(task);
    } catch (...) {
        return str::kSaveFailed + task.cacheFile;
    }
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
            // A folder that vanished mid-way leaves the old copy in place,
            // and nothing new was saved: that is no success.
            task.errorText = exceptionText(task);
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
    if (!task.cacheFile.empty() && !stampAndSave(task, doc))
        return 0;
    return 1;
}

} // namespace kelvor::feeds
