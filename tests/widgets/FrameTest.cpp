#include "BrowserTestSupport.h"
#include "frame/Addresses.h"
#include "app/CAddressBar.h"
#include "app/CKelvorApp.h"
#include "app/CMainFrame.h"
#include "app/ShortcutsDialog.h"
#include "frame/CommandIds.h"
#include "support/Recorders.h"
#include "support/TempDir.h"
#include "browser/CKelvorPage.h"
#include "navtree/CLeftView.h"

#include <QAction>
#include <QComboBox>
#include <QSettings>
#include <QSplitter>
#include <QTabBar>
#include <QToolBar>
#include <QToolButton>
#include <QTranslator>
#include <QWebEngineHistory>
#include <QWebEnginePage>

#include <gtest/gtest.h>

using kelvor::test::CleanSettings;
using kelvor::test::loadAndWait;
using kelvor::test::RecordingMessageBoxes;
using kelvor::test::TempDir;
using kelvor::test::waitUntil;
namespace cmd = kelvor::cmd;

namespace {

class Frame : public ::testing::Test {
protected:
    Frame() {
        frame.resize(1000, 700);
        frame.show();
    }
    QString address() const { return frame.addressBar()->combo->currentText(); }
    QString page(const char* name, const char* title) {
        return QString::fromStdString(
            dir.write(name, std::string("<html><head><title>") + title + "</title></head><body>x</body></html>"));
    }

    CleanSettings settings;
    RecordingMessageBoxes boxes;
    TempDir dir;
    kelvor::test::HomeGuard home{dir.path()}; // where the window finds index.xml
    CMainFrame frame;
};

} // namespace

TEST_F(Frame, NavigationPaneHidesToZeroWidthAndComesBackAsWide) {
    frame.splitter()->setSizes({310, 690});
    int before = frame.splitter()->sizes()[0];
    QAction* toggle = frame.commandAction(cmd::kNavPane);
    EXPECT_TRUE(toggle->isChecked());

    frame.OnCommand(cmd::kNavPane);
    EXPECT_EQ(frame.splitter()->sizes()[0], 0);
    EXPECT_FALSE(frame.navPaneVisible);
    EXPECT_FALSE(toggle->isChecked());
    EXPECT_EQ(frame.savedNavPaneWidth, before);

    frame.OnCommand(cmd::kNavPane);
    EXPECT_EQ(frame.splitter()->sizes()[0], before);
    EXPECT_TRUE(toggle->isChecked());
}

TEST_F(Frame, RefreshGoesToTheTreeOrThePageWhicheverIsActive) {
    dir.write("sub.xml", "<Tree><TreeNode Title=\"旧的\"/></Tree>");
    dir.write("index.xml", "<Tree><TreeNode Title=\"分支\" NodeSrc=\"sub.xml\"/></Tree>");
    CLeftView* tree = frame.leftView();
    ASSERT_TRUE(tree->LoadTreeFile(dir.file("index.xml"), tree->rootItem()));
    QTreeWidgetItem* branch = tree->topLevelItem(0);
    branch->setExpanded(true);
    ASSERT_EQ(branch->child(0)->text(0), QStringLiteral("旧的"));
    tree->setCurrentItem(branch);
    CKelvorView* shown = frame.tabView()->GetActivePage();
    ASSERT_TRUE(loadAndWait(shown, page("a.html", "甲")));
    int reloads = 0;
    QObject::connect(static_cast<CKelvorPage*>(shown->page()), &CKelvorPage::actionAsked,
                     [&](QWebEnginePage::WebAction action) { reloads += action == QWebEnginePage::Reload; });

    dir.write("sub.xml", "<Tree><TreeNode Title=\"新的\"/></Tree>");
    frame.setActiveView(CMainFrame::ActiveView::Page);
    frame.commandAction(cmd::kRefresh)->trigger();
    EXPECT_EQ(reloads, 1);
    EXPECT_EQ(branch->child(0)->text(0), QStringLiteral("旧的"));

    frame.setActiveView(CMainFrame::ActiveView::Tree);
    frame.commandAction(cmd::kRefresh)->trigger();
    EXPECT_EQ(branch->child(0)->text(0), QStringLiteral("新的"));
    EXPECT_EQ(reloads, 1);
}

