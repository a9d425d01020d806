// The window's side of the sync with a Tiny Tiny RSS server: the account
// dialog and where the password goes, stars of synced entries in the tree,
// the automatic update leaving the sync's channels alone, and a sync that
// fails saying why. A sync against a real server is tests/e2e/sync_ttrss.py.
#include "BrowserTestSupport.h"
#include "app/SyncAccountDlg.h"
#include "app/SyncPassword.h"
#include "collection/CollectionService.h"
#include "frame/CommandIds.h"
#include "navtree/CLeftView.h"
#include "navtree/CUnreadDelegate.h"
#include "store/Indexer.h"
#include "store/ReadMarks.h"
#include "store/Store.h"
#include "support/EventWait.h"
#include "support/FeedFiles.h"
#include "support/HttpServer.h"
#include "support/MenuOffers.h"
#include "support/Recorders.h"
#include "support/TempDir.h"
#include "sync/SyncCategory.h"
#include "sync/SyncEntries.h"
#include "sync/SyncMarks.h"
#include "sync/SyncSettings.h"
#include "sync/SyncTables.h"

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSettings>

#include <gtest/gtest.h>

#include <map>

using kelvor::test::CleanSettings;
using kelvor::test::HttpServer;
using kelvor::test::RecordingFrame;
using kelvor::test::TempDir;
using kelvor::test::waitUntil;
namespace cmd = kelvor::cmd;
namespace store = kelvor::store;
namespace ksync = kelvor::sync;

using kelvor::test::offers;

namespace {

// A secret store that works, or fails as where no secret service runs.
class FakeSecretStore : public SecretStore {
  public:
    FakeSecretStore(std::map<QString, QString>& kept, bool works) : kept_(kept), works_(works) {}
    void write(const QString& key, const QString& secret, Written done) override {
        if (works_)
            kept_[key] = secret;
        done(works_ ? QString() : QStringLiteral("桌面没有可用的密钥服务"));
    }
    void read(const QString& key, Read done) override {
        auto found = kept_.find(key);
        if (works_ && found != kept_.end())
            done(found->second, {});
        else
            done({}, QStringLiteral("桌面没有可用的密钥服务"));
    }

  private:
    std::map<QString, QString>& kept_;
    bool works_;
};

const char* const kServer = "http://127.0.0.1:9/";

ksync::Headline headline(int64_t id, const std::string& title) {
    ksync::Headline line;
    line.id = id;
    line.feed = 7;
    line.updated = 1704067200 + id * 3600;
    line.title = title;
    line.link = "http://e/" + title;
    return line;
}

class Sync : public ::testing::Test {
  protected:
    Sync() {
        homeGuard_.setHome(home.path());
        home.write("rss.xsl", "<xsl:stylesheet/>");
    }

    // A channel as a sync leaves it: listed in the sync category, its copy
    // written from the server's articles (those in `starred` with a star),
    // indexed, and the articles known to the sync's tables.
    std::string syncedChannel(const std::string& title, const std::string& feed,
                              const std::vector<ksync::Headline>& lines,
                              const std::set<int64_t>& starred) {
        home.write(ksync::categoryFileName(kServer),
                   ksync::categoryFileText("同步", {}, {{7, title, feed, 0}}));
        ksync::CopyUpdate update{
            ksync::channelCopyPath(home.path(), title, feed), feed, title, lines, {}, starred};
        for (const ksync::Headline& line : lines)
            update.present.insert(line.id);
        home.write(update.path.substr(home.path().size() + 1), ksync::mergedCopyText("", update));
        store::Store db(home.path());
        store::indexFile(db, update.path);
        EXPECT_EQ(store::channelOfCacheFile(db, update.path), feed);
        ksync::SyncTables tables(db, ksync::serverKey(kServer));
        for (const ksync::Headline& line : lines)
            tables.putArticle({line.id, 7, feed, ksync::entryKeyOfHeadline(line), false,
                               starred.count(line.id) > 0});
        return update.path;
    }

