#include "BrowserTestSupport.h"
#include "browser/TabLayout.h"
#include "support/Recorders.h"

#include <QMouseEvent>
#include <QTabBar>

#include <gtest/gtest.h>

using kelvor::test::CleanSettings;
using kelvor::test::RecordingFrame;
namespace browser = kelvor::browser;

namespace {

class TabView : public ::testing::Test {
protected:
    TabView() {
        tabs.resize(600, 400);
        tabs.show();
    }
    CKelvorView* open(const QString& text, bool activate = true) { return tabs.CreatePage(text, activate); }
    QString tabText(int i) const { return tabs.tabCtrl->tabText(i); }

    CleanSettings settings;
    RecordingFrame frame;
    CTabView tabs;
};

} // namespace

TEST(TabLayoutRule, TabWidthIsCappedAndShrinksWithTheCount) {
    EXPECT_EQ(browser::tabWidth(600, 3), 150);
    EXPECT_EQ(browser::tabWidth(600, 20), 27);
    EXPECT_EQ(browser::tabWidth(600, 4), 143); // (583 / 4) - 2, integer division
    EXPECT_FALSE(browser::tabStripVisible(1));
    EXPECT_EQ(browser::pageRect(QSize(600, 400), 1), QRect(0, 0, 600, 400));
    EXPECT_EQ(browser::pageRect(QSize(600, 400), 2), QRect(0, 0, 600, 374));
    EXPECT_EQ(browser::tabStripRect(QSize(600, 400)), QRect(0, 374, 600, 26));
}

TEST_F(TabView, StripAppearsWithTheSecondPageAndTabsGetTheirFixedWidth) {
    CKelvorView* first = open(QStringLiteral("一"));
    EXPECT_FALSE(tabs.tabCtrl->isVisible());
    EXPECT_EQ(first->geometry(), QRect(0, 0, 600, 400));

    CKelvorView* second = open(QStringLiteral("二"));
    EXPECT_TRUE(tabs.tabCtrl->isVisible());
    EXPECT_EQ(tabs.tabCtrl->geometry(), QRect(0, 374, 600, 26));
    EXPECT_EQ(second->geometry(), QRect(0, 0, 600, 374));
    EXPECT_FALSE(first->isVisible());
    EXPECT_EQ(tabs.tabCtrl->currentIndex(), 1);

    open(QStringLiteral("三"));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(tabs.tabCtrl->tabRect(i).width(), 150) << i;
    EXPECT_EQ(tabs.tabCtrl->tabRect(0).height(), 24);
}

TEST_F(TabView, BackgroundPageGetsATabButStaysHidden) {
    CKelvorView* active = open(QStringLiteral("前台"));
    CKelvorView* background = tabs.CreatePage(std::nullopt, false);
    EXPECT_EQ(tabs.activePage, active);
    EXPECT_EQ(background->tabIndex, 1);
    EXPECT_EQ(tabText(1), QStringLiteral("about:blank"));
    EXPECT_FALSE(background->isVisible());
    EXPECT_EQ(background->previousPage, nullptr);
    EXPECT_EQ(tabs.tabCtrl->currentIndex(), 0);
}

TEST_F(TabView, ClosingFollowsTheActivationHistoryToAPageThatStillHasATab) {
    CKelvorView* a = open(QStringLiteral("A"));
    CKelvorView* b = open(QStringLiteral("B"));
    CKelvorView* c = open(QStringLiteral("C"));
    CKelvorView* d = open(QStringLiteral("D"));
    tabs.ActivatePage(0); // A, reached from D
    EXPECT_EQ(a->previousPage, d);

    tabs.ClosePage(3); // D goes to the pool; A stays active
    ASSERT_EQ(tabs.tabCount(), 3);
    tabs.ActivatePage(0);
    // A's history: A (itself, activated again) -> D (pooled) -> C.
    tabs.ClosePage(0);
    EXPECT_EQ(tabs.activePage, c);
    EXPECT_EQ(c->tabIndex, 1);
    EXPECT_EQ(b->tabIndex, 0);
    // The page activated after a close remembers no predecessor.
    EXPECT_EQ(c->previousPage, nullptr);

    // No history left: the last tab.
    tabs.ActivatePage(0);
    tabs.ClosePage(1);
    EXPECT_EQ(tabs.activePage, b);
    EXPECT_EQ(tabs.pagePool.size(), 3u);
    EXPECT_EQ(tabs.pagePool.front(), d);
}

TEST_F(TabView, ClosingTheLastTabLeavesOneBlankPageFromThePool) {
    CKelvorView* only = open(QStringLiteral("唯一"));
    only->title = QStringLiteral("旧标题");
    tabs.ClosePage(0);
    ASSERT_EQ(tabs.tabCount(), 1);
    EXPECT_EQ(tabs.activePage, only); // the page just closed, reused
    EXPECT_TRUE(tabs.pagePool.empty());
    EXPECT_EQ(tabText(0), QStringLiteral("about:blank"));
    EXPECT_TRUE(only->title.isEmpty());
    EXPECT_FALSE(tabs.tabCtrl->isVisible());
}

