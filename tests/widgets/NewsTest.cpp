// Hearing about news: the unread total in the window's title, desktop
// notifications through a stand-in notification service on a private D-Bus
// session bus, and the tray icon's pieces (the offscreen platform has no
// tray to show it in).
#include "BrowserTestSupport.h"
#include "app/CMainFrame.h"
#include "app/COptionsDlg.h"
#include "app/NewsNotifier.h"
#include "app/TrayIcon.h"
#include "browser/CTabView.h"
#include "collection/CollectionService.h"
#include "frame/CommandIds.h"
#include "navtree/CLeftView.h"
#include "support/EventWait.h"
#include "support/HomeGuard.h"
#include "support/Recorders.h"
#include "support/TempDir.h"

#include <QCheckBox>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QMenu>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QSystemTrayIcon>

#include <gtest/gtest.h>

#include <mutex>

using kelvor::test::CleanSettings;
using kelvor::test::RecordingMessageBoxes;
using kelvor::test::TempDir;
using kelvor::test::waitUntil;
namespace cmd = kelvor::cmd;

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");

// A bus of the test's own: nothing can be activated on it, so a
// notification service is there only when the test registers one.
class PrivateBus {
  public:
    explicit PrivateBus(const TempDir& dir) {
        QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (daemon.isEmpty())
            return;
        std::string config = dir.write(
            "bus.conf", "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration "
                        "1.0//EN\" \"http://www.freedesktop.org/standards/dbus/1.0/"
                        "busconfig.dtd\"><busconfig><type>session</type><listen>unix:dir=" +
                            dir.path() +
                            "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
                            "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow "
                            "eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>");
        daemon_.start(daemon, {QStringLiteral("--config-file=") + QString::fromStdString(config),
                               QStringLiteral("--print-address"), QStringLiteral("--nofork")});
        if (!daemon_.waitForStarted(10000))
            return;
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

struct Notification {
    QString app, icon, summary, body;
    uint replaces = 0;
    QStringList actions;
    QVariantMap hints;
    int timeout = 0;
};

// org.freedesktop.Notifications as a desktop's would answer: every Notify
// gets a new id. It can send ActionInvoked, as a click would.
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
        if (message.member() != QLatin1String("Notify") || message.arguments().size() != 8)
            return false;
        const QList<QVariant> a = message.arguments();
        std::lock_guard<std::mutex> lock(mutex_);
        received_.push_back({a[0].toString(), a[2].toString(), a[3].toString(), a[4].toString(),
                             a[1].toUInt(), a[5].toStringList(), qdbus_cast<QVariantMap>(a[6]),
                             a[7].toInt()});
        connection.send(message.createReply(QVariant::fromValue(uint(received_.size()))));
        return true;
    }
    std::vector<Notification> received() {
        std::lock_guard<std::mutex> lock(mutex_);
        return received_;
    }
    void click(uint id) {
        QDBusMessage signal =
            QDBusMessage::createSignal(kPath, kService, QStringLiteral("ActionInvoked"));
        signal << id << QStringLiteral("default");
        bus_.send(signal);
    }

  private:
    QDBusConnection bus_;
    std::mutex mutex_;
    std::vector<Notification> received_; // the id of each is its place + 1
};

std::string entry(const std::string& title) {
    return "<TreeNode Title=\"" + title + "\" Href=\"http://n.test/" + title + "\"/>";
}

// Two channels with copies (新闻 of three entries, 体育 of two) at the top of
// the tree; their feeds are behind a closed port.
class NewsHome {
  public:
    NewsHome() {
        dir.write("index.xml", R"(<?xml version="1.0" encoding="utf-8"?><Tree Title="万象">)"
                               R"(<TreeNode Title="说明"/>)"
                               R"(<TreeNode Title="新闻" Rss="http://127.0.0.1:9/news"/>)"
                               R"(<TreeNode Title="体育" Rss="http://127.0.0.1:9/sport"/></Tree>)");
        news = dir.write("rss/新闻.xml",
                         R"(<Tree Type="rss" Title="新闻" BaseURL="http://127.0.0.1:9/news">)" +
                             entry("一") + entry("二") + entry("三") + "</Tree>");
        sport = dir.write("rss/体育.xml",
                          R"(<Tree Type="rss" Title="体育" BaseURL="http://127.0.0.1:9/sport">)" +
                              entry("甲") + entry("乙") + "</Tree>");
    }
    void loadTree(CLeftView* tree) const {
        tree->LoadTreeFile(dir.file("index.xml"), tree->rootItem());
    }

    TempDir dir;
    kelvor::test::HomeGuard guard{dir.path()};
    std::string news, sport;
};

QTreeWidgetItem* topItem(CLeftView* tree, const char* title) {
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        if (tree->topLevelItem(i)->text(0) == QString::fromUtf8(title))
            return tree->topLevelItem(i);
    return nullptr;
}

UpdateSummary summaryOf(std::vector<ChannelNews> channels) {
    UpdateSummary summary;
    for (const ChannelNews& channel : channels)
        summary.newEntries += channel.count;
    summary.channels = std::move(channels);
    return summary;
}

} // namespace

