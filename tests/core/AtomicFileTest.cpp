// Whole-file writes: through links, never over read-only files, and the
// temporary files that killed writes leave behind.
#include "platform/AtomicFile.h"
#include "feeds/CacheFile.h"
#include "platform/HomeFolder.h"
#include "platform/TemporaryFiles.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace fs = std::filesystem;
using kelvor::platform::writeFileAtomically;
using kelvor::test::namesIn;
using kelvor::test::readFile;
using kelvor::test::TempDir;
using Names = std::vector<std::string>;

namespace {

// As if written by a run that ended an hour ago.
std::string leftover(const TempDir& dir, const std::string& name) {
    std::string path = dir.write(name, "<?xml version=\"1.0\"?><Tree><TreeNode Title=\"half");
    fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::hours(1));
    return path;
}

fs::perms permsOf(const std::string& path) {
    return fs::status(path).permissions();
}

} // namespace

TEST(AtomicFile, WritesTheFileALinkNamesAndKeepsTheLink) {
    TempDir dir;
    std::string real = dir.write("sync/cat.xml", "old");
    fs::permissions(real, fs::perms(0640));
    fs::create_directories(dir.file("fav"));
    fs::create_symlink("../sync/cat.xml", dir.file("fav/middle.xml"));
    fs::create_symlink(dir.file("fav/middle.xml"), dir.file("fav/cat.xml"));

    std::string error;
    ASSERT_TRUE(writeFileAtomically(dir.file("fav/cat.xml"), "new", &error)) << error;
    EXPECT_EQ(readFile(real), "new");
    EXPECT_TRUE(fs::is_symlink(dir.file("fav/cat.xml")));
    EXPECT_TRUE(fs::is_symlink(dir.file("fav/middle.xml")));
    EXPECT_EQ(permsOf(real), fs::perms(0640));

    // A dangling link names the file to create.
    fs::create_symlink("../sync/made.xml", dir.file("fav/made.xml"));
    ASSERT_TRUE(writeFileAtomically(dir.file("fav/made.xml"), "made", &error)) << error;
    EXPECT_TRUE(fs::is_symlink(dir.file("fav/made.xml")));
    EXPECT_EQ(readFile(dir.file("sync/made.xml")), "made");

    // A linked folder, and a file link inside it that is relative to it.
    fs::create_directory_symlink("sync", dir.file("linked"));
    fs::create_symlink("cat.xml", dir.file("sync/alias.xml"));
    ASSERT_TRUE(writeFileAtomically(dir.file("linked/alias.xml"), "again", &error)) << error;
    EXPECT_TRUE(fs::is_symlink(dir.file("linked")));
    EXPECT_TRUE(fs::is_symlink(dir.file("sync/alias.xml")));
    EXPECT_EQ(readFile(real), "again");

    fs::create_symlink("loop2.xml", dir.file("fav/loop1.xml"));
    fs::create_symlink("loop1.xml", dir.file("fav/loop2.xml"));
    EXPECT_FALSE(writeFileAtomically(dir.file("fav/loop1.xml"), "x", &error));
    EXPECT_TRUE(fs::is_symlink(dir.file("fav/loop1.xml")));

    EXPECT_EQ(namesIn(dir.file("fav")),
              (Names{"cat.xml", "loop1.xml", "loop2.xml", "made.xml", "middle.xml"}));
    EXPECT_EQ(namesIn(dir.file("sync")), (Names{"alias.xml", "cat.xml", "made.xml"}));
}

