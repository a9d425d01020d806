// Edits saved into category files the user keeps elsewhere (a link into a
// synced folder) or marked read-only.
#include "frame/CommandIds.h"
#include "tree/Strings.h"
#include "widgets/TreeEditFixture.h"

#include <algorithm>
#include <filesystem>

namespace cmd = kelvor::cmd;
namespace fs = std::filesystem;
namespace str = kelvor::str;
using kelvor::test::Titles;

namespace {

// fav/cat.xml is a link to sync/cat.xml.
class LinkedCategoryFile : public kelvor::test::TreeEditFixture {
  protected:
    LinkedCategoryFile() : syncedPath(dir.file("sync/cat.xml")) {
        fs::create_directories(dir.file("sync"));
        fs::rename(catPath, syncedPath);
        fs::create_symlink("../sync/cat.xml", catPath);
    }
    std::string syncedPath;
};

class ReadOnlyCategoryFile : public kelvor::test::TreeEditFixture {};

} // namespace

TEST_F(LinkedCategoryFile, EditsChangeTheLinkedFileAndTheLinkStays) {
    select("丁三");
    setClipboard("http://new.example/");
    view.handleCommand(cmd::kNewLinkItem);
    select("链接甲");
    view.handleCommand(cmd::kDeleteItem);

    EXPECT_TRUE(boxes.messages.empty());
    EXPECT_TRUE(fs::is_symlink(catPath));
    EXPECT_EQ(titlesOnDisk(syncedPath), (Titles{"文本乙", "子树丙", "目录丁"}));
    EXPECT_EQ(titlesOnDisk(syncedPath, "目录丁"), (Titles{"丁一", "丁二", "新建链接", "丁三"}));
    Titles fav, sync;
    for (const auto& entry : fs::directory_iterator(dir.file("fav")))
        fav.push_back(entry.path().filename().string());
    for (const auto& entry : fs::directory_iterator(dir.file("sync")))
        sync.push_back(entry.path().filename().string());
    std::sort(fav.begin(), fav.end());
    EXPECT_EQ(fav, (Titles{"cat.xml", "sub.xml"}));
    EXPECT_EQ(sync, (Titles{"cat.xml"}));
}

// As root too: the mode says read-only, whoever runs the program.
TEST_F(ReadOnlyCategoryFile, EditsGiveTheSaveFailureAndLeaveTheFile) {
    std::string original = kelvor::test::readFile(catPath);
    fs::permissions(catPath, fs::perms(0444));
    select("文本乙");
    view.handleCommand(cmd::kNewLinkItem);
    ASSERT_EQ(boxes.messages.size(), 1u);
    EXPECT_EQ(boxes.messages[0].text, std::string(str::kSaveFailed) + "file://" + catPath);
    EXPECT_EQ(kelvor::test::readFile(catPath), original);
    EXPECT_EQ(fs::status(catPath).permissions(), fs::perms(0444));

    // The folder marked read-only instead: the same.
    fs::permissions(catPath, fs::perms(0644));
    fs::permissions(dir.file("fav"), fs::perms(0555));
    select("链接甲");
    view.handleCommand(cmd::kDeleteItem);
    fs::permissions(dir.file("fav"), fs::perms(0755));
    ASSERT_EQ(boxes.messages.size(), 2u);
    EXPECT_EQ(boxes.messages[1].text, std::string(str::kSaveFailed) + "file://" + catPath);
    EXPECT_EQ(kelvor::test::readFile(catPath), original);
}

// A sync rewrote the file: what was open is open again, its items loaded.
TEST_F(LinkedCategoryFile, AFileChangedOutsideShowsAgainWithWhatWasOpen) {
    std::string text = kelvor::test::readFile(syncedPath);
    size_t at = text.find("<TreeNode Title=\"丁三\"/>");
    ASSERT_NE(at, std::string::npos);
    text.insert(at, "<TreeNode Title=\"丁零\"/>");
    dir.write("sync/cat.xml", text);

    view.ShowFilesChangedOutside({catPath});

    QTreeWidgetItem* folder = item("目录丁");
    ASSERT_NE(folder, nullptr);
    EXPECT_TRUE(folder->isExpanded());
    EXPECT_EQ(labels(folder), (Titles{"丁一", "丁二", "丁零", "丁三"}));
}
