// Desktop notifications of news: when an automatic update brings new
// entries while the window is not in use, one notification (over D-Bus, to
// org.freedesktop.Notifications) says how many and names the first titles.
// Clicking it brings the window to the front on the first channel that had
// news. Where no notification service is on the bus nothing is shown and
// nothing is said: a notification is a courtesy, not something to complain
// about.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QPointer>
#include <QString>

#include <map>
#include <optional>
#include <string>

class CLeftView;
class QWidget;
struct UpdateSummary;

class NewsNotifier : public QObject {
    Q_OBJECT
  public:
    // `window` is left alone while active and raised by a click; `tree`
    // shows the channel.
    NewsNotifier(QWidget* window, CLeftView* tree, QObject* parent = nullptr);

    // 显示新条目通知, on unless turned off in the options.
    static bool enabled();
    static void setEnabled(bool on);

    // What a notification says: "万象汇览：5 条新条目", and the first three
    // titles, one a line.
    static QString summaryText(const UpdateSummary& news);
    static QString bodyText(const UpdateSummary& news);

    // Heard when an automatic update is over.
    void updateFinished(const UpdateSummary& news);
    // The session bus unless told otherwise (the tests' private bus); taken
    // at the first notification, so a window that never has news never
    // connects.
    void useBus(const QDBusConnection& bus);

  private slots:
    void onActionInvoked(uint id, const QString& action);
    void onNotificationClosed(uint id, uint reason);

  private:
    QDBusConnection& bus();
    void bringToFront(const std::string& cacheFile);

    QPointer<QWidget> window_;
    QPointer<CLeftView> tree_;
    std::optional<QDBusConnection> bus_;
    bool listening_ = false;
    // The notifications shown and not closed yet, with the channel each
    // leads to.
    std::map<uint, std::string> shown_;
};
