// The unread total the window title shows: every channel with a copy, the
// same count as each channel's own, whatever made an entry read.
#include "store/Indexer.h"
#include "store/ReadMarks.h"
#include "store/Store.h"
#include "support/HomeGuard.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using kelvor::test::TempDir;
namespace store = kelvor::store;

namespace {

std::string entry(const std::string& title, const std::string& date = "") {
    return "<TreeNode Title=\"" + title + "\" Href=\"http://n.test/" + title + "\"" +
           (date.empty() ? "" : " Date=\"" + date + "\"") + "/>";
}

std::string channelFile(const std::string& baseUrl, const std::string& entries) {
    return R"(<?xml version="1.0" encoding="utf-8"?><Tree Type="rss" BaseURL=")" + baseUrl + "\">" +
           entries + "</Tree>";
}

} // namespace

TEST(UnreadTotal, AddsUpEveryChannelAsItsOwnCountDoes) {
    TempDir dir;
    kelvor::test::HomeGuard home(dir.path());
    const std::string news = "http://127.0.0.1:9/news", sport = "http://127.0.0.1:9/sport";
    const std::time_t caughtUp = 1767225600; // 2026-01-01

    store::Store db(dir.path());
    // The user's own links are no channel's entries.
    store::indexFile(db, dir.write("fav/mine.xml", R"(<Tree Type="fav">)" + entry("链接一") +
                                                       entry("链接二") + "</Tree>"));
    store::indexFile(
        db, dir.write("rss/新闻.xml", channelFile(news, entry("一") + entry("二") + entry("三"))));
    // A second copy of the same channel, sharing one entry: counted once.
    store::indexFile(db, dir.write("url/新闻.xml", channelFile(news, entry("三") + entry("四"))));
    store::indexFile(db, dir.write("rss/体育.xml", channelFile(sport, entry("甲") + entry("乙"))));
    EXPECT_EQ(store::totalUnread(db), 6);

    store::setRead(db, news, "http://n.test/一", true);
    store::setRead(db, news, "http://n.test/二", true);
    store::setRead(db, news, "http://n.test/二", false); // read, then unread by hand
    store::setRead(db, sport, "http://n.test/一", true); // another channel's key
    EXPECT_EQ(store::totalUnread(db), 5);

    // Caught up: what the channel has now, and what comes later dated before.
    store::markChannelRead(db, sport, caughtUp);
    store::indexFile(
        db, dir.write("rss/体育.xml", channelFile(sport, entry("丙", "2025-12-31T23:00:00Z") +
                                                             entry("丁", "2026-02-01T08:00:00Z") +
                                                             entry("戊") + entry("甲"))));
    EXPECT_EQ(store::unreadCount(db, sport), 2) << "dated after the mark, and undated";
    EXPECT_EQ(store::totalUnread(db), store::unreadCount(db, news) + store::unreadCount(db, sport));
    EXPECT_EQ(store::totalUnread(db), 5);

    // A copy removed takes its entries out: 四 goes, 三 is in the other one.
    std::filesystem::remove(dir.file("url/新闻.xml"));
    store::indexFile(db, dir.file("url/新闻.xml"));
    EXPECT_EQ(store::totalUnread(db), 4);
}