TEST_F(Frame, FocusDecidesTheActiveView) {
    ASSERT_TRUE(loadAndWait(frame.tabView()->GetActivePage(), QStringLiteral("about:blank")));
    frame.activateWindow();
    frame.leftView()->setFocus();
    ASSERT_TRUE(waitUntil([&] { return frame.activeView() == CMainFrame::ActiveView::Tree; }, 2000));
    frame.OnCommand(cmd::kNextPane); // F6
    EXPECT_EQ(frame.activeView(), CMainFrame::ActiveView::Page);
    EXPECT_TRUE(frame.tabView()->isAncestorOf(QApplication::focusWidget()));
    frame.OnCommand(cmd::kPrevPane); // Shift+F6
    EXPECT_EQ(QApplication::focusWidget(), frame.leftView());
}

TEST_F(Frame, FrameOperationsReachTheBrowserSide) {
    frame.NavigateTo(page("a.html", "甲页").toStdString());
    CKelvorView* first = frame.tabView()->activePage;
    ASSERT_NE(first, nullptr);
    ASSERT_TRUE(waitUntil([&] { return frame.windowTitle() == QStringLiteral("甲页-万象汇览"); }));
    EXPECT_EQ(address(), QUrl::fromLocalFile(QString::fromStdString(dir.file("a.html"))).toString());

    CKelvorView* background = frame.OpenNewPage(false);
    frame.NavigatePage(background, page("b.html", "乙页").toStdString());
    ASSERT_TRUE(waitUntil([&] { return frame.tabView()->tabCtrl->tabText(1) == QStringLiteral("乙页"); }));
    EXPECT_EQ(frame.tabView()->activePage, first);
    EXPECT_EQ(frame.windowTitle(), QStringLiteral("甲页-万象汇览"));

    frame.ShowDescription("<p>说明</p>");
    ASSERT_TRUE(waitUntil([&] { return first->title == QStringLiteral("您现在查看的是项目描述"); }));

    frame.SetStatusText("当前在下载任务:2");
    EXPECT_EQ(frame.statusText(), QStringLiteral("当前在下载任务:2"));
}

TEST_F(Frame, BackFollowsAJumpWithinThePage) {
    frame.NavigateTo(page("a.html", "甲页").toStdString());
    CKelvorView* view = frame.tabView()->activePage;
    ASSERT_TRUE(waitUntil([&] { return frame.windowTitle() == QStringLiteral("甲页-万象汇览"); }));
    QAction* back = frame.commandAction(cmd::kBack);
    ASSERT_TRUE(waitUntil([&] { return !back->isEnabled(); }));
    // Same title, no new load: only the address changes.
    view->page()->runJavaScript(QStringLiteral("location.hash = 'part2'"));
    ASSERT_TRUE(waitUntil([&] { return view->history()->canGoBack(); }));
    EXPECT_TRUE(waitUntil([&] { return back->isEnabled(); }, 2000));
}

TEST_F(Frame, CommandsBeforeAnyPageMakeABlankOne) {
    EXPECT_EQ(frame.tabView()->tabCount(), 0);
    frame.OnCommand(cmd::kBack);
    ASSERT_EQ(frame.tabView()->tabCount(), 1);
    EXPECT_EQ(frame.tabView()->tabCtrl->tabText(0), QStringLiteral("about:blank"));
}

TEST_F(Frame, ClosePageClosesTheSelectedTabAndMakesThePageActive) {
    frame.setActiveView(CMainFrame::ActiveView::Tree);
    frame.NavigateTo(page("a.html", "甲").toStdString());
    CKelvorView* second = frame.OpenNewPage(true);
    ASSERT_EQ(frame.tabView()->tabCtrl->currentIndex(), 1);
    frame.OnCommand(cmd::kClosePage);
    EXPECT_EQ(frame.tabView()->tabCount(), 1);
    EXPECT_EQ(frame.tabView()->pagePool.front(), second);
    EXPECT_EQ(frame.activeView(), CMainFrame::ActiveView::Page);
}

TEST_F(Frame, HomeIsIndexHomeOrTheBuiltInDefault) {
    dir.write("index.xml", "<Tree Index=\"fav/hot.xml\"/>");
    EXPECT_EQ(frame.homeAddress(), kelvor::addr::kDefaultHomePage);
    dir.write("index.xml", "<Tree Home=\"home.html\"/>");
    EXPECT_EQ(frame.homeAddress(), "home.html");
}

