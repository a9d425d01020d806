// The unread total of the whole collection, for the window's title and the
// tray. Channels tell their state in bursts (a category marked read tells
// each of its channels, an update each channel that came in), so the count
// is coalesced: one waits on the store's thread at a time, and whatever asks
// while it does asks for a single one more after it, which sees everything
// queued before the last request.
#include "collection/CollectionService.h"

#include "store/ReadMarks.h"
#include "store/Store.h"

#include <QMetaObject>

namespace store = kelvor::store;

void CollectionService::requestUnreadTotal() {
    if (!store_)
        return;
    if (!totalWatched_) {
        totalWatched_ = true;
        auto again = [this] { requestUnreadTotal(); };
        connect(this, &CollectionService::channelStateChanged, this, again);
        connect(this, &CollectionService::updateFinished, this, again);
        connect(store_.get(), &CollectionStore::indexUpdated, this, again);
    }
    if (totalAsked_) {
        totalAgain_ = true;
        return;
    }
    totalAsked_ = true;
    // The answer goes back when the job is done with, whether it ran or the
    // database could not be opened: otherwise no count would ever be asked
    // again.
    auto total = std::shared_ptr<int>(new int(-1), [this](int* counted) {
        int told = *counted;
        delete counted;
        QMetaObject::invokeMethod(
            this, [this, told] { unreadTotalAnswered(told); }, Qt::QueuedConnection);
    });
    store_->worker().post([this, total](store::Store& db) {
        if (!closing())
            *total = store::totalUnread(db);
    });
}

void CollectionService::unreadTotalAnswered(int total) {
    totalAsked_ = false;
    if (totalAgain_) {
        totalAgain_ = false;
        requestUnreadTotal();
    }
    // Told even when a newer count follows: during a long burst the title
    // moves along instead of waiting for the end.
    if (total >= 0)
        emit unreadTotalChanged(total);
}
