// The store against real home folders: what is indexed, what an edit or a
// download changes, how short and Chinese queries find their items, and a
// database that is damaged or from another version.
#include "store/Store.h"
#include "platform/HomeFolder.h"
#include "platform/HtmlText.h"
#include "store/ChannelMarks.h"
#include "store/Indexer.h"
#include "store/ReadMarks.h"
#include "store/Search.h"
#include "store/TreeFileItems.h"
#include "support/HomeGuard.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

using kelvor::test::TempDir;
namespace store = kelvor::store;
namespace fs = std::filesystem;

namespace {

const char* kIndex = R"(<?xml version="1.0" encoding="utf-8"?><Tree Title="万象">)"
                     R"(<TreeNode Title="我的收藏" NodeSrc="/fav/mine.xml"/>)"
                     R"(<TreeNode Title="笔记" NodeSrc="notes/notes.xml"/>)"
                     R"(<TreeNode Title="新闻" Rss="http://127.0.0.1:9/feed"/></Tree>)";

const char* kMine =
    R"(<?xml version="1.0" encoding="utf-8"?><Tree Type="fav" Title="我的收藏">)"
    R"(<TreeNode Title="工具"><TreeNode Title="Compiler Explorer" Href="http://a.test/ce"/>)"
    R"(<TreeNode Title="天气预报" Href="http://a.test/weather"/></TreeNode></Tree>)";

const char* kNotes =
    R"(<?xml version="1.0" encoding="utf-8"?><Tree Title="笔记">)"
    R"(<TreeNode Title="读书"><Desc><![CDATA[<p>Notes on <b>quantum</b>&amp;optics</p>)"
    R"(<script>hidden()</script>]]></Desc></TreeNode></Tree>)";

const char* kChannel =
    R"(<?xml version="1.0" encoding="utf-8"?>)"
    R"(<Tree Type="rss" Title="新闻" BaseURL="http://127.0.0.1:9/feed">)"
    R"(<TreeNode Title="今日要闻：长江大桥通车" Href="http://n.test/1" Date="Mon, 01 Jan 2024"/>)"
    R"(<TreeNode Title="Second"><Desc>Body about rivers</Desc></TreeNode></Tree>)";

struct Home {
    TempDir dir;
    kelvor::test::HomeGuard homeGuard_;
    Home() {
        dir.write("index.xml", kIndex);
        dir.write("fav/mine.xml", kMine);
        dir.write("notes/notes.xml", kNotes);
        dir.write("rss/新闻.xml", kChannel);
        dir.write("stray/unreached.xml", kNotes);
        homeGuard_.setHome(dir.path()); // where the tree finds rss/
    }
};

std::vector<std::string> titles(const std::vector<store::Hit>& hits) {
    std::vector<std::string> found;
    for (const auto& hit : hits)
        found.push_back(hit.title);
    return found;
}

std::vector<std::string> find(store::Store& db, const std::string& query) {
    return titles(store::search(db, query, 0, 50).hits);
}

using Titles = std::vector<std::string>;

// Changes the file and its time, as an edit a second later would.
void rewrite(const std::string& path, const std::string& bytes) {
    auto time = fs::last_write_time(path);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    fs::last_write_time(path, time + std::chrono::seconds(2));
}

} // namespace

TEST(Store, IndexesUserFilesReachedFilesAndChannels) {
    Home home;
    store::Store db(home.dir.path());
    EXPECT_EQ(db.outcome(), store::OpenOutcome::Created);
    store::IndexReport report = store::updateIndex(db);
    EXPECT_EQ(report.indexed, 4); // index.xml, fav/mine.xml, notes/notes.xml via NodeSrc, rss/

    EXPECT_EQ(find(db, "compiler"), Titles{"Compiler Explorer"});
    EXPECT_EQ(find(db, "quantum optics"), Titles{"读书"}); // description, tags and entities gone
    EXPECT_EQ(find(db, "hidden"), Titles{});               // script text is no text
    EXPECT_EQ(find(db, "rivers"), Titles{"Second"});
    EXPECT_EQ(find(db, "a.test/weather"), Titles{"天气预报"}); // by link

    std::vector<store::Hit> hits = store::search(db, "长江大桥", 0, 10).hits;
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0].link, "http://n.test/1");
    EXPECT_EQ(hits[0].place, "新闻");
    EXPECT_EQ(hits[0].channel, "http://127.0.0.1:9/feed");
    EXPECT_EQ(hits[0].file, home.dir.path() + "/rss/新闻.xml");
    EXPECT_EQ(hits[0].position, "0");

    hits = store::search(db, "Explorer", 0, 10).hits;
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0].place, "我的收藏 > 工具");
    EXPECT_EQ(hits[0].position, "0.0");
}

