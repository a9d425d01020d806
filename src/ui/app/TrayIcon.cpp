#include "app/TrayIcon.h"

#include "frame/CommandIds.h"

#include <QMenu>
#include <QSettings>
#include <QSystemTrayIcon>
#include <QWidget>

namespace {

const char* const kSettingKey = "Settings/CloseToTray";

} // namespace

TrayIcon::TrayIcon(QWidget* window, std::function<void()> updateNow, std::function<void()> quit,
                   QObject* parent)
    : QObject(parent), window_(window), menu_(std::make_unique<QMenu>()),
      icon_(new QSystemTrayIcon(window->windowIcon(), this)) {
    connect(menu_->addAction(QStringLiteral("显示/隐藏(&S)")), &QAction::triggered, this,
            &TrayIcon::toggleWindow);
    QAction* now = menu_->addAction(QStringLiteral("立即更新(&N)"));
    now->setData(kelvor::cmd::kAutoUpdateNow);
    connect(now, &QAction::triggered, this, [updateNow] { updateNow(); });
    menu_->addSeparator();
    QAction* exit = menu_->addAction(QStringLiteral("退出(&X)"));
    exit->setData(kelvor::cmd::kAppExit);
    connect(exit, &QAction::triggered, this, [quit] { quit(); });
    icon_->setContextMenu(menu_.get());
    icon_->setToolTip(toolTipFor(-1));
    connect(icon_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason why) {
                if (why == QSystemTrayIcon::Trigger || why == QSystemTrayIcon::DoubleClick)
                    showWindow();
            });
}

TrayIcon::~TrayIcon() {
    // The icon lets go of its menu before the menu goes.
    delete icon_;
}

bool TrayIcon::closeToTray() {
    return QSettings().value(QLatin1String(kSettingKey), false).toBool();
}

void TrayIcon::setCloseToTray(bool on) {
    QSettings().setValue(QLatin1String(kSettingKey), on);
}

QString TrayIcon::toolTipFor(int unread) {
    QString name = QStringLiteral("万象汇览");
    if (unread < 0)
        return name;
    if (unread == 0)
        return name + QStringLiteral(" – 没有未读条目");
    return name + QStringLiteral(" – %1 条未读").arg(unread);
}

void TrayIcon::setUnreadTotal(int unread) {
    icon_->setToolTip(toolTipFor(unread));
}

void TrayIcon::show() {
    icon_->show();
}

bool TrayIcon::isVisible() const {
    return icon_->isVisible();
}

void TrayIcon::toggleWindow() {
    if (!window_)
        return;
    if (window_->isVisible() && !window_->isMinimized())
        window_->hide();
    else
        showWindow();
}

void TrayIcon::showWindow() {
    if (!window_)
        return;
    if (window_->isMinimized())
        window_->showNormal();
    else
        window_->show();
    window_->raise();
    window_->activateWindow();
}