TEST(NewsTitle, ShowsTheUnreadTotalBeforeWhateverThePagesPutThere) {
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

    // A page names itself; the total stays in front and follows the marks.
    frame.setWindowTitle(QStringLiteral("甲页-万象汇览"));
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
    EXPECT_GE(counted, 1);
    EXPECT_LE(counted, 3);

    collection->markAllRead({home.news, home.sport}, "", "");
    ASSERT_TRUE(waitUntil([&] { return frame.windowTitle() == QStringLiteral("甲页-万象汇览"); }))
        << "no count when nothing is unread: " << frame.windowTitle().toStdString();
    EXPECT_TRUE(boxes.messages.empty());
}

class NewsNotifications : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!bus.up())
            GTEST_SKIP() << "dbus-daemon is not installed (scripts/install-deps installs it)";
        frame.newsNotifier()->useBus(bus.connect(QStringLiteral("kelvor-news-window")));
        home.loadTree(frame.leftView());
        frame.show();
        other.show();
    }
    void activate(QWidget& window) {
        window.activateWindow();
        ASSERT_TRUE(waitUntil([&] { return window.isActiveWindow(); }));
    }
    ChannelNews newsOf(const std::string& copy, const char* title, int count,
                       std::vector<std::string> titles) {
        return {copy, title, count, std::move(titles)};
    }

    CleanSettings settings;
    RecordingMessageBoxes boxes;
    NewsHome home;
    TempDir busDir;
    PrivateBus bus{busDir};
    CMainFrame frame;
    QWidget other; // the window the user works in instead
};

TEST_F(NewsNotifications, TellTheNewsOnlyWhenAwayAndAClickShowsItsChannel) {
    CollectionService* collection = frame.collection();
    activate(other);
    // With no notification service nothing is shown and nothing said.
    emit collection->updateFinished(summaryOf({newsOf(home.news, "新闻", 1, {"零"})}));
    QDBusConnection probe = QDBusConnection(QStringLiteral("kelvor-news-window"));
    EXPECT_FALSE(probe.interface()->isServiceRegistered(kService)); // after the Notify above
    StandInService service(bus.connect(QStringLiteral("kelvor-news-service")));
    ASSERT_TRUE(probe.interface()->isServiceRegistered(kService));

    activate(frame);
    emit collection->updateFinished(summaryOf({newsOf(home.news, "新闻", 1, {"在看"})}));
    activate(other);
    NewsNotifier::setEnabled(false);
    emit collection->updateFinished(summaryOf({newsOf(home.news, "新闻", 1, {"关了"})}));
    NewsNotifier::setEnabled(true);
    emit collection->updateFinished(summaryOf({})); // an update with no news
    emit collection->updateFinished(
        summaryOf({newsOf(home.news, "新闻", 3, {"长江大桥通车", "A & <B>"}),
                   newsOf(home.sport, "体育", 2, {"第三条", "第四条"})}));
    emit collection->updateFinished(summaryOf({newsOf(home.sport, "体育", 1, {"只有体育"})}));
    ASSERT_TRUE(waitUntil([&] { return service.received().size() >= 2; }));
    // One connection keeps its order: had any of the others gone out, it
    // would be first.
    std::vector<Notification> got = service.received();
    ASSERT_EQ(got.size(), 2u);
    const Notification& first = got[0];
    EXPECT_EQ(first.app, QStringLiteral("万象汇览"));
    EXPECT_EQ(first.summary, QStringLiteral("万象汇览：5 条新条目"));
    EXPECT_EQ(first.body, QStringLiteral("长江大桥通车\nA &amp; &lt;B&gt;\n第三条"));
    EXPECT_EQ(first.icon, QStringLiteral("kelvor"));
    EXPECT_EQ(first.hints.value(QStringLiteral("desktop-entry")).toString(),
              QStringLiteral("org.kelvor.Kelvor"));
    EXPECT_EQ(first.actions.value(0), QStringLiteral("default"));
    EXPECT_EQ(first.replaces, 0u);
    EXPECT_EQ(first.timeout, -1);
    EXPECT_EQ(got[1].summary, QStringLiteral("万象汇览：1 条新条目"));
    EXPECT_EQ(got[1].body, QStringLiteral("只有体育"));

    // A click on the first shows the window, hidden in the tray or not, on
    // the first channel that had news; the later one leads to its own.
    CLeftView* tree = frame.leftView();
    tree->setCurrentItem(topItem(tree, "说明"));
    frame.hide();
    service.click(1);
    ASSERT_TRUE(waitUntil([&] {
        return frame.isVisible() && frame.isActiveWindow() &&
               tree->currentItem() == topItem(tree, "新闻");
    }));
    activate(other);
    service.click(2);
    ASSERT_TRUE(waitUntil(
        [&] { return frame.isActiveWindow() && tree->currentItem() == topItem(tree, "体育"); }));
    EXPECT_TRUE(boxes.messages.empty());
}