TEST_F(Frame, ToolbarButtonsInOrderWithTheirLabels) {
    std::vector<int> ids;
    for (QAction* action : frame.toolBar()->actions())
        ids.push_back(action->isSeparator() ? 0 : action->data().toInt());
    EXPECT_EQ(ids, (std::vector<int>{cmd::kFileNew, 0, cmd::kBack, cmd::kForward, 0, cmd::kStop, cmd::kRefresh,
                                     cmd::kSearch, cmd::kHome, cmd::kNavPane}));
    auto label = [&](int id) {
        auto* button = qobject_cast<QToolButton*>(frame.toolBar()->widgetForAction(frame.commandAction(id)));
        return button->toolButtonStyle() == Qt::ToolButtonTextBesideIcon ? button->text() : QString();
    };
    EXPECT_EQ(label(cmd::kBack), QStringLiteral("后退"));
    EXPECT_EQ(label(cmd::kForward), QStringLiteral("前进"));
    EXPECT_EQ(label(cmd::kStop), QStringLiteral("停止"));
    EXPECT_EQ(label(cmd::kRefresh), QStringLiteral("刷新"));
    EXPECT_EQ(label(cmd::kHome), QString());
}

TEST_F(Frame, AcceleratorKeysCarryTheirCommands) {
    auto commandOf = [&](const char* keys) {
        QKeySequence wanted(QString::fromLatin1(keys));
        for (QAction* action : frame.actions())
            if (action->shortcuts().contains(wanted))
                return action->data().toInt();
        return 0;
    };
    const std::pair<const char*, int> expected[] = {
        {"Ctrl+Del", cmd::kDeleteItem}, {"Ctrl+C", cmd::kEditCopy},       {"Ctrl+Ins", cmd::kEditCopy},
        {"Shift+Del", cmd::kEditCut},   {"Ctrl+X", cmd::kEditCut},        {"Ctrl+V", cmd::kEditPaste},
        {"Shift+Ins", cmd::kEditPaste}, {"Alt+Backspace", cmd::kEditUndo}, {"Ctrl+Z", cmd::kEditUndo},
        {"Ctrl+D", cmd::kAddFavorite},  {"Ctrl+N", cmd::kFileNew},        {"Ctrl+O", cmd::kFileOpen},
        {"Ctrl+S", cmd::kFileSave},     {"F6", cmd::kNextPane},           {"Shift+F6", cmd::kPrevPane},
        {"F4", cmd::kNavPane},          {"Esc", cmd::kStop},              {"F5", cmd::kRefresh},
        {"Ctrl+F", cmd::kEditFind},     {"Ctrl+P", cmd::kFilePrint},
        {"Ctrl+T", cmd::kNewPage},      {"Ctrl+W", cmd::kClosePage},      {"Ctrl+Tab", cmd::kNextPage},
        {"Ctrl+Shift+Tab", cmd::kPrevPage}, {"Alt+Left", cmd::kBack},     {"Alt+Right", cmd::kForward},
    };
    for (const auto& [keys, id] : expected)
        EXPECT_EQ(commandOf(keys), id) << keys;

    // Letters are the tree's alone: typed in the address box or a page's
    // form they stay letters.
    const std::pair<const char*, int> treeKeys[] = {
        {"N", cmd::kNextUnread}, {"Shift+N", cmd::kPrevUnread}, {"P", cmd::kPrevUnread},
        {"M", cmd::kToggleRead}, {"Ctrl+Shift+M", cmd::kMarkAllRead}};
    for (const auto& [keys, id] : treeKeys) {
        EXPECT_EQ(commandOf(keys), 0) << keys;
        QAction* action = frame.commandAction(id);
        EXPECT_TRUE(frame.leftView()->actions().contains(action)) << keys;
        EXPECT_EQ(action->shortcutContext(), Qt::WidgetWithChildrenShortcut) << keys;
        EXPECT_TRUE(action->shortcuts().contains(QKeySequence(QString::fromLatin1(keys)))) << keys;
    }

    // 帮助 > 键盘快捷键 lists every key a menu carries, and the tree's own.
    auto rows = kelvor::app::shortcutRows(&frame);
    auto listed = [&](const QString& what, const QString& keys) {
        return std::find(rows.begin(), rows.end(), std::make_pair(what, keys)) != rows.end();
    };
    EXPECT_TRUE(listed(QStringLiteral("查看 > 下一条未读"), QStringLiteral("N")));
    EXPECT_TRUE(listed(QStringLiteral("查看 > 上一个页面"), QStringLiteral("Ctrl+Shift+Tab, Ctrl+PgUp")));
    EXPECT_TRUE(listed(QStringLiteral("更新全部频道（导航栏）"), QStringLiteral("F5")));
}

