// What a search gives back: the best hits first, every hit counted and
// reachable page by page, only what the tree still shows, and a failure
// that says it failed.
#include "platform/HomeFolder.h"
#include "store/CharacterPairs.h"
#include "store/EntryDate.h"
#include "store/History.h"
#include "store/Indexer.h"
#include "store/QuickTokenizer.h"
#include "store/Search.h"
#include "store/Store.h"
#include "store/StoreProblem.h"
#include "support/HomeGuard.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

using kelvor::test::TempDir;
namespace store = kelvor::store;
namespace fs = std::filesystem;

namespace {

struct Entry {
    std::string title, body, date;
};

std::string channelFile(const std::string& feed, const std::vector<Entry>& entries) {
    std::string tree = "<Tree Type=\"rss\" Title=\"频道\" BaseURL=\"" + feed + "\">";
    for (size_t i = 0; i < entries.size(); ++i)
        tree += "<TreeNode Title=\"" + entries[i].title + "\" Href=\"" + feed + std::to_string(i) +
                "\" Date=\"" + entries[i].date + "\"><Desc>" + entries[i].body +
                "</Desc></TreeNode>";
    return tree + "</Tree>";
}

std::string channelNode(const std::string& title, const std::string& feed) {
    return "<TreeNode Title=\"" + title + "\" Rss=\"" + feed + "\"/>";
}

std::vector<std::string> titlesOf(const std::vector<store::Hit>& hits) {
    std::vector<std::string> found;
    for (const store::Hit& hit : hits)
        found.push_back(hit.title);
    return found;
}

// A home whose index.xml holds `nodes`; the tree finds copies from it.
struct Home {
    TempDir dir;
    kelvor::test::HomeGuard homeGuard_;
    explicit Home(const std::string& nodes) {
        dir.write("index.xml", "<Tree>" + nodes + "</Tree>");
        homeGuard_.setHome(dir.path());
    }
    // The second search of an index ranks from what it keeps in memory:
    // both must agree.
    std::vector<store::Hit> find(const std::string& query) {
        store::Store db(dir.path());
        store::updateIndex(db);
        std::vector<store::Hit> first = store::search(db, query, 0, 1000).hits;
        std::vector<store::Hit> again = store::search(db, query, 0, 1000).hits;
        EXPECT_EQ(titlesOf(first), titlesOf(again)) << query;
        return again;
    }
};

std::vector<std::string> titles(const std::vector<store::Hit>& hits) {
    return titlesOf(hits);
}

} // namespace

TEST(SearchRanking, TheTitleThatIsTheQueryComesFirstThenRelevanceThenTheNewest) {
    std::vector<Entry> entries;
    for (int i = 0; i < 300; ++i)
        entries.push_back({"entry " + std::to_string(i), "a long text where a quasar is seen", ""});
    entries.insert(entries.begin() + 150, {"Quasar", "nothing more", ""});
    entries.insert(entries.begin() + 100, {"The quasar survey", "of the sky", ""});
    // Equal but for their dates, in RSS and Atom spelling; the newer is listed first.
    entries.push_back({"old note", "quasar", "Mon, 02 Jun 2025 10:00:00 +0800"});
    entries.push_back({"new note", "quasar", "2025-06-02T03:00:00Z"});
    entries.push_back({"mid note", "quasar", "2025-06-02T02:30:00Z"});
    Home home(channelNode("新闻", "http://127.0.0.1:9/feed"));
    home.dir.write("rss/新闻.xml", channelFile("http://127.0.0.1:9/feed", entries));

    std::vector<std::string> found = titles(home.find("QUASAR"));
    ASSERT_EQ(found.size(), 305u);
    EXPECT_EQ(found[0], "Quasar");
    EXPECT_EQ(found[1], "The quasar survey");
    // Short texts holding the word weigh more than long ones.
    EXPECT_EQ((std::vector<std::string>(found.begin() + 2, found.begin() + 5)),
              (std::vector<std::string>{"new note", "mid note", "old note"}));

    // A word in the title counts more than the same word in the text.
    Home other(channelNode("新闻", "http://127.0.0.1:9/feed"));
    other.dir.write("rss/新闻.xml", channelFile("http://127.0.0.1:9/feed",
                                                {{"plain", "deep sky field guide", ""},
                                                 {"field notes", "deep sky guide", ""}}));
    EXPECT_EQ(titles(other.find("deep field")), (std::vector<std::string>{"field notes", "plain"}));

    // A word found inside longer ones weighs as each of them does.
    Home third(channelNode("新闻", "http://127.0.0.1:9/feed"));
    third.dir.write("rss/新闻.xml",
                    channelFile("http://127.0.0.1:9/feed",
                                {{"one", "aaaaa comets", ""}, {"two comet", "aaaaa dust", ""}}));
    EXPECT_EQ(titles(third.find("omet")), (std::vector<std::string>{"two comet", "one"}));

    // The title that is the query comes first however long its text. The
    // index folds KELVIN SIGN into "k": that title holds the token, not the query.
    Home fourth(channelNode("新闻", "http://127.0.0.1:9/feed"));
    fourth.dir.write("rss/新闻.xml", channelFile("http://127.0.0.1:9/feed",
                                                 {{"other", "kelvin", ""},
                                                  {"\xE2\x84\xAA"
                                                   "elvin scale",
                                                   "x", ""},
                                                  {"about kelvin units", "x", ""},
                                                  {"Kelvin", std::string(200, 'x'), ""}}));
    EXPECT_EQ(titles(fourth.find("kelvin")),
              (std::vector<std::string>{"Kelvin", "about kelvin units",
                                        "\xE2\x84\xAA"
                                        "elvin scale",
                                        "other"}));
}

