// The icon in the system tray: the program's icon, how many entries are
// unread in its tooltip, a menu to show or hide the window, update every
// channel at once, or quit; a click brings the window back. The window makes
// it only where a tray is there to hold it, and with 关闭窗口时最小化到托盘
// turned on, closing the window hides it in the tray instead of quitting.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

class QAction;
class QMenu;
class QSystemTrayIcon;
class QWidget;

class TrayIcon : public QObject {
    Q_OBJECT
  public:
    // `updateNow` and `quit` run the window's own commands.
    TrayIcon(QWidget* window, std::function<void()> updateNow, std::function<void()> quit,
             QObject* parent = nullptr);
    ~TrayIcon() override;

    // 关闭窗口时最小化到托盘, off unless turned on in the options.
    static bool closeToTray();
    static void setCloseToTray(bool on);

    // "万象汇览 – 12 条未读"; the name alone until the count is known.
    static QString toolTipFor(int unread);
    void setUnreadTotal(int unread);

    void show();
    bool isVisible() const;
    QSystemTrayIcon* icon() const { return icon_; }
    QMenu* menu() const { return menu_.get(); }

    // 显示/隐藏: hides a window in sight, else brings it to the front.
    void toggleWindow();
    void showWindow();

  private:
    QPointer<QWidget> window_;
    std::unique_ptr<QMenu> menu_; // a tray menu has no parent widget
    QSystemTrayIcon* icon_;
};
