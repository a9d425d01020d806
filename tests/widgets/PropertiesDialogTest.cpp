// The properties dialog's own rules, and the properties and new-item
// commands that use it (driven through the dialog's modal runner).
#include "app/CommandIds.h"
#include "tree/CDlgTreePro.h"
#include "tree/Strings.h"
#include "tree/TreeFormat.h"
#include "widgets/TreeEditFixture.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

#include <filesystem>
#include <functional>

namespace cmd = kelvor::cmd;
namespace str = kelvor::str;
namespace tree = kelvor::tree;
using Titles = std::vector<std::string>;

namespace {

std::string text(QLineEdit* box) { return box->text().toStdString(); }

// Installs a runner that plays the user's part, and counts showings.
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

class PropertiesDialog : public kelvor::test::TreeEditFixture {};

} // namespace

TEST_F(PropertiesDialog, NewItemDialogProposesACategoryFileNameOnce) {
    CDlgTreePro dialog;
    dialog.OnInitDialog();
    EXPECT_EQ(dialog.windowTitle().toStdString(), "新建一个项目");
    EXPECT_FALSE(dialog.fileNameBox()->isEnabled());
    EXPECT_TRUE(dialog.radio(CDlgTreePro::kCurrentItemRadio)->isChecked());

    dialog.titleBox()->setText(QStringLiteral("体育"));
    dialog.radio(CDlgTreePro::kFavoritesRadio)->click();
    EXPECT_TRUE(dialog.fileNameBox()->isEnabled());
    EXPECT_EQ(text(dialog.fileNameBox()), "/fav/体育.xml");
    dialog.titleBox()->setText(QStringLiteral("足球"));
    dialog.radio(CDlgTreePro::kHotRadio)->click();
    EXPECT_EQ(text(dialog.fileNameBox()), "/fav/体育.xml");
    EXPECT_EQ(dialog.saveMode, 4);
    dialog.radio(CDlgTreePro::kChildItemRadio)->click();
    EXPECT_FALSE(dialog.fileNameBox()->isEnabled());
    EXPECT_EQ(dialog.saveMode, 2);

    CDlgTreePro untitled;
    untitled.OnInitDialog();
    untitled.radio(CDlgTreePro::kHotRadio)->click();
    EXPECT_EQ(text(untitled.fileNameBox()), "/fav/请输入文件名.xml");
}

TEST_F(PropertiesDialog, EmptyTitleIsRefusedAndTheDialogStaysWithTheInput) {
    CDlgTreePro dialog;
    dialog.OnInitDialog();
    dialog.hrefBox()->setText(QStringLiteral("http://kept/"));
    dialog.OnOK();
    ASSERT_EQ(boxes.messages.size(), 1u);
    EXPECT_EQ(boxes.messages[0].text, str::kEmptyTitle);
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(text(dialog.hrefBox()), "http://kept/");

    dialog.titleBox()->setText(QStringLiteral("有标题"));
    dialog.descBox()->setPlainText(QStringLiteral("第一行\n第二行"));
    dialog.OnOK();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.href, "http://kept/");
    EXPECT_EQ(dialog.desc, "第一行\n第二行");
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
    EXPECT_EQ(text(dialog.fileNameBox()), "/fav/hot2.xml");
    EXPECT_TRUE(dialog.fileNameBox()->isEnabled());
    EXPECT_TRUE(dialog.radio(CDlgTreePro::kHotRadio)->isChecked());
    EXPECT_EQ(dialog.saveMode, 1);
    EXPECT_FALSE(dialog.radio(CDlgTreePro::kChildItemRadio)->isEnabled());
    EXPECT_FALSE(dialog.okButton()->isEnabled());
}

TEST_F(PropertiesDialog, PropertiesWriteTheFieldsAndTheLabel) {
    select("链接甲");
    DialogScript user([](CDlgTreePro& dialog) {
        EXPECT_EQ(text(dialog.hrefBox()), "http://a.example/");
        EXPECT_TRUE(dialog.okButton()->isEnabled());
        dialog.titleBox()->setText(QStringLiteral("改名甲"));
        dialog.hrefBox()->setText(QStringLiteral("*"));
        dialog.descBox()->setPlainText(QStringLiteral("新的描述"));
        dialog.OnOK();
    });
    view.handleCommand(cmd::kProperties);
    EXPECT_EQ(user.shown, 1);
    EXPECT_EQ(item("改名甲")->parent(), item("我的收藏"));
    kelvor::xml::Node saved = nodeOnDisk(catPath, "改名甲");
    EXPECT_FALSE(saved.hasAttribute("Href"));
    EXPECT_EQ(tree::GetNodeDescription(saved), "新的描述");
}

TEST_F(PropertiesDialog, EmptiedBoxesChangeNothingAndCancelWritesNothing) {
    select("子树丙");
    std::string before = kelvor::test::readFile(catPath);
    {
        DialogScript user([](CDlgTreePro&) {}); // cancelled
        view.handleCommand(cmd::kProperties);
    }
    EXPECT_EQ(kelvor::test::readFile(catPath), before);
    DialogScript user([](CDlgTreePro& dialog) {
        dialog.fileNameBox()->clear();
        dialog.OnOK();
    });
    view.handleCommand(cmd::kProperties);
    EXPECT_EQ(nodeOnDisk(catPath, "子树丙").attributeOr("NodeSrc"), "/fav/sub.xml");
}

