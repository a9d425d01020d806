// The properties dialog's rules, and the properties and new-item commands
// that use it (driven through the dialog's modal runner).
#include "frame/CommandIds.h"
#include "frame/FrameInterface.h"
#include "navtree/CDlgTreePro.h"
#include "tree/Strings.h"
#include "tree/TreeFormat.h"
#include "support/EventWait.h"
#include "support/HttpServer.h"
#include "widgets/TreeEditFixture.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <filesystem>
#include <functional>
#include <memory>

namespace cmd = kelvor::cmd;
namespace str = kelvor::str;
namespace tree = kelvor::tree;
using kelvor::test::Titles;

namespace {

std::string text(QLineEdit* box) { return box->text().toStdString(); }

// Plays the user's part whenever the dialog is shown; counts the showings.
class DialogScript {
public:
    explicit DialogScript(std::function<void(CDlgTreePro&)> user) {
        CDlgTreePro::setModalRunner([this, user](CDlgTreePro& dialog) {
            ++shown;
            user(dialog);
            return dialog.result() == QDialog::Accepted ? CDlgTreePro::kIdOk : CDlgTreePro::kIdCancel;
        });
    }
    ~DialogScript() { CDlgTreePro::setModalRunner({}); }
    int shown = 0;
};

// The new-item dialog filled with a title and a save mode (0: untouched).
DialogScript newItemAs(const char* title, int radio) {
    return DialogScript([=](CDlgTreePro& dialog) {
        dialog.titleBox()->setText(QString::fromUtf8(title));
        if (radio)
            dialog.radio(radio)->click();
        dialog.OnOK();
    });
}

class PropertiesDialog : public kelvor::test::TreeEditFixture {};

} // namespace

TEST_F(PropertiesDialog, NewItemDialogProposesACategoryFileNameOnceAndNeedsATitle) {
    CDlgTreePro dialog;
    dialog.OnInitDialog();
    EXPECT_EQ(dialog.windowTitle().toStdString(), "新建一个项目");
    EXPECT_FALSE(dialog.fileNameBox()->isEnabled());
    dialog.radio(CDlgTreePro::kHotRadio)->click();
    EXPECT_EQ(text(dialog.fileNameBox()), "/fav/请输入文件名.xml");

    CDlgTreePro named;
    named.OnInitDialog();
    named.titleBox()->setText(QStringLiteral("体育"));
    named.radio(CDlgTreePro::kFavoritesRadio)->click();
    EXPECT_TRUE(named.fileNameBox()->isEnabled());
    named.titleBox()->setText(QString());
    named.radio(CDlgTreePro::kHotRadio)->click();
    EXPECT_EQ(text(named.fileNameBox()), "/fav/体育.xml");
    EXPECT_EQ(named.saveMode, 4);
    named.radio(CDlgTreePro::kChildItemRadio)->click();
    EXPECT_FALSE(named.fileNameBox()->isEnabled());

    named.OnOK(); // the title box is empty again
    ASSERT_EQ(boxes.messages.size(), 1u);
    EXPECT_EQ(boxes.messages[0].text, str::kEmptyTitle);
    EXPECT_NE(named.result(), QDialog::Accepted);
    named.titleBox()->setText(QStringLiteral("有标题"));
    named.OnOK();
    EXPECT_EQ(named.result(), QDialog::Accepted);
    EXPECT_EQ(named.fileName, "/fav/体育.xml"); // read from the disabled box
}

TEST_F(PropertiesDialog, ASitesAddressTypedAsTheFeedBecomesItsFeedWhenTheUserAgrees) {
    kelvor::test::HttpServer server;
    server.serve("/site", kelvor::test::htmlPage(
                              "<html><head><link rel=alternate type=application/rss+xml href=/rss>"));
    server.serve("/rss", "<rss><channel><title>站点频道</title></channel></rss>");
    auto typed = [&](const std::string& shown, const std::string& address, int answer) {
        boxes.answer = answer;
        CDlgTreePro dialog;
        dialog.rss = shown;
        dialog.OnInitDialog();
        dialog.titleBox()->setText(QStringLiteral("站点"));
        dialog.rssBox()->setText(QString::fromStdString(address));
        dialog.OnOK();
        EXPECT_TRUE(kelvor::test::waitUntil([&] { return !dialog.checkingFeed(); }));
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        return dialog.rss;
    };
    EXPECT_EQ(typed("", server.url("/site"), kelvor::app::kIdYes), server.url("/rss"));
    ASSERT_EQ(boxes.messages.size(), 1u);
    EXPECT_NE(boxes.messages[0].text.find("要改用这个频道地址吗？"), std::string::npos);
    EXPECT_EQ(typed("", server.url("/site"), kelvor::app::kIdNo), server.url("/site"));
    EXPECT_EQ(boxes.messages.size(), 2u);
    int requests = server.requestCount("/site");
    EXPECT_EQ(typed(server.url("/site"), server.url("/site"), kelvor::app::kIdYes), server.url("/site"))
        << "an address kept as it was is not asked about";
    EXPECT_EQ(server.requestCount("/site"), requests);
}

