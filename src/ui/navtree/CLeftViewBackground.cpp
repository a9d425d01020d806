// The automatic update: on each tick the expired channels the user can see
// (expanded ones) and those of hot categories are downloaded through the
// same queue as any other. Nothing the user is looking at moves: the
// selected entry stays selected, the scroll position stays, the focus is
// not touched. When the last of them is indexed the status bar says how
// many entries arrived.
//
// Hot categories the tree has not loaded are read from the collection's
// files on the store's thread; their headlines are written back to those
// files when a file's downloads are all in, unless the tree loaded it since.
#include "feeds/DownloadQueue.h"
#include "frame/FrameInterface.h"
#include "navtree/CLeftView.h"
#include "navtree/StoreQueue.h"
#include "platform/HomeFolder.h"
#include "tree/ChannelSource.h"
#include "tree/NodeWriting.h"
#include "tree/TreeFileChannels.h"

#include <QMetaObject>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>
#include <filesystem>

using kelvor::feeds::DownloadTask;
using kelvor::xml::Node;
namespace feeds = kelvor::feeds;
namespace tree = kelvor::tree;

namespace {

// The download status timer would say "ready" over the result otherwise.
const char* const kStatusTimerName = "downloadStatusTimer";

bool isHot(const Node& node) {
    try {
        return tree::ownerTreeInfo(node).type == "hot";
    } catch (const kelvor::xml::DomError&) {
        return false;
    }
}

std::string normalPath(const std::string& path) {
    return std::filesystem::path(path).lexically_normal().string();
}

} // namespace

bool CLeftView::StartBackgroundUpdate() {
    if (BackgroundUpdateRunning())
        return false;
    backgroundArrived_ = 0;
    std::set<std::string> queued;
    for (const auto& [tracked, item] : channelItems_) {
        Node node = nodeOf(item);
        if (!node || backgroundItems_.count(item))
            continue;
        bool shown = item->isExpanded();
        if (!shown && !isHot(node))
            continue;
        std::string source, cacheFile, feed;
        if (tree::ResolveChannelSource(node, source, cacheFile, feed) != tree::kCacheExpired)
            continue;
        backgroundItems_.insert(item);
        ++backgroundPending_;
        queued.insert(cacheFile);
        QueueDownload(item, GetNodeAttribute(node, "Title"), GetNodeAttribute(node, "Href"), source,
                      cacheFile, feed, shown ? feeds::kKindFirstLoad : feeds::kKindHeadlineSave);
    }
    StoreQueue* queue = storeQueue();
    if (!queue)
        return true;
    std::set<std::string> loaded;
    for (const CategoryEntry& category : categories)
        loaded.insert(normalPath(category.path));
    // The reading counts as a step of the tick, so no second tick starts
    // before its channels are queued; it answers even when it cannot run.
    ++backgroundPending_;
    auto found = std::shared_ptr<std::vector<tree::FileChannel>>(
        new std::vector<tree::FileChannel>, [this, queued](std::vector<tree::FileChannel>* list) {
            std::vector<tree::FileChannel> channels = std::move(*list);
            delete list;
            QMetaObject::invokeMethod(
                this,
                [this, channels = std::move(channels), queued]() mutable {
                    queueUnloadedHotChannels(std::move(channels), queued);
                },
                Qt::QueuedConnection);
        });
    std::string index = kelvor::platform::programFolder() + "/index.xml";
    queue->post([found, index, loaded](kelvor::store::Store&) {
        for (tree::FileChannel& channel : tree::channelsInTreeFile(index, "", true))
            if (channel.fileType == "hot" && channel.state == tree::kCacheExpired &&
                !loaded.count(normalPath(channel.file)))
                found->push_back(std::move(channel));
    });
    return true;
}

