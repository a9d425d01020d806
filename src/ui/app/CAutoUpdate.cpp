#include "app/CAutoUpdate.h"

#include "frame/CommandIds.h"
#include "navtree/CLeftView.h"

#include <QActionGroup>
#include <QMenu>
#include <QSettings>
#include <QTimer>

namespace cmd = kelvor::cmd;

namespace {

const char* const kSettingKey = "Settings/AutoUpdateMinutes";

struct Choice {
    int id;
    int minutes;
    const char* text;
};

const Choice kChoices[] = {
    {cmd::kAutoUpdateOff, 0, "关闭(&O)"},
    {cmd::kAutoUpdate30Minutes, 30, "每 30 分钟(&3)"},
    {cmd::kAutoUpdateHourly, 60, "每小时(&H)"},
    {cmd::kAutoUpdate4Hours, 240, "每 4 小时(&4)"},
};

bool isChoice(int minutes) {
    for (const Choice& choice : kChoices)
        if (choice.minutes == minutes)
            return true;
    return false;
}

} // namespace

CAutoUpdate::CAutoUpdate(CLeftView* tree, QObject* parent)
    : QObject(parent), tree_(tree), timer_(new QTimer(this)) {
    connect(timer_, &QTimer::timeout, this, &CAutoUpdate::tick);
    int saved = QSettings().value(QLatin1String(kSettingKey), kDefaultMinutes).toInt();
    setIntervalMinutes(isChoice(saved) ? saved : kDefaultMinutes);
}

void CAutoUpdate::setIntervalMinutes(int minutes) {
    minutes_ = minutes;
    QSettings().setValue(QLatin1String(kSettingKey), minutes);
    if (minutes > 0)
        timer_->start(minutes * 60 * 1000);
    else
        timer_->stop();
}

QMenu* CAutoUpdate::menu(QWidget* parent) {
    auto* menu = new QMenu(QStringLiteral("自动更新频道(&U)"), parent);
    auto* group = new QActionGroup(menu);
    for (const Choice& choice : kChoices) {
        QAction* action = menu->addAction(QString::fromUtf8(choice.text));
        action->setData(choice.id);
        action->setCheckable(true);
        group->addAction(action);
        int minutes = choice.minutes;
        connect(action, &QAction::triggered, this,
                [this, minutes] { setIntervalMinutes(minutes); });
    }
    connect(menu, &QMenu::aboutToShow, this, [this, group] {
        for (int i = 0; i < group->actions().size(); ++i)
            group->actions()[i]->setChecked(kChoices[i].minutes == minutes_);
    });
    menu->addSeparator();
    QAction* now = menu->addAction(QStringLiteral("立即更新(&N)"));
    now->setData(cmd::kAutoUpdateNow);
    connect(now, &QAction::triggered, this, &CAutoUpdate::tick);
    return menu;
}

bool CAutoUpdate::tick() {
    bool started = tree_->StartBackgroundUpdate();
    emit ticked();
    return started;
}