// The feed is read before the channel is made: its own title fills an empty
// one; an address that cannot be read is reported, and kept only if the
// user says so.
TEST_F(PropertiesDialog, ANewChannelTakesItsFeedsTitleAndAnUnreadableAddressIsReported) {
    kelvor::test::HttpServer server;
    server.serve("/feed", "<rss><channel><title> 天文\n新闻 </title></channel></rss>");
    auto typed = [&](const char* title, const std::string& address, int answer) {
        boxes.answer = answer;
        auto dialog = std::make_unique<CDlgTreePro>();
        dialog->OnInitDialog();
        dialog->titleBox()->setText(QString::fromUtf8(title));
        dialog->rssBox()->setText(QString::fromStdString(address));
        dialog->OnOK();
        EXPECT_TRUE(kelvor::test::waitUntil([&] { return !dialog->checkingFeed(); }));
        return dialog;
    };
    auto named = typed("", server.url("/feed"), kelvor::app::kIdYes);
    EXPECT_EQ(named->result(), QDialog::Accepted);
    EXPECT_EQ(named->title, "天文 新闻");
    EXPECT_TRUE(boxes.messages.empty());
    EXPECT_EQ(typed("我的", server.url("/feed"), kelvor::app::kIdYes)->title, "我的")
        << "a title typed stays";

    auto refused = typed("断了", "http://127.0.0.1:9/feed", kelvor::app::kIdNo);
    EXPECT_NE(refused->result(), QDialog::Accepted);
    ASSERT_EQ(boxes.messages.size(), 1u);
    EXPECT_EQ(boxes.messages[0].text.rfind("无法读取频道“http://127.0.0.1:9/feed”", 0), 0u)
        << boxes.messages[0].text;
    boxes.answer = kelvor::app::kIdYes;
    refused->OnOK(); // asked again, and kept this time
    EXPECT_TRUE(kelvor::test::waitUntil([&] { return !refused->checkingFeed(); }));
    EXPECT_EQ(boxes.messages.size(), 2u);
    EXPECT_EQ(refused->result(), QDialog::Accepted);
    EXPECT_EQ(refused->rss, "http://127.0.0.1:9/feed");
}

TEST_F(PropertiesDialog, LookingForASitesFeedKeepsTheDialogAliveAndCancelClosesItAtOnce) {
    kelvor::test::HttpServer server;
    kelvor::test::HttpResponse silent;
    silent.stall = true; // the page never comes
    server.serve("/site", silent);
    auto dialog = std::make_unique<CDlgTreePro>();
    dialog->OnInitDialog();
    dialog->show();
    dialog->titleBox()->setText(QStringLiteral("站点"));
    dialog->rssBox()->setText(QString::fromStdString(server.url("/site")));
    dialog->OnOK();
    EXPECT_TRUE(dialog->checkingFeed());
    EXPECT_FALSE(dialog->okButton()->isEnabled());
    EXPECT_EQ(dialog->hintLabel()->text().toStdString(), "正在读取频道…");

    // The page is asked while the window's events go on.
    bool ticked = false;
    QTimer::singleShot(0, dialog.get(), [&] { ticked = true; });
    ASSERT_TRUE(kelvor::test::waitUntil([&] { return ticked && server.requestCount("/site") == 1; }));
    dialog->OnOK(); // Enter again meanwhile: still the one check
    EXPECT_TRUE(dialog->checkingFeed());

    QElapsedTimer clock;
    clock.start();
    dialog->cancelButton()->click();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_FALSE(dialog->checkingFeed());
    EXPECT_TRUE(dialog->okButton()->isEnabled());
    EXPECT_EQ(dialog->hintLabel()->text().toStdString(), "输入“*”删除属性");
    dialog.reset();
    EXPECT_LT(clock.elapsed(), 3000) << "the dialog waits for no thread";

    // The check's end reaches no dialog: nothing is asked. Once the
    // program's jobs are joined, whatever the check posted is delivered.
    server.stop();
    kelvor::app::backgroundJobs().joinAll();
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(server.requestCount("/site"), 1);
    EXPECT_TRUE(boxes.messages.empty());
}

