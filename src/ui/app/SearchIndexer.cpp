#include "app/SearchIndexer.h"

#include "platform/ThreadPriority.h"
#include "store/Indexer.h"
#include "store/ReadMarks.h"
#include "store/Repair.h"
#include "store/StoreProblem.h"

#include <QCoreApplication>

#include <memory>

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
    namespace store = kelvor::store;
    kelvor::platform::lowerThisThreadToIdle();
    // Kept from run to run: the index of a home that must not be written
    // lives in memory only while a connection to it is open.
    std::unique_ptr<store::Store> db;
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [this] { return pending_ || stopping_; });
            if (stopping_)
                return;
            pending_ = false;
        }
        int indexed = 0;
        std::string problem;
        try {
            if (db && db->replaced())
                db.reset();
            if (!db)
                db = std::make_unique<store::Store>(home_);
            problem = store::storeNotice(*db);
            store::IndexReport report = store::repairing(
                *db, [this](store::Store& s) { return store::updateIndex(s, &stopping_); },
                &stopping_);
            indexed = report.indexed;
            // Only an index that is complete says which entries left their feeds.
            if (!report.stopped)
                store::repairing(*db, [](store::Store& s) { return store::forgetOldMarks(s); });
        } catch (const store::StoreError& error) {
            // The index stays as it was; the next request tries again.
            problem = store::indexProblemText(error);
            db.reset();
        } catch (const std::exception&) {
            db.reset();
        }
        emit indexProblem(QString::fromStdString(problem));
        emit updated(indexed);
    }
}
