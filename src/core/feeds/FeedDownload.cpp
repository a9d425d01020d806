#include "feeds/FeedDownload.h"

#include "feeds/CacheFile.h"
#include "feeds/DownloadWorker.h"
#include "feeds/FeedDiscovery.h"
#include "feeds/FeedReading.h"
#include "platform/HomeFolder.h"
#include "platform/SourceBytes.h"
#include "tree/ChannelSource.h"
#include "tree/Strings.h"

#include <chrono>
#include <filesystem>
#include <thread>

namespace fs = std::filesystem;

namespace kelvor::feeds {
namespace {

// Only a copy of this very feed can vouch for itself.
xml::LoadOptions conditionalOptions(const DownloadTask& task, xml::LoadOptions options) {
    if (task.cacheFile.empty())
        return options;
    tree::CacheValidators cached = tree::ReadCacheValidators(task.cacheFile);
    if (cached.baseUrl != task.feedUrl)
        return options;
    options.ifNoneMatch = cached.etag;
    options.ifModifiedSince = cached.lastModified;
    return options;
}

bool asksToWait(const platform::SourceBytes& source) {
    return (source.httpStatus == 429 || source.httpStatus == 503) &&
           source.retryAfterSeconds >= 0 && source.retryAfterSeconds <= kMaxRetryAfterSeconds;
}

// Waits in small steps so that a shutdown is not held up.
bool waitUnlessCancelled(long seconds, const std::atomic<bool>* cancel) {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < until) {
        if (cancel && cancel->load())
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return !(cancel && cancel->load());
}

bool fetchFeed(const DownloadTask& task, const xml::LoadOptions& options,
               platform::SourceBytes& source) {
    if (platform::readSource(task.feedUrl, options, source))
        return true;
    if (!asksToWait(source) || !waitUnlessCancelled(source.retryAfterSeconds, options.cancel))
        return false;
    return platform::readSource(task.feedUrl, options, source);
}

// The copy counts as downloaded now, for the expiry rules.
void keepCopy(DownloadTask& task) {
    std::error_code ec;
    fs::last_write_time(platform::pathOfFileAddress(task.cacheFile),
                        fs::file_time_type::clock::now(), ec);
    task.notModified = true;
}

int convertToCache(DownloadTask& task, const platform::SourceBytes& source) {
    FeedReport report;
    try {
        if (task.cacheFile.empty())
            return convertFeedSource(
                       source, task, [](const std::string&) {}, &report)
                       ? 1
                       : 0;
        prepareCacheFolder(task.cacheFile);
        CacheFileWriter file(task.cacheFile);
        if (!convertFeedSource(
                source, task, [&file](const std::string& piece) { file.write(piece); }, &report))
            return 0;
        file.commit();
        task.recovered = report.recovered;
    } catch (...) {
        task.errorText = str::kSaveFailed + task.cacheFile;
    }
    return 1;
}

// A page in place of a feed: its own feed is read instead (one hop, never
// further), and the copy remembers the page as its channel's address.
bool followDiscoveredFeed(DownloadTask& task, const xml::LoadOptions& options,
                          platform::SourceBytes& source) {
    if (!looksLikeHtml(source.bytes))
        return true;
    std::string feed = findFeedLink(source.bytes, source.url);
    if (feed.empty())
        return true; // converted as it stands, as before
    platform::SourceBytes found;
    if (!platform::readSource(feed, options, found)) {
        source = std::move(found);
        return false;
    }
    task.channelUrl = task.feedUrl;
    task.feedUrl = feed;
    found.etag.clear(); // they belong to the feed, not to the page asked for next time
    found.lastModified.clear();
    source = std::move(found);
    return true;
}

} // namespace

int DownloadFeed(DownloadTask& task, const xml::LoadOptions& options) {
    xml::LoadOptions conditional = conditionalOptions(task, options);
    platform::SourceBytes source;
    if (!fetchFeed(task, conditional, source)) {
        task.errorText = loadErrorText(source.error, task.sourceUrl);
        return 0;
    }
    if (source.notModified) {
        // Only an answer to our own validators speaks of our copy.
        if (conditional.ifNoneMatch.empty() && conditional.ifModifiedSince.empty()) {
            source.error.errorCode = xml::kErrHttpBase + 304;
            source.error.reason = "服务器返回 HTTP 304";
            task.errorText = loadErrorText(source.error, task.sourceUrl);
            return 0;
        }
        keepCopy(task);
        return 1;
    }
    if (!followDiscoveredFeed(task, options, source)) {
        task.errorText = loadErrorText(source.error, task.sourceUrl);
        return 0;
    }
    task.etag = source.etag;
    task.lastModified = source.lastModified;
    return convertToCache(task, source);
}

} // namespace kelvor::feeds
