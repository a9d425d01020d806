#include "app/SearchIndexer.h"

#include "platform/ThreadPriority.h"
#include "store/Indexer.h"
#include "store/ReadMarks.h"

#include <QCoreApplication>

SearchIndexer::SearchIndexer(std::string home, QObject* parent)
    : QObject(parent), home_(std::move(home)), thread_([this] { run(); }) {
    // At once, not when the window is taken down: the marks the tree writes
    // at close must not wait for the index's lock.
    if (QCoreApplication* app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, &SearchIndexer::stop);
}

SearchIndexer::~SearchIndexer() {
    stop();
    thread_.join();
}

void SearchIndexer::stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
}

void SearchIndexer::requestUpdate() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        pending_ = true;
    }
    wake_.notify_one();
}

void SearchIndexer::run() {
    kelvor::platform::lowerThisThreadToIdle();
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [this] { return pending_ || stopping_; });
            if (stopping_)
                return;
            pending_ = false;
        }
        int indexed = 0;
        try {
            kelvor::store::Store store(home_);
            kelvor::store::IndexReport report = kelvor::store::updateIndex(store, &stopping_);
            indexed = report.indexed;
            // Only an index that is complete says which entries left their feeds.
            if (!report.stopped)
                kelvor::store::forgetOldMarks(store);
        } catch (const std::exception&) {
            // The index stays as it was; the next request tries again.
        }
        emit updated(indexed);
    }
}
