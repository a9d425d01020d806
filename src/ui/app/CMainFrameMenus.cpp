// Menu 128, the navigation toolbar and the accelerators. One QAction per
// command id, shared by the menu, the toolbar and the keys; every action
// goes through OnCommand.
#include "app/CMainFrame.h"
#include "app/CAutoUpdate.h"
#include "app/SyncControl.h"

#include "frame/CommandIds.h"
#include "browser/CKelvorView.h"
#include "browser/CTabView.h"
#include "navtree/CLeftView.h"

#include <QActionGroup>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>

namespace cmd = kelvor::cmd;

namespace {

struct MenuEntry {
    int id; // 0: a separator
    const char* text;
    const char* keys; // further keys, ";"-separated
    const char* statusTip;
};

const MenuEntry kFileMenu[] = {
    {cmd::kFileNew, "新建(&N)", "Ctrl+N", "在导航栏中新建项目"},
    {cmd::kNewPage, "新建页面(&W)", "Ctrl+T", "打开一个新的空白页面"},
    {cmd::kFileOpen, "打开...(&O)", "Ctrl+O", "在当前页面中打开本地文件"},
    {0, nullptr, nullptr, nullptr},
    {cmd::kImportChannelList, "导入频道列表 (OPML)...", nullptr, "把其他阅读器导出的订阅列表导入为“我的收藏”中的新分类"},
    {cmd::kImportBookmarks, "导入书签...", nullptr, "把浏览器导出的书签文件 (HTML) 导入为“我的收藏”中的新分类"},
    {cmd::kExportChannelList, "导出频道列表 (OPML)...", nullptr, "把全部频道保存为其他阅读器可以导入的订阅列表"},
    {0, nullptr, nullptr, nullptr},
    {cmd::kFileSave, "保存(&S)", "Ctrl+S", "把当前页面保存到文件"},
    {0, nullptr, nullptr, nullptr},
    {cmd::kFilePrint, "打印(&P)...", "Ctrl+P", "打印当前页面"},
    {cmd::kFilePageSetup, "打印设置(&R)...", nullptr, "设置纸张、方向和页边距"},
    {0, nullptr, nullptr, nullptr},
    {cmd::kFileProperties, "属性...", nullptr, "显示当前页面的标题、地址和大小"},
    {0, nullptr, nullptr, nullptr},
    {cmd::kAppExit, "退出(&X)", nullptr, "退出万象汇览"},
};

const MenuEntry kEditMenu[] = {
    {cmd::kEditUndo, "撤消(&U)", "Ctrl+Z;Alt+Backspace", "撤消上一次编辑"},
    {cmd::kEditRedo, "重做(&Y)", "Ctrl+Y", "重做撤消的编辑"},
    {0, nullptr, nullptr, nullptr},
    {cmd::kEditCut, "剪切(&T)", "Ctrl+X;Shift+Del", "剪切选中的内容"},
    {cmd::kEditCopy, "复制(&C)", "Ctrl+C;Ctrl+Ins", "复制选中的内容"},
    {cmd::kEditPaste, "粘贴(&P)", "Ctrl+V;Shift+Ins", "粘贴剪贴板中的内容"},
    {0, nullptr, nullptr, nullptr},
    {cmd::kEditSelectAll, "全选(&A)", "Ctrl+A", "选中页面的全部内容"},
    {0, nullptr, nullptr, nullptr},
    {cmd::kEditFind, "查找(&F)", "Ctrl+F", "在当前页面中查找文字"},
    {cmd::kFindInCollection, "查找收藏与频道(&K)...", "Ctrl+K", "在收藏、笔记和频道的全部项目中查找"},
};

const MenuEntry kViewMenuTop[] = {
    {cmd::kNavPane, "导航栏(&N)", "F4", "显示或隐藏导航栏"},
    {cmd::kViewToolbar, "工具栏(&T)", nullptr, "显示或隐藏工具栏"},
    {cmd::kViewStatusBar, "状态栏(&S)", nullptr, "显示或隐藏状态栏"},
    {0, nullptr, nullptr, nullptr},
    {cmd::kHome, "主页(&H)", nullptr, "打开主页"},
    {cmd::kBack, "后退(&B)", "Alt+Left", "返回上一页"},
    {cmd::kForward, "前进(&F)", "Alt+Right", "前进到下一页"},
    {cmd::kRefresh, "刷新(&R)", "F5", "刷新当前页面；导航栏有焦点时刷新选中的频道"},
    {cmd::kStop, "停止(&S)", "Esc", "停止加载页面"},
    {0, nullptr, nullptr, nullptr},
    {cmd::kNextUnread, "下一条未读(&U)", "N", "打开本分类中的下一条未读条目"},
    {cmd::kPrevUnread, "上一条未读(&P)", "Shift+N;P", "打开本分类中的上一条未读条目"},
    {cmd::kToggleRead, "标记为已读/未读(&M)", "M", "切换选中条目的已读状态"},
    {cmd::kMarkAllRead, "全部标记为已读(&A)", "Ctrl+Shift+M", "把选中的频道或分类全部标记为已读"},
    {cmd::kUnreadOnly, "只显示未读(&O)", nullptr, "在导航栏中隐藏已读的条目"},
    {0, nullptr, nullptr, nullptr},
};

// Keys of the tree alone: typed elsewhere (an address, a form of a page)
// they are letters.
const int kTreeKeyCommands[] = {cmd::kNextUnread, cmd::kPrevUnread, cmd::kToggleRead,
                                cmd::kMarkAllRead};

const MenuEntry kFontMenu[] = {
    {cmd::kFontLargest, "最大(&G)", nullptr, "以最大的字体显示页面"},
    {cmd::kFontLarger, "较大(&L)", nullptr, "以较大的字体显示页面"},
    {cmd::kFontMedium, "中等(&M)", nullptr, "以中等的字体显示页面"},
    {cmd::kFontSmaller, "较小(&S)", nullptr, "以较小的字体显示页面"},
    {cmd::kFontSmallest, "最小(&A)", nullptr, "以最小的字体显示页面"},
};

const MenuEntry kViewMenuBottom[] = {
    {cmd::kViewSource, "源文件(&C)", nullptr, "在新页面中查看源文件"},
    {0, nullptr, nullptr, nullptr},
    {cmd::kClosePage, "关闭当前窗口", "Ctrl+W", "关闭当前页面"},
    {cmd::kNextPage, "下一个页面", "Ctrl+Tab;Ctrl+PgDown", "切换到下一个页面"},
    {cmd::kPrevPage, "上一个页面", "Ctrl+Shift+Tab;Ctrl+PgUp", "切换到上一个页面"},
    {cmd::kSearch, "搜索(&G)", nullptr, "打开搜索页"},
};

const MenuEntry kToolsMenu[] = {
    {cmd::kAddFavorite, "添加到收藏夹...", "Ctrl+D", "把当前页面添加到收藏夹文件夹"},
    {cmd::kOrganizeFavorites, "整理收藏夹...", nullptr, "在文件管理器中打开收藏夹文件夹"},
    {0, nullptr, nullptr, nullptr},
    {cmd::kInternetOptions, "Internet 选项...", nullptr, "浏览、启动、收藏夹、新条目通知和历史条目的设置"},
    {0, nullptr, nullptr, nullptr},
    {cmd::kOptionSilent, "不显示对话提示与脚本错误(&M)", nullptr, "新打开的页面不显示脚本对话框和证书提示"},
    {cmd::kOptionPopup, "不显示自动弹出窗口(&P)", nullptr, "不是由点击打开的窗口不显示"},
    {cmd::kOptionSdi, "不使用多窗口浏览(&S)", nullptr, "点击链接时不打开新窗口"},
    {0, nullptr, nullptr, nullptr},
    {cmd::kClearCache, "清空缓存文件夹(&E)", nullptr, "删除频道的缓存文件，下次使用时重新下载"},
};

const MenuEntry kSyncMenu[] = {
    {cmd::kSyncAccount, "同步帐户…", nullptr, "设置与之同步的 Tiny Tiny RSS 服务器、用户名和密码"},
    {cmd::kSyncNow, "立即同步", nullptr, "与 Tiny Tiny RSS 服务器交换订阅、新条目、已读和星标"},
};

const MenuEntry kHelpMenu[] = {
    {cmd::kSoftwareHome, "软件主页(H)", nullptr, "打开万象汇览的主页"},
    {cmd::kShortcuts, "键盘快捷键(&K)", nullptr, "列出全部键盘快捷键"},
    {0, nullptr, nullptr, nullptr},
    {cmd::kAbout, "关于 万象汇览(&A)...", nullptr, "显示程序信息和版本号"},
};

const int kEditCommands[] = {cmd::kEditUndo, cmd::kEditRedo, cmd::kEditCut, cmd::kEditCopy, cmd::kEditPaste,
                             cmd::kEditSelectAll};

const int kCheckableCommands[] = {cmd::kNavPane,      cmd::kViewToolbar, cmd::kViewStatusBar, cmd::kOptionSilent,
                                  cmd::kOptionPopup, cmd::kOptionSdi,    cmd::kUnreadOnly};

struct ToolButton {
    int id; // 0: a separator
    const char* icon;
    const char* label; // shown beside the icon; null for an icon alone
    const char* toolTip;
};

const ToolButton kToolButtons[] = {
    {cmd::kFileNew, "new-item", nullptr, "新建项目"},
    {0, nullptr, nullptr, nullptr},
    {cmd::kBack, "back", "后退", "后退"},
    {cmd::kForward, "forward", "前进", "前进"},
    {0, nullptr, nullptr, nullptr},
    {cmd::kStop, "stop", "停止", "停止"},
    {cmd::kRefresh, "refresh", "刷新", "刷新"},
    {cmd::kSearch, "search", nullptr, "搜索"},
    {cmd::kHome, "home", nullptr, "主页"},
    {cmd::kNavPane, "nav-pane", nullptr, "导航栏"},
};

QList<QKeySequence> keysOf(const MenuEntry& entry) {
    QList<QKeySequence> keys;
    if (entry.keys)
        for (const QString& key : QString::fromLatin1(entry.keys).split(QLatin1Char(';')))
            keys << QKeySequence(key);
    return keys;
}

} // namespace

