// One queued or running download of a channel.
#pragma once

#include <atomic>
#include <memory>
#include <string>

namespace kelvor::feeds {

// Kinds: what the tree does with the result when the download completes.
enum DownloadKind : int {
    kKindUpdate = 2,       // an expired copy is shown; the new one comes in as an update
    kKindFirstLoad = 3,    // first load or refresh: replaces the loading placeholder
    kKindHeadline = 4,     // headline of a channel in a "hot" tree
    kKindHeadlineSave = 5, // the same, then the file holding the channel is saved
};

// What the owner asks to have downloaded: for which tree item (opaque to
// the core), the channel's title and page, the source it resolves to, where
// its copy goes, its feed, and what the tree does with the result.
struct DownloadRequest {
    void* item = nullptr;
    std::string title;
    std::string href;
    std::string sourceUrl;
    std::string cacheFile;
    std::string feedUrl;
    DownloadKind kind = kKindFirstLoad;
};

struct DownloadTask {
    // The tree item the result belongs to (opaque to the core); null once
    // detached, and then the result is not applied. Only the owner's thread
    // reads or writes it, under the queue's lock.
    void* item = nullptr;
    // Set when the task was started (a worker runs or ran for it). Owner's
    // thread only.
    bool started = false;

    // Read by the worker; title, href and feedUrl are escaped in place by the
    // conversions, errorText is written by the worker. The owner reads them
    // only once the worker has handed the task back.
    std::string title;
    std::string href;
    std::string sourceUrl;
    std::string cacheFile;
    std::string feedUrl;
    std::string errorText;
    int kind = kKindFirstLoad;

    // How a feed's download went, for reports: the server said the copy is
    // current (and it was kept), or the feed was read only leniently.
    bool notModified = false;
    bool recovered = false;
    // The answer's validators, kept as root attributes of the new copy
    // (raw, escaped when written).
    std::string etag;
    std::string lastModified;
    // The page address the channel names, when its feed was found through
    // that page (feedUrl is then the feed read); raw.
    std::string channelUrl;
    // Seconds the server asked us to wait before asking again (Retry-After
    // on a 429 or 503 that stood), -1 when it asked nothing.
    long retryAfterSeconds = -1;

    // What the worker needs of the program, as values taken when the task
    // was queued: the home folder its copy belongs to and the Favorites
    // folder a "$FAVORITES" channel reads ("" for the current setting, for
    // tasks that do not come through the queue).
    std::string home;
    std::string favoritesFolder;

    // Turned true to stop the transfer (shutdown).
    std::shared_ptr<std::atomic<bool>> cancel = std::make_shared<std::atomic<bool>>(false);
    // A cancelled task saves nothing: the program that asked may be gone.
    bool cancelled() const { return cancel && cancel->load(); }
};

} // namespace kelvor::feeds