TEST(SearchRanking, EveryHitIsCountedAndReachedPageByPage) {
    std::vector<Entry> entries;
    for (int i = 0; i < 301; ++i)
        entries.push_back({"item " + std::to_string(i), "pulsar", ""});
    Home home(channelNode("新闻", "http://127.0.0.1:9/feed"));
    home.dir.write("rss/新闻.xml", channelFile("http://127.0.0.1:9/feed", entries));
    store::Store db(home.dir.path());
    store::updateIndex(db);

    std::set<std::string> seen;
    for (int64_t offset = 0; offset < 400; offset += store::kSearchPage) {
        store::SearchResult page = store::search(db, "pulsar", offset);
        EXPECT_EQ(page.total, 301);
        EXPECT_EQ(page.hits.size(),
                  size_t(std::min<int64_t>(100, std::max<int64_t>(0, 301 - offset))));
        for (const store::Hit& hit : page.hits)
            EXPECT_TRUE(seen.insert(hit.title).second) << hit.title << " on two pages";
    }
    EXPECT_EQ(seen.size(), 301u);
    EXPECT_EQ(store::search(db, "pu", 300, 10).total, 301); // the short-word path counts too
    EXPECT_EQ(store::search(db, "nowhere", 0, 10).total, 0);
}

TEST(SearchRanking, OnlyCopiesTheTreeStillReachesAreFoundEachEntryOnce) {
    const std::string feed = "http://127.0.0.1:9/feed", other = "http://127.0.0.1:9/other";
    // One channel under two categories by two titles: two copies of it.
    const std::string news = channelNode("新闻", feed);
    Home home(news + "<TreeNode Title=\"分类\" NodeSrc=\"/fav/cat.xml\"/>");
    home.dir.write("fav/cat.xml", "<Tree Type=\"fav\">" + channelNode("要闻", feed) +
                                      channelNode("别的", other) + channelNode("旧名", other) +
                                      "</Tree>");
    home.dir.write("rss/新闻.xml", channelFile(feed, {{"harbour", "", ""}}));
    home.dir.write("rss/要闻.xml", channelFile(feed, {{"harbour", "", ""}}));
    home.dir.write("rss/别的.xml", channelFile(other, {{"lighthouse", "", ""}}));
    home.dir.write("rss/旧名.xml", channelFile(other, {{"older", "", ""}, {"lighthouse", "", ""}}));
    home.dir.write("rss/orphan.xml", channelFile("http://127.0.0.1:9/x", {{"harbour", "", ""}}));
    {
        store::Store db(home.dir.path());
        store::setHistoryOptions(db, {0, 0}); // the copies alone: StoreHistoryTest keeps history
    }
    EXPECT_EQ(home.find("harbour").size(), 1u);
    EXPECT_EQ(home.find("lighthouse").size(), 2u);

    // 旧名 is renamed away (its copy stays on the disk), then the category
    // is deleted (its file stays too).
    auto later = fs::last_write_time(home.dir.file("index.xml")) + std::chrono::seconds(5);
    home.dir.write("fav/cat.xml", "<Tree Type=\"fav\">" + channelNode("别的", other) + "</Tree>");
    fs::last_write_time(home.dir.file("fav/cat.xml"), later);
    std::vector<store::Hit> hits = home.find("lighthouse");
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0].file, home.dir.file("rss/别的.xml"));

    home.dir.write("index.xml", "<Tree>" + news + "</Tree>");
    fs::last_write_time(home.dir.file("index.xml"), later);
    EXPECT_EQ(home.find("lighthouse").size(), 0u);
    hits = home.find("harbour");
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0].file, home.dir.file("rss/新闻.xml"));
}

