// Coming back to where the user was: a window closed, another made on the
// same home folder and settings as the next start makes it.
#include "BrowserTestSupport.h"
#include "app/CMainFrame.h"
#include "app/SessionState.h"
#include "frame/CommandIds.h"
#include "navtree/CLeftView.h"
#include "support/Recorders.h"
#include "support/TempDir.h"

#include <QAction>
#include <QSettings>
#include <QSplitter>
#include <QTabBar>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

using kelvor::test::waitUntil;

namespace {

// The group the frames write when they close, empty before and after.
struct ClearedSession {
    ClearedSession() { clear(); }
    ~ClearedSession() { clear(); }
    static void clear() {
        QSettings settings;
        settings.remove(QStringLiteral("Session"));
        settings.sync();
    }
};

class SessionRestore : public ::testing::Test {
protected:
    std::string page(const std::string& name, const std::string& title) {
        return dir.write(name, "<html><head><title>" + title + "</title></head><body>" + title +
                                   "</body></html>");
    }
    static QString url(const std::string& path) {
        return QUrl::fromLocalFile(QString::fromStdString(path)).toString();
    }
    // The tree's item under `parent` (nullptr: the top) with that label.
    static QTreeWidgetItem* child(CLeftView* tree, QTreeWidgetItem* parent, const char* title) {
        QTreeWidgetItem* at = parent ? parent : tree->invisibleRootItem();
        for (int i = 0; i < at->childCount(); ++i)
            if (at->child(i)->text(0) == QString::fromUtf8(title))
                return at->child(i);
        return nullptr;
    }
    static QStringList tabTexts(CMainFrame& frame) {
        QStringList texts;
        for (int i = 0; i < frame.tabView()->tabCount(); ++i)
            texts << frame.tabView()->tabCtrl->tabText(i);
        return texts;
    }

    kelvor::test::CleanSettings settings;
    ClearedSession session;
    kelvor::test::RecordingMessageBoxes boxes;
    kelvor::test::TempDir dir;
    kelvor::test::HomeGuard home{dir.path()};
    std::string start = page("start.html", "起始页");
};

} // namespace

TEST_F(SessionRestore, TheNextStartShowsTheWindowTreeAndPagesAsTheyWereLeft) {
    dir.write("a.xml", "<Tree><TreeNode Title=\"甲一\"/><TreeNode Title=\"甲二\">"
                       "<TreeNode Title=\"甲二一\"/><TreeNode Title=\"甲二二\"/></TreeNode></Tree>");
    dir.write("index.xml", "<Tree Index=\"" + start +
                               "\"><TreeNode Title=\"起点\"><TreeNode Title=\"起点一\"/></TreeNode>"
                               "<TreeNode Title=\"甲类\" NodeSrc=\"a.xml\"/>"
                               "<TreeNode Title=\"乙类\"><TreeNode Title=\"乙一\"/></TreeNode></Tree>");
    std::string p1 = page("p1.html", "一号页"), p2 = page("p2.html", "二号页"),
                p3 = page("p3.html", "三号页");

    QRect geometry;
    QList<int> sizes;
    {
        auto first = std::make_unique<CMainFrame>();
        first->resize(900, 640);
        first->move(40, 30);
        first->show();
        first->initialUpdate();
        first->splitter()->setSizes({300, 560});
        CLeftView* tree = first->leftView();
        // The start opens the first item; the user closed it, opened a
        // category file and a folder in it, and picked the folder's second item.
        ASSERT_TRUE(tree->topLevelItem(0)->isExpanded());
        tree->topLevelItem(0)->setExpanded(false);
        QTreeWidgetItem* category = child(tree, nullptr, "甲类");
        category->setExpanded(true);
        QTreeWidgetItem* folder = child(tree, category, "甲二");
        ASSERT_NE(folder, nullptr);
        folder->setExpanded(true);
        tree->setCurrentItem(child(tree, folder, "甲二二"));

        first->NavigateTo(p1);
        first->NavigatePage(first->OpenNewPage(true), "about:blank"); // not brought back
        first->NavigatePage(first->OpenNewPage(true), p2);
        first->NavigatePage(first->OpenNewPage(true), p3);
        first->tabView()->ActivatePage(2);
        ASSERT_TRUE(waitUntil([&] {
            return tabTexts(*first) == QStringList{"一号页", "about:blank", "二号页", "三号页"};
        }));
        geometry = first->geometry();
        sizes = first->splitter()->sizes();
        ASSERT_EQ(sizes.value(0), 300);
        EXPECT_TRUE(first->close());
    }

    CMainFrame second;
    second.initialUpdate(true);
    second.show();
    EXPECT_EQ(second.geometry(), geometry);
    EXPECT_TRUE(waitUntil([&] { return second.splitter()->sizes() == sizes; }))
        << second.splitter()->sizes().value(0);

    CLeftView* tree = second.leftView();
    EXPECT_FALSE(child(tree, nullptr, "起点")->isExpanded());
    EXPECT_FALSE(child(tree, nullptr, "乙类")->isExpanded());
    QTreeWidgetItem* category = child(tree, nullptr, "甲类");
    ASSERT_TRUE(category->isExpanded());
    QTreeWidgetItem* folder = child(tree, category, "甲二");
    ASSERT_NE(folder, nullptr);
    EXPECT_TRUE(folder->isExpanded());
    ASSERT_NE(tree->currentItem(), nullptr);
    EXPECT_EQ(tree->currentItem(), child(tree, folder, "甲二二"));
    EXPECT_TRUE(tree->currentItem()->isSelected());

    // The pages in their order, the second active, and no start page.
    EXPECT_EQ(second.tabView()->pageAddresses(), (QStringList{url(p1), url(p2), url(p3)}));
    EXPECT_EQ(second.tabView()->activePageIndex(), 1);
    EXPECT_TRUE(waitUntil(
        [&] { return tabTexts(second) == QStringList{"一号页", "二号页", "三号页"}; }))
        << tabTexts(second).join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(second.tabView()->activePage, second.tabView()->pageAt(1));
    EXPECT_TRUE(boxes.messages.empty());
}

