// The automatic update: on each tick (and on 立即更新) the channels the tree
// shows and those of hot categories are asked for their news through the
// same queue as any other, whatever the age of their copy; the copy's
// validators make an unchanged feed a short "not modified". A channel asked
// a few minutes ago, or whose server asked us to wait, is left for the next
// tick. The status bar counts the channels as they come in and, when the
// last of them is indexed, says how many entries arrived.
//
// Hot categories nobody has loaded are read from the collection's files on
// the store's thread; their headlines are written back to those files when
// a file's downloads are all in, unless it was loaded since.
//
// The channels of a sync category are left out: the sync writes their
// copies, and a download from the feed's own site would replace them.
#include "collection/CollectionService.h"
#include "collection/SyncedChannels.h"

#include "feeds/DownloadQueue.h"
#include "platform/HomeFolder.h"
#include "tree/ChannelSource.h"
#include "tree/NodeWriting.h"
#include "tree/TreeFileChannels.h"

#include <QMetaObject>
#include <QTimer>

#include <algorithm>

using kelvor::feeds::DownloadRequest;
using kelvor::feeds::DownloadTask;
namespace feeds = kelvor::feeds;
namespace tree = kelvor::tree;

std::set<std::string> CollectionService::shownFiles() const {
    std::set<std::string> shown;
    if (shownFiles_)
        for (const std::string& file : shownFiles_())
            shown.insert(kelvor::platform::normalPath(file));
    return shown;
}

bool CollectionService::startUpdate(std::vector<DownloadRequest> channels) {
    if (updateRunning())
        return false;
    updateAsked_ = updateAnswered_ = updateFailed_ = updateHeld_ = 0;
    updateNews_ = {};
    updateTitles_.clear();
    std::set<std::string> queued;
    std::set<std::string> synced =
        home_.empty() ? std::set<std::string>() : kelvor::collection::syncedCopies(home_);
    for (DownloadRequest& request : channels) {
        if (synced.count(kelvor::platform::normalPath(request.cacheFile)) ||
            !queued.insert(request.cacheFile).second)
            continue;
        if (!politeness_.mayAsk(request.cacheFile)) {
            ++updateHeld_;
            continue;
        }
        askChannel(std::move(request));
    }
    if (!store_)
        return true;
    queueUnloadedHot(home_ + "/index.xml", std::move(queued), std::move(synced));
    return true;
}

void CollectionService::askChannel(DownloadRequest request) {
    updateRequesters_.insert(request.item);
    updateTitles_.emplace(request.cacheFile, request.title);
    ++updatePending_;
    ++updateAsked_;
    download(std::move(request));
}

void CollectionService::queueUnloadedHot(const std::string& index, std::set<std::string> queued,
                                         std::set<std::string> synced) {
    // The reading counts as a step of the tick, so no second tick starts
    // before its channels are queued; it answers even when it cannot run.
    ++updatePending_;
    auto found = std::shared_ptr<std::vector<tree::FileChannel>>(
        new std::vector<tree::FileChannel>, [this, queued](std::vector<tree::FileChannel>* list) {
            std::vector<tree::FileChannel> channels = std::move(*list);
            delete list;
            QMetaObject::invokeMethod(
                this,
                [this, channels = std::move(channels), queued]() mutable {
                    std::map<std::string, StandIn*> standInOf;
                    for (tree::FileChannel& channel : channels) {
                        if (queued.count(channel.cacheFile))
                            continue;
                        if (!standInOf.count(channel.cacheFile) &&
                            !politeness_.mayAsk(channel.cacheFile)) {
                            queued.insert(channel.cacheFile);
                            ++updateHeld_;
                            continue;
                        }
                        HotPlace place{kelvor::platform::normalPath(channel.file), channel.position, channel.title,
                                       channel.cacheFile};
                        auto known = standInOf.find(channel.cacheFile);
                        if (known != standInOf.end()) {
                            known->second->places.push_back(std::move(place));
                            continue;
                        }
                        auto standIn = std::make_unique<StandIn>();
                        standIn->places.push_back(std::move(place));
                        StandIn* requester = standIn.get();
                        standInOf.emplace(channel.cacheFile, requester);
                        standIns_.emplace(requester, std::move(standIn));
                        askChannel({requester, channel.title, channel.href, channel.source,
                                    channel.cacheFile, channel.feed, feeds::kKindHeadlineSave});
                    }
                    updateStepDone();
                },
                Qt::QueuedConnection);
        });
    store_->worker().post([this, found, index, synced, loaded = shownFiles()](kelvor::store::Store&) {
        if (closing())
            return;
        for (tree::FileChannel& channel : tree::channelsInTreeFile(index, "", true))
            if (channel.fileType == "hot" && tree::hasFeedToAsk(channel.state) &&
                !loaded.count(kelvor::platform::normalPath(channel.file)) &&
                !synced.count(kelvor::platform::normalPath(channel.cacheFile)))
                found->push_back(std::move(channel));
    });
}

