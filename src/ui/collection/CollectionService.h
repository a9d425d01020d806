// The work behind the panes that is no widget: downloading channels, the
// database worker (index, read marks, searches), the automatic update and
// the headlines it writes into category files nobody has open. One object
// owns all of it and every thread it starts, and ends them when it goes.
//
// It speaks in signals, on the window's thread:
//   copyRenewed          a new copy of a channel was written, whoever asked
//   channelDownloaded    a download asked for by someone (a tree item) is in
//   channelStateChanged  a channel's unread count and read entries, fresh
//                        from the store (pages hear of it too, through
//                        kelvor::app::readMarksChanged)
//   statusChanged        what the status bar should say about the work
//   syncFinished         a sync with the Tiny Tiny RSS server is over
//   updateFinished       an automatic update is over: how many new entries
//   unreadTotalChanged   the unread entries of every channel together
// The tree, the pages and the status bar listen; none of them owns a thread.
//
//   CollectionService.cpp  life, downloads and their status
//   CollectionMarks.cpp    indexing, read marks, page marks
//   CollectionHistory.cpp  what left the feeds
//   CollectionUpdate.cpp   the automatic update
//   CollectionTotals.cpp   the unread total
//   CollectionSync.cpp     the sync with a Tiny Tiny RSS server, stars
#pragma once

#include "collection/CollectionStore.h"
#include "feeds/DownloadTask.h"
#include "feeds/UpdatePoliteness.h"
#include "frame/FrameInterface.h"
#include "platform/OwnedThreads.h"
#include "sync/TtRssApi.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

class QTimer;
namespace kelvor::feeds {
class DownloadQueue;
}
namespace kelvor::store {
class Store;
}

// What an automatic update brought.
struct ChannelNews {
    std::string cacheFile, channelTitle;
    int count = 0;
    std::vector<std::string> titles; // of the first few new entries
};
struct UpdateSummary {
    int newEntries = 0;
    int failedChannels = 0;
    std::vector<ChannelNews> channels; // those with new entries
};

class CollectionService : public QObject, public kelvor::app::IReadMarks {
    Q_OBJECT
  public:
    // `home` may be empty: then there is no database, only downloads.
    explicit CollectionService(std::string home, QObject* parent = nullptr);
    // Cancels and joins the downloads, then writes the marks still queued.
    ~CollectionService() override;

    const std::string& home() const { return home_; }
    // Set first thing at close: the jobs still queued then run on the
    // closing thread, and those that only answer the window (counts, page
    // marks, history, totals) or index for it are skipped; marks are written.
    bool closing() const { return closing_; }

    // ---- downloads (CollectionService.cpp)
    // The requester (an opaque pointer, a tree item) is handed back with
    // the result in channelDownloaded.
    void download(kelvor::feeds::DownloadRequest request);
    // The same, at the head of the queue, started at once.
    void downloadFirst(kelvor::feeds::DownloadRequest request);
    // The requester is gone: its downloads run on but nothing is handed back.
    void forgetRequester(void* requester);
    void forgetRequesters(const std::function<bool(void* requester)>& matches);
    // Only the first of its downloads, from the head of the queue.
    void forgetFirstDownloadOf(void* requester);
    // Every download queued or running for a requester, in queue order.
    void forEachWaiting(const std::function<void(const kelvor::feeds::DownloadTask&)>& visit) const;
    int runningDownloads() const;
    size_t pendingDownloads() const; // queued and running
    kelvor::feeds::UpdatePoliteness& politeness() { return politeness_; }
    kelvor::feeds::DownloadQueue& downloads() { return *downloads_; }

    // ---- the database (CollectionMarks.cpp)
    // Null without a home folder.
    CollectionStore* store() { return store_.get(); }
    // The key an entry's read mark is kept under.
    static std::string entryKeyOf(const std::string& title, const std::string& href,
                                  const std::string& date);
    // Brings the index up to date for a file just written, off the window's
    // thread; a channel's copy then has its state told again.
    void indexFile(const std::string& path);
    // Tells channelStateChanged for the copy, after what is queued.
    void requestChannelState(const std::string& cacheFile);
    void setEntryRead(const std::string& cacheFile, const std::string& key, bool read);
    // Every channel of `file` from `position` down, loaded anywhere or not,
    // and the copies named in `shown`.
    void markAllRead(std::vector<std::string> shown, std::string file, std::string position);
    // A search hit opened: `names` are the names its copy goes by.
    void markIndexedEntryRead(const std::string& channel, const std::string& entry,
                              const std::set<std::string>& names);
    void RequestPageMarks(const std::string& path, PageMarksAnswer answer) override;
    void MarkLinkRead(const std::string& cacheFile, const std::string& link) override;

    // ---- history (CollectionHistory.cpp)
    // How long and how much of what left its feed is kept (0: nothing).
    void setHistoryLimits(int keepDays, int keepPerChannel);
    struct HistoryItem {
        std::string title, link, date, description, entry;
        bool read = false;
    };
    // The newest `limit` entries that left the channel's copy, and how many
    // there are, answered on the window's thread.
    using HistoryAnswer = std::function<void(const std::vector<HistoryItem>& items, size_t total)>;
    void requestHistory(const std::string& cacheFile, size_t limit, HistoryAnswer answer);
    // After the cache folders were emptied.
    void clearHistory();

    // ---- the automatic update (CollectionUpdate.cpp)
    // Asks every channel given (those the tree shows, each once) and the
    // channels of hot categories in files nobody shows, except those asked
    // a moment ago. False, asking nothing, while the previous update still
    // runs.
    bool startUpdate(std::vector<kelvor::feeds::DownloadRequest> channels);
    // The category files a view has loaded now: their headlines are that
    // view's to write, in its own copy of the file.
    using ShownFiles = std::function<std::set<std::string>()>;
    void setShownFiles(ShownFiles shown) { shownFiles_ = std::move(shown); }
    bool updateRunning() const { return updatePending_ > 0; }

