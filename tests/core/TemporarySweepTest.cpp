// The sweep of temporary files takes only the names our writer makes: the
// user's backups and dated copies beside a category stay, and so does
// everything in a linked folder outside the home.
#include "platform/AtomicFile.h"
#include "platform/HomeFolder.h"
#include "platform/TemporaryFiles.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>

namespace fs = std::filesystem;
using kelvor::platform::isTemporaryFileName;
using kelvor::platform::writeFileAtomically;
using kelvor::test::namesIn;
using kelvor::test::TempDir;
using Names = std::vector<std::string>;

namespace {

// Written an hour before this run began, as a killed write's leftover is.
void makeOld(const TempDir& dir, const std::string& name) {
    fs::last_write_time(dir.write(name, "<Tree>"),
                        fs::file_time_type::clock::now() - std::chrono::hours(1));
}

class TemporarySweep : public ::testing::Test {
  protected:
    TemporarySweep() : previousHome_(kelvor::platform::programFolder()) {
        kelvor::platform::setProgramFolder(home.path());
    }
    ~TemporarySweep() override { kelvor::platform::setProgramFolder(previousHome_); }

    TempDir home, outside;

  private:
    std::string previousHome_;
};

} // namespace

TEST_F(TemporarySweep, TheUsersOwnFilesBesideACategoryStay) {
    const Names users = {"fav.xml.backup", "fav.xml.before", "links.xml.202401",
                         "notes.xml.orig01"};
    for (const std::string& name : users)
        makeOld(home, "fav/" + name);
    makeOld(home, "fav/.fav.xml.kelvor-tmp-Xy12Z9");

    ASSERT_TRUE(writeFileAtomically(home.file("fav/fav.xml"), "<Tree/>"));
    Names expected = users;
    expected.insert(expected.begin(), "fav.xml");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(namesIn(home.file("fav")), expected);
    EXPECT_EQ(kelvor::platform::removeLeftoverTemporaries(home.file("fav"), home.path(), false), 0);
    EXPECT_EQ(namesIn(home.file("fav")), expected);
}

TEST_F(TemporarySweep, ALinkedFolderOutsideTheHomeIsNotSwept) {
    makeOld(outside, "shared/keep.xml.backup");
    makeOld(outside, "shared/.keep.xml.kelvor-tmp-Ab12Cd");
    fs::create_directories(home.file("fav"));
    fs::create_directory_symlink(outside.file("shared"), home.file("fav/shared"));

    ASSERT_TRUE(writeFileAtomically(home.file("fav/shared/keep.xml"), "<Tree/>"));
    EXPECT_EQ(
        kelvor::platform::removeLeftoverTemporaries(home.file("fav/shared"), home.path(), false),
        0);
    EXPECT_EQ(namesIn(outside.file("shared")),
              (Names{".keep.xml.kelvor-tmp-Ab12Cd", "keep.xml", "keep.xml.backup"}));
}

TEST_F(TemporarySweep, TheWritersTemporaryIsHiddenOursAndFitsAnyName) {
    // 250 bytes: Chinese characters of three bytes each, then ".xml".
    std::string longName;
    for (int i = 0; i < 82; ++i)
        longName += "汉";
    longName += ".xml";
    ASSERT_EQ(longName.size(), 250u);
    for (const std::string& name : {std::string("cat.xml"), longName}) {
        std::string path = home.file("fav/" + name);
        fs::create_directories(home.file("fav"));
        kelvor::platform::AtomicFileWriter writer(path, false);
        ASSERT_TRUE(writer.ok()) << writer.error();
        Names during = namesIn(home.file("fav"));
        ASSERT_EQ(during.size(), 1u);
        EXPECT_TRUE(isTemporaryFileName(during[0])) << during[0];
        EXPECT_EQ(during[0][0], '.');
        EXPECT_NE(fs::path(during[0]).extension(), ".xml"); // never indexed or cleared as a cache
        ASSERT_TRUE(writer.write("<Tree/>") && writer.commit()) << writer.error();
        EXPECT_EQ(namesIn(home.file("fav")), Names{name});
        fs::remove(path);
    }
}
