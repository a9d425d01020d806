// 工具 > 自动更新频道: how often the tree's channels update by themselves
// (off, every 30 minutes, every hour, every 4 hours), kept in the settings.
#pragma once

#include <QObject>

class CLeftView;
class QMenu;
class QTimer;

class CAutoUpdate : public QObject {
    Q_OBJECT
  public:
    CAutoUpdate(CLeftView* tree, QObject* parent);

    // 0 when off.
    int intervalMinutes() const { return minutes_; }
    void setIntervalMinutes(int minutes);
    // The submenu, its choice checked.
    QMenu* menu(QWidget* parent);
    // What the timer runs; false when the previous update still runs.
    bool tick();

    static constexpr int kDefaultMinutes = 60;

  signals:
    // Each tick, after the update started: the sync goes with it.
    void ticked();

  private:
    CLeftView* tree_;
    QTimer* timer_;
    int minutes_ = kDefaultMinutes;
};