TEST_F(TabView, RightClickClosesTheSelectedTabNotTheOneUnderTheMouse) {
    open(QStringLiteral("左"));
    open(QStringLiteral("中"));
    CKelvorView* right = open(QStringLiteral("右"));
    QPoint onFirst = tabs.tabCtrl->tabRect(0).center();
    QMouseEvent release(QEvent::MouseButtonRelease, onFirst, tabs.tabCtrl->mapToGlobal(onFirst), Qt::RightButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(tabs.tabCtrl, &release);
    ASSERT_EQ(tabs.tabCount(), 2);
    EXPECT_EQ(tabText(0), QStringLiteral("左"));
    EXPECT_EQ(tabText(1), QStringLiteral("中"));
    EXPECT_EQ(tabs.pagePool.back(), right);
}

TEST_F(TabView, PopUpSinkIsHiddenHasNoTabAndUsesThePoolHeadWithoutTakingIt) {
    open(QStringLiteral("页"));
    tabs.blockPopups = true;
    tabs.silent = false;
    CKelvorView* sink1 = tabs.CreatePage(std::nullopt, false);
    CKelvorView* sink2 = tabs.CreatePage(std::nullopt, false);
    EXPECT_NE(sink1, sink2); // an empty pool makes a further sink each time
    for (CKelvorView* sink : {sink1, sink2}) {
        EXPECT_EQ(sink->tabIndex, -1);
        EXPECT_FALSE(sink->isVisible());
        EXPECT_TRUE(sink->isSilent());
    }
    EXPECT_EQ(tabs.tabCount(), 1);
    EXPECT_TRUE(tabs.pagePool.empty());

    CKelvorView* pooled = open(QStringLiteral("将关闭"));
    tabs.ClosePage(1);
    ASSERT_EQ(tabs.pagePool.front(), pooled);
    EXPECT_EQ(tabs.CreatePage(std::nullopt, false), pooled);
    EXPECT_EQ(tabs.pagePool.size(), 1u);
    EXPECT_EQ(tabs.tabCount(), 1);
    // Asked for in front, the pooled page leaves the pool with the option's
    // silence, not the sink's.
    EXPECT_EQ(tabs.CreatePage(std::nullopt, true), pooled);
    EXPECT_TRUE(tabs.pagePool.empty());
    EXPECT_FALSE(pooled->isSilent());
}

TEST_F(TabView, WindowTitleAndAddressFollowOnlyTheActivePage) {
    CKelvorView* first = open(QStringLiteral("一"));
    CKelvorView* second = open(QStringLiteral("二"));
    frame.calls.clear();
    tabs.UpdatePageTab(0, QStringLiteral("后台标题"), QStringLiteral("http://back/"), CTabView::kImageDone, first);
    EXPECT_EQ(tabText(0), QStringLiteral("后台标题"));
    EXPECT_TRUE(frame.calls.empty());
    EXPECT_EQ(tabs.windowTitle(), QString());

    tabs.UpdatePageTab(1, QStringLiteral("A&B"), QStringLiteral("http://front/"), CTabView::kImageDone, second);
    EXPECT_EQ(tabs.windowTitle(), QStringLiteral("A&B-万象汇览"));
    EXPECT_EQ(tabText(1), QStringLiteral("A&&B")); // "&" shown as itself
    EXPECT_EQ(frame.calls, std::vector<std::string>{"SetAddressText(http://front/)"});

    // A page that never had a title.
    tabs.CreatePage(std::nullopt, false);
    tabs.ActivatePage(2);
    EXPECT_EQ(tabs.windowTitle(), QStringLiteral("-万象汇览"));
    tabs.UpdatePageTab(-1, QStringLiteral("无标签"), std::nullopt, CTabView::kImageDone, second);
    EXPECT_EQ(tabs.windowTitle(), QStringLiteral("-万象汇览"));
}

TEST_F(TabView, NavigateMakesAPageWhenThereIsNoneAndMarksItsTabLoading) {
    tabs.Navigate(QStringLiteral("about:blank"));
    ASSERT_NE(tabs.activePage, nullptr);
    EXPECT_EQ(tabText(0), QStringLiteral("about:blank"));
    EXPECT_EQ(frame.calls.front(), "SetAddressText(about:blank)");
    EXPECT_EQ(tabs.GetActivePage(), tabs.activePage);
    EXPECT_EQ(tabs.tabCount(), 1);
}

TEST_F(TabView, SilentOptionAppliesToPagesHandedOutAfterwards) {
    tabs.silent = true;
    CKelvorView* before = open(QStringLiteral("之前"));
    tabs.silent = false;
    CKelvorView* after = open(QStringLiteral("之后"));
    EXPECT_TRUE(before->isSilent());
    EXPECT_FALSE(after->isSilent());
}
