// Hearing about news: the unread total in the window's title, desktop
// notifications through a stand-in notification service on a private D-Bus
// bus, and the tray icon's pieces (the offscreen platform has no tray).
#include "BrowserTestSupport.h"
#include "app/CMainFrame.h"
#include "app/COptionsDlg.h"
#include "app/NewsNotifier.h"
#include "app/TrayIcon.h"
#include "collection/CollectionService.h"
#include "frame/CommandIds.h"
#include "navtree/CLeftView.h"
#include "support/Recorders.h"
#include "support/TempDir.h"

#include <QCheckBox>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QMenu>
#include <QProcess>
#include <QStandardPaths>
#include <QSystemTrayIcon>

#include <gtest/gtest.h>

#include <mutex>

using kelvor::test::CleanSettings;
using kelvor::test::RecordingMessageBoxes;
using kelvor::test::TempDir;
using kelvor::test::waitUntil;

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");

// A dbus-daemon of the test's own, which activates nothing: a notification
// service is there only when the test registers one.
class PrivateBus {
  public:
    explicit PrivateBus(const TempDir& dir) {
        QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (daemon.isEmpty())
            return;
        std::string config = dir.write(
            "bus.conf", "<busconfig><type>session</type><listen>unix:dir=" + dir.path() +
                            "</listen><auth>EXTERNAL</auth><policy context=\"default\"><allow "
                            "send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
                            "<allow own=\"*\"/></policy></busconfig>");
        daemon_.start(daemon, {"--config-file=" + QString::fromStdString(config),
                               QStringLiteral("--print-address"), QStringLiteral("--nofork")});
        while (!daemon_.canReadLine() && daemon_.waitForReadyRead(10000)) {
        }
        address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
    }
    ~PrivateBus() {
        for (const QString& name : names_)
            QDBusConnection::disconnectFromBus(name);
        daemon_.kill();
        daemon_.waitForFinished(10000);
    }
    bool up() const { return !address_.isEmpty(); }
    // A connection of its own, as another program's would be.
    QDBusConnection connect(const QString& name) {
        names_ << name;
        return QDBusConnection::connectToBus(address_, name);
    }

  private:
    QProcess daemon_;
    QString address_;
    QStringList names_;
};

// org.freedesktop.Notifications as a desktop's answers: each Notify gets the
// next id (its place + 1), and a click sends ActionInvoked.
class StandInService : public QDBusVirtualObject {
  public:
    explicit StandInService(QDBusConnection bus) : bus_(bus) {
        bus_.registerVirtualObject(kPath, this);
        bus_.registerService(kService);
    }
    ~StandInService() override {
        bus_.unregisterService(kService);
        bus_.unregisterObject(kPath);
    }
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.member() != QLatin1String("Notify"))
            return false;
        std::lock_guard<std::mutex> lock(mutex_);
        received_.push_back(message.arguments());
        connection.send(message.createReply(QVariant::fromValue(uint(received_.size()))));
        return true;
    }
    std::vector<QVariantList> received() {
        std::lock_guard<std::mutex> lock(mutex_);
        return received_;
    }
    void click(uint id) {
        bus_.send(QDBusMessage::createSignal(kPath, kService, QStringLiteral("ActionInvoked"))
                  << id << QStringLiteral("default"));
    }

  private:
    QDBusConnection bus_;
    std::mutex mutex_;
    std::vector<QVariantList> received_; // Notify's arguments
};

std::string channel(const char* title, const char* feed, std::vector<const char*> entries) {
    std::string items;
    for (const char* entry : entries)
        items +=
            "<TreeNode Title=\"" + std::string(entry) + "\" Href=\"http://n.test/" + entry + "\"/>";
    return "<Tree Type=\"rss\" Title=\"" + std::string(title) + "\" BaseURL=\"" + feed + "\">" +
           items + "</Tree>";
}