TEST(SearchRanking, ShortWordsAreFoundThroughCharacterPairsThatFollowTheRows) {
    const std::string feed = "http://127.0.0.1:9/feed";
    Home home(channelNode("新闻", feed));
    home.dir.write("rss/新闻.xml", channelFile(feed, {{"长江大桥", "A股市场", ""},
                                                      {"小桥流水", "A 股票 go", ""},
                                                      {"江南", "Google 桥。通", ""}}));
    store::Store db(home.dir.path());
    store::setHistoryOptions(db, {0, 0}); // the copies alone: StoreHistoryTest keeps history
    store::updateIndex(db);
    auto total = [&](const std::string& query) { return store::search(db, query, 0, 0).total; };
    auto found = [&](const std::string& query) {
        return titles(store::search(db, query, 0, 10).hits);
    };
    using Titles = std::vector<std::string>;
    EXPECT_EQ(store::characterPairs("长江大桥 go"), " 长江 江大 大桥 桥  go");
    EXPECT_EQ(store::characterPairs("A股。x桥"), "A 股 。x 桥");
    // One character anywhere in a run: first, inside, last, before punctuation.
    EXPECT_EQ(total("桥"), 3);
    EXPECT_EQ(total("江"), 2);
    EXPECT_EQ(total("桥通"), 0);                 // punctuation parts the two
    EXPECT_EQ(found("A股"), Titles{"长江大桥"}); // "A 股" holds both parts, not the word
    EXPECT_EQ(total("go"), 2);                   // Latin words starting with it
    EXPECT_EQ(found("大桥 江"), Titles{"长江大桥"});
    EXPECT_EQ(found("长江大 桥"), Titles{"长江大桥"}); // trigrams and pairs together
    // Signs the words of the index leave out are looked for in the text.
    home.dir.write("notes.xml",
                   "<Tree><TreeNode Title=\"C# 入门\"/><TreeNode Title=\"C语言\"/>"
                   "<TreeNode Title=\"C++ 手册\"/><TreeNode Title=\"カレー・ライス\"/></Tree>");
    home.dir.write("index.xml", "<Tree>" + channelNode("新闻", feed) +
                                    "<TreeNode Title=\"笔记\" NodeSrc=\"/notes.xml\"/></Tree>");
    store::updateIndex(db);
    EXPECT_EQ(found("c#"), Titles{"C# 入门"});
    EXPECT_EQ(found("++"), Titles{"C++ 手册"});
    EXPECT_EQ(found("・"), Titles{"カレー・ライス"});
    EXPECT_EQ(total("c"), 3);

    // Every row is written again under the same ids: what they held must be gone.
    fs::path copy = home.dir.file("rss/新闻.xml");
    auto time = fs::last_write_time(copy);
    home.dir.write("rss/新闻.xml", channelFile(feed, {{"海港", "", ""}, {"灯塔", "", ""}}));
    fs::last_write_time(copy, time + std::chrono::seconds(2));
    store::updateIndex(db);
    EXPECT_EQ(total("桥"), 0);
    EXPECT_EQ(total("go"), 0);
    EXPECT_EQ(found("灯塔"), Titles{"灯塔"});
    EXPECT_EQ(found("港"), Titles{"海港"});
}

