// What clicks, Enter and the open commands show, as the frame records it.
#include "frame/CommandIds.h"
#include "support/Offline.h"
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
        // Expanding the channel never downloaded starts its download: the
        // address fails at once, on this machine.
        const std::string cached = kelvor::test::unreachableUrl("/a");
        loadInto(item("子树丙"), dir.write("fav/channels.xml", R"(<Tree Type="fav">
          <TreeNode Title="已缓存频道" Rss=")" + cached + R"(" Href="http://site.example/"/>
          <TreeNode Title="未下载频道" Rss=")" + kelvor::test::unreachableUrl("/b") +
                                                                   R"("/></Tree>)"));
        cachePath =
            dir.write("rss/已缓存频道.xml", R"(<Tree Type="rss" BaseURL=")" + cached + R"("/>)");
        view.resize(500, 600);
        view.show();
    }

    enum Spot { kLabel, kIcon, kRowEnd };

    void mouse(QEvent::Type type, QTreeWidgetItem* target, Spot spot = kLabel) {
        QRect row = view.visualItemRect(target);
        QPointF at(spot == kIcon ? row.left() + 8 : spot == kLabel ? row.left() + 40 : row.right() - 4,
                   row.center().y());
        QMouseEvent event(type, at, view.viewport()->mapToGlobal(at), Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view.viewport(), &event);
    }

    void click(QTreeWidgetItem* target, Spot spot = kLabel) {
        mouse(QEvent::MouseButtonPress, target, spot);
        mouse(QEvent::MouseButtonRelease, target, spot);
    }

    void key(int code, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QKeyEvent event(QEvent::KeyPress, code, modifiers);
        QApplication::sendEvent(&view, &event);
    }

    Calls takeCalls() { return std::exchange(frame.calls, {}); }

    std::string cachePath;
};

// A frame that makes pages (a token the tree only hands back).
class PageMakingFrame : public kelvor::test::RecordingFrame {
public:
    CKelvorView* OpenNewPage(bool activate) override {
        RecordingFrame::OpenNewPage(activate);
        return reinterpret_cast<CKelvorView*>(this);
    }
};

} // namespace

TEST_F(OpenItems, ClickOnALabelOpensWhatTheItemIs) {
    for (const char* label : {"链接甲", "文本乙", "丁二", "已缓存频道", "我的收藏"})
        click(item(label));
    EXPECT_EQ(takeCalls(), (Calls{"NavigateTo(http://a.example/)", "ShowDescription(乙的描述)",
                                  "ShowDescription(" + std::string(kelvor::str::kNoDescription) + ")",
                                  "NavigateTo(" + cachePath + ")", "NavigateTo(" + catPath + ")"}));
    // A channel never downloaded is expanded instead, and nothing opens.
    click(item("未下载频道"));
    EXPECT_TRUE(item("未下载频道")->isExpanded());
    EXPECT_TRUE(takeCalls().empty());
}

TEST_F(OpenItems, IconAndRowEndSelectWithoutOpening) {
    click(item("文本乙"), kIcon);
    EXPECT_EQ(view.currentItem(), item("文本乙"));
    click(item("链接甲"), kRowEnd);
    EXPECT_TRUE(takeCalls().empty());
    select("文本乙");
    view.handleCommand(cmd::kViewItem);
    EXPECT_EQ(takeCalls(), (Calls{"ShowDescription(乙的描述)"}));
}

TEST_F(OpenItems, DoubleClickIsAClickAndThenTheHref) {
    QTreeWidgetItem* channel = item("已缓存频道");
    for (auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonDblClick,
                      QEvent::MouseButtonRelease})
        mouse(type, channel);
    EXPECT_EQ(takeCalls(), (Calls{"NavigateTo(" + cachePath + ")", "NavigateTo(http://site.example/)"}));
}

TEST_F(OpenItems, KeysActOnTheSelectedItemWhereverThePointerIs) {
    select("文本乙");
    key(Qt::Key_Return);
    select("链接甲");
    key(Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(takeCalls(), (Calls{"ShowDescription(乙的描述)", "NavigateTo(http://a.example/)"}));
    select("丁一");
    key(Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(labels(item("目录丁")), (kelvor::test::Titles{"丁二", "丁三"}));
}

TEST_F(OpenItems, CommandsOnTheSelectedItem) {
    select("文本乙"); // no Href: nothing to open or copy
    for (int id : {cmd::kOpenItem, cmd::kOpenInNewWindow, cmd::kCopyLink})
        view.handleCommand(id);
    EXPECT_TRUE(takeCalls().empty());
    EXPECT_TRUE(QGuiApplication::clipboard()->text().isEmpty());

    select("链接甲");
    view.handleCommand(cmd::kOpenItem);
    view.handleCommand(cmd::kCopyLink);
    view.handleCommand(cmd::kOpenInNewWindow); // the recorder makes no page
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), "http://a.example/");
    EXPECT_EQ(takeCalls(), (Calls{"NavigateTo(http://a.example/)", "SetAddressText(http://a.example/)",
                                  "OpenNewPage(1)"}));
    PageMakingFrame pages;
    view.handleCommand(cmd::kOpenInNewWindow);
    EXPECT_EQ(pages.calls.back(), "NavigatePage(http://a.example/)");
    pages.calls.clear();

    view.setCurrentItem(item("未下载频道")->child(0)); // a placeholder: silence
    for (int id : {cmd::kOpenItem, cmd::kViewItem, cmd::kOpenInNewWindow, cmd::kCopyLink})
        view.handleCommand(id);
    EXPECT_TRUE(pages.calls.empty());
}
