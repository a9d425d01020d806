// What clicks, Enter and the open commands show, as recorded by the frame.
#include "app/CommandIds.h"
#include "tree/Strings.h"
#include "widgets/TreeEditFixture.h"

#include <QKeyEvent>
#include <QMouseEvent>

namespace cmd = kelvor::cmd;
using Calls = std::vector<std::string>;

namespace {

class OpenItems : public kelvor::test::TreeEditFixture {
protected:
    void SetUp() override {
        TreeEditFixture::SetUp();
        channelsPath = dir.write("fav/channels.xml", R"(<Tree Type="fav">
          <TreeNode Title="已缓存频道" Rss="http://feed.example/a" Href="http://site.example/"/>
          <TreeNode Title="未下载频道" Rss="http://feed.example/b"/>
        </Tree>)");
        cachePath = dir.write("rss/已缓存频道.xml", R"(<Tree Type="rss" BaseURL="http://feed.example/a"/>)");
        loadInto(item("子树丙"), channelsPath);
        view.resize(500, 600);
        view.show();
        QApplication::processEvents();
    }

    enum class Spot { Label, Icon, RowEnd };

    QPoint pointOn(QTreeWidgetItem* target, Spot spot) {
        QRect row = view.visualItemRect(target);
        int x = spot == Spot::Icon ? row.left() + 8 : spot == Spot::Label ? row.left() + 40 : row.right() - 4;
        return {x, row.center().y()};
    }

    void mouse(QEvent::Type type, const QPoint& at) {
        QPointF local(at);
        QMouseEvent event(type, local, view.viewport()->mapToGlobal(local), Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view.viewport(), &event);
    }

    void click(QTreeWidgetItem* target, Spot spot = Spot::Label) {
        QPoint at = pointOn(target, spot);
        mouse(QEvent::MouseButtonPress, at);
        mouse(QEvent::MouseButtonRelease, at);
    }

    void doubleClick(QTreeWidgetItem* target) {
        QPoint at = pointOn(target, Spot::Label);
        mouse(QEvent::MouseButtonPress, at);
        mouse(QEvent::MouseButtonRelease, at);
        mouse(QEvent::MouseButtonDblClick, at);
        mouse(QEvent::MouseButtonRelease, at);
    }

    void key(int code, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QKeyEvent event(QEvent::KeyPress, code, modifiers);
        QApplication::sendEvent(&view, &event);
    }

    Calls takeCalls() { return std::exchange(frame.calls, {}); }

    std::string channelsPath, cachePath;
};

// A frame that does make pages (a token the tree only hands back).
class PageMakingFrame : public kelvor::test::RecordingFrame {
public:
    CKelvorView* OpenNewPage(bool activate) override {
        RecordingFrame::OpenNewPage(activate);
        return reinterpret_cast<CKelvorView*>(&calls);
    }
};

} // namespace

TEST_F(OpenItems, ClickOnALabelOpensWhatTheItemIs) {
    click(item("链接甲"));
    click(item("文本乙"));
    click(item("丁二"));
    click(item("已缓存频道"));
    EXPECT_EQ(takeCalls(), (Calls{"NavigateTo(http://a.example/)", "ShowDescription(乙的描述)",
                                  "ShowDescription(" + std::string(kelvor::str::kNoDescription) + ")",
                                  "NavigateTo(" + cachePath + ")"}));

    // A local sub-tree opens its file; its items wait for an expansion.
    click(item("我的收藏"));
    EXPECT_EQ(takeCalls(), (Calls{"NavigateTo(" + catPath + ")"}));

    // A channel never downloaded is expanded instead, and nothing opens.
    QTreeWidgetItem* fresh = item("未下载频道");
    click(fresh);
    EXPECT_TRUE(fresh->isExpanded());
    EXPECT_TRUE(takeCalls().empty());
}

TEST_F(OpenItems, OnlyTheLabelOpensTheRestOfTheRowJustSelects) {
    QTreeWidgetItem* text = item("文本乙");
    click(text, Spot::Icon);
    EXPECT_EQ(view.currentItem(), text);
    click(item("链接甲"), Spot::RowEnd);
    EXPECT_TRUE(takeCalls().empty());
    view.setCurrentItem(text);
    view.handleCommand(cmd::kViewItem);
    EXPECT_EQ(takeCalls(), (Calls{"ShowDescription(乙的描述)"}));
}

TEST_F(OpenItems, DoubleClickRunsTheClickAndThenOpensTheHref) {
    doubleClick(item("链接甲"));
    EXPECT_EQ(takeCalls(), (Calls{"NavigateTo(http://a.example/)", "NavigateTo(http://a.example/)"}));
    doubleClick(item("已缓存频道"));
    EXPECT_EQ(takeCalls(), (Calls{"NavigateTo(" + cachePath + ")", "NavigateTo(http://site.example/)"}));
}

TEST_F(OpenItems, EnterOpensTheSelectedItemWhereverThePointerIs) {
    view.setCurrentItem(item("文本乙"));
    key(Qt::Key_Return);
    view.setCurrentItem(item("链接甲"));
    key(Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(takeCalls(), (Calls{"ShowDescription(乙的描述)", "NavigateTo(http://a.example/)"}));

    // Ctrl+Delete deletes the selected item.
    view.setCurrentItem(item("丁一"));
    key(Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(labels(item("目录丁")), (std::vector<std::string>{"丁二", "丁三"}));
}

TEST_F(OpenItems, CommandsOnTheSelectedItem) {
    view.setCurrentItem(item("文本乙"));
    for (int id : {cmd::kOpenItem, cmd::kOpenInNewWindow, cmd::kCopyLink})
        view.handleCommand(id);
    EXPECT_TRUE(takeCalls().empty()); // no Href: nothing to open
    EXPECT_TRUE(QGuiApplication::clipboard()->text().isEmpty());

    view.setCurrentItem(item("链接甲"));
    view.handleCommand(cmd::kOpenItem);
    view.handleCommand(cmd::kCopyLink);
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), "http://a.example/");
    EXPECT_EQ(takeCalls(), (Calls{"NavigateTo(http://a.example/)"}));

    // A new page gets the address; without a page nothing is navigated.
    view.handleCommand(cmd::kOpenInNewWindow);
    EXPECT_EQ(takeCalls(), (Calls{"SetAddressText(http://a.example/)", "OpenNewPage(1)"}));
    {
        PageMakingFrame pages;
        view.handleCommand(cmd::kOpenInNewWindow);
        EXPECT_EQ(pages.calls, (Calls{"SetAddressText(http://a.example/)", "OpenNewPage(1)",
                                      "NavigatePage(http://a.example/)"}));
    }

    // The loading placeholder has no node: every command is silent.
    view.setCurrentItem(item("未下载频道")->child(0));
    for (int id : {cmd::kOpenItem, cmd::kViewItem, cmd::kOpenInNewWindow, cmd::kCopyLink})
        view.handleCommand(id);
    EXPECT_TRUE(takeCalls().empty());
}
