// The history of the channels: what leaves a feed's copy is kept, found by
// search as history, given back when it returns, kept within its limits and
// cleared on demand, its read marks kept all the while.
#include "platform/HomeFolder.h"
#include "store/History.h"
#include "store/Indexer.h"
#include "store/ReadMarks.h"
#include "store/Search.h"
#include "store/Store.h"
#include "support/HomeGuard.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>

using kelvor::test::TempDir;
namespace store = kelvor::store;
namespace fs = std::filesystem;

namespace {

const std::string kFeed = "http://127.0.0.1:9/feed";

struct Entry {
    std::string name;
    int day;               // of March 2024
    std::string more = {}; // said after the description's first words
};

std::string link(const std::string& name) {
    return "http://h.test/" + name;
}

std::string date(int day) {
    char text[32];
    std::snprintf(text, sizeof text, "2024-03-%02dT08:00:00Z", day);
    return text;
}

std::string copyOf(const std::vector<Entry>& entries) {
    std::string tree = "<Tree Type=\"rss\" Title=\"频道\" BaseURL=\"" + kFeed + "\">";
    for (const Entry& entry : entries)
        tree += "<TreeNode Title=\"" + entry.name + " story\" Href=\"" + link(entry.name) +
                "\" Date=\"" + date(entry.day) + "\"><Desc>&lt;p&gt;harbour news of " + entry.name +
                entry.more + "&lt;/p&gt;</Desc></TreeNode>";
    return tree + "</Tree>";
}

// A home whose tree holds one channel; its copy is rss/频道.xml.
struct Home {
    TempDir dir;
    kelvor::test::HomeGuard homeGuard_;
    std::string copy;
    explicit Home(const std::vector<Entry>& entries) {
        dir.write("index.xml", "<Tree><TreeNode Title=\"频道\" Rss=\"" + kFeed + "\"/></Tree>");
        copy = dir.write("rss/频道.xml", copyOf(entries));
        homeGuard_.setHome(dir.path());
    }
    // A new download of the copy, as the reader indexes it.
    void download(store::Store& db, const std::vector<Entry>& entries) {
        dir.write("rss/频道.xml", copyOf(entries));
        store::indexFile(db, copy);
    }
};

std::vector<std::string> titles(const std::vector<store::HistoryEntry>& entries) {
    std::vector<std::string> found;
    for (const auto& entry : entries)
        found.push_back(entry.title);
    return found;
}

using Titles = std::vector<std::string>;

} // namespace