// Two channels with copies at the top of the tree, behind a closed port.
struct NewsHome {
    NewsHome() {
        dir.write("index.xml", R"(<Tree><TreeNode Title="说明"/>)"
                               R"(<TreeNode Title="新闻" Rss="http://127.0.0.1:9/news"/>)"
                               R"(<TreeNode Title="体育" Rss="http://127.0.0.1:9/sport"/></Tree>)");
        news = dir.write("rss/新闻.xml",
                         channel("新闻", "http://127.0.0.1:9/news", {"一", "二", "三"}));
        sport =
            dir.write("rss/体育.xml", channel("体育", "http://127.0.0.1:9/sport", {"甲", "乙"}));
    }
    void loadTree(CLeftView* tree) const {
        tree->LoadTreeFile(dir.file("index.xml"), tree->rootItem());
    }
    QTreeWidgetItem* item(CLeftView* tree, const char* title) const {
        return tree->findItems(QString::fromUtf8(title), Qt::MatchExactly).value(0);
    }

    TempDir dir;
    kelvor::test::HomeGuard guard{dir.path()};
    std::string news, sport;
};

UpdateSummary summaryOf(std::vector<ChannelNews> channels) {
    UpdateSummary summary;
    for (const ChannelNews& channel : channels)
        summary.newEntries += channel.count;
    summary.channels = std::move(channels);
    return summary;
}

} // namespace

TEST(NewsTitle, ShowsTheUnreadTotalBeforeWhatThePagesPutThere) {
    CleanSettings settings;
    RecordingMessageBoxes boxes;
    NewsHome home;
    CMainFrame frame;
    CollectionService* collection = frame.collection();
    int counted = 0;
    QObject::connect(collection, &CollectionService::unreadTotalChanged, [&] { ++counted; });
    home.loadTree(frame.leftView());
    ASSERT_TRUE(waitUntil([&] { return frame.windowTitle() == QStringLiteral("(5) 万象汇览"); }))
        << frame.windowTitle().toStdString();
    frame.setWindowTitle(QStringLiteral("甲页-万象汇览")); // as a page names itself
    EXPECT_EQ(frame.windowTitle(), QStringLiteral("(5) 甲页-万象汇览"));

    // Marks made in a burst are counted a few times, not once each.
    auto settle = [&] {
        for (int i = 0; i < 4; ++i) {
            collection->store()->worker().waitUntilIdle();
            QCoreApplication::processEvents();
        }
    };
    settle();
    counted = 0;
    collection->setEntryRead(home.news, "http://n.test/一", true);
    collection->setEntryRead(home.news, "http://n.test/二", true);
    collection->setEntryRead(home.sport, "http://n.test/甲", true);
    for (int i = 0; i < 20; ++i)
        collection->requestUnreadTotal();
    ASSERT_TRUE(waitUntil([&] {
        return frame.windowTitle() == QStringLiteral("(2) 甲页-万象汇览");
    })) << frame.windowTitle().toStdString();
    settle();
    EXPECT_LE(counted, 3);

    collection->markAllRead({home.news, home.sport}, "", "");
    ASSERT_TRUE(waitUntil([&] { return frame.windowTitle() == QStringLiteral("甲页-万象汇览"); }))
        << frame.windowTitle().toStdString();
}

