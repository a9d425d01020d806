#include "feeds/FeedDownload.h"

#include "feeds/CacheFile.h"
#include "feeds/DownloadWorker.h"
#include "feeds/FeedDiscovery.h"
#include "feeds/FeedReading.h"
#include "platform/HomeFolder.h"
#include "platform/Log.h"
#include "platform/SourceBytes.h"
#include "tree/ChannelSource.h"
#include "tree/Strings.h"

#include <chrono>
#include <filesystem>
#include <thread>

namespace fs = std::filesystem;

namespace kelvor::feeds {
namespace {

// Only a copy of this very feed can vouch for itself: of the page the channel
// names, or of the feed that page named last time.
xml::LoadOptions conditionalOptions(const DownloadTask& task, const std::string& url,
                                    xml::LoadOptions options) {
    if (task.cacheFile.empty())
        return options;
    tree::CacheValidators cached = tree::ReadCacheValidators(task.cacheFile);
    if (cached.baseUrl != url)
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

// A relative feed address is a file of the home folder, in the reader and
// in kelvor-tool alike.
bool fetchFeed(const std::string& address, const xml::LoadOptions& options,
               platform::SourceBytes& source) {
    std::string url = platform::inHomeFolder(address);
    if (platform::readSource(url, options, source))
        return true;
    if (!asksToWait(source) || !waitUnlessCancelled(source.retryAfterSeconds, options.cancel))
        return false;
    return platform::readSource(url, options, source);
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
        prepareCacheFolder(task);
        CacheFileWriter file(task.cacheFile);
        if (!convertFeedSource(
                source, task, [&file](const std::string& piece) { file.write(piece); }, &report))
            return 0;
        if (task.cancelled())
            return 0;
        file.commit();
        task.recovered = report.recovered;
    } catch (...) {
        platform::logCurrentFailure("saving a feed's copy");
        task.errorText = str::kSaveFailed + task.cacheFile;
        return 0;
    }
    return 1;
}

// "304 Not Modified" keeps the copy, but only as the answer to our own
// validators: asked without them, it says nothing of our copy.
int answerNotModified(DownloadTask& task, const xml::LoadOptions& sent,
                      platform::SourceBytes& source) {
    if (sent.ifNoneMatch.empty() && sent.ifModifiedSince.empty()) {
        source.error.errorCode = xml::kErrHttpBase + 304;
        source.error.reason = "服务器返回 HTTP 304";
        task.errorText = loadErrorText(source.error, task.sourceUrl);
        return 0;
    }
    keepCopy(task);
    return 1;
}

int failed(DownloadTask& task, const platform::SourceBytes& source) {
    task.errorText = loadErrorText(source.error, task.sourceUrl);
    if (source.httpStatus == 429 || source.httpStatus == 503)
        task.retryAfterSeconds = source.retryAfterSeconds;
    return 0;
}

} // namespace

int DownloadFeed(DownloadTask& task, const xml::LoadOptions& options) {
    xml::LoadOptions conditional = conditionalOptions(task, task.feedUrl, options);
    platform::SourceBytes source;
    if (!fetchFeed(task.feedUrl, conditional, source))
        return failed(task, source);
    if (source.notModified)
        return answerNotModified(task, conditional, source);
    // A page in place of a feed: its own feed is read instead (one hop,
    // never further, and only to the web: findFeedLink names nothing else),
    // and the copy remembers the page as its channel's address. The page is asked each time, since
    // it may name another feed.
    std::string feed = looksLikeHtml(source.bytes) ? findFeedLink(source.bytes, source.url) : "";
    if (!feed.empty()) {
        conditional = conditionalOptions(task, feed, options);
        platform::SourceBytes found;
        if (!fetchFeed(feed, conditional, found))
            return failed(task, found);
        task.channelUrl = task.feedUrl;
        task.feedUrl = feed;
        source = std::move(found);
        if (source.notModified)
            return answerNotModified(task, conditional, source);
    }
    task.etag = source.etag;
    task.lastModified = source.lastModified;
    return convertToCache(task, source);
}

} // namespace kelvor::feeds