TEST(History, AnEntryThatLeavesIsKeptAndFoundUntilItComesBackOrIsCleared) {
    Home home({{"alpha", 1}, {"beta", 2}, {"gamma", 3}});
    store::Store db(home.dir.path());
    store::updateIndex(db);
    std::time_t longAgo = std::time(nullptr) - 120 * 24 * 3600;
    store::setRead(db, kFeed, link("alpha"), true, longAgo);
    store::setRead(db, kFeed, "http://h.test/never-seen", true, longAgo);

    std::time_t before = std::time(nullptr);
    home.download(db, {{"beta", 2}, {"gamma", 3}, {"delta", 4, ": alpha story, alpha story"}});
    std::time_t after = std::time(nullptr);
    std::vector<store::HistoryEntry> history = store::historyOf(db, home.copy, 10);
    ASSERT_EQ(history.size(), 1u);
    const store::HistoryEntry& alpha = history[0];
    EXPECT_EQ(alpha.title, "alpha story");
    EXPECT_EQ(alpha.link, link("alpha"));
    EXPECT_EQ(alpha.date, date(1));
    EXPECT_EQ(alpha.description, "harbour news of alpha");
    EXPECT_EQ(alpha.channel, kFeed);
    EXPECT_EQ(alpha.entry, link("alpha"));
    EXPECT_EQ(alpha.file, home.copy);
    EXPECT_GE(alpha.left, before);
    EXPECT_LE(alpha.left, after);
    EXPECT_TRUE(alpha.read);
    EXPECT_EQ(store::historyCount(db, home.copy), 1u);
    EXPECT_EQ(store::unreadCount(db, kFeed), 3); // the copy's entries alone

    // Found like the copy's entries and ranked alike: its title is the
    // query, which the copy's entry only says (twice) in its description.
    std::vector<store::Hit> hits = store::search(db, "alpha story", 0, 10).hits;
    ASSERT_EQ(hits.size(), 2u);
    EXPECT_EQ(hits[1].title, "delta story");
    EXPECT_FALSE(hits[1].history);
    EXPECT_TRUE(hits[0].history);
    EXPECT_EQ(hits[0].file, home.copy);
    EXPECT_EQ(hits[0].link, link("alpha"));
    EXPECT_EQ(hits[0].channel, kFeed);
    EXPECT_EQ(hits[0].snippet, "harbour news of alpha");
    EXPECT_EQ(store::search(db, "story", 0, 10).total, 4);
    EXPECT_EQ(store::search(db, "of", 0, 10).total, 4); // the short-word path too

    // Forgetting the marks of entries gone from the feed passes over history.
    EXPECT_EQ(store::forgetOldMarks(db), 1);
    EXPECT_TRUE(store::isRead(db, kFeed, link("alpha")));
    EXPECT_FALSE(store::isRead(db, kFeed, "http://h.test/never-seen"));

    // Back in the feed, it is no longer history; another goes.
    home.download(db, {{"alpha", 1}, {"gamma", 3}, {"delta", 4}});
    EXPECT_EQ(titles(store::historyOf(db, home.copy, 10)), Titles{"beta story"});
    hits = store::search(db, "alpha story", 0, 10).hits;
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_FALSE(hits[0].history);
    EXPECT_EQ(hits[0].position, "0");
    db.db().exec("UPDATE history SET departed = departed - 60"); // beta left a minute ago

    // The copy deleted: all it held is history, still shown under its path.
    fs::remove(home.copy);
    store::updateIndex(db);
    EXPECT_EQ(titles(store::historyOf(db, home.copy, 3)),
              (Titles{"delta story", "gamma story", "alpha story"}));
    EXPECT_EQ(store::historyCount(db, home.copy), 4u);

    // The cache cleared: nothing comes back as history, the marks stay.
    home.download(db, {{"epsilon", 5}});
    fs::remove(home.copy);
    EXPECT_EQ(store::clearHistory(db), 4);
    store::updateIndex(db);
    EXPECT_EQ(store::historyCount(db, home.copy), 0u);
    EXPECT_EQ(store::search(db, "story", 0, 10).total, 0);
    EXPECT_TRUE(store::isRead(db, kFeed, link("alpha")));
    home.download(db, {{"zeta", 6}});
    home.download(db, {{"eta", 7}});
    EXPECT_EQ(titles(store::historyOf(db, home.copy, 10)), Titles{"zeta story"});
}

TEST(History, LimitsByCountAndAgeDropWhatLeftFirst) {
    Home home({{"a", 1}, {"b", 2}, {"c", 3}, {"d", 4}, {"e", 5}});
    store::Store db(home.dir.path());
    EXPECT_EQ(store::historyOptions(db).keepDays, 180);
    store::setHistoryOptions(db, {30, 3});
    store::updateIndex(db);

    // Five leave together: the three of the latest dates stay.
    home.download(db, {{"x", 1}});
    EXPECT_EQ(titles(store::historyOf(db, home.copy, 10)),
              (Titles{"e story", "d story", "c story"}));
    // What left 31 days ago is past the age when the next one leaves,
    // whatever its date; then the count keeps what left last.
    db.db().exec("UPDATE history SET departed = departed - "
                 "CASE title WHEN 'e story' THEN 31 * 86400 ELSE 60 END");
    home.download(db, {{"y", 2}});
    EXPECT_EQ(titles(store::historyOf(db, home.copy, 10)),
              (Titles{"x story", "d story", "c story"}));

    // Tighter limits apply at once; none keep nothing more.
    store::setHistoryOptions(db, {30, 1});
    EXPECT_EQ(titles(store::historyOf(db, home.copy, 10)), Titles{"x story"});
    store::setHistoryOptions(db, {0, 1});
    home.download(db, {{"z", 3}});
    EXPECT_EQ(titles(store::historyOf(db, home.copy, 10)), Titles{});
}