bool CollectionService::finishUpdateDownload(const DownloadTask& task, bool& byUpdate) {
    if (updateRequesters_.erase(task.item) == 0)
        return false;
    byUpdate = true;
    bool failed = !task.errorText.empty() || task.cacheFile.empty();
    ++updateAnswered_;
    updateFailed_ += failed ? 1 : 0;
    showStatus(updateProgressText());
    auto standIn = standIns_.extract(task.item);
    if (standIn) {
        std::set<std::string> files;
        for (HotPlace& place : standIn.mapped()->places) {
            files.insert(place.file);
            if (!failed)
                arrivedHeadlines_[place.file].push_back(std::move(place));
        }
        for (const std::string& file : files) {
            bool waiting = std::any_of(standIns_.begin(), standIns_.end(), [&file](const auto& other) {
                const auto& places = other.second->places;
                return std::any_of(places.begin(), places.end(),
                                   [&file](const HotPlace& place) { return place.file == file; });
            });
            if (!waiting)
                storeUnloadedHeadlines(file);
        }
    }
    // A failed update keeps the entries that were there; the result counts
    // it. An unchanged feed has nothing to index or show.
    if (failed || task.notModified) {
        updateStepDone();
        return true;
    }
    indexArrivals(task.cacheFile, [this](ChannelNews arrived) { updateStepDone(std::move(arrived)); });
    return bool(standIn); // a stand-in's headline is stored with the others of its file
}

void CollectionService::storeUnloadedHeadlines(const std::string& file) {
    std::vector<HotPlace> places = std::move(arrivedHeadlines_[file]);
    arrivedHeadlines_.erase(file);
    if (places.empty() || shownFiles().count(file))
        return; // a view's copy of the file is the one to change now
    std::vector<tree::HeadlinePlace> headlines;
    for (HotPlace& place : places)
        headlines.push_back({place.position, place.title, place.cacheFile});
    // Like any headline, a failed save leaves the old one without a word.
    if (tree::storeHeadlinesInFile(file, headlines))
        indexFile(file);
}

void CollectionService::forgetUpdateRequester(void* requester) {
    if (updateRequesters_.erase(requester) > 0)
        updateStepDone();
}

void CollectionService::updateStepDone(ChannelNews arrived) {
    if (arrived.count > 0) {
        updateNews_.newEntries += arrived.count;
        auto title = updateTitles_.find(arrived.cacheFile);
        if (title != updateTitles_.end())
            arrived.channelTitle = title->second;
        updateNews_.channels.push_back(std::move(arrived));
    }
    if (updatePending_ == 0 || --updatePending_ > 0)
        return;
    // The download status would say "ready" over the result otherwise.
    if (downloads_->runningDownloads() == 0)
        statusTimer_->stop();
    showStatus(updateResultText());
    updateNews_.failedChannels = updateFailed_;
    emit updateFinished(updateNews_);
}

std::string CollectionService::updateProgressText() const {
    return "正在更新 " + std::to_string(updateAnswered_) + "/" + std::to_string(updateAsked_) +
           "…";
}

std::string CollectionService::updateResultText() const {
    const std::string prefix = "自动更新频道：";
    if (updateAsked_ == 0)
        return prefix + (updateHeld_ > 0 ? "各频道刚更新过，请稍后再试"
                                         : "没有可更新的频道（请展开频道或添加热点关注）");
    int arrived = updateNews_.newEntries;
    std::string text = prefix + (arrived > 0 ? "收到 " + std::to_string(arrived) + " 条新条目"
                                     : std::string("没有新条目"));
    if (updateFailed_ > 0)
        text += "，" + std::to_string(updateFailed_) + " 个频道更新失败";
    if (updateHeld_ > 0)
        text += "，" + std::to_string(updateHeld_) + " 个频道刚更新过，稍后再问";
    return text;
}