// Tests run as root too, where the kernel would let every one of these
// writes through.
TEST(AtomicFile, ReadOnlyFilesAndFoldersAreNeverReplaced) {
    TempDir dir;
    std::string locked = dir.write("fav/locked.xml", "kept");
    fs::permissions(locked, fs::perms(0444));
    fs::create_symlink("locked.xml", dir.file("fav/link.xml"));
    std::string inside = dir.write("frozen/cat.xml", "kept too");
    fs::permissions(dir.file("frozen"), fs::perms(0555));

    std::string error;
    EXPECT_FALSE(writeFileAtomically(locked, "lost", &error));
    EXPECT_NE(error.find("read-only"), std::string::npos) << error;
    EXPECT_FALSE(writeFileAtomically(dir.file("fav/link.xml"), "lost"));
    EXPECT_FALSE(writeFileAtomically(inside, "lost"));
    EXPECT_FALSE(writeFileAtomically(dir.file("frozen/new.xml"), "lost"));
    kelvor::platform::AtomicFileWriter writer(locked, false);
    EXPECT_FALSE(writer.ok());
    EXPECT_FALSE(writer.commit());

    EXPECT_EQ(readFile(locked), "kept");
    EXPECT_EQ(permsOf(locked), fs::perms(0444));
    EXPECT_EQ(readFile(inside), "kept too");
    EXPECT_TRUE(fs::is_symlink(dir.file("fav/link.xml")));
    EXPECT_EQ(namesIn(dir.file("fav")), (Names{"link.xml", "locked.xml"}));
    EXPECT_EQ(namesIn(dir.file("frozen")), (Names{"cat.xml"}));
    fs::permissions(dir.file("frozen"), fs::perms(0755));
}

TEST(AtomicFile, LeftoversOfKilledWritesGoAtTheFirstWriteIntoTheirFolder) {
    TempDir dir;
    std::string previousHome = kelvor::platform::programFolder();
    kelvor::platform::setProgramFolder(dir.path());
    leftover(dir, "rss/.news.xml.kelvor-tmp-AbC123");
    leftover(dir, "rss/.news.xml.kelvor-tmp-x9Y8z7");
    leftover(dir, "rss/.RSS.XSL.kelvor-tmp-000000");
    // Not ours, not stale, or still held by a writer: kept. The old
    // NAME.XXXXXX form is a user's name like any other.
    Names kept = {"news.xml.AbC123",
                  "notes.txt.AbC123",
                  ".news.xml.kelvor-tmp-AbC12",
                  ".news.xml.kelvor-tmp-AbC1234",
                  ".news.xml.kelvor-tmp-Ab-123",
                  "news.xml.kelvor-tmp-AbC123",
                  ".kelvor-tmp-AbC123",
                  ".fresh.xml.kelvor-tmp-Q1w2E3",
                  ".held.xml.kelvor-tmp-H0ld3r",
                  ".link.xml.kelvor-tmp-L1nk00"};
    for (const std::string& name : kept)
        if (name.find("fresh") == std::string::npos && name.find("link") == std::string::npos)
            leftover(dir, "rss/" + name);
    dir.write("rss/.fresh.xml.kelvor-tmp-Q1w2E3", "being written by a later run");
    fs::create_symlink(leftover(dir, "elsewhere.xml"), dir.file("rss/.link.xml.kelvor-tmp-L1nk00"));
    int held = ::open(dir.file("rss/.held.xml.kelvor-tmp-H0ld3r").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);

    kelvor::feeds::saveCacheText("<Tree/>", dir.file("rss/other.xml"));
    Names expected = kept;
    expected.push_back("other.xml");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(namesIn(dir.file("rss")), expected);

    // Once per folder and run: a later leftover waits for the next run, or
    // for clear cache, which takes them whatever their age.
    leftover(dir, "rss/.later.xml.kelvor-tmp-L4t3r0");
    ASSERT_TRUE(writeFileAtomically(dir.file("rss/other.xml"), "<Tree/>"));
    EXPECT_TRUE(fs::exists(dir.file("rss/.later.xml.kelvor-tmp-L4t3r0")));
    EXPECT_EQ(kelvor::platform::removeLeftoverTemporaries(dir.file("rss"), dir.path(), false), 2);
    EXPECT_FALSE(fs::exists(dir.file("rss/.fresh.xml.kelvor-tmp-Q1w2E3")));
    EXPECT_TRUE(fs::exists(dir.file("rss/.held.xml.kelvor-tmp-H0ld3r")));
    ::close(held);
    kelvor::platform::setProgramFolder(previousHome);
}
