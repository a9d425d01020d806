// Feed dates as feeds write them, read into one moment and shown one way in
// local time, on the lists and on the pages of a channel and a hot category.
#include "store/EntryDate.h"
#include "platform/HomeFolder.h"
#include "store/ChannelMarks.h"
#include "store/Indexer.h"
#include "store/Store.h"
#include "support/HomeGuard.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>

namespace store = kelvor::store;
using kelvor::test::TempDir;

namespace {

// The machine's zone for one test, the old one back afterwards.
class LocalZone {
  public:
    explicit LocalZone(const char* zone) {
        if (const char* old = std::getenv("TZ"))
            old_ = old;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~LocalZone() {
        if (old_)
            setenv("TZ", old_->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

  private:
    std::optional<std::string> old_;
};

} // namespace

TEST(EntryDate, EveryCommonWayOfWritingAMomentReadsAsThatMoment) {
    const int64_t moment = 1709618400; // 2024-03-05 06:00 UTC
    for (const char* date :
         {"Tue, 05 Mar 2024 14:00:00 +0800", "Tue, 05 Mar 2024 14:00 +0800",
          "05 Mar 2024 06:00:00 GMT", "Tue 05 Mar 2024 06:00:00 UTC", "5 March 2024 06:00 Z",
          "Tue, 05 Mar 24 14:00:00 +08:00", "Tue, 05 Mar 2024 14:00:00 +08",
          "Tue, 05 Mar 2024 01:00:00 EST", "Mon, 04 Mar 2024 22:00:00 pst",
          "Mon, 04 Mar 2024 23:00:00 PDT", "Tue, 05 Mar 2024 11:30:00 +0530",
          "  2024-03-05T06:00:00Z ", "2024-03-05T14:00:00.123456+08:00", "2024-03-05T14:00+0800",
          "2024-03-05 06:00:00Z", "2024-03-05T00:00:00-06:00"})
        EXPECT_EQ(store::entrySeconds(date), moment) << date;
    EXPECT_EQ(store::entrySeconds("2024-01-01"), 1704067200) << "a bare day: its midnight UTC";
    EXPECT_EQ(store::entrySeconds("Mon, 01 Jan 2024"), 1704067200);
    for (const char* date : {"2024-02-30T10:00:00Z", "Tue, 05 Mar 2024 25:00:00 GMT",
                             "05 Foo 2024 10:00", "yesterday", "", "2024"})
        EXPECT_EQ(store::entrySeconds(date), 0) << date;
}

TEST(EntryDate, ShownInLocalTimeOrAsItStands) {
    {
        LocalZone shanghai("Asia/Shanghai");
        EXPECT_EQ(store::shownDate("Tue, 05 Mar 2024 14:00:00 +0800"), "2024年3月5日 14:00");
        EXPECT_EQ(store::shownDate("2024-03-01T08:00:00Z"), "2024年3月1日 16:00");
        EXPECT_EQ(store::shownDate("Tue, 31 Dec 2024 20:05:59 GMT"), "2025年1月1日 04:05");
        EXPECT_EQ(store::shownDate("2024-03-05"), "2024年3月5日") << "no time, no zone to apply";
        EXPECT_EQ(store::shownDate("Mon, 01 Jan 2024"), "2024年1月1日");
        EXPECT_EQ(store::shownDate("  上周二 \n"), "上周二");
        EXPECT_EQ(store::shownDate(""), "");
    }
    LocalZone newYork("America/New_York");
    EXPECT_EQ(store::shownDate("2024-03-01T08:00:00Z"), "2024年3月1日 03:00");
    EXPECT_EQ(store::shownDate("2024-07-01T08:00:00Z"), "2024年7月1日 04:00") << "summer time";
}

TEST(EntryDate, ChannelAndHotPagesCarryTheShownDates) {
    LocalZone shanghai("Asia/Shanghai");
    TempDir home;
    kelvor::test::HomeGuard homeGuard(home.path());
    const std::string feed = "http://127.0.0.1:9/feed";
    home.write("rss/新闻.xml",
               "<Tree Type=\"rss\" Title=\"新闻\" BaseURL=\"" + feed +
                   "\"><TreeNode Title=\"一\" Href=\"http://n.test/1\" "
                   "Date=\"Tue, 05 Mar 2024 06:00:00 GMT\"/>"
                   "<TreeNode Title=\"二\" Href=\"http://n.test/2\"/>"
                   "<TreeNode Title=\"三\" Href=\"http://n.test/3\" Date=\"不详\"/></Tree>");
    home.write("fav/hot.xml", "<Tree Type=\"hot\"><TreeNode Title=\"新闻\" Rss=\"" + feed +
                                  "\"><Desc Title=\"一\" Href=\"http://n.test/1\" "
                                  "Date=\"2024-03-05T06:00:00Z\"/></TreeNode>"
                                  "<TreeNode Title=\"未下载\" Rss=\"http://127.0.0.1:9/none\">"
                                  "<Desc Title=\"旧\" Date=\"2024-03-01\"/></TreeNode></Tree>");
    store::Store db(home.path());
    ASSERT_TRUE(store::indexFile(db, home.file("rss/新闻.xml")));

    store::PageMarks channel = store::pageMarksOf(db, home.file("rss/新闻.xml"));
    ASSERT_EQ(channel.kind, store::PageMarks::kChannel);
    ASSERT_EQ(channel.entries.size(), 3u);
    EXPECT_EQ(channel.entries[0].shownDate, "2024年3月5日 14:00");
    EXPECT_EQ(channel.entries[1].shownDate, "");
    EXPECT_EQ(channel.entries[2].shownDate, "不详");

    store::PageMarks hot = store::pageMarksOf(db, home.file("fav/hot.xml"));
    ASSERT_EQ(hot.kind, store::PageMarks::kHot);
    ASSERT_EQ(hot.channels.size(), 2u);
    EXPECT_EQ(hot.channels[0].headlineShownDate, "2024年3月5日 14:00");
    EXPECT_EQ(hot.channels[1].headlineShownDate, "2024年3月1日") << "no copy yet: its date too";
    EXPECT_EQ(hot.channels[1].unread, 0);
}