    static std::map<std::string, QTreeWidgetItem*> entriesOf(QTreeWidgetItem* channel) {
        std::map<std::string, QTreeWidgetItem*> entries;
        for (int i = 0; i < channel->childCount(); ++i)
            if (CLeftView::IsEntry(channel->child(i)))
                entries[channel->child(i)->text(0).toStdString()] = channel->child(i);
        return entries;
    }

    QTreeWidgetItem* openFirstChannel(CLeftView& view, const std::string& file) {
        view.LoadTreeFile(file, view.rootItem());
        QTreeWidgetItem* channel = view.topLevelItem(view.topLevelItemCount() - 1);
        channel->setExpanded(true);
        EXPECT_TRUE(waitUntil([&] { return entriesOf(channel).size() > 0; }));
        return channel;
    }

    CleanSettings settings;
    TempDir home;
    kelvor::test::HomeGuard homeGuard_;
    RecordingFrame frame;
};

// What the tree paints for an item.
struct PaintedText : CUnreadDelegate {
    PaintedText()
        : CUnreadDelegate(CLeftView::kUnreadCountRole, CLeftView::kStarredRole, nullptr) {}
    QString of(QTreeWidget& view, QTreeWidgetItem* item) {
        QStyleOptionViewItem option;
        initStyleOption(&option, view.indexFromItem(item));
        return option.text;
    }
};

} // namespace

TEST_F(Sync, TheAccountGoesToSyncJsonAndThePasswordOnlyToTheSecretStore) {
    std::map<QString, QString> secrets;
    SyncPassword passwords(std::make_unique<FakeSecretStore>(secrets, true));
    CollectionService service(home.path());
    SyncAccountDlg dialog(
        home.path(), &passwords,
        [&](const ksync::Account& account, auto answer) { service.testSyncLogin(account, answer); },
        nullptr);
    dialog.serverEdit()->setText(QString::fromLatin1(kServer));
    dialog.passwordEdit()->setText(QStringLiteral("s3cret-密码"));
    dialog.accept();
    EXPECT_EQ(dialog.resultLabel()->text(), QStringLiteral("请填写用户名。"));
    EXPECT_NE(dialog.result(), QDialog::Accepted);

    dialog.userEdit()->setText(QStringLiteral(" reader "));
    dialog.testButton()->click();
    ASSERT_TRUE(waitUntil([&] { return dialog.resultLabel()->text().startsWith("连接失败："); }))
        << dialog.resultLabel()->text().toStdString();
    EXPECT_GT(dialog.resultLabel()->text().size(), QStringLiteral("连接失败：").size())
        << "with the reason";

    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    ksync::SyncSettings saved = ksync::readSyncSettings(home.path());
    EXPECT_EQ(saved.server, kServer);
    EXPECT_EQ(saved.user, "reader");
    EXPECT_EQ(secrets[QStringLiteral("sync:reader@http://127.0.0.1:9/")],
              QStringLiteral("s3cret-密码"));
    EXPECT_EQ(home.read("sync.json").find("s3cret"), std::string::npos);
    QSettings stored;
    stored.sync();
    for (const QString& key : stored.allKeys())
        EXPECT_FALSE(stored.value(key).toString().contains(QStringLiteral("s3cret")))
            << key.toStdString();
    EXPECT_EQ(kelvor::test::readFile(stored.fileName().toStdString()).find("s3cret"),
              std::string::npos);

    // Again: the fields come back, and an empty password keeps the one kept.
    SyncAccountDlg again(home.path(), &passwords, {}, nullptr);
    EXPECT_EQ(again.serverEdit()->text(), QString::fromLatin1(kServer));
    EXPECT_EQ(again.userEdit()->text(), QStringLiteral("reader"));
    EXPECT_TRUE(again.passwordEdit()->text().isEmpty());
    again.accept();
    EXPECT_EQ(secrets[QStringLiteral("sync:reader@http://127.0.0.1:9/")],
              QStringLiteral("s3cret-密码"));
}

