// The program's one worker on kelvor.db: indexing (a whole update at start
// and whenever the search box asks, a file just written), read marks and
// searches all run on its thread, one after another, so the window never
// waits for the database and two connections never race. A search goes
// before what waits and is not held back by running downloads; a whole
// update gives way after each file to whatever was asked meanwhile.
#pragma once

#include "store/Indexer.h"
#include "store/Search.h"
#include "store/StoreWorker.h"

#include <QObject>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

class CollectionStore : public QObject {
    Q_OBJECT
  public:
    explicit CollectionStore(std::string home, QObject* parent = nullptr);
    // Writes the marks still queued (see StoreWorker) before it returns.
    ~CollectionStore() override;

    const std::string& home() const { return worker_->home(); }
    kelvor::store::StoreWorker& worker() { return *worker_; }

    // Brings the index in step with the files, after what is queued; a
    // request while one waits or runs asks for one more run after it.
    void requestIndexUpdate();
    // An update is queued or running (window's thread).
    bool indexUpdating() const { return updateWaiting_; }

    // The answer comes on the window's thread: the hits, or why the search
    // failed ("" when it did not).
    using SearchAnswer =
        std::function<void(const kelvor::store::SearchResult& found, const QString& problem)>;
    void search(const std::string& query, size_t offset, size_t limit, SearchAnswer answer);

  signals:
    // After an update, on the window's thread: how many files were read again.
    void indexUpdated(int indexedFiles);
    // While an update reads files, at most twice a second: how many files
    // it looked at and how many it knows of so far.
    void indexProgress(int looked, int found);
    // Before indexUpdated: why the index could not be brought up to date,
    // or that it lives only in memory; "" when all is well.
    void indexProblem(const QString& text);

  private:
    class Unanswered;
    void postIndexUpdate();
    kelvor::store::IndexProgress progressToWindow();
    void runIndexUpdate(kelvor::store::Store& db, Unanswered& unanswered);
    void finishIndexUpdate(int indexed, const std::string& problem);

    std::unique_ptr<kelvor::store::StoreWorker> worker_;
    // Window's thread only.
    bool updateWaiting_ = false; // queued or running
    bool updateAgain_ = false;
    int updatedSoFar_ = 0; // files read by the slices of this run
    // Worker's thread only: when the window was last told of progress.
    std::chrono::steady_clock::time_point lastProgress_;
};