TEST(SearchRanking, ShortWordsPutTheTitlesHoldingThemFirstToo) {
    const std::string feed = "http://127.0.0.1:9/feed";
    Home home(channelNode("新闻", feed));
    home.dir.write(
        "rss/新闻.xml",
        channelFile(feed, {{"其他", "大桥", "2025-06-03T00:00:00Z"},
                           {"新闻 大桥 通车", "", "2025-06-01T00:00:00Z"},
                           {"桥梁", "长江大桥", "2025-06-04T00:00:00Z"},
                           {"大桥", std::string(300, 'x'), "2025-05-01T00:00:00Z"},
                           {"newer", "going", "2025-06-05T00:00:00Z"},
                           {"ago", "going", "2025-06-02T00:00:00Z"},
                           {"x", "conductor", "2025-06-06T00:00:00Z"},
                           {"the longer hyperconductor title", "", "2025-05-01T00:00:00Z"}}));
    // Short words rank as long ones do: the title that is the query first,
    // however long its text, then the shorter text.
    EXPECT_EQ(titles(home.find("大桥")),
              (std::vector<std::string>{"大桥", "新闻 大桥 通车", "其他", "桥梁"}));
    // No word of the title starts with "go", yet the title holds it.
    EXPECT_EQ(titles(home.find("go")), (std::vector<std::string>{"ago", "newer"}));
    // Nor does any start with "conduct"; a longer word holds it.
    EXPECT_EQ(titles(home.find("conduct")),
              (std::vector<std::string>{"the longer hyperconductor title", "x"}));
}

TEST(SearchRanking, LatinWordsAreFoundInsideLongerWordsAndLeaveWithTheirRows) {
    const std::string feed = "http://127.0.0.1:9/feed";
    Home home(channelNode("新闻", feed));
    home.dir.write("rss/新闻.xml",
                   channelFile(feed, {{"Superconductivity notes", "", ""},
                                      {"plain", "the HYPERSPACE drive", ""},
                                      {"dash", "a well-known quasar-like glow", ""},
                                      {"long", "antidisestablishmentarianism forever", ""},
                                      {"milk", "Café au lait", ""}}));
    store::Store db(home.dir.path());
    store::setHistoryOptions(db, {0, 0}); // the copies alone: StoreHistoryTest keeps history
    store::updateIndex(db);
    auto found = [&](const std::string& query) {
        return titles(store::search(db, query, 0, 10).hits);
    };
    using Titles = std::vector<std::string>;
    EXPECT_EQ(found("CONDUCT"), Titles{"Superconductivity notes"});
    EXPECT_EQ(found("erspac drive"), Titles{"plain"});
    EXPECT_EQ(found("known"), Titles{"dash"});
    EXPECT_EQ(found("well-known glow"), Titles{"dash"});  // trigrams for both words
    EXPECT_EQ(found("establishmentari"), Titles{"long"}); // a tail cut to its longest
    EXPECT_EQ(found("disestablishmentarian"), Titles{"long"});
    EXPECT_EQ(found("caf"), Titles{"milk"});
    EXPECT_EQ(found("cafe"), Titles{}); // as with trigrams: é is no e
    EXPECT_EQ(found("notes  "), Titles{"Superconductivity notes"});

    // Rewritten rows take their tails and their lengths with them.
    fs::path copy = home.dir.file("rss/新闻.xml");
    auto time = fs::last_write_time(copy);
    home.dir.write("rss/新闻.xml", channelFile(feed, {{"plain", "the hyperspace drive", ""}}));
    fs::last_write_time(copy, time + std::chrono::seconds(2));
    store::updateIndex(db);
    EXPECT_EQ(found("conduct"), Titles{});
    EXPECT_EQ(found("hyperspace"), Titles{"plain"});
    store::Statement totals(db.db(), "SELECT items = (SELECT count(*) FROM item_keys), "
                                     "tokens = (SELECT sum(tokens) FROM item_keys) "
                                     "FROM item_totals");
    ASSERT_TRUE(totals.step());
    EXPECT_EQ(totals.integer(0), 1);
    EXPECT_EQ(totals.integer(1), 1);
}

TEST(SearchRanking, AFailedSearchThrowsAndSaysSoInChinese) {
    Home home(channelNode("新闻", "http://127.0.0.1:9/feed"));
    store::Store db(home.dir.path());
    store::updateIndex(db);
    db.db().exec("DROP TRIGGER items_removed; DROP TABLE items_terms");
    try {
        store::search(db, "harbour");
        ADD_FAILURE() << "a search without its index found nothing instead of failing";
    } catch (const store::StoreError& error) {
        EXPECT_EQ(store::searchProblemText(error).rfind("搜索失败：", 0), 0u);
    }
}