QAction* CMainFrame::commandAction(int id) const {
    auto it = actions_.find(id);
    return it == actions_.end() ? nullptr : it->second;
}

QAction* CMainFrame::makeAction(int id, const QString& text, const QString& statusTip) {
    if (QAction* existing = commandAction(id))
        return existing;
    auto* action = new QAction(text, this);
    action->setData(id);
    action->setStatusTip(statusTip);
    connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
    actions_[id] = action;
    // Keys work wherever the focus is in the window, menus shown or not.
    addAction(action);
    return action;
}

QMenu* CMainFrame::addMenu(const QString& title) {
    QMenu* menu = menuBar()->addMenu(title);
    connect(menu, &QMenu::aboutToShow, this, &CMainFrame::updateCommandStates);
    return menu;
}

namespace {
template <size_t N>
void fillMenu(QMenu* menu, const MenuEntry (&entries)[N], const std::function<QAction*(const MenuEntry&)>& make) {
    for (const MenuEntry& entry : entries) {
        if (entry.id == 0)
            menu->addSeparator();
        else
            menu->addAction(make(entry));
    }
}
} // namespace

void CMainFrame::createMenus() {
    auto make = [this](const MenuEntry& entry) {
        QAction* action = makeAction(entry.id, QString::fromUtf8(entry.text), QString::fromUtf8(entry.statusTip));
        action->setText(QString::fromUtf8(entry.text));
        action->setStatusTip(QString::fromUtf8(entry.statusTip));
        if (QList<QKeySequence> keys = keysOf(entry); !keys.isEmpty())
            action->setShortcuts(keys);
        return action;
    };
    fillMenu(addMenu(QStringLiteral("文件(&F)")), kFileMenu, make);
    fillMenu(addMenu(QStringLiteral("编辑(&E)")), kEditMenu, make);
    QMenu* view = addMenu(QStringLiteral("查看(&V)"));
    fillMenu(view, kViewMenuTop, make);
    QMenu* fonts = view->addMenu(QStringLiteral("字体"));
    connect(fonts, &QMenu::aboutToShow, this, &CMainFrame::updateCommandStates);
    fillMenu(fonts, kFontMenu, make);
    auto* fontGroup = new QActionGroup(this);
    for (const MenuEntry& entry : kFontMenu) {
        commandAction(entry.id)->setCheckable(true);
        fontGroup->addAction(commandAction(entry.id));
    }
    fillMenu(view, kViewMenuBottom, make);
    QMenu* tools = addMenu(QStringLiteral("工具(&T)"));
    fillMenu(tools, kToolsMenu, make);
    autoUpdate_ = new CAutoUpdate(leftView_, this);
    tools->addSeparator();
    tools->addMenu(autoUpdate_->menu(this));
    tools->addSeparator();
    fillMenu(tools, kSyncMenu, make);
    syncControl_ = new SyncControl(collection_.get(), this);
    connect(autoUpdate_, &CAutoUpdate::ticked, syncControl_, [this] { syncControl_->syncNow(false); });
    fillMenu(addMenu(QStringLiteral("帮助(&H)")), kHelpMenu, make);
    for (int id : kCheckableCommands)
        commandAction(id)->setCheckable(true);
    leftView_->SetUnreadOnly(unreadOnlySetting());
    for (int id : kTreeKeyCommands) {
        QAction* action = commandAction(id);
        removeAction(action);
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        leftView_->addAction(action);
    }
    updateCommandStates();
}