void CLeftView::queueUnloadedHotChannels(std::vector<tree::FileChannel> channels,
                                         const std::set<std::string>& queued) {
    std::map<std::string, QTreeWidgetItem*> standInOf;
    for (tree::FileChannel& channel : channels) {
        if (queued.count(channel.cacheFile))
            continue;
        HotPlace place{normalPath(channel.file), channel.position, channel.title,
                       channel.cacheFile};
        auto known = standInOf.find(channel.cacheFile);
        if (known != standInOf.end()) {
            standIns_[known->second].places.push_back(std::move(place));
            continue;
        }
        auto* item = new QTreeWidgetItem;
        standInOf.emplace(channel.cacheFile, item);
        standIns_[item] = StandIn{std::unique_ptr<QTreeWidgetItem>(item), {std::move(place)}};
        backgroundItems_.insert(item);
        ++backgroundPending_;
        QueueDownload(item, channel.title, channel.href, channel.source, channel.cacheFile,
                      channel.feed, feeds::kKindHeadlineSave);
    }
    backgroundStepDone(0);
}

void CLeftView::storeUnloadedHeadlines(const std::string& file) {
    std::vector<HotPlace> places = std::move(arrivedHeadlines_[file]);
    arrivedHeadlines_.erase(file);
    bool loaded = std::any_of(categories.begin(), categories.end(), [&file](const auto& category) {
        return normalPath(category.path) == file;
    });
    if (places.empty() || loaded)
        return; // the tree's copy of the file is the one to change now
    std::vector<tree::HeadlinePlace> headlines;
    for (HotPlace& place : places)
        headlines.push_back({place.position, place.title, place.cacheFile});
    // Like any headline, a failed save leaves the old one without a word.
    if (tree::storeHeadlinesInFile(file, headlines))
        IndexFileLater(file);
}

bool CLeftView::FinishBackgroundDownload(QTreeWidgetItem* item, const DownloadTask& task) {
    if (!item || backgroundItems_.erase(item) == 0)
        return false;
    bool failed = !task.errorText.empty() || task.cacheFile.empty();
    auto standIn = standIns_.extract(item);
    if (standIn) {
        std::set<std::string> files;
        for (HotPlace& place : standIn.mapped().places) {
            files.insert(place.file);
            if (!failed)
                arrivedHeadlines_[place.file].push_back(std::move(place));
        }
        for (const std::string& file : files) {
            bool waiting = std::any_of(standIns_.begin(), standIns_.end(), [&file](const auto& other) {
                return std::any_of(other.second.places.begin(), other.second.places.end(),
                                   [&file](const HotPlace& place) { return place.file == file; });
            });
            if (!waiting)
                storeUnloadedHeadlines(file);
        }
    }
    // A failed update keeps the entries that were there, without a word.
    if (failed) {
        backgroundStepDone(0);
        return true;
    }
    IndexArrivalsLater(task.cacheFile, [this](int arrived) { backgroundStepDone(arrived); });
    if (standIn)
        return true; // its headline is stored with the others of its file
    if (task.kind != feeds::kKindFirstLoad)
        return false; // a headline: applied as any other
    reloadInBackground(item, task.cacheFile);
    return true;
}

void CLeftView::reloadInBackground(QTreeWidgetItem* channel, const std::string& cacheFile) {
    QTreeWidgetItem* current = currentItem();
    bool inside = current && current != channel && CLeftView::IsWithin(channel, current);
    QVariant key = inside ? current->data(0, kEntryKeyRole) : QVariant();
    int scroll = verticalScrollBar()->value();
    {
        const QSignalBlocker quiet(this); // the frame must not take it for the user's choice
        DeleteChildItems(channel);
        LoadTreeFile(cacheFile, channel, 0);
        if (inside) {
            QTreeWidgetItem* again = channel;
            for (int i = 0; key.isValid() && i < channel->childCount(); ++i)
                if (channel->child(i)->data(0, kEntryKeyRole) == key)
                    again = channel->child(i);
            setCurrentItem(again);
        }
    }
    verticalScrollBar()->setValue(scroll);
}

void CLeftView::backgroundStepDone(int arrived) {
    backgroundArrived_ += arrived;
    if (backgroundPending_ == 0 || --backgroundPending_ > 0)
        return;
    if (downloads_ && downloads_->runningDownloads() == 0)
        if (auto* timer = findChild<QTimer*>(QLatin1String(kStatusTimerName)))
            timer->stop();
    std::string text = backgroundArrived_ > 0 ? "自动更新频道：收到 " +
                                                    std::to_string(backgroundArrived_) + " 条新条目"
                                              : std::string("自动更新频道：没有新条目");
    if (auto* frame = kelvor::app::mainFrame())
        frame->SetStatusText(text);
}