TEST(Store, ShortAndChineseTwoCharacterQueriesFindTheirItems) {
    Home home;
    store::Store db(home.dir.path());
    store::updateIndex(db);
    EXPECT_EQ(find(db, "天气"), Titles{"天气预报"}); // two characters: no trigram
    EXPECT_EQ(find(db, "大桥"), Titles{"今日要闻：长江大桥通车"});
    EXPECT_EQ(find(db, "读"), Titles{"读书"});                          // one character
    EXPECT_EQ(find(db, "ce"), (Titles{"Compiler Explorer"}));           // link and title, any case
    EXPECT_EQ(find(db, "大桥 通车"), Titles{"今日要闻：长江大桥通车"}); // every word must match
    EXPECT_EQ(find(db, "大桥 rivers"), Titles{});
    EXPECT_EQ(find(db, "\"%_"), Titles{}); // quotes and LIKE wildcards are plain characters
    EXPECT_EQ(find(db, "  "), Titles{});
}

TEST(Store, UpdatesOnlyWhatChangedAndForgetsWhatLeft) {
    Home home;
    {
        store::Store db(home.dir.path());
        store::updateIndex(db);
    }
    store::Store db(home.dir.path());
    EXPECT_EQ(db.outcome(), store::OpenOutcome::Opened);
    store::IndexReport again = store::updateIndex(db);
    EXPECT_EQ(again.indexed, 0);
    EXPECT_EQ(again.unchanged, 4); // the reached file stays reached without reading index.xml

    std::string mine = home.dir.file("fav/mine.xml");
    std::string edited = kMine;
    edited.erase(
        edited.find("<TreeNode Title=\"天气预报\""),
        std::string("<TreeNode Title=\"天气预报\" Href=\"http://a.test/weather\"/>").size());
    rewrite(mine, edited);
    fs::remove(home.dir.file("rss/新闻.xml"));
    store::IndexReport changed = store::updateIndex(db);
    EXPECT_EQ(changed.indexed, 1);
    EXPECT_EQ(changed.removed, 1);
    EXPECT_EQ(find(db, "天气"), Titles{});
    // The deleted copy's entry is found only as its channel's history.
    std::vector<store::Hit> left = store::search(db, "长江", 0, 10).hits;
    ASSERT_EQ(left.size(), 1u);
    EXPECT_TRUE(left[0].history);
    EXPECT_EQ(left[0].file, home.dir.file("rss/新闻.xml"));
    EXPECT_EQ(find(db, "compiler"), Titles{"Compiler Explorer"});

    // A download or a save names its file; nothing else is read.
    home.dir.write("rss/新闻.xml", kChannel);
    EXPECT_TRUE(store::indexFile(db, home.dir.file("rss/新闻.xml")));
    EXPECT_EQ(find(db, "长江"), Titles{"今日要闻：长江大桥通车"});
    EXPECT_EQ(store::updateIndex(db).indexed, 0);
}

TEST(Store, DamagedOrForeignDatabaseIsRebuiltKeepingReadableMarks) {
    Home home;
    std::string path = store::Store::pathFor(home.dir.path());
    home.dir.write("kelvor.db", std::string(8192, 'x'));
    {
        store::Store db(home.dir.path());
        EXPECT_EQ(db.outcome(), store::OpenOutcome::Rebuilt);
        store::updateIndex(db);
        EXPECT_EQ(find(db, "compiler"), Titles{"Compiler Explorer"});
        db.db().exec("INSERT INTO readmarks VALUES ('c', 'e', 1, 5); PRAGMA user_version=99");
    }
    EXPECT_EQ(home.dir.read("kelvor.db.broken"), std::string(8192, 'x'));

    store::Store db(home.dir.path()); // a version this program does not know
    EXPECT_EQ(db.outcome(), store::OpenOutcome::Replaced);
    store::Statement marks(db.db(), "SELECT channel, entry, read FROM readmarks");
    ASSERT_TRUE(marks.step());
    EXPECT_EQ(marks.text(0) + marks.text(1), "ce");
    store::updateIndex(db);
    EXPECT_EQ(find(db, "天气"), Titles{"天气预报"});
}

std::string indexText(const std::string& html) {
    return kelvor::platform::htmlToText(html, kelvor::platform::HtmlTextFor::Index);
}