TEST_F(Frame, NewNextAndPreviousPage) {
    CKelvorView* first = frame.tabView()->GetActivePage();
    ASSERT_TRUE(loadAndWait(first, page("a.html", "甲")));
    frame.commandAction(cmd::kNewPage)->trigger();
    CKelvorView* second = frame.tabView()->GetActivePage();
    ASSERT_NE(second, first);
    EXPECT_EQ(frame.tabView()->tabCount(), 2);
    frame.commandAction(cmd::kNextPage)->trigger();
    EXPECT_EQ(frame.tabView()->GetActivePage(), first) << "round from the last to the first";
    frame.commandAction(cmd::kPrevPage)->trigger();
    EXPECT_EQ(frame.tabView()->GetActivePage(), second);
}

TEST_F(Frame, ClosingSavesTheHistoryAndExitsCleanlyWhilePagesLoad) {
    frame.addressBar()->combo->setEditText(page("a.html", "甲"));
    frame.addressBar()->OnGo();
    for (int i = 0; i < 3; ++i)
        frame.NavigatePage(frame.OpenNewPage(i == 2), "about:blank");
    EXPECT_TRUE(frame.close());
    QSettings settings;
    EXPECT_EQ(settings.value("TypedUrls/url1").toString(), QString::fromStdString(dir.file("a.html")));
    // The frame (and with it pages still loading) goes at the end of the test.
}

TEST_F(Frame, EditEntriesFollowThePageAndAreGreyWhileTheTreeHasTheFocus) {
    const std::pair<int, QWebEnginePage::WebAction> entries[] = {
        {cmd::kEditUndo, QWebEnginePage::Undo},   {cmd::kEditRedo, QWebEnginePage::Redo},
        {cmd::kEditCut, QWebEnginePage::Cut},     {cmd::kEditCopy, QWebEnginePage::Copy},
        {cmd::kEditPaste, QWebEnginePage::Paste}, {cmd::kEditSelectAll, QWebEnginePage::SelectAll},
    };
    CKelvorView* shown = frame.tabView()->GetActivePage();
    ASSERT_TRUE(loadAndWait(shown, page("a.html", "甲")));
    frame.activateWindow();
    shown->setFocus();
    ASSERT_TRUE(waitUntil([&] { return frame.activeView() == CMainFrame::ActiveView::Page; }, 2000));
    for (bool pageCanAct : {true, false}) {
        for (const auto& [id, action] : entries)
            shown->pageAction(action)->setEnabled(pageCanAct);
        frame.updateCommandStates(); // what a menu does before it shows
        for (const auto& [id, action] : entries)
            EXPECT_EQ(frame.commandAction(id)->isEnabled(), pageCanAct) << id;
    }
    for (const auto& [id, action] : entries)
        shown->pageAction(action)->setEnabled(true);
    frame.updateCommandStates();

    // Focus alone greys them: their keys then reach the tree.
    frame.leftView()->setFocus();
    ASSERT_TRUE(waitUntil([&] { return frame.activeView() == CMainFrame::ActiveView::Tree; }, 2000));
    for (const auto& [id, action] : entries)
        EXPECT_FALSE(frame.commandAction(id)->isEnabled()) << id;
    frame.updateCommandStates();
    for (const auto& [id, action] : entries)
        EXPECT_FALSE(frame.commandAction(id)->isEnabled()) << id;
    EXPECT_TRUE(frame.commandAction(cmd::kEditFind)->isEnabled());
}

TEST_F(Frame, BarsStayInPlaceAndOnlyTheViewMenuHidesTheToolbar) {
    for (QToolBar* bar : {frame.toolBar(), static_cast<QToolBar*>(frame.addressBar())}) {
        EXPECT_FALSE(bar->isMovable());
        EXPECT_FALSE(bar->isFloatable());
    }
    EXPECT_EQ(frame.createPopupMenu(), nullptr);
    frame.OnCommand(cmd::kViewToolbar);
    EXPECT_TRUE(frame.toolBar()->isHidden());
    frame.OnCommand(cmd::kViewToolbar);
    EXPECT_FALSE(frame.toolBar()->isHidden());
    EXPECT_FALSE(frame.addressBar()->isHidden());
}

TEST(Application, QtsOwnTextsAreChinese) {
    QList<QTranslator*> installed = CKelvorApp::installChineseTranslations();
    EXPECT_EQ(installed.size(), 2);
    // The file dialog (qtbase) and the page's context menu (qtwebengine).
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Look in:"), QStringLiteral("查找范围："));
    EXPECT_EQ(QCoreApplication::translate("RenderViewContextMenuQt", "Save page"), QStringLiteral("保存页面"));
    for (QTranslator* translator : installed) {
        QCoreApplication::removeTranslator(translator);
        delete translator;
    }
}