TEST_F(Sync, WithoutASecretServiceThePasswordIsAskedOnceAndKeptInMemory) {
    std::map<QString, QString> nothing;
    const ksync::SyncSettings account{kServer, "reader"};
    {
        SyncPassword passwords(std::make_unique<FakeSecretStore>(nothing, false));
        QStringList problems;
        QObject::connect(&passwords, &SyncPassword::notKept,
                         [&](const QString& problem) { problems << problem; });
        passwords.setAsker([](const ksync::SyncSettings&) -> QString {
            ADD_FAILURE() << "given in the dialog: not asked again";
            return {};
        });
        passwords.keep(account, QStringLiteral("given"));
        EXPECT_EQ(problems, QStringList{QStringLiteral("桌面没有可用的密钥服务")});
        QString fetched;
        passwords.fetch(account, [&](const QString& password) { fetched = password; });
        EXPECT_EQ(fetched, QStringLiteral("given"));
    }
    // The next start: asked at the first sync, once.
    SyncPassword passwords(std::make_unique<FakeSecretStore>(nothing, false));
    int asked = 0;
    passwords.setAsker([&](const ksync::SyncSettings& who) {
        EXPECT_EQ(who.user, "reader");
        return ++asked == 1 ? QString() : QStringLiteral("typed");
    });
    QStringList fetched;
    auto keepAnswer = [&](const QString& password) { fetched << password; };
    passwords.fetch(account, keepAnswer); // cancelled
    EXPECT_FALSE(passwords.inMemory(account));
    passwords.fetch(account, keepAnswer);
    passwords.fetch(account, keepAnswer);
    EXPECT_EQ(fetched, (QStringList{QString(), QStringLiteral("typed"), QStringLiteral("typed")}));
    EXPECT_EQ(asked, 2);
    EXPECT_TRUE(nothing.empty());
}

TEST_F(Sync, AStarShowsAtOnceIsQueuedForTheServerAndOnlySyncedEntriesHaveIt) {
    const std::string feed = "http://127.0.0.1:9/feed";
    std::string copy = syncedChannel(
        "同步频道", feed, {headline(1, "一"), headline(2, "二"), headline(3, "三")}, {2});
    home.write("rss/普通.xml", "<Tree Type=\"rss\" BaseURL=\"http://127.0.0.1:9/plain\">"
                               "<TreeNode Title=\"普通条目\" Href=\"http://e/p\"/></Tree>");
    std::string plain = home.write("fav/plain.xml", "<Tree Type=\"fav\"><TreeNode Title=\"普通\" "
                                                    "Rss=\"http://127.0.0.1:9/plain\"/></Tree>");
    PaintedText painted;
    {
        CLeftView view;
        QTreeWidgetItem* channel =
            openFirstChannel(view, home.file(ksync::categoryFileName(kServer)));
        auto entries = entriesOf(channel);
        ASSERT_EQ(entries.size(), 3u);
        EXPECT_TRUE(CLeftView::IsEntryStarred(entries["二"]));
        EXPECT_FALSE(CLeftView::IsEntryStarred(entries["一"]));
        EXPECT_EQ(painted.of(view, entries["二"]), QStringLiteral("★ 二"));
        EXPECT_EQ(entries["二"]->text(0), QStringLiteral("二")) << "the title itself stays";
        EXPECT_TRUE(offers(view, entries["二"], cmd::kUnstarEntry));
        EXPECT_FALSE(offers(view, entries["二"], cmd::kStarEntry));
        EXPECT_TRUE(offers(view, entries["一"], cmd::kStarEntry));

        view.setCurrentItem(entries["一"]);
        ASSERT_TRUE(view.handleCommand(cmd::kStarEntry));
        EXPECT_TRUE(CLeftView::IsEntryStarred(entries["一"])) << "at once";
        EXPECT_EQ(painted.of(view, entries["一"]), QStringLiteral("★ 一"));
        view.setCurrentItem(entries["二"]);
        ASSERT_TRUE(view.handleCommand(cmd::kUnstarEntry));
        EXPECT_FALSE(CLeftView::IsEntryStarred(entries["二"]));
        store::Store db(home.path());
        ASSERT_TRUE(waitUntil([&] {
            return ksync::isStarred(db, feed, ksync::entryKeyOfHeadline(headline(1, "一"))) &&
                   !ksync::isStarred(db, feed, ksync::entryKeyOfHeadline(headline(2, "二")));
        })) << "queued for the next sync";
        EXPECT_TRUE(CLeftView::IsEntryStarred(entries["一"])) << "the store's answers agree";

        QTreeWidgetItem* other = openFirstChannel(view, plain);
        QTreeWidgetItem* entry = entriesOf(other).begin()->second;
        EXPECT_FALSE(offers(view, entry, cmd::kStarEntry));
        EXPECT_FALSE(offers(view, entry, cmd::kUnstarEntry));
        EXPECT_TRUE(offers(view, entry, cmd::kMarkRead));
    }
    // Shown again before the next sync: the copy still has the old stars,
    // the tree those the user set.
    CLeftView view;
    QTreeWidgetItem* channel = openFirstChannel(view, home.file(ksync::categoryFileName(kServer)));
    auto entries = entriesOf(channel);
    EXPECT_TRUE(waitUntil([&] {
        return CLeftView::IsEntryStarred(entries["一"]) &&
               !CLeftView::IsEntryStarred(entries["二"]);
    }));
    EXPECT_NE(kelvor::test::readFile(copy).find("Starred=\"1\""), std::string::npos);
}