TEST(HtmlText, KeepsTheWordsAReaderSees) {
    EXPECT_EQ(indexText("<p>a&lt;b&gt;&amp;c</p>\n\n<br/>d&#x4E2D;&#25991;&nbsp;e"),
              "a<b>&c d中文 e");
    EXPECT_EQ(indexText("x<style>p{}</style>y<SCRIPT>z()</SCRIPT>w"), "x y w");
    EXPECT_EQ(indexText("AT&T &bogus; 1 < 2"), "AT&T &bogus; 1");
}

TEST(ReadMarks, SurviveRefreshAndClearedCacheAndAgeOutOnlyWhenGone) {
    Home home;
    store::Store db(home.dir.path());
    store::updateIndex(db);
    const std::string channel = "http://127.0.0.1:9/feed";
    EXPECT_EQ(store::unreadCount(db, channel), 2);
    store::setRead(db, channel, "http://n.test/1", true, 1000);
    EXPECT_TRUE(store::isRead(db, channel, "http://n.test/1"));
    EXPECT_EQ(store::unreadCount(db, channel), 1);

    // The cache is cleared, then the channel downloaded again with a new entry.
    fs::remove(home.dir.file("rss/新闻.xml"));
    store::updateIndex(db);
    std::string refreshed = kChannel;
    refreshed.insert(refreshed.find("<TreeNode"),
                     "<TreeNode Title=\"Third\" Href=\"http://n.test/3\"/>");
    home.dir.write("rss/新闻.xml", refreshed);
    store::indexFile(db, home.dir.file("rss/新闻.xml"));
    EXPECT_EQ(store::unreadCount(db, channel), 2); // Third and Second
    store::markChannelRead(db, channel, 1000);
    EXPECT_EQ(store::unreadCount(db, channel), 0);
    store::setRead(db, channel, store::entryKeyOf("Second", "", ""), false, 1000);
    EXPECT_EQ(store::unreadCount(db, channel), 1); // no link: title and date are its key

    store::setRead(db, channel, "http://gone.test/", true, 1000);
    time_t later = 1000 + 91 * 24 * 3600;
    EXPECT_EQ(store::forgetOldMarks(db, later), 1);
    EXPECT_TRUE(store::isRead(db, channel, "http://n.test/1"));
    EXPECT_FALSE(store::isRead(db, channel, "http://gone.test/"));

    // With its cache cleared a channel tells nothing of what left it.
    fs::remove(home.dir.file("rss/新闻.xml"));
    store::updateIndex(db);
    EXPECT_EQ(store::forgetOldMarks(db, later), 0);
    EXPECT_TRUE(store::isRead(db, channel, "http://n.test/1"));
}

