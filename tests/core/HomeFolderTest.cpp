#include "platform/HomeFolder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

using kelvor::test::TempDir;
namespace platform = kelvor::platform;
namespace fs = std::filesystem;

TEST(HomeFolder, ArgumentThenEnvironmentThenProgramFolderThenUserData) {
    TempDir dir;
    std::string exe = dir.path() + "/bin";
    fs::create_directories(exe);
    EXPECT_EQ(platform::chooseHomeFolder(std::string(dir.path() + "/arg"), "/env", exe, "/data"), dir.path() + "/arg");
    EXPECT_EQ(platform::chooseHomeFolder(std::nullopt, "/env", exe, "/data"), "/env");
    EXPECT_EQ(platform::chooseHomeFolder(std::nullopt, "", exe, "/data"), "/data");
    dir.write("bin/index.xml", "<Tree/>");
    EXPECT_EQ(platform::chooseHomeFolder(std::nullopt, nullptr, exe, "/data"), exe);
    EXPECT_EQ(platform::chooseHomeFolder(std::string(), nullptr, exe, "/data"), exe) << "an empty --home is ignored";
}

TEST(HomeFolder, FirstRunSeedsStarterCollectionAndNeverOverwrites) {
    TempDir starter, home;
    starter.write("index.xml", "<Tree/>");
    starter.write("fav/fav.xml", "<Tree Type=\"fav\" Title=\"starter\"/>");
    starter.write("styles/rss.xsl", "<rss/>");
    std::string target = home.path() + "/Kelvor";
    std::string error;
    ASSERT_TRUE(platform::prepareHomeFolder(target, starter.path(), &error)) << error;
    EXPECT_TRUE(fs::exists(target + "/index.xml"));
    EXPECT_TRUE(fs::is_directory(target + "/rss"));
    EXPECT_TRUE(fs::is_directory(target + "/url"));

    // The one copy of each style sheet goes beside every folder of tree
    // files; the style folder itself is no part of a home.
    for (const char* folder : {"", "/fav", "/rss", "/url"})
        EXPECT_EQ(home.read("Kelvor" + std::string(folder) + "/rss.xsl"), "<rss/>") << folder;
    EXPECT_FALSE(fs::exists(target + "/styles"));
    home.write("Kelvor/fav/rss.xsl", "<mine/>");
    fs::remove(target + "/url/rss.xsl");
    ASSERT_TRUE(platform::prepareHomeFolder(target, starter.path(), &error)) << error;
    EXPECT_EQ(home.read("Kelvor/fav/rss.xsl"), "<mine/>") << "a changed sheet stays";
    EXPECT_TRUE(fs::exists(target + "/url/rss.xsl")) << "a missing sheet comes back";

    // The user's edits survive every later start, even if index.xml vanished.
    home.write("Kelvor/fav/fav.xml", "<Tree Type=\"fav\" Title=\"mine\"/>");
    fs::remove(target + "/index.xml");
    ASSERT_TRUE(platform::prepareHomeFolder(target, starter.path(), &error)) << error;
    EXPECT_EQ(home.read("Kelvor/fav/fav.xml"), "<Tree Type=\"fav\" Title=\"mine\"/>");
    EXPECT_TRUE(fs::exists(target + "/index.xml"));
}

TEST(HomeFolder, UnwritableHomeIsReported) {
    std::string error;
    EXPECT_FALSE(platform::prepareHomeFolder("/proc/kelvor-cannot-be-here", "/nonexistent", &error));
    EXPECT_FALSE(error.empty());
}