TEST_F(PropertiesDialog, ShowsTheItemAndLocksWhatCannotBeChosen) {
    CDlgTreePro dialog;
    dialog.title = "热点";
    dialog.fileName = "/fav/hot2.xml";
    dialog.rss = "http://feed/";
    dialog.treeType = "hot";
    dialog.baseUrl = "file:///somewhere/hot.xml";
    dialog.okEnabled = false;
    dialog.OnInitDialog();
    EXPECT_EQ(dialog.windowTitle().toStdString(), "file:///somewhere/hot.xml");
    EXPECT_TRUE(dialog.fileNameBox()->isEnabled());
    EXPECT_TRUE(dialog.radio(CDlgTreePro::kHotRadio)->isChecked());
    EXPECT_EQ(dialog.saveMode, 1);
    EXPECT_FALSE(dialog.radio(CDlgTreePro::kChildItemRadio)->isEnabled());
    EXPECT_FALSE(dialog.okButton()->isEnabled());
}

TEST_F(PropertiesDialog, PropertiesWriteChangedFieldsAndTheLabel) {
    select("子树丙");
    DialogScript user([](CDlgTreePro& dialog) {
        EXPECT_EQ(text(dialog.fileNameBox()), "/fav/sub.xml");
        dialog.titleBox()->setText(QStringLiteral("改名丙"));
        dialog.hrefBox()->setText(QStringLiteral("*"));
        dialog.fileNameBox()->clear(); // emptied: left as it was
        dialog.descBox()->setPlainText(QStringLiteral("新的描述"));
        dialog.OnOK();
    });
    view.handleCommand(cmd::kProperties);
    EXPECT_EQ(user.shown, 1);
    EXPECT_EQ(select("改名丙")->parent(), item("我的收藏"));
    kelvor::xml::Node saved = nodeOnDisk(catPath, "改名丙");
    EXPECT_FALSE(saved.hasAttribute("Href"));
    EXPECT_EQ(saved.attributeOr("NodeSrc"), "/fav/sub.xml");
    EXPECT_EQ(tree::GetNodeDescription(saved), "新的描述");

    std::string before = kelvor::test::readFile(catPath);
    DialogScript cancel([](CDlgTreePro&) {});
    view.handleCommand(cmd::kProperties);
    EXPECT_EQ(kelvor::test::readFile(catPath), before);
}