TEST_F(PropertiesDialog, NewItemIsRefusedOutsideCategoriesWithoutADialog) {
    DialogScript user([](CDlgTreePro& dialog) { dialog.OnOK(); });
    select("公共链接");
    view.handleCommand(cmd::kNewItem);
    EXPECT_EQ(user.shown, 0);
    ASSERT_EQ(boxes.messages.size(), 1u);
    EXPECT_EQ(boxes.messages[0].text, str::kNotEditable);
}

TEST_F(PropertiesDialog, NewItemSaveModesPlaceTheItemAndMakeCategoryFiles) {
    auto newItem = [&](const char* at, const char* title, int radio, const char* href = "") {
        select(at);
        DialogScript user([&](CDlgTreePro& dialog) {
            dialog.titleBox()->setText(QString::fromUtf8(title));
            dialog.hrefBox()->setText(QString::fromUtf8(href));
            if (radio)
                dialog.radio(radio)->click();
            dialog.OnOK();
        });
        view.handleCommand(cmd::kNewItem);
    };
    newItem("丁二", "当前", 0, "http://now/");
    newItem("目录丁", "孩子", CDlgTreePro::kChildItemRadio);
    EXPECT_EQ(labels(item("目录丁")), (Titles{"丁一", "当前", "丁二", "丁三", "孩子"}));
    EXPECT_EQ(titlesOnDisk(catPath, "目录丁"), (Titles{"丁一", "当前", "丁二", "丁三", "孩子"}));
    EXPECT_EQ(CLeftView::iconOf(item("当前")), tree::kIconLink);

    newItem("文本乙", "体育 & <新闻> \"快讯\"", CDlgTreePro::kFavoritesRadio);
    newItem("文本乙", "热门", CDlgTreePro::kHotRadio);
    EXPECT_EQ(titlesOnDisk(catPath), (Titles{"链接甲", "体育 & <新闻> \"快讯\"", "热门", "文本乙", "子树丙", "目录丁"}));
    QTreeWidgetItem* sports = item("体育 & <新闻> \"快讯\"");
    EXPECT_EQ(CLeftView::iconOf(sports), tree::kIconFolder);
    EXPECT_EQ(sports->childCount(), 1); // loading placeholder
    std::string sportsFile = dir.file("fav/体育 & <新闻> \"快讯\".xml");
    kelvor::xml::Node root = reload(sportsFile).documentElement();
    ASSERT_TRUE(root);
    EXPECT_EQ(root.attributeOr("Type"), "fav");
    EXPECT_EQ(root.attributeOr("Title"), "体育 & <新闻> \"快讯\"");
    EXPECT_EQ(titlesOnDisk(sportsFile), (Titles{"新建收藏夹"}));
    EXPECT_EQ(reload(dir.file("fav/热门.xml")).documentElement().attributeOr("Type"), "hot");
    EXPECT_EQ(titlesOnDisk(dir.file("fav/热门.xml")), (Titles{"新建热点分类"}));
    EXPECT_TRUE(boxes.messages.empty());
}

TEST_F(PropertiesDialog, NewItemNeverWritesOverAnExistingCategoryFile) {
    std::string before = kelvor::test::readFile(dir.file("fav/sub.xml"));
    select("文本乙");
    DialogScript user([](CDlgTreePro& dialog) {
        dialog.titleBox()->setText(QStringLiteral("sub"));
        dialog.radio(CDlgTreePro::kFavoritesRadio)->click();
        dialog.OnOK();
    });
    view.handleCommand(cmd::kNewItem);
    EXPECT_EQ(nodeOnDisk(catPath, "sub").attributeOr("NodeSrc"), "/fav/sub.xml");
    EXPECT_EQ(kelvor::test::readFile(dir.file("fav/sub.xml")), before);
    EXPECT_FALSE(view.CreateCategoryFile(dir.file("fav/sub.xml"), "x", false));
    EXPECT_EQ(kelvor::test::readFile(dir.file("fav/sub.xml")), before);
}

TEST_F(PropertiesDialog, CurrentItemModeKeepsAProposedNameButMakesNoFile) {
    select("文本乙");
    DialogScript user([](CDlgTreePro& dialog) {
        dialog.titleBox()->setText(QStringLiteral("改主意"));
        dialog.radio(CDlgTreePro::kFavoritesRadio)->click();
        dialog.radio(CDlgTreePro::kCurrentItemRadio)->click();
        dialog.OnOK();
    });
    view.handleCommand(cmd::kNewItem);
    EXPECT_EQ(nodeOnDisk(catPath, "改主意").attributeOr("NodeSrc"), "/fav/改主意.xml");
    EXPECT_FALSE(std::filesystem::exists(dir.file("fav/改主意.xml")));

    // A folder that does not exist: the item stays, the failure is told.
    DialogScript nested([](CDlgTreePro& dialog) {
        dialog.titleBox()->setText(QStringLiteral("无处/可存"));
        dialog.radio(CDlgTreePro::kHotRadio)->click();
        dialog.OnOK();
    });
    view.handleCommand(cmd::kNewItem);
    EXPECT_TRUE(nodeOnDisk(catPath, "无处/可存"));
    ASSERT_EQ(boxes.messages.size(), 1u);
    EXPECT_EQ(boxes.messages[0].text, str::kCreateFileFailed);
}
