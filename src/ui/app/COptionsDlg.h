// Tools > Internet 选项...: the three browsing options, whether the pages
// come back at the next start, the Favorites folder, notifications of news
// and the tray in one dialog. OK applies and saves them at once.
#pragma once

#include <QDialog>
#include <QSpinBox>

class CTabView;
class QCheckBox;
class QLineEdit;

class COptionsDlg : public QDialog {
    Q_OBJECT
public:
    COptionsDlg(CTabView* tabs, QWidget* parent);

    QCheckBox* silentBox() const { return silent_; }
    QCheckBox* popupBox() const { return blockPopups_; }
    QCheckBox* sdiBox() const { return singleWindow_; }
    QCheckBox* restorePagesBox() const { return restorePages_; }
    QLineEdit* favoritesEdit() const { return favorites_; }
    QCheckBox* notifyBox() const { return notify_; }
    QCheckBox* trayBox() const { return closeToTray_; }
    QSpinBox* keepDaysBox() const { return keepDays_; }
    QSpinBox* keepPerChannelBox() const { return keepPerChannel_; }

    void accept() override;

private:
    void browseFavorites();

    CTabView* tabs_;
    QCheckBox* silent_;
    QCheckBox* blockPopups_;
    QCheckBox* singleWindow_;
    QCheckBox* restorePages_;
    QLineEdit* favorites_;
    QCheckBox* notify_;
    QCheckBox* closeToTray_;
    QSpinBox* keepDays_;
    QSpinBox* keepPerChannel_;
};
