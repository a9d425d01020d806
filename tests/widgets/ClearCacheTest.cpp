#include "app/ClearCache.h"
#include "platform/HomeFolder.h"
#include "support/Recorders.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

using kelvor::test::RecordingMessageBoxes;
using kelvor::test::TempDir;
namespace fs = std::filesystem;

namespace {

class ClearCache : public ::testing::Test {
protected:
    ClearCache() : previousHome(kelvor::platform::programFolder()) {
        for (const char* name : {"rss/a.xml", "rss/B.XML", "rss/c.Xml", "rss/.hidden.xml", "rss/rss.xsl",
                                 "rss/notes.txt", "rss/keep/inner.xml", "rss/folder.xml/inside.xml", "url/d.xml",
                                 "url/e.xml.bak", "fav/fav.xml", "index.xml", "top.xml", "rss/a.xml.AbC123",
                                 "rss/rss.xsl.x9Y8z7", "rss/notes.txt.AbC123", "fav/fav.xml.AbC123",
                                 "rss/.a.xml.kelvor-tmp-AbC123", "url/.rss.xsl.kelvor-tmp-x9Y8z7",
                                 "fav/.fav.xml.kelvor-tmp-AbC123"})
            dir.write(name, "<Tree/>");
        kelvor::platform::setProgramFolder(dir.path());
    }
    ~ClearCache() override { kelvor::platform::setProgramFolder(previousHome); }
    bool exists(const char* name) const { return fs::exists(dir.file(name)); }

    std::string previousHome;
    TempDir dir;
    RecordingMessageBoxes boxes;
};

} // namespace

TEST_F(ClearCache, DeletesOnlyLowerCaseXmlFilesAndOurTemporaryFilesDirectlyInRssAndUrl) {
    ASSERT_TRUE(kelvor::app::ClearCache());
    ASSERT_EQ(boxes.messages.size(), 1u);
    EXPECT_EQ(boxes.messages[0].text, "您确实要清除所有缓存文件？");
    for (const char* gone : {"rss/a.xml", "url/d.xml", "rss/.a.xml.kelvor-tmp-AbC123",
                             "url/.rss.xsl.kelvor-tmp-x9Y8z7"})
        EXPECT_FALSE(exists(gone)) << gone;
    for (const char* kept : {"rss/B.XML", "rss/c.Xml", "rss/.hidden.xml", "rss/rss.xsl", "rss/notes.txt",
                             "rss/keep/inner.xml", "rss/folder.xml/inside.xml", "url/e.xml.bak", "fav/fav.xml",
                             "index.xml", "top.xml", "rss/notes.txt.AbC123", "fav/fav.xml.AbC123",
                             "rss/a.xml.AbC123", "rss/rss.xsl.x9Y8z7", "fav/.fav.xml.kelvor-tmp-AbC123"})
        EXPECT_TRUE(exists(kept)) << kept;
}

TEST_F(ClearCache, CancelDeletesNothing) {
    boxes.answer = kelvor::app::kIdCancel;
    EXPECT_FALSE(kelvor::app::ClearCache());
    EXPECT_TRUE(exists("rss/a.xml"));
    EXPECT_TRUE(exists("url/d.xml"));
}

TEST_F(ClearCache, MissingFoldersAreSkipped) {
    fs::remove_all(dir.file("rss"));
    EXPECT_EQ(kelvor::app::clearCacheFolders(dir.path()), 2); // url/d.xml and our temporary there
    EXPECT_EQ(kelvor::app::clearCacheFolders(dir.file("nowhere")), 0);
}