void CMainFrame::createToolBar() {
    toolBar_ = addToolBar(QStringLiteral("工具栏"));
    toolBar_->setObjectName(QStringLiteral("toolBar"));
    toolBar_->setIconSize(QSize(24, 24));
    toolBar_->setToolButtonStyle(Qt::ToolButtonIconOnly);
    for (const ToolButton& button : kToolButtons) {
        if (button.id == 0) {
            toolBar_->addSeparator();
            continue;
        }
        QAction* action = makeAction(button.id, QString::fromUtf8(button.toolTip));
        action->setIcon(QIcon(QStringLiteral(":/icons/toolbar/%1.svg").arg(QLatin1String(button.icon))));
        action->setIconText(QString::fromUtf8(button.label ? button.label : button.toolTip));
        action->setToolTip(QString::fromUtf8(button.toolTip));
        toolBar_->addAction(action);
        if (button.label)
            if (auto* tool = qobject_cast<QToolButton*>(toolBar_->widgetForAction(action)))
                tool->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    }
}

// Keys without a menu entry.
void CMainFrame::createAccelerators() {
    makeAction(cmd::kDeleteItem, QStringLiteral("删除项目"))->setShortcut(QKeySequence(QStringLiteral("Ctrl+Del")));
    makeAction(cmd::kNextPane, QStringLiteral("下一个窗格"))->setShortcut(QKeySequence(Qt::Key_F6));
    makeAction(cmd::kPrevPane, QStringLiteral("上一个窗格"))->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F6));
}