TEST_F(Sync, TheAutomaticUpdateLeavesTheSyncsChannelsToIt) {
    HttpServer server;
    server.serve("/synced", kelvor::test::rss({"从网站来的"}));
    server.serve("/plain", kelvor::test::rss({"新的"}));
    syncedChannel("同步频道", server.url("/synced"), {headline(1, "一")}, {});
    home.write("rss/普通.xml", "<Tree Type=\"rss\" BaseURL=\"" + server.url("/plain") +
                                   "\"><TreeNode Title=\"旧的\" Href=\"http://e/old\"/></Tree>");
    std::string plain =
        home.write("fav/plain.xml", "<Tree Type=\"fav\"><TreeNode Title=\"普通\" Rss=\"" +
                                        server.url("/plain") + "\"/></Tree>");
    // Kept in a hot category too, which the update asks unopened.
    std::string hot =
        home.write("fav/hot.xml", "<Tree Type=\"hot\"><TreeNode Title=\"同步频道\" Rss=\"" +
                                      server.url("/synced") + "\"/></Tree>");
    CLeftView view;
    QTreeWidgetItem* synced = openFirstChannel(view, home.file(ksync::categoryFileName(kServer)));
    openFirstChannel(view, plain);
    view.LoadTreeFile(hot, view.rootItem());
    ASSERT_EQ(server.requestCount(), 0) << "fresh copies";

    ASSERT_TRUE(view.StartBackgroundUpdate());
    ASSERT_TRUE(waitUntil([&] { return !view.BackgroundUpdateRunning(); }));
    EXPECT_EQ(server.requestCount("/plain"), 1);
    EXPECT_EQ(server.requestCount("/synced"), 0);
    EXPECT_EQ(entriesOf(synced).count("一"), 1u);
}

TEST_F(Sync, ASyncThatFailsSaysWhyAndChangesNothing) {
    CollectionService service(home.path());
    QObject::connect(&service, &CollectionService::statusChanged,
                     [&](const QString& text) { frame.SetStatusText(text.toStdString()); });
    std::vector<std::pair<bool, QString>> finished;
    QObject::connect(&service, &CollectionService::syncFinished,
                     [&](bool ok, const QString& summary, const QStringList&, const auto&) {
                         finished.emplace_back(ok, summary);
                     });
    ASSERT_TRUE(service.startSync({kServer, "reader", "wrong"}));
    EXPECT_FALSE(service.startSync({kServer, "reader", "wrong"})) << "one at a time";
    ASSERT_TRUE(waitUntil([&] { return !finished.empty(); }, 30000));
    EXPECT_FALSE(finished[0].first);
    EXPECT_TRUE(finished[0].second.startsWith(QStringLiteral("同步失败：")))
        << finished[0].second.toStdString();
    EXPECT_FALSE(service.syncRunning());
    ASSERT_GE(frame.status.size(), 2u);
    EXPECT_EQ(frame.status.front(), "正在同步…");
    EXPECT_EQ(frame.status.back(), finished[0].second.toStdString());
    EXPECT_FALSE(std::filesystem::exists(home.file(ksync::categoryFileName(kServer))));
}
