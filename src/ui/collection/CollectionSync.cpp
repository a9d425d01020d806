// The sync with a Tiny Tiny RSS server runs on a thread the service owns,
// with its own connection to kelvor.db; it starts after the read marks
// queued before it are written, so they reach the server this time. What it
// changed on disk is found by comparing the files before and after: the
// renewed copies are told like downloaded ones, the category files and
// fav.xml for the tree to show again.
#include "collection/CollectionService.h"
#include "collection/SyncedChannels.h"

#include "platform/Log.h"
#include "store/Store.h"
#include "store/ReadMarks.h"
#include "sync/SyncMarks.h"
#include "sync/SyncRun.h"

#include <QMetaObject>

#include <sys/stat.h>

#include <ctime>
#include <map>
#include <memory>
#include <tuple>

namespace store = kelvor::store;
namespace sync = kelvor::sync;
namespace collection = kelvor::collection;

namespace {

// A rename over a file (every save here is one) gives it a new inode.
using Stamp = std::tuple<ino_t, long long, long long, off_t>;

Stamp stampOf(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return {};
    return {info.st_ino, info.st_mtim.tv_sec, info.st_mtim.tv_nsec, info.st_size};
}

struct SyncFiles {
    std::map<std::string, Stamp> trees, copies;
};

SyncFiles stampSyncFiles(const std::string& home, const SyncFiles& before = {}) {
    SyncFiles now;
    std::set<std::string> trees = collection::syncCategoryFiles(home);
    trees.insert(home + "/fav/fav.xml");
    std::set<std::string> copies = collection::syncedCopies(home);
    for (const auto& [path, stamp] : before.trees)
        trees.insert(path);
    for (const auto& [path, stamp] : before.copies)
        copies.insert(path);
    for (const std::string& path : trees)
        now.trees[path] = stampOf(path);
    for (const std::string& path : copies)
        now.copies[path] = stampOf(path);
    return now;
}

std::vector<std::string> changed(const std::map<std::string, Stamp>& before,
                                 const std::map<std::string, Stamp>& after) {
    std::vector<std::string> files;
    for (const auto& [path, stamp] : after) {
        auto old = before.find(path);
        if (stamp != Stamp{} && (old == before.end() || old->second != stamp))
            files.push_back(path);
    }
    return files;
}

std::vector<std::string> keysOf(const std::map<std::string, Stamp>& files) {
    std::vector<std::string> keys;
    for (const auto& [path, stamp] : files)
        keys.push_back(path);
    return keys;
}

std::string summaryOf(const sync::SyncReport& report) {
    if (!report.error.empty())
        return "同步失败：" + report.error;
    std::string text = "同步完成：新条目 " + std::to_string(report.newEntries) + " 条，标记 " +
                       std::to_string(report.marksSent + report.marksReceived) + " 条";
    if (report.subscribed + report.unsubscribed > 0)
        text += "，订阅变更 " + std::to_string(report.subscribed + report.unsubscribed) + " 个";
    if (!report.notes.empty())
        text += "（" + report.notes.front() + "）";
    return text;
}

} // namespace

bool CollectionService::startSync(sync::Account account) {
    account.stop = &syncStop_;
    if (syncRunning_ || !store_)
        return false;
    syncRunning_ = true;
    showStatus("正在同步…");
    // After the marks queued before it: the store's worker starts it when
    // it is done with the job, whether the job ran or the database could
    // not be opened (the sync then says why).
    auto start = std::shared_ptr<void>(nullptr, [this, account](void*) {
        if (closing())
            return;
        if (!syncThreads_.spawn([this, account] { runSyncThread(account); }))
            QMetaObject::invokeMethod(
                this,
                [this] { finishSync(false, QStringLiteral("同步失败：无法启动同步线程"), {}, {}, {}, {}); },
                Qt::QueuedConnection);
    });
    store_->worker().post([start](store::Store&) {});
    return true;
}

// On the sync's thread.
void CollectionService::runSyncThread(const sync::Account& account) {
    SyncFiles before = stampSyncFiles(home_);
    sync::SyncReport report;
    try {
        report = sync::runSync(home_, account);
    } catch (...) {
        kelvor::platform::logCurrentFailure("syncing");
        report.error = "同步时发生意外错误";
    }
    SyncFiles after = stampSyncFiles(home_, before);
    QStringList lines;
    for (const std::string& line : report.lines())
        lines << QString::fromStdString(line);
    QMetaObject::invokeMethod(
        this,
        [this, ok = report.error.empty(), summary = QString::fromStdString(summaryOf(report)), lines,
         trees = changed(before.trees, after.trees), copies = changed(before.copies, after.copies),
         all = keysOf(after.copies)] { finishSync(ok, summary, lines, trees, copies, all); },
        Qt::QueuedConnection);
}

void CollectionService::finishSync(bool ok, const QString& summary, const QStringList& lines,
                                   const std::vector<std::string>& changedFiles,
                                   const std::vector<std::string>& renewedCopies,
                                   const std::vector<std::string>& syncedCopies) {
    syncRunning_ = false;
    // The sync indexed the copies it wrote: the tree shows them. Marks from
    // the server change the counts of the others too.
    for (const std::string& copy : renewedCopies)
        emit copyRenewed(copy, nullptr);
    for (const std::string& copy : syncedCopies)
        requestChannelState(copy);
    for (const std::string& file : changedFiles)
        indexFile(file);
    emit statusChanged(summary);
    emit syncFinished(ok, summary, lines, changedFiles);
}

void CollectionService::testSyncLogin(sync::Account account, LoginAnswer answer) {
    account.stop = &syncStop_;
    bool started = syncThreads_.spawn([this, account, answer] {
        std::string problem;
        try {
            // A test answers sooner than a sync would wait.
            sync::TtRssApi api(account, 5000, 15000);
            api.login();
        } catch (const std::exception& error) {
            problem = error.what();
        }
        QMetaObject::invokeMethod(
            this, [answer, problem] { answer(problem); }, Qt::QueuedConnection);
    });
    if (!started)
        answer("无法启动连接线程");
}

void CollectionService::setEntryStarred(const std::string& cacheFile, const std::string& key,
                                        bool starred) {
    if (!store_)
        return;
    store_->worker().post([cacheFile, key, starred](store::Store& db) {
        std::string channel = store::channelOfCacheFile(db, cacheFile);
        if (!channel.empty())
            sync::setStarred(db, channel, key, starred, std::time(nullptr));
    });
}

void CollectionService::requestStars(const std::string& cacheFile, std::vector<std::string> keys,
                                     StarsAnswer answer) {
    if (!store_)
        return;
    store_->worker().post([this, cacheFile, keys, answer](store::Store& db) {
        if (closing())
            return;
        std::string channel = store::channelOfCacheFile(db, cacheFile);
        std::set<std::string> starred;
        for (const std::string& key : keys)
            if (!channel.empty() && sync::isStarred(db, channel, key))
                starred.insert(key);
        QMetaObject::invokeMethod(
            this, [answer, starred] { answer(starred); }, Qt::QueuedConnection);
    });
}