void CMainFrame::updateCommandStates() {
    updateEditCommandStates();
    commandAction(cmd::kNavPane)->setChecked(navPaneVisible);
    commandAction(cmd::kViewToolbar)->setChecked(!toolBar_->isHidden());
    commandAction(cmd::kViewStatusBar)->setChecked(!statusBar()->isHidden());
    commandAction(cmd::kOptionSilent)->setChecked(tabView()->silent);
    commandAction(cmd::kOptionPopup)->setChecked(tabView()->blockPopups);
    commandAction(cmd::kOptionSdi)->setChecked(tabView()->singleWindow);
    commandAction(cmd::kUnreadOnly)->setChecked(leftView_->UnreadOnly());
    int zoom = tabView()->activePage ? tabView()->activePage->currentZoomCommand() : cmd::kFontMedium;
    for (int id = cmd::kFontLargest; id <= cmd::kFontSmallest; ++id)
        commandAction(id)->setChecked(id == zoom);
}

// The edit entries act on the page alone (the tree edits through its own
// menu), and only as far as the page can act now; undo also undoes the
// tree's edits.
void CMainFrame::updateEditCommandStates() {
    CKelvorView* page = activeView_ == ActiveView::Page ? tabView()->activePage : nullptr;
    for (int id : kEditCommands)
        commandAction(id)->setEnabled(page && page->isEditCommandEnabled(id));
    // Undo is the tree's own while it has the focus: its last edit.
    if (activeView_ == ActiveView::Tree)
        commandAction(cmd::kEditUndo)->setEnabled(leftView_->CanUndo());
}