// The copy is named after the channel: renamed, the channel takes it along,
// so nothing is left behind and a new start finds its entries and count.
TEST_F(PropertiesDialog, ARenamedChannelTakesItsCopyAlong) {
    dir.write("rss/旧名.xml", R"(<Tree Type="rss" BaseURL="http://127.0.0.1:9/feed">)"
                              R"(<TreeNode Title="一" Href="http://n/1"/><TreeNode Title="二" Href="http://n/2"/></Tree>)");
    std::string file = dir.write("fav/chan.xml", R"(<Tree Type="fav"><TreeNode Title="旧名" Rss="http://127.0.0.1:9/feed"/></Tree>)");
    loadInto(item("子树丙"), file);
    QTreeWidgetItem* channel = select("旧名");
    channel->setExpanded(true);
    ASSERT_EQ(labels(channel), (Titles{"一", "二"}));
    DialogScript user([](CDlgTreePro& dialog) {
        dialog.titleBox()->setText(QStringLiteral("新名"));
        dialog.OnOK();
    });
    view.handleCommand(cmd::kProperties);
    EXPECT_FALSE(std::filesystem::exists(dir.file("rss/旧名.xml")));
    EXPECT_TRUE(std::filesystem::exists(dir.file("rss/新名.xml")));
    EXPECT_EQ(labels(channel), (Titles{"一", "二"}));
    EXPECT_TRUE(kelvor::test::waitUntil([&] { return CLeftView::UnreadCountOf(channel) == 2; }));

    CLeftView again; // the next start
    again.LoadTreeFile(file, again.rootItem());
    EXPECT_TRUE(kelvor::test::waitUntil([&] { return CLeftView::UnreadCountOf(again.topLevelItem(0)) == 2; }));
    EXPECT_TRUE(boxes.messages.empty());
}

TEST_F(PropertiesDialog, NewItemSaveModesPlaceTheItemAndMakeCategoryFiles) {
    auto newItem = [&](const char* at, const char* title, int radio) {
        select(at);
        DialogScript user = newItemAs(title, radio);
        view.handleCommand(cmd::kNewItem);
    };
    newItem("丁二", "当前", 0);
    newItem("目录丁", "孩子", CDlgTreePro::kChildItemRadio);
    EXPECT_EQ(labels(item("目录丁")), (Titles{"丁一", "当前", "丁二", "丁三", "孩子"}));
    EXPECT_EQ(titlesOnDisk(catPath, "目录丁"), labels(item("目录丁")));
    // Until the next load, the icon says how the item was made, not its kind.
    EXPECT_EQ(CLeftView::iconOf(item("当前")), tree::kIconLink);
    EXPECT_EQ(CLeftView::iconOf(item("孩子")), tree::kIconFolder);
    {
        select("丁三");
        DialogScript user([](CDlgTreePro& dialog) {
            dialog.titleBox()->setText(QStringLiteral("本机频道"));
            dialog.rssBox()->setText(QStringLiteral("/no/such/feed.xml")); // not read by the dialog
            dialog.OnOK();
        });
        view.handleCommand(cmd::kNewItem);
        EXPECT_EQ(CLeftView::iconOf(item("本机频道")), tree::kIconChannel) << "a channel at once";
    }

    const char* odd = "体育 & <新闻> \"快讯\"";
    newItem("文本乙", odd, CDlgTreePro::kFavoritesRadio);
    newItem("文本乙", "热门", CDlgTreePro::kHotRadio);
    EXPECT_EQ(titlesOnDisk(catPath), (Titles{"链接甲", odd, "热门", "文本乙", "子树丙", "目录丁"}));
    EXPECT_EQ(labels(item("目录丁")), (Titles{"丁一", "当前", "丁二", "本机频道", "丁三", "孩子"}));
    EXPECT_EQ(CLeftView::iconOf(item(odd)), tree::kIconFolder);
    EXPECT_EQ(item(odd)->childCount(), 1); // loading placeholder
    std::string oddFile = dir.file("fav/" + std::string(odd) + ".xml");
    EXPECT_EQ(nodeOnDisk(oddFile, "").attributeOr("Title"), odd);
    EXPECT_EQ(nodeOnDisk(oddFile, "").attributeOr("Type"), "fav");
    EXPECT_EQ(titlesOnDisk(oddFile), (Titles{"新建收藏夹"}));
    EXPECT_EQ(nodeOnDisk(dir.file("fav/热门.xml"), "").attributeOr("Type"), "hot");
    EXPECT_EQ(titlesOnDisk(dir.file("fav/热门.xml")), (Titles{"新建热点分类"}));
    EXPECT_TRUE(boxes.messages.empty());
}

TEST_F(PropertiesDialog, NewItemWritesNoFileItShouldNot) {
    select("公共链接"); // outside the categories: refused, no dialog
    DialogScript refused = newItemAs("x", 0);
    view.handleCommand(cmd::kNewItem);
    EXPECT_EQ(refused.shown, 0);
    ASSERT_EQ(boxes.messages.size(), 1u);
    EXPECT_EQ(boxes.messages[0].text, str::kNotEditable);

    // A name chosen, then "当前项": the NodeSrc stays, no file is made.
    select("文本乙");
    DialogScript changedMind([](CDlgTreePro& dialog) {
        dialog.titleBox()->setText(QStringLiteral("改主意"));
        dialog.radio(CDlgTreePro::kFavoritesRadio)->click();
        dialog.radio(CDlgTreePro::kCurrentItemRadio)->click();
        dialog.OnOK();
    });
    view.handleCommand(cmd::kNewItem);
    EXPECT_EQ(nodeOnDisk(catPath, "改主意").attributeOr("NodeSrc"), "/fav/改主意.xml");
    EXPECT_FALSE(std::filesystem::exists(dir.file("fav/改主意.xml")));

    // An existing category file is never written over, even when the user
    // agreed to show it.
    std::string before = kelvor::test::readFile(subPath);
    boxes.answer = kelvor::app::kIdYes;
    DialogScript existing = newItemAs("sub", CDlgTreePro::kFavoritesRadio);
    view.handleCommand(cmd::kNewItem);
    EXPECT_EQ(nodeOnDisk(catPath, "sub").attributeOr("NodeSrc"), "/fav/sub.xml");
    EXPECT_EQ(kelvor::test::readFile(subPath), before);

    // A folder that does not exist: the item stays, the failure is told.
    DialogScript nowhere = newItemAs("无处/可存", CDlgTreePro::kHotRadio);
    view.handleCommand(cmd::kNewItem);
    EXPECT_TRUE(nodeOnDisk(catPath, "无处/可存"));
    ASSERT_EQ(boxes.messages.size(), 3u);
    EXPECT_EQ(boxes.messages[2].text, str::kCreateFileFailed);
}

TEST_F(PropertiesDialog, NewCategoryOnAnExistingFileAsksAndMayTakeAnotherName) {
    const std::string question = "文件“" + subPath + "”已存在。要使用现有的文件吗？";
    const std::string subBefore = kelvor::test::readFile(subPath);
    select("文本乙");
    bool acceptedAtOnce = true;
    DialogScript renamed([&](CDlgTreePro& dialog) {
        dialog.titleBox()->setText(QStringLiteral("体育"));
        dialog.radio(CDlgTreePro::kFavoritesRadio)->click();
        dialog.fileNameBox()->setText(QStringLiteral("/fav/sub.xml"));
        boxes.answer = kelvor::app::kIdNo; // back to the dialog
        dialog.OnOK();
        acceptedAtOnce = dialog.result() == QDialog::Accepted;
        EXPECT_TRUE(dialog.fileNameBox()->hasSelectedText());
        dialog.fileNameBox()->setText(QStringLiteral("/fav/体育.xml"));
        dialog.OnOK();
    });
    view.handleCommand(cmd::kNewItem);
    EXPECT_FALSE(acceptedAtOnce);
    ASSERT_EQ(boxes.messages.size(), 1u);
    EXPECT_EQ(boxes.messages[0].text, question);
    EXPECT_EQ(boxes.messages[0].icon, kelvor::app::MessageIcon::Question);
    EXPECT_EQ(nodeOnDisk(catPath, "体育").attributeOr("NodeSrc"), "/fav/体育.xml");
    EXPECT_EQ(titlesOnDisk(dir.file("fav/体育.xml")), (Titles{"新建收藏夹"}));

    // Yes: the new hot item shows the existing file, which stays as it was.
    boxes.answer = kelvor::app::kIdYes;
    DialogScript reused([](CDlgTreePro& dialog) {
        dialog.titleBox()->setText(QStringLiteral("旧分类"));
        dialog.radio(CDlgTreePro::kHotRadio)->click();
        dialog.fileNameBox()->setText(QStringLiteral("/fav/sub.xml"));
        dialog.OnOK();
    });
    view.handleCommand(cmd::kNewItem);
    ASSERT_EQ(boxes.messages.size(), 2u);
    EXPECT_EQ(boxes.messages[1].text, question);
    EXPECT_EQ(nodeOnDisk(catPath, "旧分类").attributeOr("NodeSrc"), "/fav/sub.xml");
    EXPECT_EQ(kelvor::test::readFile(subPath), subBefore);

    // Only a category asks: an item that merely names the file does not.
    DialogScript plain([](CDlgTreePro& dialog) {
        dialog.titleBox()->setText(QStringLiteral("普通"));
        dialog.radio(CDlgTreePro::kFavoritesRadio)->click();
        dialog.fileNameBox()->setText(QStringLiteral("/fav/sub.xml"));
        dialog.radio(CDlgTreePro::kCurrentItemRadio)->click();
        dialog.OnOK();
    });
    view.handleCommand(cmd::kNewItem);
    EXPECT_EQ(boxes.messages.size(), 2u);
    EXPECT_EQ(nodeOnDisk(catPath, "普通").attributeOr("NodeSrc"), "/fav/sub.xml");
}
