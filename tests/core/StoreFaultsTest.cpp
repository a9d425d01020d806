// The store when things go wrong: a file the index cannot take, a full or
// failing disk, a damaged database, a read-only home, and the space that
// many refreshes leave free.
#include "store/Indexer.h"
#include "store/ReadMarks.h"
#include "store/Search.h"
#include "store/Store.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <filesystem>

using kelvor::test::TempDir;
namespace store = kelvor::store;
namespace fs = std::filesystem;
using Titles = std::vector<std::string>;

namespace {

std::string channelFile(const std::string& name, int items, const std::string& body = "") {
    std::string tree = R"(<?xml version="1.0" encoding="utf-8"?><Tree Type="rss" Title=")" + name +
                       R"(" BaseURL="http://127.0.0.1:9/)" + name + "\">";
    for (int i = 0; i < items; ++i)
        tree += "<TreeNode Title=\"" + name + " item" + std::to_string(i) +
                "\" Href=\"http://n.test/" + name + "/" + std::to_string(i) + "\"><Desc>harbour " +
                name + " " + body + "</Desc></TreeNode>";
    return tree + "</Tree>";
}

Titles find(store::Store& db, const std::string& query) {
    Titles found;
    for (const store::Hit& hit : store::search(db, query, 1000))
        found.push_back(hit.title);
    return found;
}

} // namespace

TEST(StoreFaults, OneBadFileNeverStopsTheIndexingOfTheOthers) {
    TempDir home;
    home.write("index.xml", "<Tree/>");
    for (const char* name : {"alpha", "delta", "kappa", "omega", "sigma"}) {
        home.write(std::string("rss/") + name + ".xml", channelFile(name, 1));
        // Links whose files are gone lie among them.
        fs::create_symlink(home.file("gone.xml"),
                           home.file(std::string("rss/") + name + "-gone.xml"));
    }
    home.write("rss/garbled.xml", "<Tree><TreeNode Title=\"garbled");
    home.write("rss/huge.xml", channelFile("huge", 1, std::string(50000, 'h')));
    store::Store db(home.path());
    // Stands for any text SQLite will not take in one piece.
    sqlite3_limit(db.db().handle(), SQLITE_LIMIT_LENGTH, 20000);

    store::IndexReport report;
    ASSERT_NO_THROW(report = store::updateIndex(db));
    EXPECT_EQ(report.indexed, 8);
    EXPECT_EQ(find(db, "harbour item0"),
              (Titles{"alpha item0", "delta item0", "kappa item0", "omega item0", "sigma item0"}));
    EXPECT_EQ(store::updateIndex(db).indexed, 0); // the bad ones wait until they change
}