TEST(NewsOptions, TheDialogKeepsBothChoices) {
    CleanSettings settings;
    RecordingMessageBoxes boxes;
    CTabView tabs;
    EXPECT_TRUE(NewsNotifier::enabled());
    EXPECT_FALSE(TrayIcon::closeToTray());
    {
        COptionsDlg cancelled(&tabs, nullptr);
        cancelled.notifyBox()->setChecked(false);
        cancelled.reject();
    }
    COptionsDlg dialog(&tabs, nullptr);
    EXPECT_TRUE(dialog.notifyBox()->isChecked());
    EXPECT_FALSE(dialog.trayBox()->isChecked());
    dialog.notifyBox()->setChecked(false);
    dialog.trayBox()->setChecked(true);
    dialog.accept();
    EXPECT_FALSE(NewsNotifier::enabled());
    EXPECT_TRUE(TrayIcon::closeToTray());
    COptionsDlg again(&tabs, nullptr);
    EXPECT_FALSE(again.notifyBox()->isChecked());
    EXPECT_TRUE(again.trayBox()->isChecked());
}

TEST(NewsTray, MenuTooltipAndWindowToggle) {
    CleanSettings settings;
    QWidget window;
    window.setWindowIcon(QIcon(QStringLiteral(":/icons/kelvor.svg")));
    int updates = 0, quits = 0;
    TrayIcon tray(
        &window, [&] { ++updates; }, [&] { ++quits; });

    QStringList entries;
    std::vector<QAction*> actions;
    for (QAction* action : tray.menu()->actions())
        if (!action->isSeparator()) {
            entries << action->text();
            actions.push_back(action);
        }
    ASSERT_EQ(entries, (QStringList{QStringLiteral("显示/隐藏(&S)"), QStringLiteral("立即更新(&N)"),
                                    QStringLiteral("退出(&X)")}));
    EXPECT_EQ(actions[1]->data().toInt(), cmd::kAutoUpdateNow);
    actions[1]->trigger();
    actions[2]->trigger();
    EXPECT_EQ(updates, 1);
    EXPECT_EQ(quits, 1);

    EXPECT_EQ(tray.icon()->toolTip(), QStringLiteral("万象汇览"));
    tray.setUnreadTotal(12);
    EXPECT_EQ(tray.icon()->toolTip(), QStringLiteral("万象汇览 – 12 条未读"));
    tray.setUnreadTotal(0);
    EXPECT_EQ(tray.icon()->toolTip(), QStringLiteral("万象汇览 – 没有未读条目"));
    EXPECT_FALSE(tray.icon()->icon().isNull()) << "the program's icon";

    actions[0]->trigger();
    EXPECT_TRUE(window.isVisible());
    actions[0]->trigger();
    EXPECT_FALSE(window.isVisible());
    window.showMinimized();
    emit tray.icon()->activated(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.isMinimized());

    // The window has a tray icon only where a tray is there to hold it.
    RecordingMessageBoxes boxes;
    TempDir dir;
    kelvor::test::HomeGuard home(dir.path());
    CMainFrame frame;
    EXPECT_EQ(frame.trayIcon() != nullptr, QSystemTrayIcon::isSystemTrayAvailable());
}