// "All read" means everything up to now: entries that come later but are
// dated before the mark are read, in channels never downloaded as well; an
// entry marked unread by hand stays so.
TEST(ReadMarks, MarkAllReadCatchesChannelsUpToNowDownloadedOrNot) {
    Home home;
    home.dir.write("fav/later.xml",
                   R"(<?xml version="1.0" encoding="utf-8"?><Tree Type="fav" Title="以后">)"
                   R"(<TreeNode Title="以后" Rss="http://127.0.0.1:9/later"/></Tree>)");
    store::Store db(home.dir.path());
    store::updateIndex(db);
    const std::time_t now = 1767225600; // 2026-01-01
    store::markAllReadUnder(db, home.dir.file("fav/later.xml"), "", now);
    store::markAllReadUnder(db, home.dir.file("index.xml"), "", now);
    const std::string channel = "http://127.0.0.1:9/feed";
    store::setRead(db, channel, store::entryKeyOf("Second", "", ""), false, now);

    auto entry = [](const std::string& title, const std::string& date) {
        return "<TreeNode Title=\"" + title + "\" Href=\"http://n.test/" + title + "\" Date=\"" +
               date + "\"/>";
    };
    std::string later = std::string(R"(<Tree Type="rss" BaseURL="http://127.0.0.1:9/later">)") +
                        entry("old", "Sat, 01 Jul 2023 08:00:00 GMT") +
                        entry("new", "2026-02-01T08:00:00Z") + entry("undated", "") + "</Tree>";
    home.dir.write("rss/以后.xml", later);
    store::indexFile(db, home.dir.file("rss/以后.xml"));
    EXPECT_EQ(store::unreadCount(db, "http://127.0.0.1:9/later"), 2) << "new and undated";
    EXPECT_TRUE(store::isRead(db, "http://127.0.0.1:9/later", "http://n.test/old"));

    std::string refreshed = kChannel;
    refreshed.insert(refreshed.find("<TreeNode"), entry("late", "2025-12-31T23:00:00Z"));
    home.dir.write("rss/新闻.xml", refreshed);
    store::indexFile(db, home.dir.file("rss/新闻.xml"));
    EXPECT_TRUE(store::isRead(db, channel, "http://n.test/late")) << "dated before the mark";
    EXPECT_EQ(store::unreadCount(db, channel), 1) << "Second, marked unread by hand";
}

// Entries added behind the rows a download kept are caught up as those
// added before them; a store whose older version made each row mark itself
// (a trigger) loses that as it opens.
TEST(ReadMarks, EntriesAddedBehindKeptRowsAreCaughtUpInAStoreOfAnOlderVersion) {
    Home home;
    const std::string channel = "http://127.0.0.1:9/feed";
    {
        store::Store db(home.dir.path());
        store::updateIndex(db);
        db.db().exec(R"(CREATE TRIGGER items_caught_up AFTER INSERT ON items
WHEN new.seconds > 0 BEGIN
  INSERT OR IGNORE INTO readmarks SELECT files.channel, new.entry, 1, caughtup.until
  FROM files JOIN caughtup ON caughtup.channel = files.channel
  WHERE files.id = new.file AND files.channel <> '' AND new.seconds <= caughtup.until;
END;)");
        store::markChannelRead(db, channel, 1767225600); // 2026-01-01
    }
    store::Store db(home.dir.path());
    EXPECT_FALSE(
        store::Statement(db.db(), "SELECT 1 FROM sqlite_master WHERE name = 'items_caught_up'")
            .step());
    store::setRead(db, channel, "http://n.test/1", false, 1767225700);
    std::string added = kChannel;
    added.insert(added.find("</Tree>"),
                 R"(<TreeNode Title="Before" Href="http://n.test/b" Date="2025-12-30T08:00:00Z"/>)"
                 R"(<TreeNode Title="After" Href="http://n.test/a" Date="2026-01-02T08:00:00Z"/>)"
                 R"(<TreeNode Title="Undated" Href="http://n.test/u"/>)");
    rewrite(home.dir.file("rss/新闻.xml"), added);
    EXPECT_EQ(store::updateIndex(db).indexed, 1);
    EXPECT_TRUE(store::isRead(db, channel, "http://n.test/b")) << "dated before the mark";
    EXPECT_FALSE(store::isRead(db, channel, "http://n.test/a"));
    EXPECT_FALSE(store::isRead(db, channel, "http://n.test/u"));
    EXPECT_FALSE(store::isRead(db, channel, "http://n.test/1")) << "kept, marked by hand";
    EXPECT_EQ(store::unreadCount(db, channel), 3);
}

// The rows of a copy take their channel from the copy: one that names
// another feed counts its entries under that one alone.
TEST(ReadMarks, ACopyThatNamesAnotherFeedCountsUnderIt) {
    Home home;
    store::Store db(home.dir.path());
    store::updateIndex(db);
    const std::string before = "http://127.0.0.1:9/feed", after = "http://127.0.0.1:9/moved";
    store::setRead(db, after, "http://n.test/1", true, 1000);
    std::string moved = kChannel;
    moved.replace(moved.find(before), before.size(), after);
    rewrite(home.dir.file("rss/新闻.xml"), moved);
    store::indexFile(db, home.dir.file("rss/新闻.xml"));
    EXPECT_EQ(store::unreadCount(db, before), 0);
    EXPECT_EQ(store::unreadCount(db, after), 1);
    EXPECT_EQ(store::totalUnread(db), 1);
    std::vector<store::Hit> hits = store::search(db, "今日要闻", 0, 10).hits;
    ASSERT_FALSE(hits.empty());
    EXPECT_EQ(hits[0].channel, after);
    EXPECT_EQ(hits[0].link, "http://n.test/1");
    EXPECT_FALSE(hits[0].history);
}

TEST(Store, OpenersAtOnceShareOneNewDatabase) {
    // The window's indexer thread and its first query open a new home's
    // database together; neither may replace what the other made.
    for (int round = 0; round < 5; ++round) {
        TempDir home;
        std::vector<std::thread> openers;
        for (int i = 0; i < 6; ++i)
            openers.emplace_back([&home, i] {
                store::Store db(home.path());
                store::setRead(db, "ch", "entry" + std::to_string(i), true);
            });
        for (std::thread& opener : openers)
            opener.join();
        store::Store db(home.path());
        for (int i = 0; i < 6; ++i)
            EXPECT_TRUE(store::isRead(db, "ch", "entry" + std::to_string(i))) << round << " " << i;
        EXPECT_FALSE(std::filesystem::exists(home.file("kelvor.db.broken")));
    }
}
