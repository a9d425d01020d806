// Indexing as the reader runs it in the background: at background priority on the
// store's worker, incrementally, cut short at close without losing marks,
// and across the upgrade of an older database.
#include "platform/HomeFolder.h"
#include "platform/ThreadPriority.h"
#include "store/History.h"
#include "store/CharacterPairs.h"
#include "store/Indexer.h"
#include "store/ReadMarks.h"
#include "store/Schema.h"
#include "store/Search.h"
#include "store/Store.h"
#include "store/StoreWorker.h"
#include "store/Vocabulary.h"
#include "support/HomeGuard.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <future>
#include <thread>

using kelvor::test::TempDir;
namespace store = kelvor::store;
namespace platform = kelvor::platform;

namespace {

const char* const kFeed = "http://127.0.0.1:9/feed";

std::string channelFile(const std::vector<std::string>& titles) {
    std::string tree = R"(<?xml version="1.0" encoding="utf-8"?><Tree Type="rss" Title="新闻" )"
                       R"(BaseURL="http://127.0.0.1:9/feed">)";
    for (const std::string& title : titles)
        tree += "<TreeNode Title=\"" + title + "\" Href=\"http://n.test/" + title +
                "\"><Desc>&lt;p&gt;harbour lights " + title + "&lt;/p&gt;</Desc></TreeNode>";
    return tree + "</Tree>";
}

struct Home {
    TempDir dir;
    kelvor::test::HomeGuard homeGuard_;
    std::string channel;
    Home() {
        dir.write("index.xml",
                  R"(<Tree><TreeNode Title="新闻" Rss="http://127.0.0.1:9/feed"/></Tree>)");
        channel = dir.write("rss/新闻.xml", channelFile({"alpha", "beta"}));
        homeGuard_.setHome(dir.path()); // where the tree finds rss/
    }
};

// The titles found, in name order: what is indexed matters here, not its rank.
std::vector<std::string> titles(store::Store& db, const std::string& query) {
    std::vector<std::string> found;
    for (const store::Hit& hit : store::search(db, query, 0, 50).hits)
        found.push_back(hit.title);
    std::sort(found.begin(), found.end());
    return found;
}

std::vector<int64_t> ids(store::Store& db, const std::string& file) {
    std::vector<int64_t> found;
    store::Statement select(db.db(), "SELECT items.id FROM items JOIN files ON "
                                     "files.id = items.file WHERE path = ? ORDER BY items.id");
    select.bind(1, file);
    while (select.step())
        found.push_back(select.integer(0));
    return found;
}

std::string pragmaOf(store::Store& db, const std::string& name) {
    store::Statement read(db.db(), ("PRAGMA " + name).c_str());
    return read.step() ? read.text(0) : std::string();
}

using Titles = std::vector<std::string>;

} // namespace

TEST(ThreadPriority, LowersOnlyTheCallingThread) {
    platform::ThreadPriority lowered = platform::ThreadPriority::Unchanged;
    platform::ThreadPriority seen = platform::ThreadPriority::Unchanged;
    std::thread([&] {
        lowered = platform::lowerThisThreadForBackground();
        seen = platform::priorityOfThisThread();
    }).join();
    EXPECT_NE(lowered, platform::ThreadPriority::Unchanged);
    EXPECT_EQ(seen, lowered);
    EXPECT_EQ(platform::priorityOfThisThread(), platform::ThreadPriority::Unchanged);
}

TEST(StoreWorker, RunsJobsInOrderAtBackgroundPriorityAndWritesWhatIsQueuedAtClose) {
    Home home;
    std::promise<void> release;
    platform::ThreadPriority priority = platform::ThreadPriority::Unchanged;
    std::vector<int> order;
    {
        store::StoreWorker worker(home.dir.path());
        worker.post([&](store::Store&) {
            priority = platform::priorityOfThisThread();
            release.get_future().wait();
            order.push_back(1);
        });
        worker.indexLater(home.channel);
        worker.post([&](store::Store& db) {
            order.push_back(2);
            store::setRead(db, kFeed, "http://n.test/alpha", true);
        });
        release.set_value();
        worker.waitUntilIdle();
        EXPECT_NE(priority, platform::ThreadPriority::Unchanged);
        EXPECT_EQ(order, (std::vector<int>{1, 2}));
        worker.post([&](store::Store& db) { store::markChannelRead(db, kFeed); });
    } // closes with the last job queued or under way: it runs all the same
    store::Store db(home.dir.path());
    EXPECT_EQ(store::unreadCount(db, kFeed), 0);
    EXPECT_EQ(titles(db, "harbour"), (Titles{"alpha", "beta"}));
}

TEST(StoreWorker, HeldJobsWaitForTheReleaseAndAreNotLostAtClose) {
    Home home;
    std::atomic<int> ran{0};
    {
        store::StoreWorker worker(home.dir.path());
        worker.setHeld(true);
        worker.post([&](store::Store&) { ++ran; });
        // Nothing to wait on for "never": a job posted after the held one,
        // on a second worker, shows the thread had every chance to run.
        store::StoreWorker other(home.dir.path());
        other.post([](store::Store&) {});
        other.waitUntilIdle();
        EXPECT_EQ(ran, 0) << "held";
        // A search is not held, and goes before what waits.
        std::promise<int> urgent;
        worker.postUrgent([&](store::Store&) { urgent.set_value(ran.load()); });
        EXPECT_EQ(urgent.get_future().get(), 0);
        worker.setHeld(false);
        worker.waitUntilIdle();
        EXPECT_EQ(ran, 1);
        worker.setHeld(true);
        worker.post(
            [&](store::Store& db) { store::setRead(db, kFeed, "http://n.test/alpha", true); });
    } // closed while held
    store::Store db(home.dir.path());
    EXPECT_TRUE(store::isRead(db, kFeed, "http://n.test/alpha"));
}

TEST(StoreWorker, ALongJobIsAskedToGiveWayWhenAnotherWaits) {
    Home home;
    store::StoreWorker worker(home.dir.path());
    std::promise<void> started, asked;
    worker.post([&](store::Store&) {
        started.set_value();
        while (!worker.yieldRequested())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        asked.set_value();
    });
    started.get_future().wait();
    worker.postUrgent([](store::Store&) {});
    asked.get_future().wait(); // hangs (and the run times out) if never asked
    worker.waitUntilIdle();
    EXPECT_FALSE(worker.yieldRequested());
}

TEST(Indexer, AtCloseKeepsWhatMarksNeedAndTheNextUpdateReadsTheRest) {
    Home home;
    {
        store::Store db(home.dir.path());
        db.setClosing(true);
        ASSERT_TRUE(store::indexFile(db, home.channel));
        EXPECT_EQ(store::channelOfFile(db, home.channel), kFeed);
        EXPECT_EQ(store::entriesOfFile(db, home.channel),
                  (std::vector<std::string>{"http://n.test/alpha", "http://n.test/beta"}));
        store::markChannelRead(db, kFeed);
        EXPECT_EQ(titles(db, "harbour"), Titles{}); // the text waits for the next update
    }
    store::Store db(home.dir.path());
    EXPECT_EQ(store::updateIndex(db).indexed, 2); // index.xml, and the channel read again
    EXPECT_EQ(titles(db, "harbour"), (Titles{"alpha", "beta"}));
    EXPECT_EQ(store::unreadCount(db, kFeed), 0);

    // Asked to stop, a run still reads one changed file, so that a run
    // stopped again and again gets through.
    std::atomic<bool> stop{true};
    home.dir.write("index.xml", home.dir.read("index.xml") + " ");
    home.dir.write("rss/新闻.xml", channelFile({"gamma"}));
    store::IndexReport stopped = store::updateIndex(db, &stop);
    EXPECT_TRUE(stopped.stopped);
    EXPECT_EQ(stopped.indexed, 1);
    EXPECT_EQ(titles(db, "gamma"), Titles{});
    EXPECT_EQ(store::updateIndex(db, &stop).indexed, 1);
    EXPECT_EQ(titles(db, "gamma"), Titles{"gamma"});
}

TEST(Indexer, AnUnchangedBeginningIsKeptAndHitsStayInFileOrder) {
    Home home;
    store::Store db(home.dir.path());
    store::setHistoryOptions(db, {0, 0}); // the copies alone: StoreHistoryTest keeps history
    store::updateIndex(db);
    std::vector<int64_t> before = ids(db, home.channel);
    ASSERT_EQ(before.size(), 2u);

    // The same items again (a download that brought nothing new): untouched.
    home.dir.write("rss/新闻.xml", channelFile({"alpha", "beta"}));
    store::indexFile(db, home.channel);
    EXPECT_EQ(ids(db, home.channel), before);

    // One more at the end: only it is added.
    home.dir.write("rss/新闻.xml", channelFile({"alpha", "beta", "delta"}));
    store::indexFile(db, home.channel);
    std::vector<int64_t> appended = ids(db, home.channel);
    ASSERT_EQ(appended.size(), 3u);
    EXPECT_EQ(appended[0], before[0]);
    EXPECT_EQ(appended[1], before[1]);
    EXPECT_EQ(titles(db, "harbour"), (Titles{"alpha", "beta", "delta"}));

    // A new first item moves every position: all of it is written again, in order.
    home.dir.write("rss/新闻.xml", channelFile({"omega", "alpha", "delta"}));
    store::indexFile(db, home.channel);
    EXPECT_EQ(titles(db, "harbour"), (Titles{"alpha", "delta", "omega"}));
    EXPECT_EQ(titles(db, "beta"), Titles{});
    std::vector<store::Hit> hits = store::search(db, "harbour", 0, 50).hits;
    ASSERT_EQ(hits.size(), 3u);
    EXPECT_EQ(hits[1].position, "1");
    EXPECT_EQ(hits[1].snippet, "harbour lights alpha");
}

TEST(Schema, AVersionOneDatabaseIsUpgradedKeepingItsMarks) {
    Home home;
    {
        store::Database old(store::Store::pathFor(home.dir.path()));
        old.exec(R"(
CREATE TABLE files(path TEXT PRIMARY KEY, mtime INTEGER NOT NULL, size INTEGER NOT NULL,
                   channel TEXT NOT NULL DEFAULT '', targets TEXT NOT NULL DEFAULT '');
CREATE TABLE items(id INTEGER PRIMARY KEY, file TEXT NOT NULL, position TEXT NOT NULL,
                   title TEXT NOT NULL, link TEXT NOT NULL, date TEXT NOT NULL,
                   body TEXT NOT NULL, place TEXT NOT NULL, channel TEXT NOT NULL,
                   entry TEXT NOT NULL);
CREATE INDEX items_by_file ON items(file);
CREATE INDEX items_by_channel ON items(channel, entry);
CREATE VIRTUAL TABLE items_text USING fts5(title, body, link, content='items',
                                           content_rowid='id', tokenize='trigram');
CREATE TRIGGER items_added AFTER INSERT ON items BEGIN
  INSERT INTO items_text(rowid, title, body, link) VALUES (new.id, new.title, new.body, new.link);
END;
CREATE TRIGGER items_removed AFTER DELETE ON items BEGIN
  INSERT INTO items_text(items_text, rowid, title, body, link)
  VALUES ('delete', old.id, old.title, old.body, old.link);
END;
CREATE TABLE readmarks(channel TEXT NOT NULL, entry TEXT NOT NULL, read INTEGER NOT NULL,
                       changed INTEGER NOT NULL, PRIMARY KEY(channel, entry)) WITHOUT ROWID;
INSERT INTO items VALUES (1, 'gone.xml', '0', 'stale harbour', '', '', '', '', 'c', 'e');
INSERT INTO files VALUES ('gone.xml', 1, 1, 'c', '');
INSERT INTO readmarks VALUES ('http://127.0.0.1:9/feed', 'http://n.test/beta', 1, 5);
PRAGMA user_version=1;)");
    }
    store::Store db(home.dir.path());
    EXPECT_EQ(db.outcome(), store::OpenOutcome::Upgraded);
    // Made with SQLite's pages of 4 KB, it has the store's larger ones now.
    EXPECT_EQ(pragmaOf(db, "page_size"), "16384");
    EXPECT_EQ(pragmaOf(db, "journal_mode"), "wal");
    EXPECT_EQ(titles(db, "harbour"), Titles{}); // the index starts again from the files
    EXPECT_EQ(store::updateIndex(db).indexed, 2);
    EXPECT_EQ(titles(db, "harbour"), (Titles{"alpha", "beta"}));
    EXPECT_EQ(titles(db, "ha"), (Titles{"alpha", "beta"})); // the short-word path too
    EXPECT_TRUE(store::isRead(db, kFeed, "http://n.test/beta"));
    EXPECT_EQ(store::unreadCount(db, kFeed), 1);
}

TEST(Schema, TheVersionBeforeIsUpgradedAndItsIndexBuiltAgain) {
    Home home;
    {
        store::Store db(home.dir.path());
        // Rows of a kilobyte leave less of a large page unused.
        EXPECT_EQ(pragmaOf(db, "page_size"), "16384");
        store::updateIndex(db);
        db.db().exec("PRAGMA user_version=" + std::to_string(store::kSchemaVersion - 1));
    }
    store::Store db(home.dir.path());
    EXPECT_EQ(db.outcome(), store::OpenOutcome::Upgraded);
    EXPECT_EQ(titles(db, "ha"), Titles{}); // the index starts again from the files
    store::updateIndex(db);
    EXPECT_EQ(titles(db, "ha"), (Titles{"alpha", "beta"}));
    EXPECT_EQ(titles(db, "harbour"), (Titles{"alpha", "beta"}));
}

TEST(IndexProgress, IsToldOfEachFileReadAndNotOfThoseUnchanged) {
    Home home;
    store::Store db(home.dir.path());
    std::vector<std::pair<int, int>> told;
    auto progress = [&told](int looked, int found) { told.emplace_back(looked, found); };
    store::updateIndex(db, nullptr, progress);
    // index.xml, then the copy it names: both read, both known by then.
    EXPECT_EQ(told, (std::vector<std::pair<int, int>>{{1, 2}, {2, 2}}));
    told.clear();
    store::updateIndex(db, nullptr, progress);
    EXPECT_TRUE(told.empty()) << "nothing read, nothing to tell";
}

namespace {

// Copies whose items share words across items and files, Latin and Chinese.
void writeCopies(const TempDir& home) {
    std::string index = "<Tree>";
    const char* words[] = {"lantern", "harbourmaster", "长江大桥", "cargo"};
    for (int file = 0; file < 4; ++file) {
        std::string name = "c" + std::to_string(file);
        index += "<TreeNode Title=\"" + name + "\" Rss=\"http://127.0.0.1:9/" + name + "\"/>";
        std::string tree = "<Tree Type=\"rss\" Title=\"" + name +
                           "\" BaseURL=\"http://127.0.0.1:9/" + name + "\">";
        for (int item = 0; item < 3; ++item) {
            std::string title = name + " " + words[(file + item) % 4] + " 港口";
            tree += "<TreeNode Title=\"" + title + "\" Href=\"http://n.test/" + name + "/" +
                    std::to_string(item) + "\"><Desc>&lt;b&gt;" + words[item % 4] + " " +
                    words[(item + 1) % 4] + "&lt;/b&gt; voyage" + std::to_string(file) +
                    " 船只 voyage</Desc></TreeNode>";
        }
        home.write("rss/" + name + ".xml", tree + "</Tree>");
    }
    home.write("index.xml", index + "</Tree>");
}

// What the full-text side of the index holds, paths aside: two indexes of
// the same copies that agree on it find the same, ranked the same.
std::vector<std::string> fullTextOf(store::Store& db) {
    std::vector<std::string> rows;
    for (const char* sql : {"SELECT id || ' ' || word FROM words ORDER BY id",
                            "SELECT items || ' ' || tokens FROM item_totals",
                            "SELECT seconds || ' ' || title || ' ' || tokens FROM item_keys"}) {
        store::Statement select(db.db(), sql);
        while (select.step())
            rows.push_back(select.text(0));
    }
    return rows;
}

} // namespace

// An update reads files ahead and writes the terms of several at once;
// the window indexes one file at a time as it is downloaded.
TEST(Indexer, AnUpdateOfManyFilesIndexesAsFilesIndexedOneByOne) {
    kelvor::test::HomeGuard homeGuard;
    TempDir many, oneByOne;
    writeCopies(many);
    writeCopies(oneByOne);
    platform::setProgramFolder(many.path()); // where the tree finds rss/
    store::Store updated(many.path());
    EXPECT_EQ(store::updateIndex(updated).indexed, 5);
    store::Store each(oneByOne.path());
    for (const char* file : {"index.xml", "rss/c0.xml", "rss/c1.xml", "rss/c2.xml", "rss/c3.xml"})
        ASSERT_TRUE(store::indexFile(each, oneByOne.file(file)));

    EXPECT_EQ(fullTextOf(updated), fullTextOf(each));
    for (const char* query : {"bourmas", "长江", "船只 lantern", "voyage2", "港口"}) {
        EXPECT_EQ(titles(updated, query), titles(each, query)) << query;
        EXPECT_FALSE(titles(updated, query).empty()) << query;
    }
}

// The indexer writes the distinct tokens of its items, the removal trigger
// all of them: a row leaves the index as it went in.
TEST(Indexer, ItemsRemovedLeaveNoTokenInTheIndex) {
    kelvor::test::HomeGuard homeGuard;
    TempDir home;
    writeCopies(home);
    platform::setProgramFolder(home.path());
    store::Store db(home.path());
    store::updateIndex(db);
    db.db().exec("CREATE VIRTUAL TABLE temp.terms USING fts5vocab(main, items_terms, 'row')");
    auto tokens = [&db] {
        store::Statement count(db.db(), "SELECT count(*) FROM temp.terms");
        return count.step() ? count.integer(0) : -1;
    };
    ASSERT_GT(tokens(), 10);
    home.write("index.xml", "<Tree></Tree>");
    store::updateIndex(db);
    EXPECT_EQ(tokens(), 0);
}
