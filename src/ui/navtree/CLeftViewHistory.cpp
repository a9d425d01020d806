// A channel's history: the entries that left its feed are kept by the
// store and shown under a 历史条目 line at the end of the channel, read
// from the store when that line is first opened.
#include "collection/CollectionService.h"
#include "frame/FrameInterface.h"
#include "navtree/CLeftView.h"
#include "platform/AddressPolicy.h"

#include <QPointer>
#include "tree/TreeFormat.h"

namespace {

constexpr size_t kHistoryShown = 500;

QString historyLabel(size_t total) {
    return QStringLiteral("历史条目 (%1)").arg(total);
}

} // namespace

void CLeftView::showHistoryLine(const std::string& cacheFile) {
    CollectionService* service = collection();
    if (!service)
        return;
    service->requestHistory(cacheFile, 0, [this, cacheFile](const auto&, size_t total) {
        auto range = channelItems_.equal_range(cacheFile);
        for (auto it = range.first; it != range.second; ++it) {
            QTreeWidgetItem* channel = it->second;
            int last = channel->childCount() - 1;
            QTreeWidgetItem* line = last >= 0 && isHistoryLine(channel->child(last))
                                        ? channel->child(last)
                                        : nullptr;
            if (total == 0) {
                delete line;
                continue;
            }
            if (!line) {
                line = new QTreeWidgetItem(channel);
                line->setData(0, kHistoryRole, QString::fromStdString(cacheFile));
                setItemIcons(line, kelvor::tree::kIconFolder, kelvor::tree::kIconFolderOpen);
                addPlaceholder(line, kelvor::tree::kIconFolderOpen);
            }
            line->setText(0, historyLabel(total));
        }
    });
}

bool CLeftView::isHistoryLine(const QTreeWidgetItem* item) {
    return item && item->data(0, kHistoryRole).isValid() && !item->data(0, kHistoryLinkRole).isValid();
}

void CLeftView::expandHistoryLine(QTreeWidgetItem* line) {
    CollectionService* service = collection();
    if (!service || line->data(0, kHistoryLoadedRole).toBool())
        return;
    line->setData(0, kHistoryLoadedRole, true);
    std::string cacheFile = line->data(0, kHistoryRole).toString().toStdString();
    QPointer<CLeftView> self(this);
    service->requestHistory(cacheFile, kHistoryShown, [self, cacheFile](const auto& items, size_t) {
        if (!self)
            return;
        // The line may have gone (the channel reloaded) while the store read.
        auto range = self->channelItems_.equal_range(cacheFile);
        for (auto it = range.first; it != range.second; ++it) {
            QTreeWidgetItem* channel = it->second;
            QTreeWidgetItem* line =
                channel->childCount() > 0 ? channel->child(channel->childCount() - 1) : nullptr;
            if (!isHistoryLine(line) || !line->data(0, kHistoryLoadedRole).toBool() ||
                line->childCount() != 1 || self->nodeOf(line->child(0)))
                continue;
            delete line->child(0); // the placeholder
            for (const CollectionService::HistoryItem& entry : items) {
                auto* item = new QTreeWidgetItem(line);
                item->setText(0, QString::fromStdString(entry.title.empty() ? "(无标题)" : entry.title));
                item->setToolTip(0, QString::fromStdString(entry.date));
                item->setData(0, kHistoryRole, QString::fromStdString(cacheFile));
                item->setData(0, kHistoryLinkRole, QString::fromStdString(entry.link));
                item->setData(0, kHistoryTextRole, QString::fromStdString(entry.description));
                setItemIcons(item, kelvor::tree::kIconLink, kelvor::tree::kIconLink);
            }
        }
    });
}

bool CLeftView::openHistoryEntry(QTreeWidgetItem* item) {
    if (!item || !item->data(0, kHistoryLinkRole).isValid())
        return false;
    auto* frame = kelvor::app::mainFrame();
    if (!frame)
        return true;
    // From a feed, like any entry: only what the address policy lets through.
    std::string link = kelvor::platform::acceptedAddress(
        item->data(0, kHistoryLinkRole).toString().toStdString(), kelvor::platform::AddressOrigin::Web);
    if (!link.empty())
        frame->NavigateTo(link);
    else
        frame->ShowDescription(item->data(0, kHistoryTextRole).toString().toHtmlEscaped().toStdString());
    return true;
}
