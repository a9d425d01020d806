#include "collection/CollectionStore.h"

#include "store/Indexer.h"
#include "store/ReadMarks.h"
#include "store/Store.h"
#include "store/StoreProblem.h"

#include <QMetaObject>

#include <chrono>

namespace store = kelvor::store;

// A job the worker could not run (the store would not open, the disk
// failed) is dropped; whoever waits for its answer hears of it anyway,
// when the job goes without having said it answered.
class CollectionStore::Unanswered {
  public:
    explicit Unanswered(std::function<void(const std::string& problem)> fail)
        : fail_(std::move(fail)) {}
    ~Unanswered() {
        if (!answered)
            fail_(problem);
    }
    bool answered = false;
    std::string problem = store::storeUnopenedText();

  private:
    std::function<void(const std::string&)> fail_;
};

CollectionStore::CollectionStore(std::string home, QObject* parent)
    : QObject(parent), worker_(std::make_unique<store::StoreWorker>(std::move(home))) {}

CollectionStore::~CollectionStore() = default;

void CollectionStore::requestIndexUpdate() {
    if (updateWaiting_) {
        updateAgain_ = true;
        return;
    }
    updateWaiting_ = true;
    updatedSoFar_ = 0;
    postIndexUpdate();
}

void CollectionStore::postIndexUpdate() {
    auto unanswered = std::make_shared<Unanswered>([this](const std::string& problem) {
        QMetaObject::invokeMethod(
            this, [this, problem] { finishIndexUpdate(0, problem); }, Qt::QueuedConnection);
    });
    worker_->post([this, unanswered](store::Store& db) { runIndexUpdate(db, *unanswered); });
}

// On the worker's thread: what the update has done goes to the window now
// and then, not after every file. An update that gives way to other jobs
// runs in many short slices: the pace is kept across them.
store::IndexProgress CollectionStore::progressToWindow() {
    using Clock = std::chrono::steady_clock;
    return [this](int looked, int found) {
        Clock::time_point now = Clock::now();
        if (lastProgress_ == Clock::time_point())
            lastProgress_ = now;
        if (now - lastProgress_ < std::chrono::milliseconds(500))
            return;
        lastProgress_ = now;
        QMetaObject::invokeMethod(
            this, [this, looked, found] { emit indexProgress(looked, found); },
            Qt::QueuedConnection);
    };
}

// On the worker's thread. The update reads file after file; when another
// job waits it stops after the file under way and goes on behind that job.
// At close it simply stops: the next start goes on from there.
void CollectionStore::runIndexUpdate(store::Store& db, Unanswered& unanswered) {
    std::string problem = store::storeNotice(db);
    store::IndexReport report;
    try {
        report = store::updateIndex(db, &worker_->yieldRequested(), progressToWindow());
        // Only a complete index says which entries left their feeds.
        if (!report.stopped)
            store::forgetOldMarks(db);
    } catch (const store::StoreError& error) {
        unanswered.problem = store::indexProblemText(error);
        throw; // the worker opens the store again for the next job
    }
    unanswered.answered = true;
    int indexed = report.indexed;
    bool more = report.stopped && !db.closing();
    QMetaObject::invokeMethod(
        this,
        [this, indexed, problem, more] {
            if (!more) {
                finishIndexUpdate(indexed, problem);
                return;
            }
            updatedSoFar_ += indexed;
            postIndexUpdate();
        },
        Qt::QueuedConnection);
}

void CollectionStore::finishIndexUpdate(int indexed, const std::string& problem) {
    int total = updatedSoFar_ + indexed;
    updatedSoFar_ = 0;
    updateWaiting_ = false;
    emit indexProblem(QString::fromStdString(problem));
    emit indexUpdated(total);
    if (updateAgain_) {
        updateAgain_ = false;
        requestIndexUpdate();
    }
}

void CollectionStore::search(const std::string& query, size_t offset, size_t limit,
                             SearchAnswer answer) {
    auto unanswered = std::make_shared<Unanswered>([this, answer](const std::string& problem) {
        QString text = QString::fromStdString(problem);
        QMetaObject::invokeMethod(
            this, [answer, text] { answer(store::SearchResult(), text); }, Qt::QueuedConnection);
    });
    worker_->postUrgent([this, query, offset, limit, answer, unanswered](store::Store& db) {
        store::SearchResult found;
        QString problem;
        try {
            found = store::search(db, query, offset, limit);
        } catch (const store::StoreError& error) {
            unanswered->problem = store::searchProblemText(error);
            throw; // the worker repairs or opens the store again
        } catch (const std::exception& error) {
            problem = QString::fromStdString(store::searchProblemText(error));
        }
        unanswered->answered = true;
        QMetaObject::invokeMethod(
            this, [answer, found = std::move(found), problem] { answer(found, problem); },
            Qt::QueuedConnection);
    });
}