TEST(NewsNotifications, TellTheNewsOnlyWhenAwayAndAClickShowsItsChannel) {
    CleanSettings settings;
    RecordingMessageBoxes boxes;
    NewsHome home;
    TempDir busDir;
    PrivateBus bus(busDir);
    if (!bus.up())
        GTEST_SKIP() << "no dbus-daemon (scripts/install-deps installs it)";
    CMainFrame frame;
    QDBusConnection window = bus.connect(QStringLiteral("kelvor-news-window"));
    frame.newsNotifier()->useBus(window);
    home.loadTree(frame.leftView());
    QWidget other; // where the user is instead
    frame.show();
    other.show();
    auto activate = [](QWidget& active) {
        active.activateWindow();
        ASSERT_TRUE(waitUntil([&] { return active.isActiveWindow(); }));
    };
    auto tell = [&](std::vector<ChannelNews> news) {
        emit frame.collection()->updateFinished(summaryOf(std::move(news)));
    };

    activate(other);
    tell({{home.news, "新闻", 1, {"没有服务"}}});
    // Answered after the Notify above went out and failed without a word.
    ASSERT_FALSE(window.interface()->isServiceRegistered(kService));
    StandInService service(bus.connect(QStringLiteral("kelvor-news-service")));
    activate(frame);
    tell({{home.news, "新闻", 1, {"正在看"}}});
    activate(other);
    NewsNotifier::setEnabled(false);
    tell({{home.news, "新闻", 1, {"关了"}}});
    NewsNotifier::setEnabled(true);
    tell({});
    tell({{home.news, "新闻", 3, {"长江大桥通车", "A & <B>"}},
          {home.sport, "体育", 2, {"第三条", "第四条"}}});
    tell({{home.sport, "体育", 1, {"只有体育"}}});
    ASSERT_TRUE(waitUntil([&] { return service.received().size() >= 2; }));
    // One connection keeps its order: any other sent would be first.
    std::vector<QVariantList> got = service.received();
    ASSERT_EQ(got.size(), 2u);
    QVariantList first = got[0];
    EXPECT_EQ(first[0].toString(), QStringLiteral("万象汇览"));
    EXPECT_EQ(first[2].toString(), QStringLiteral("kelvor")); // the icon's installed name
    EXPECT_EQ(first[3].toString(), QStringLiteral("万象汇览：5 条新条目"));
    EXPECT_EQ(first[4].toString(), QStringLiteral("长江大桥通车\nA &amp; &lt;B&gt;\n第三条"));
    EXPECT_EQ(first[5].toStringList().value(0), QStringLiteral("default"));
    EXPECT_EQ(got[1][4].toString(), QStringLiteral("只有体育"));

    // A click shows the window, hidden in the tray or not, on the first
    // channel of its news; the later one leads to its own.
    CLeftView* tree = frame.leftView();
    tree->setCurrentItem(home.item(tree, "说明"));
    frame.hide();
    service.click(1);
    ASSERT_TRUE(waitUntil(
        [&] { return frame.isActiveWindow() && tree->currentItem() == home.item(tree, "新闻"); }));
    activate(other);
    service.click(2);
    ASSERT_TRUE(waitUntil(
        [&] { return frame.isActiveWindow() && tree->currentItem() == home.item(tree, "体育"); }));
    EXPECT_TRUE(boxes.messages.empty());
}

TEST(NewsTray, MenuTooltipWindowAndTheOptions) {
    CleanSettings settings;
    QWidget window;
    int updates = 0, quits = 0;
    TrayIcon tray(
        &window, [&] { ++updates; }, [&] { ++quits; });
    QStringList entries;
    for (QAction* action : tray.menu()->actions())
        if (!action->isSeparator())
            entries << action->text();
    ASSERT_EQ(entries, (QStringList{QStringLiteral("显示/隐藏(&S)"), QStringLiteral("立即更新(&N)"),
                                    QStringLiteral("退出(&X)")}));
    tray.menu()->actions()[1]->trigger();
    tray.menu()->actions()[3]->trigger();
    EXPECT_EQ(updates, 1);
    EXPECT_EQ(quits, 1);
    tray.menu()->actions()[0]->trigger();
    EXPECT_TRUE(window.isVisible());
    tray.menu()->actions()[0]->trigger();
    EXPECT_FALSE(window.isVisible());
    tray.setUnreadTotal(12);
    EXPECT_EQ(tray.icon()->toolTip(), QStringLiteral("万象汇览 – 12 条未读"));

    // Both options are on the options dialog, notifications on by default.
    CTabView tabs;
    COptionsDlg dialog(&tabs, nullptr);
    EXPECT_TRUE(dialog.notifyBox()->isChecked());
    EXPECT_FALSE(dialog.trayBox()->isChecked());
    dialog.notifyBox()->setChecked(false);
    dialog.trayBox()->setChecked(true);
    dialog.accept();
    EXPECT_FALSE(NewsNotifier::enabled());
    EXPECT_TRUE(TrayIcon::closeToTray());
}
