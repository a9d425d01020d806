// The automatic update: on each tick (and on 立即更新) every channel the user
// can see (expanded ones) and those of hot categories are asked for their
// news through the same queue as any other, whatever the age of their copy;
// the copy's validators make an unchanged feed a short "not modified". A
// channel asked a few minutes ago, or whose server asked us to wait, is left
// for the next tick. Nothing the user is looking at moves: the selected
// entry stays selected, the scroll position stays, the focus is not
// touched. The status bar counts the channels as they come in and, when the
// last of them is indexed, says how many entries arrived.
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
#include "tree/TreeFormat.h"

#include <QMetaObject>
#include <QScrollBar>

#include <algorithm>
#include <filesystem>

using kelvor::feeds::DownloadTask;
using kelvor::xml::Node;
namespace feeds = kelvor::feeds;
namespace tree = kelvor::tree;

namespace {

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

bool hasFeedToAsk(int state) {
    return state == tree::kCacheFresh || state == tree::kCacheExpired ||
           state == tree::kMustDownload;
}

} // namespace

bool CLeftView::StartBackgroundUpdate() {
    if (BackgroundUpdateRunning())
        return false;
    backgroundArrived_ = backgroundAsked_ = backgroundAnswered_ = 0;
    backgroundFailed_ = backgroundHeld_ = 0;
    std::set<std::string> queued;
    for (const auto& [tracked, item] : channelItems_) {
        Node node = nodeOf(item);
        if (!node || backgroundItems_.count(item))
            continue;
        bool shown = item->isExpanded();
        if (!shown && !isHot(node))
            continue;
        std::string source, cacheFile, feed;
        if (!hasFeedToAsk(tree::ResolveChannelSource(node, source, cacheFile, feed)) ||
            !queued.insert(cacheFile).second)
            continue;
        if (!politeness_.mayAsk(cacheFile)) {
            ++backgroundHeld_;
            continue;
        }
        backgroundItems_.insert(item);
        ++backgroundPending_;
        ++backgroundAsked_;
        QueueDownload({item, GetNodeAttribute(node, "Title"), GetNodeAttribute(node, "Href"), source,
                       cacheFile, feed, shown ? feeds::kKindFirstLoad : feeds::kKindHeadlineSave});
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
            if (channel.fileType == "hot" && hasFeedToAsk(channel.state) &&
                !loaded.count(normalPath(channel.file)))
                found->push_back(std::move(channel));
    });
    return true;
}

void CLeftView::queueUnloadedHotChannels(std::vector<tree::FileChannel> channels,
                                         std::set<std::string> queued) {
    std::map<std::string, QTreeWidgetItem*> standInOf;
    for (tree::FileChannel& channel : channels) {
        if (queued.count(channel.cacheFile))
            continue;
        if (!standInOf.count(channel.cacheFile) && !politeness_.mayAsk(channel.cacheFile)) {
            queued.insert(channel.cacheFile);
            ++backgroundHeld_;
            continue;
        }
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
        ++backgroundAsked_;
        QueueDownload({item, channel.title, channel.href, channel.source, channel.cacheFile,
                       channel.feed, feeds::kKindHeadlineSave});
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
    ++backgroundAnswered_;
    backgroundFailed_ += failed ? 1 : 0;
    showStatus(backgroundProgressText());
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
    // A failed update keeps the entries that were there; the result counts it.
    // An unchanged feed has nothing to index or show.
    if (failed || task.notModified) {
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

void CLeftView::showCopyElsewhere(QTreeWidgetItem* item, const std::string& cacheFile) {
    std::set<void*> waiting; // their own download brings the copy in
    for (const auto& task : downloads_->tasks())
        if (task->item)
            waiting.insert(task->item);
    std::vector<QTreeWidgetItem*> others;
    auto range = channelItems_.equal_range(cacheFile);
    for (auto it = range.first; it != range.second; ++it)
        if (it->second != item && !waiting.count(it->second) && !standIns_.count(it->second))
            others.push_back(it->second);
    for (QTreeWidgetItem* other : others) {
        Node node = nodeOf(other);
        if (!node)
            continue;
        auto* loaded = dynamic_cast<CTreeItem*>(other);
        if (loaded && loaded->expandedOnce)
            reloadInBackground(other, cacheFile);
        if (isHot(node))
            showHeadlineFromCopy(other, node, cacheFile);
    }
}

void CLeftView::showHeadlineFromCopy(QTreeWidgetItem* item, const Node& node,
                                     const std::string& cacheFile) {
    tree::CacheFirstItem first = tree::ReadCacheFirstItem(cacheFile);
    if (first.title.empty())
        return;
    StoreHeadline(node, first.title, first.href, cacheFile, first.desc, first.date);
    item->setText(0, QString::fromStdString(first.title));
    tree::saveOwnerDocument(node);
}

void CLeftView::showHeadlineOfNewChannel(QTreeWidgetItem* item, const Node& node) {
    if (!node || !isHot(node) || tree::itemKindOf(node) != tree::ItemKind::Channel)
        return;
    std::string source, cacheFile, feed;
    int state = tree::ResolveChannelSource(node, source, cacheFile, feed);
    if (state == tree::kCacheFresh || state == tree::kCacheExpired)
        showHeadlineFromCopy(item, node, cacheFile);
    if (state == tree::kCacheExpired || state == tree::kMustDownload)
        QueueDownload({item, GetNodeAttribute(node, "Title"), GetNodeAttribute(node, "Href"), source,
                       cacheFile, feed, feeds::kKindHeadlineSave});
}

void CLeftView::showLoadError(QTreeWidgetItem* channel, const std::string& text) {
    if (channel->childCount() == 0)
        return;
    // The row is cut at the tree's edge; the whole reason is one hover away.
    QString shown = QString::fromStdString(text);
    channel->child(0)->setText(0, shown);
    channel->child(0)->setToolTip(0, shown);
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
    // The download status would say "ready" over the result otherwise.
    if (downloads_ && downloads_->runningDownloads() == 0)
        stopDownloadStatus();
    showStatus(backgroundResultText());
}

std::string CLeftView::backgroundProgressText() const {
    return "正在更新 " + std::to_string(backgroundAnswered_) + "/" +
           std::to_string(backgroundAsked_) + "…";
}

std::string CLeftView::backgroundResultText() const {
    const std::string prefix = "自动更新频道：";
    if (backgroundAsked_ == 0)
        return prefix + (backgroundHeld_ > 0 ? "各频道刚更新过，请稍后再试"
                                             : "没有可更新的频道（请展开频道或添加热点关注）");
    std::string text = prefix + (backgroundArrived_ > 0
                                     ? "收到 " + std::to_string(backgroundArrived_) + " 条新条目"
                                     : std::string("没有新条目"));
    if (backgroundFailed_ > 0)
        text += "，" + std::to_string(backgroundFailed_) + " 个频道更新失败";
    if (backgroundHeld_ > 0)
        text += "，" + std::to_string(backgroundHeld_) + " 个频道刚更新过，稍后再问";
    return text;
}