TEST(EntryDate, FeedDatesOrderAsTheTimesTheySay) {
    EXPECT_EQ(store::entrySeconds("Mon, 02 Jun 2025 10:00:00 +0800"), 1748829600);
    EXPECT_EQ(store::entrySeconds("2025-06-02T02:00:00Z"), 1748829600);
    EXPECT_EQ(store::entrySeconds("2025-06-02T10:00:00.123+08:00"), 1748829600);
    EXPECT_EQ(store::entrySeconds("02 Jun 2025 02:00 GMT"), 1748829600);
    EXPECT_EQ(store::entrySeconds("2025-06-02"), 1748822400);
    EXPECT_EQ(store::entrySeconds("yesterday"), 0);
    EXPECT_EQ(store::entrySeconds(""), 0);
}

// What ranking keeps between searches must follow the index: an entry
// indexed since, by this connection or another, is ranked by its own date
// (with nothing kept for it, it would fall behind older ones).
TEST(SearchRanking, ASecondSearchRanksWhatWasIndexedSinceByItsOwnDate) {
    auto dated = [](const std::string& title, int hour) {
        return Entry{title, "quasar", "2025-06-02T0" + std::to_string(hour) + ":00:00Z"};
    };
    Home home(channelNode("新闻", "http://127.0.0.1:9/feed"));
    home.dir.write("rss/新闻.xml", channelFile("http://127.0.0.1:9/feed", {dated("six", 6)}));
    store::Store reader(home.dir.path());
    store::updateIndex(reader);
    // The second search of the same index ranks from memory.
    auto searchTwice = [&] {
        auto first = titles(store::search(reader, "quasar", 0, 10).hits);
        auto again = titles(store::search(reader, "quasar", 0, 10).hits);
        EXPECT_EQ(first, again);
        return again;
    };
    EXPECT_EQ(searchTwice(), std::vector<std::string>({"six"}));

    auto rewrite = [&](const std::vector<Entry>& entries, store::Store& writer) {
        home.dir.write("rss/新闻.xml", channelFile("http://127.0.0.1:9/feed", entries));
        store::updateIndex(writer);
        return searchTwice();
    };
    EXPECT_EQ(rewrite({dated("six", 6), dated("two", 2)}, reader),
              std::vector<std::string>({"six", "two"}));
    store::Store other(home.dir.path());
    EXPECT_EQ(rewrite({dated("six", 6), dated("two", 2), dated("one", 1)}, other),
              std::vector<std::string>({"six", "two", "one"}));
}

TEST(SearchRanking, TheSnippetShowsTheFirstMatchInAnyCase) {
    std::string filler;
    for (int i = 0; i < 60; ++i)
        filler += "word ";
    Home home(channelNode("新闻", "http://127.0.0.1:9/feed"));
    home.dir.write(
        "rss/新闻.xml",
        channelFile("http://127.0.0.1:9/feed",
                    {{"note", filler + "QuASAR first " + filler + "quasar second", ""}}));
    std::vector<store::Hit> hits = home.find("Quasar");
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0].snippet.rfind("…", 0), 0u) << hits[0].snippet;
    EXPECT_NE(hits[0].snippet.find("QuASAR first"), std::string::npos) << hits[0].snippet;
    EXPECT_EQ(hits[0].snippet.find("second"), std::string::npos) << hits[0].snippet;
}

std::string utf8Of(char32_t c) {
    std::string bytes;
    if (c < 0x800) {
        bytes += char(0xC0 | (c >> 6));
    } else if (c < 0x10000) {
        bytes += char(0xE0 | (c >> 12));
        bytes += char(0x80 | ((c >> 6) & 0x3F));
    } else {
        bytes += char(0xF0 | (c >> 18));
        bytes += char(0x80 | ((c >> 12) & 0x3F));
        bytes += char(0x80 | ((c >> 6) & 0x3F));
    }
    return bytes + char(0x80 | (c & 0x3F));
}

// The search reads no title that the index says holds a word of ASCII
// letters and digits unless the title has a character that the index folds
// into ASCII (see RankKeys::Key): these must be all there are.
TEST(SearchRanking, OnlyKelvinSignAndLongSFoldIntoAscii) {
    store::QuickTokenizer& tokenizer = store::tokenizerOffConnection(); // the indexer's own
    ASSERT_TRUE(tokenizer.ready());
    std::set<char32_t> ascii;
    for (char32_t c = 0x80; c <= 0x10FFFF; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF)
            continue;
        tokenizer.tokenize(utf8Of(c), [&](std::string_view token) {
            if (std::any_of(token.begin(), token.end(), [](char b) { return (b & 0x80) == 0; }))
                ascii.insert(c);
        });
    }
    EXPECT_EQ(ascii, (std::set<char32_t>{0x17F, 0x212A}));
}