TEST(History, AnEntryAnotherCopyOfItsChannelHoldsHasNotLeft) {
    Home home({{"a", 1}, {"b", 2}});
    // The same channel under a second title in the tree: a second copy.
    home.dir.write("index.xml", "<Tree><TreeNode Title=\"频道\" Rss=\"" + kFeed +
                                    "\"/><TreeNode Title=\"别名\" Rss=\"" + kFeed + "\"/></Tree>");
    std::string twin = home.dir.write("rss/别名.xml", copyOf({{"a", 1}, {"b", 2}}));
    store::Store db(home.dir.path());
    store::updateIndex(db);

    home.download(db, {{"b", 2}});
    EXPECT_EQ(store::historyCount(db, home.copy), 0u);
    EXPECT_EQ(store::search(db, "a story", 0, 10).total, 1);
    home.dir.write("rss/别名.xml", copyOf({{"b", 2}}));
    store::indexFile(db, twin);
    EXPECT_EQ(titles(store::historyOf(db, twin, 10)), Titles{"a story"});
    EXPECT_EQ(titles(store::historyOf(db, home.copy, 10)), Titles{"a story"});
}

TEST(History, AStoreMadeBeforeHistoryGetsItWithItsMarksAndSearchStaysQuick) {
    Home home({});
    {
        store::Store db(home.dir.path());
        store::setRead(db, kFeed, link("old"), true);
        db.db().exec("DROP TRIGGER readmarks_of_history; DROP TRIGGER history_added; "
                     "DROP TRIGGER history_removed; DROP TABLE history; DROP TABLE history_terms;"
                     "DROP TABLE history_keys; DROP TABLE history_totals; DROP TABLE historylimits;");
    }
    store::Store db(home.dir.path());
    EXPECT_EQ(db.outcome(), store::OpenOutcome::Opened);
    EXPECT_TRUE(store::isRead(db, kFeed, link("old")));

    // A few thousand entries in the copy and as many in the history.
    constexpr int kEach = 1500;
    auto many = [](const std::string& prefix) {
        std::vector<Entry> entries;
        for (int i = 0; i < kEach; ++i)
            entries.push_back({prefix + std::to_string(i), 1 + i % 28});
        return entries;
    };
    home.download(db, many("first"));
    home.download(db, many("second"));
    ASSERT_EQ(store::historyCount(db, home.copy), size_t(kEach));

    auto started = std::chrono::steady_clock::now();
    store::SearchResult all = store::search(db, "harbour", 0, 100);
    store::SearchResult some = store::search(db, "first12", 0, 100);
    store::SearchResult shortWord = store::search(db, "of", kEach, 100);
    auto took = std::chrono::steady_clock::now() - started;
    std::printf("three searches over %d entries and %d of history: %lld ms\n", kEach, kEach,
                static_cast<long long>(
                    std::chrono::duration_cast<std::chrono::milliseconds>(took).count()));
    EXPECT_EQ(all.total, 2 * kEach);
    EXPECT_EQ(some.total, 111); // first12, first120 … first129, first1200 … first1299
    for (const store::Hit& hit : some.hits)
        EXPECT_TRUE(hit.history) << hit.title;
    EXPECT_EQ(shortWord.total, 2 * kEach);
    EXPECT_EQ(shortWord.hits.size(), 100u);
}

TEST(History, AStoreOfTheVersionBeforeKeepsItsHistoryFoundAsBefore) {
    Home home({{"alpha", 1, " superconductivity"}, {"beta", 2}});
    {
        store::Store db(home.dir.path());
        store::updateIndex(db);
        home.download(db, {{"beta", 2}});
        // The version before had no vocabulary, and other full-text tables.
        db.db().exec("DROP TABLE words_grams; DROP TABLE words; DROP TABLE history_terms;"
                     "PRAGMA user_version=6");
    }
    store::Store db(home.dir.path());
    EXPECT_EQ(db.outcome(), store::OpenOutcome::Upgraded);
    EXPECT_EQ(titles(store::historyOf(db, home.copy, 10)), Titles{"alpha story"});
    store::updateIndex(db);
    std::vector<store::Hit> hits = store::search(db, "conductiv", 0, 10).hits;
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_TRUE(hits[0].history);
    EXPECT_EQ(hits[0].snippet, "harbour news of alpha superconductivity");
    EXPECT_EQ(store::search(db, "harbour", 0, 10).total, 2);
}