    // ---- the unread total (CollectionTotals.cpp)
    // Tells unreadTotalChanged after what is queued; from the first request
    // on, again whenever a channel's state is told, the index is brought up
    // to date or an update ends. Nothing without a database.
    void requestUnreadTotal();

    // ---- the sync (CollectionSync.cpp)
    // Runs one sync on a thread of its own, after the read marks queued
    // now are written; syncFinished tells how it went. False, starting
    // nothing, while one runs or without a database.
    bool startSync(kelvor::sync::Account account);
    bool syncRunning() const { return syncRunning_; }
    // Logs in on a thread of its own; the answer, on the window's thread,
    // is "" or why the server could not be used.
    using LoginAnswer = std::function<void(const std::string& problem)>;
    void testSyncLogin(kelvor::sync::Account account, LoginAnswer answer);
    // Stars or unstars an entry of a synced channel; the server learns it
    // at the next sync.
    void setEntryStarred(const std::string& cacheFile, const std::string& key, bool starred);
    // Which of the given entries of the copy are starred, stars not sent yet
    // counted; answered on the window's thread.
    using StarsAnswer = std::function<void(const std::set<std::string>& starredKeys)>;
    void requestStars(const std::string& cacheFile, std::vector<std::string> keys, StarsAnswer answer);

  signals:
    // Before channelDownloaded: others showing the same copy show it too.
    void copyRenewed(const std::string& cacheFile, void* requester);
    // `byUpdate`: asked by the automatic update, which has counted and
    // indexed it already; the listener only shows it.
    void channelDownloaded(const kelvor::feeds::DownloadTask& task, bool byUpdate);
    void channelStateChanged(const std::string& cacheFile, int unread,
                             const std::vector<std::string>& readEntries);
    void statusChanged(const QString& text);
    void updateFinished(const UpdateSummary& summary);
    void unreadTotalChanged(int total);
    // The status bar's summary ("同步完成：…" or "同步失败：…"), the
    // report's lines, and the tree files the sync changed (category files,
    // fav.xml); the renewed copies were told through copyRenewed before.
    void syncFinished(bool ok, const QString& summary, const QStringList& lines,
                      const std::vector<std::string>& changedFiles);

  private:
    // CollectionService.cpp
    void startDownloads();
    void complete(kelvor::feeds::DownloadTask& task);
    void releaseStoreWhenQuiet();
    void showStatus(const std::string& text);
    void showDownloadStatus();
    // CollectionMarks.cpp
    // Indexes a copy and tells (on the window's thread) what it holds that
    // it did not hold before.
    void indexArrivals(const std::string& path, std::function<void(ChannelNews)> arrived);
    void answerChannelState(kelvor::store::Store& db, const std::string& cacheFile);
    template <class Job> void post(Job job);
    // CollectionUpdate.cpp
    struct HotPlace {
        std::string file, position, title, cacheFile;
    };
    struct StandIn {
        std::vector<HotPlace> places;
    };
    void askChannel(kelvor::feeds::DownloadRequest request);
    std::set<std::string> shownFiles() const; // normalised paths
    // `synced`: the copies of sync channels, never asked.
    void queueUnloadedHot(const std::string& index, std::set<std::string> queued,
                          std::set<std::string> synced);
    // True when the update took the completion whole (nothing to hand back).
    bool finishUpdateDownload(const kelvor::feeds::DownloadTask& task, bool& byUpdate);
    void forgetUpdateRequester(void* requester);
    void storeUnloadedHeadlines(const std::string& file);
    void updateStepDone(ChannelNews arrived = {});
    std::string updateProgressText() const; // "正在更新 12/40…"
    std::string updateResultText() const;
    // CollectionSync.cpp
    void runSyncThread(const kelvor::sync::Account& account);
    void finishSync(bool ok, const QString& summary, const QStringList& lines,
                    const std::vector<std::string>& changedFiles,
                    const std::vector<std::string>& renewedCopies,
                    const std::vector<std::string>& syncedCopies);
    // CollectionTotals.cpp
    void unreadTotalAnswered(int total); // -1: the store could not count

    std::string home_;
    std::atomic<bool> closing_{false};
    std::atomic<bool> syncStop_{false};
    ShownFiles shownFiles_;
    std::unique_ptr<CollectionStore> store_;
    std::unique_ptr<kelvor::feeds::DownloadQueue> downloads_;
    QTimer* statusTimer_ = nullptr;
    kelvor::feeds::UpdatePoliteness politeness_;

    // The automatic update under way. Channels of hot categories nobody has
    // loaded go out under a stand-in requester owned here, with the places
    // of the channel; their headlines are written once a file's are all in.
    std::set<void*> updateRequesters_;
    std::map<void*, std::unique_ptr<StandIn>> standIns_;
    std::map<std::string, std::vector<HotPlace>> arrivedHeadlines_; // by hot file
    int updatePending_ = 0; // its downloads and indexing not done yet
    UpdateSummary updateNews_;
    std::map<std::string, std::string> updateTitles_; // channel titles by copy
    int updateAsked_ = 0;
    int updateAnswered_ = 0;
    int updateFailed_ = 0;
    int updateHeld_ = 0; // left out: asked a moment ago, or told to wait

    // The unread total: one count queued at a time, and one more after it
    // when asked meanwhile.
    bool totalWatched_ = false;
    bool totalAsked_ = false;
    bool totalAgain_ = false;

    // The sync and the login test: their threads are joined before the
    // rest goes.
    bool syncRunning_ = false;
    kelvor::platform::OwnedThreads syncThreads_;
};
