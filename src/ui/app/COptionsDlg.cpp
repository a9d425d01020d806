#include "app/COptionsDlg.h"
#include "app/HistorySetting.h"
#include "app/SessionState.h"
#include "app/NewsNotifier.h"
#include "app/TrayIcon.h"
#include "frame/FavoritesSetting.h"

#include "browser/BrowserOptions.h"
#include "browser/CTabView.h"
#include "browser/Favorites.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace browser = kelvor::browser;

COptionsDlg::COptionsDlg(CTabView* tabs, QWidget* parent) : QDialog(parent), tabs_(tabs) {
    setWindowTitle(QStringLiteral("Internet 选项"));

    auto* browsing = new QGroupBox(QStringLiteral("浏览"), this);
    silent_ = new QCheckBox(QStringLiteral("不显示对话提示与脚本错误(&M)"), browsing);
    blockPopups_ = new QCheckBox(QStringLiteral("不显示自动弹出窗口(&P)"), browsing);
    singleWindow_ = new QCheckBox(QStringLiteral("不使用多窗口浏览(&S)"), browsing);
    silent_->setChecked(tabs_->silent);
    blockPopups_->setChecked(tabs_->blockPopups);
    singleWindow_->setChecked(tabs_->singleWindow);
    auto* note = new QLabel(QStringLiteral("对话提示的设置从下一个新打开的页面起生效。"), browsing);
    note->setEnabled(false);
    auto* browsingLayout = new QVBoxLayout(browsing);
    browsingLayout->addWidget(silent_);
    browsingLayout->addWidget(blockPopups_);
    browsingLayout->addWidget(singleWindow_);
    browsingLayout->addWidget(note);

    auto* startGroup = new QGroupBox(QStringLiteral("启动"), this);
    restorePages_ = new QCheckBox(QStringLiteral("启动时恢复上次打开的页面(&R)"), startGroup);
    restorePages_->setChecked(kelvor::app::restorePagesOption());
    (new QVBoxLayout(startGroup))->addWidget(restorePages_);

    auto* favoritesGroup = new QGroupBox(QStringLiteral("收藏夹"), this);
    favorites_ = new QLineEdit(kelvor::app::favoritesFolderSetting(), favoritesGroup);
    favorites_->setToolTip(QStringLiteral("可以使用环境变量，例如 $HOME/Favorites"));
    auto* browse = new QPushButton(QStringLiteral("浏览(&B)..."), favoritesGroup);
    connect(browse, &QPushButton::clicked, this, &COptionsDlg::browseFavorites);
    auto* favoritesLayout = new QHBoxLayout(favoritesGroup);
    favoritesLayout->addWidget(new QLabel(QStringLiteral("文件夹(&F):"), favoritesGroup));
    favoritesLayout->addWidget(favorites_, 1);
    favoritesLayout->addWidget(browse);
    static_cast<QLabel*>(favoritesLayout->itemAt(0)->widget())->setBuddy(favorites_);

    auto* news = new QGroupBox(QStringLiteral("新条目"), this);
    notify_ = new QCheckBox(QStringLiteral("显示新条目通知(&N)"), news);
    notify_->setToolTip(QStringLiteral("自动更新收到新条目而窗口不在前台时，在桌面上显示通知"));
    closeToTray_ = new QCheckBox(QStringLiteral("关闭窗口时最小化到托盘(&T)"), news);
    closeToTray_->setToolTip(QStringLiteral("桌面有系统托盘时才生效；“文件 > 退出”仍会退出"));
    notify_->setChecked(NewsNotifier::enabled());
    closeToTray_->setChecked(TrayIcon::closeToTray());
    auto* newsLayout = new QVBoxLayout(news);
    newsLayout->addWidget(notify_);
    newsLayout->addWidget(closeToTray_);

    auto* history = new QGroupBox(QStringLiteral("历史条目"), this);
    history->setToolTip(QStringLiteral("已经不在频道中的旧条目仍然保留，可以搜索到，显示在频道末尾的“历史条目”下"));
    kelvor::app::HistoryLimits limits = kelvor::app::historyLimitsSetting();
    keepDays_ = new QSpinBox(history);
    keepDays_->setRange(0, 3650);
    keepDays_->setSuffix(QStringLiteral(" 天"));
    keepDays_->setValue(limits.keepDays);
    keepPerChannel_ = new QSpinBox(history);
    keepPerChannel_->setRange(0, 100000);
    keepPerChannel_->setSingleStep(100);
    keepPerChannel_->setSuffix(QStringLiteral(" 条"));
    keepPerChannel_->setValue(limits.keepPerChannel);
    auto* historyLayout = new QFormLayout(history);
    historyLayout->addRow(QStringLiteral("保留时间(&D)："), keepDays_);
    historyLayout->addRow(QStringLiteral("每个频道最多(&C)："), keepPerChannel_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
    connect(buttons, &QDialogButtonBox::accepted, this, &COptionsDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &COptionsDlg::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(browsing);
    layout->addWidget(startGroup);
    layout->addWidget(favoritesGroup);
    layout->addWidget(news);
    layout->addWidget(history);
    layout->addWidget(buttons);
    resize(460, sizeHint().height());
}

void COptionsDlg::browseFavorites() {
    QString start = kelvor::app::expandFolderPath(favorites_->text());
    QString folder = QFileDialog::getExistingDirectory(this, QStringLiteral("选择收藏夹文件夹"), start);
    if (!folder.isEmpty())
        favorites_->setText(folder);
}

void COptionsDlg::accept() {
    tabs_->silent = silent_->isChecked();
    tabs_->blockPopups = blockPopups_->isChecked();
    tabs_->singleWindow = singleWindow_->isChecked();
    browser::writeOption(browser::kSilentOption, tabs_->silent);
    browser::writeOption(browser::kPopupOption, tabs_->blockPopups);
    browser::writeOption(browser::kSdiOption, tabs_->singleWindow);
    kelvor::app::setRestorePagesOption(restorePages_->isChecked());
    QString folder = favorites_->text().trimmed();
    if (!folder.isEmpty() && folder != kelvor::app::favoritesFolderSetting())
        kelvor::app::setFavoritesFolderSetting(folder);
    kelvor::app::setHistoryLimitsSetting({keepDays_->value(), keepPerChannel_->value()});
    if (notify_->isChecked() != NewsNotifier::enabled())
        NewsNotifier::setEnabled(notify_->isChecked());
    if (closeToTray_->isChecked() != TrayIcon::closeToTray())
        TrayIcon::setCloseToTray(closeToTray_->isChecked());
    QDialog::accept();
}
