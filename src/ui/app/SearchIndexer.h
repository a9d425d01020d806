// Keeps the search index in step with the files on a thread of its own, at
// idle CPU priority, so the window never waits for indexing and downloads
// are never slowed by it. A request while a run is going on asks for one
// more run after it; nothing runs twice at once. Closing stops a run after
// the file under way: the next start goes on from there.
#pragma once

#include <QObject>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

class SearchIndexer : public QObject {
    Q_OBJECT
  public:
    SearchIndexer(std::string home, QObject* parent = nullptr);
    ~SearchIndexer() override;

    void requestUpdate();
    // Ends a run after the file under way; no run starts afterwards.
    void stop();

  signals:
    // After a run, on the window's thread: how many files were read again.
    void updated(int indexedFiles);
    // Before updated: why the index could not be brought up to date, or
    // that it lives only in memory; "" when all is well.
    void indexProblem(const QString& text);

  private:
    void run();

    std::string home_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool pending_ = false;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};
