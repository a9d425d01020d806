// 文件 > 导入频道列表 / 导入书签 / 导出频道列表 on a small home folder.
#include "app/CollectionTransfer.h"
#include "navtree/CLeftView.h"
#include "platform/HomeFolder.h"
#include "support/Recorders.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using kelvor::test::RecordingMessageBoxes;
using kelvor::test::TempDir;
namespace app = kelvor::app;
namespace xml = kelvor::xml;

namespace {

const char* const kList = R"(<opml version="2.0"><head><title>别处的订阅</title></head><body>
<outline text="新闻"><outline text="甲报" type="rss" xmlUrl="http://127.0.0.1:9/a.xml"/></outline>
</body></opml>)";

class CollectionTransfer : public ::testing::Test {
protected:
    CollectionTransfer() : previousHome_(kelvor::platform::programFolder()) {
        kelvor::platform::setProgramFolder(home.path());
        home.write("index.xml", R"(<Tree><TreeNode Title="我的收藏" NodeSrc="/fav/fav.xml"/></Tree>)");
        home.write("fav/fav.xml", R"(<Tree Type="fav"><TreeNode Title="链接" Href="http://127.0.0.1:9/"/></Tree>)");
        list = home.write("别处.opml", kList);
    }
    ~CollectionTransfer() override { kelvor::platform::setProgramFolder(previousHome_); }

    // The titles of 我的收藏's items as fav.xml on disk has them.
    std::vector<std::string> favoritesOnDisk() const {
        xml::Document doc = xml::Document::create();
        EXPECT_TRUE(doc.load(home.file("fav/fav.xml")));
        std::vector<std::string> titles;
        for (xml::Node node = doc.documentElement().firstChild(); node; node = node.nextSibling())
            titles.push_back(node.attributeOr("Title"));
        return titles;
    }

    TempDir home;
    std::string list;
    RecordingMessageBoxes boxes;
    CLeftView view;

private:
    std::string previousHome_;
};

} // namespace

TEST_F(CollectionTransfer, AnImportJoinsTheLoadedFavoritesAndLaterEditsKeepIt) {
    ASSERT_TRUE(view.LoadTreeFile(home.file("index.xml"), view.rootItem()));
    QTreeWidgetItem* favorites = view.topLevelItem(0);
    static_cast<CTreeItem*>(favorites)->expandedOnce = true;
    view.DeleteFirstChild(favorites);
    ASSERT_TRUE(view.LoadTreeFile(home.file("fav/fav.xml"), favorites));

    app::importInto(&view, app::ImportKind::ChannelList, QString::fromStdString(list));
    ASSERT_EQ(boxes.messages.size(), 1u);
    EXPECT_EQ(boxes.messages[0].icon, app::MessageIcon::Information) << boxes.messages[0].text;
    ASSERT_EQ(favorites->childCount(), 2);
    EXPECT_EQ(favorites->child(1)->text(0), QStringLiteral("别处的订阅"));
    EXPECT_EQ(favoritesOnDisk(), (std::vector<std::string>{"链接", "别处的订阅"}));

    // The tree's copy of fav.xml holds the new category: saving it for
    // another edit writes it once, not drops it.
    view.SaveOwnerDocument(CLeftView::nodeOf(favorites->child(0)));
    EXPECT_EQ(favoritesOnDisk(), (std::vector<std::string>{"链接", "别处的订阅"}));
    std::string nodeSrc = CLeftView::GetNodeAttribute(CLeftView::nodeOf(favorites->child(1)), "NodeSrc");
    xml::Document category = xml::Document::create();
    ASSERT_TRUE(category.load(home.path() + nodeSrc));
    EXPECT_EQ(category.getElementsByTagName("TreeNode").size(), 2u) << "a folder and its channel";
}

TEST_F(CollectionTransfer, WithFavoritesNotLoadedTheFileListsTheImport) {
    std::string marks = home.write("书签.html", "<DL><DT><H3>工具</H3><DL><DT><A HREF=\"http://127.0.0.1:9/t\">T</A></DL></DL>");
    app::importInto(nullptr, app::ImportKind::Bookmarks, QString::fromStdString(marks));
    ASSERT_EQ(favoritesOnDisk().size(), 2u);
    EXPECT_EQ(boxes.messages.at(0).icon, app::MessageIcon::Information);

    home.write("坏.html", "no bookmarks here");
    app::importInto(nullptr, app::ImportKind::Bookmarks, QString::fromStdString(home.file("坏.html")));
    EXPECT_EQ(boxes.messages.at(1).icon, app::MessageIcon::Warning);
    EXPECT_EQ(favoritesOnDisk().size(), 2u) << "nothing listed for a failed import";
}

TEST_F(CollectionTransfer, ExportWritesTheChannelsAndSaysWhyItCannot) {
    app::importInto(nullptr, app::ImportKind::ChannelList, QString::fromStdString(list));
    ASSERT_TRUE(app::exportTo(QString::fromStdString(home.file("out.opml"))));
    xml::Document exported = xml::Document::create();
    ASSERT_TRUE(exported.load(home.file("out.opml")));
    std::vector<xml::Node> outlines = exported.getElementsByTagName("outline");
    bool found = false;
    for (const xml::Node& outline : outlines)
        found = found || outline.attributeOr("xmlUrl") == "http://127.0.0.1:9/a.xml";
    EXPECT_TRUE(found);

    size_t before = boxes.messages.size();
    EXPECT_FALSE(app::exportTo(QString::fromStdString(home.file("no/such/folder/out.opml"))));
    ASSERT_EQ(boxes.messages.size(), before + 1);
    EXPECT_EQ(boxes.messages.back().icon, app::MessageIcon::Warning);
}

TEST_F(CollectionTransfer, AnImportIntoAnOpenEmptyFavoritesShowsAtOnce) {
    home.write("fav/fav.xml", R"(<Tree Type="fav"/>)");
    ASSERT_TRUE(view.LoadTreeFile(home.file("index.xml"), view.rootItem()));
    QTreeWidgetItem* favorites = view.topLevelItem(0);
    static_cast<CTreeItem*>(favorites)->expandedOnce = true;
    view.DeleteFirstChild(favorites);
    ASSERT_TRUE(view.LoadTreeFile(home.file("fav/fav.xml"), favorites));
    ASSERT_EQ(favorites->childCount(), 0);

    app::importInto(&view, app::ImportKind::ChannelList, QString::fromStdString(list));
    ASSERT_EQ(favorites->childCount(), 1);
    EXPECT_EQ(favorites->child(0)->text(0), QStringLiteral("别处的订阅"));
    EXPECT_EQ(favoritesOnDisk(), (std::vector<std::string>{"别处的订阅"}));
}