TEST_F(SessionRestore, WhatIsGoneOrRenamedIsSkippedQuietlyAndPagesOnlyWithTheOption) {
    dir.write("a.xml", "<Tree><TreeNode Title=\"甲一\"/></Tree>");
    const std::string folders = "<TreeNode Title=\"丙类\"><TreeNode Title=\"丙一\"/></TreeNode>";
    // The start opens the first item by itself, so the category file is second.
    const std::string head = "<Tree Index=\"" + start +
                             "\"><TreeNode Title=\"起点\"><TreeNode Title=\"起点一\"/></TreeNode>"
                             "<TreeNode Title=\"甲类\" NodeSrc=\"a.xml\"/>";
    dir.write("index.xml", head + "<TreeNode Title=\"乙类\"><TreeNode Title=\"乙一\"/></TreeNode>" +
                               folders + "<TreeNode Title=\"丁类\"><TreeNode Title=\"丁一\"/></TreeNode></Tree>");
    kelvor::app::setRestorePagesOption(false);
    {
        CMainFrame first;
        first.showMaximized();
        first.initialUpdate();
        first.splitter()->setSizes({280, 600});
        CLeftView* tree = first.leftView();
        for (const char* title : {"甲类", "乙类", "丙类", "丁类"})
            child(tree, nullptr, title)->setExpanded(true);
        tree->setCurrentItem(child(tree, child(tree, nullptr, "乙类"), "乙一"));
        first.NavigateTo(page("p1.html", "一号页"));
        first.OnCommand(kelvor::cmd::kNavPane);
        ASSERT_FALSE(first.navPaneVisible);
        EXPECT_TRUE(first.close());
    }
    EXPECT_FALSE(QSettings().contains(QStringLiteral("Session/Pages")));

    // Since then the category file went, 乙类 was renamed and 丁类 removed.
    std::filesystem::remove(dir.file("a.xml"));
    dir.write("index.xml", head + "<TreeNode Title=\"乙类（改）\"><TreeNode Title=\"乙一\"/></TreeNode>" +
                               folders + "</Tree>");
    CMainFrame second;
    second.initialUpdate(true);
    second.show();
    CLeftView* tree = second.leftView();
    EXPECT_TRUE(boxes.messages.empty()) << boxes.messages.front().text;
    EXPECT_TRUE(child(tree, nullptr, "起点")->isExpanded());
    EXPECT_FALSE(child(tree, nullptr, "甲类")->isExpanded());
    EXPECT_FALSE(child(tree, nullptr, "乙类（改）")->isExpanded());
    EXPECT_TRUE(child(tree, nullptr, "丙类")->isExpanded());
    EXPECT_EQ(tree->selectedPath(), QString());

    EXPECT_TRUE(second.isMaximized());
    EXPECT_FALSE(second.navPaneVisible);
    EXPECT_FALSE(second.commandAction(kelvor::cmd::kNavPane)->isChecked());
    EXPECT_TRUE(waitUntil([&] { return second.splitter()->sizes().value(1) > 0; }));
    EXPECT_EQ(second.splitter()->sizes().value(0), 0);
    second.OnCommand(kelvor::cmd::kNavPane);
    EXPECT_EQ(second.splitter()->sizes().value(0), 280);

    // No page came back: the start page, as on a first start.
    EXPECT_EQ(second.tabView()->pageAddresses(), QStringList{url(start)});
}
