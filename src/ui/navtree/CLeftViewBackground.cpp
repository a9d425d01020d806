// The automatic update: on each tick the expired channels the user can see
// (expanded ones) and those of loaded hot categories are downloaded through
// the same queue as any other. Nothing the user is looking at moves: the
// selected entry stays selected, the scroll position stays, the focus is
// not touched. When the last of them is indexed the status bar says how
// many entries arrived.
#include "feeds/DownloadQueue.h"
#include "frame/FrameInterface.h"
#include "navtree/CLeftView.h"
#include "tree/ChannelSource.h"
#include "tree/NodeWriting.h"

#include <QScrollBar>
#include <QTimer>

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

} // namespace

bool CLeftView::StartBackgroundUpdate() {
    if (BackgroundUpdateRunning())
        return false;
    backgroundArrived_ = 0;
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
        QueueDownload(item, GetNodeAttribute(node, "Title"), GetNodeAttribute(node, "Href"), source,
                      cacheFile, feed, shown ? feeds::kKindFirstLoad : feeds::kKindHeadlineSave);
    }
    return true;
}

bool CLeftView::FinishBackgroundDownload(QTreeWidgetItem* item, const DownloadTask& task) {
    if (!item || backgroundItems_.erase(item) == 0)
        return false;
    // A failed update keeps the entries that were there, without a word.
    if (!task.errorText.empty() || task.cacheFile.empty()) {
        backgroundStepDone(0);
        return true;
    }
    IndexArrivalsLater(task.cacheFile, [this](int arrived) { backgroundStepDone(arrived); });
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