// Version 8 split the texts with unicode61 itself; quick61 gives the same
// tokens, and the history's tables are made again with it.
TEST(History, AStoreOfVersionEightIsFoundAsBeforeAndSplitAsNow) {
    Home home({{"alpha", 1, " 长江大桥 Superconductivity"}, {"beta", 2}});
    {
        store::Store db(home.dir.path());
        store::updateIndex(db);
        home.download(db, {{"beta", 2}});
        db.db().exec(R"(
DROP TRIGGER history_added; DROP TRIGGER history_removed; DROP TABLE history_terms;
CREATE VIRTUAL TABLE history_terms USING fts5(title, body, link, content='', detail=column,
                                              columnsize=0, tokenize='unicode61 remove_diacritics 0');
INSERT INTO history_terms(rowid, title, body, link) SELECT id, character_pairs(title),
  character_pairs(unpack_text(body)), character_pairs(link) FROM history;
PRAGMA user_version=8;)");
    }
    store::Store db(home.dir.path());
    EXPECT_EQ(db.outcome(), store::OpenOutcome::Upgraded);
    store::Statement made(db.db(), "SELECT sql FROM sqlite_master WHERE name = 'history_terms'");
    ASSERT_TRUE(made.step());
    EXPECT_NE(made.text(0).find("quick61"), std::string::npos);
    for (const char* query : {"superconductivity", "长江", "江大桥", "conductiv", "alpha"})
        EXPECT_EQ(store::search(db, query, 0, 10).total, 1) << query; // the history alone
    store::updateIndex(db);
    EXPECT_EQ(store::search(db, "harbour", 0, 10).total, 2);
    EXPECT_EQ(store::search(db, "长江", 0, 10).total, 1);
}

TEST(History, AStoreOfVersionSevenKeepsHistoryMarksAndCatchUpAndIsIndexedAgain) {
    Home home({{"alpha", 1}, {"beta", 2}});
    {
        store::Store db(home.dir.path());
        store::updateIndex(db);
        home.download(db, {{"beta", 2}});
        store::setRead(db, kFeed, link("alpha"), true);
        store::markChannelRead(db, kFeed);
        // Version 7 named the file and the channel in every row.
        db.db().exec(R"(
DROP TABLE items; DROP TABLE files;
CREATE TABLE files(path TEXT PRIMARY KEY, mtime INTEGER NOT NULL, size INTEGER NOT NULL,
                   channel TEXT NOT NULL DEFAULT '', targets TEXT NOT NULL DEFAULT '');
CREATE TABLE items(id INTEGER PRIMARY KEY, file TEXT NOT NULL, position TEXT NOT NULL,
                   title TEXT NOT NULL, link TEXT NOT NULL, date TEXT NOT NULL,
                   body TEXT NOT NULL, place TEXT NOT NULL, channel TEXT NOT NULL,
                   entry TEXT NOT NULL, seconds INTEGER NOT NULL DEFAULT 0);
CREATE INDEX items_by_file ON items(file);
CREATE INDEX items_by_channel ON items(channel, entry);
INSERT INTO files VALUES ('gone.xml', 1, 1, 'c', '');
INSERT INTO items VALUES (1, 'gone.xml', '0', 'stale harbour', '', '', '', '', 'c', 'e', 0);
PRAGMA user_version=7;)");
    }
    // A new entry, older than the channel was caught up to, comes with the next download.
    home.dir.write("rss/频道.xml", copyOf({{"gamma", 3}, {"beta", 2}}));
    store::Store db(home.dir.path());
    EXPECT_EQ(db.outcome(), store::OpenOutcome::Upgraded);
    EXPECT_EQ(store::search(db, "harbour", 0, 10).total, 1); // the history alone, until indexed
    EXPECT_TRUE(store::isRead(db, kFeed, link("alpha")));
    store::updateIndex(db);
    EXPECT_EQ(titles(store::historyOf(db, home.copy, 10)), Titles{"alpha story"});
    store::SearchResult found = store::search(db, "harbour", 0, 10);
    ASSERT_EQ(found.total, 3);
    for (const store::Hit& hit : found.hits) {
        EXPECT_EQ(hit.link, link(hit.title.substr(0, hit.title.find(' '))));
        EXPECT_EQ(hit.channel, kFeed);
        EXPECT_EQ(hit.file, home.copy);
    }
    EXPECT_TRUE(store::isRead(db, kFeed, link("gamma")));
    EXPECT_EQ(store::unreadCount(db, kFeed), 0);
}
