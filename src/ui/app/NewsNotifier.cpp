#include "app/NewsNotifier.h"

#include "collection/CollectionService.h"
#include "navtree/CLeftView.h"
#include "platform/Log.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QSettings>
#include <QVariantMap>
#include <QWidget>

namespace {

const char* const kSettingKey = "Settings/NewsNotifications";

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");

// The name the icon is installed under in the hicolor theme, and the
// desktop entry, which lets the desktop group the notification with the
// program.
const QString kIconName = QStringLiteral("kelvor");
const QString kDesktopEntry = QStringLiteral("org.kelvor.Kelvor");

constexpr size_t kTitlesNamed = 3;

} // namespace

NewsNotifier::NewsNotifier(QWidget* window, CLeftView* tree, QObject* parent)
    : QObject(parent), window_(window), tree_(tree) {}

bool NewsNotifier::enabled() {
    return QSettings().value(QLatin1String(kSettingKey), true).toBool();
}

void NewsNotifier::setEnabled(bool on) {
    QSettings().setValue(QLatin1String(kSettingKey), on);
}

QString NewsNotifier::summaryText(const UpdateSummary& news) {
    return QStringLiteral("万象汇览：%1 条新条目").arg(news.newEntries);
}

QString NewsNotifier::bodyText(const UpdateSummary& news) {
    // Most notification services read the body as simple markup: a title
    // with "<" or "&" must reach them as text.
    QStringList lines;
    for (const ChannelNews& channel : news.channels)
        for (const std::string& title : channel.titles)
            if (lines.size() < int(kTitlesNamed) && !title.empty())
                lines << QString::fromStdString(title).toHtmlEscaped();
    return lines.join(QLatin1Char('\n'));
}

void NewsNotifier::useBus(const QDBusConnection& bus) {
    bus_ = bus;
    listening_ = false;
}

QDBusConnection& NewsNotifier::bus() {
    if (!bus_)
        bus_ = QDBusConnection::sessionBus();
    if (!listening_ && bus_->isConnected()) {
        listening_ = true;
        bus_->connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                      SLOT(onActionInvoked(uint, QString)));
        bus_->connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                      SLOT(onNotificationClosed(uint, uint)));
    }
    return *bus_;
}

void NewsNotifier::updateFinished(const UpdateSummary& news) {
    if (news.newEntries <= 0 || news.channels.empty() || !enabled())
        return;
    // Someone looking at the window sees the news in the tree already.
    if (window_ && window_->isActiveWindow())
        return;
    QDBusConnection& connection = bus();
    if (!connection.isConnected())
        return;
    QDBusMessage notify =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    QVariantMap hints{{QStringLiteral("desktop-entry"), kDesktopEntry}};
    notify << QStringLiteral("万象汇览") << uint(0) << kIconName << summaryText(news)
           << bodyText(news) << QStringList{QStringLiteral("default"), QStringLiteral("查看")}
           << hints << int(-1);
    std::string channel = news.channels.front().cacheFile;
    auto* watcher = new QDBusPendingCallWatcher(connection.asyncCall(notify), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, channel](QDBusPendingCallWatcher* call) {
                call->deleteLater();
                QDBusPendingReply<uint> reply = *call;
                if (reply.isError()) {
                    kelvor::platform::logFailure("notifying of news",
                                                 reply.error().message().toStdString());
                    return;
                }
                shown_[reply.value()] = channel;
            });
}

void NewsNotifier::onActionInvoked(uint id, const QString& /*action*/) {
    // Every service sends "default" for a click on the notification; ours
    // has no other action.
    auto it = shown_.find(id);
    if (it == shown_.end())
        return; // another program's, or one of ours already closed
    std::string channel = it->second;
    bringToFront(channel);
}

void NewsNotifier::onNotificationClosed(uint id, uint /*reason*/) {
    shown_.erase(id);
}

void NewsNotifier::bringToFront(const std::string& cacheFile) {
    if (!window_)
        return;
    if (window_->isMinimized())
        window_->showNormal();
    else
        window_->show(); // hidden in the tray
    window_->raise();
    window_->activateWindow();
    if (tree_)
        tree_->SelectChannelOfCopy(cacheFile);
}
