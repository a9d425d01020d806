// The store when things go wrong: a file the index cannot take, a full or
// failing disk, a damaged database, a read-only home, and the space that
// many refreshes leave free.
#include "platform/HomeFolder.h"
#include "store/History.h"
#include "store/Indexer.h"
#include "store/ReadMarks.h"
#include "store/Repair.h"
#include "store/Search.h"
#include "store/Store.h"
#include "store/StoreProblem.h"
#include "support/HomeGuard.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>

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

// The titles found, in name order: what is indexed matters here, not its rank.
Titles find(store::Store& db, const std::string& query) {
    Titles found;
    for (const store::Hit& hit : store::search(db, query, 0, 1000).hits)
        found.push_back(hit.title);
    std::sort(found.begin(), found.end());
    return found;
}

// index.xml naming the channels whose copies channelFile writes: copies
// are indexed while the tree, from the program's home folder, reaches them.
void listChannels(const TempDir& home, const std::vector<std::string>& names,
                  const std::string& moreNodes = "") {
    std::string index = "<Tree>" + moreNodes;
    for (const std::string& name : names)
        index += "<TreeNode Title=\"" + name + "\" Rss=\"http://127.0.0.1:9/" + name + "\"/>";
    home.write("index.xml", index + "</Tree>");
    kelvor::platform::setProgramFolder(home.path()); // callers hold a HomeGuard
}

} // namespace

TEST(StoreFaults, OneBadFileNeverStopsTheIndexingOfTheOthers) {
    kelvor::test::HomeGuard homeGuard;
    TempDir home;
    std::string categories = "<TreeNode Title=\"坏的\" NodeSrc=\"/fav/garbled.xml\"/>";
    for (const char* name : {"alpha", "delta", "kappa", "omega", "sigma"}) {
        home.write(std::string("rss/") + name + ".xml", channelFile(name, 1));
        // Links whose files are gone lie among the categories.
        fs::create_symlink(home.file("gone.xml"),
                           home.file(std::string("rss/") + name + "-gone.xml"));
        categories +=
            "<TreeNode Title=\"gone\" NodeSrc=\"/rss/" + std::string(name) + "-gone.xml\"/>";
    }
    // Among the others: the files before it in its transaction keep their terms.
    listChannels(home, {"alpha", "delta", "huge", "kappa", "omega", "sigma"}, categories);
    home.write("fav/garbled.xml", "<Tree><TreeNode Title=\"garbled");
    home.write("rss/huge.xml", channelFile("huge", 1, std::string(50000, 'h')));
    store::Store db(home.path());
    // Stands for any text SQLite will not take in one piece.
    sqlite3_limit(db.db().handle(), SQLITE_LIMIT_LENGTH, 20000);

    store::IndexReport report;
    ASSERT_NO_THROW(report = store::updateIndex(db));
    EXPECT_EQ(report.indexed, 8);
    Titles good{"alpha item0", "delta item0", "kappa item0", "omega item0", "sigma item0"};
    EXPECT_EQ(find(db, "harbour item0"), good);
    EXPECT_EQ(find(db, "arbou"), good);           // through the vocabulary
    EXPECT_EQ(store::updateIndex(db).indexed, 0); // the bad ones wait until they change
}

namespace {

// A disk that fills up or fails on demand, below SQLite: every file the
// store opens goes through it while a DiskFaults lives.
struct FaultyFile {
    sqlite3_file base;
    sqlite3_file* real() { return reinterpret_cast<sqlite3_file*>(this + 1); }
};

bool failWrites = false; // as a full disk does
bool failReads = false;  // as a failing disk does
sqlite3_vfs* realVfs = nullptr;

FaultyFile* faulty(sqlite3_file* file) {
    return reinterpret_cast<FaultyFile*>(file);
}
sqlite3_file* inner(sqlite3_file* file) {
    return faulty(file)->real();
}

int faultyRead(sqlite3_file* f, void* data, int amount, sqlite3_int64 offset) {
    return failReads ? SQLITE_IOERR_READ
                     : inner(f)->pMethods->xRead(inner(f), data, amount, offset);
}
int faultyWrite(sqlite3_file* f, const void* data, int amount, sqlite3_int64 offset) {
    return failWrites ? SQLITE_FULL : inner(f)->pMethods->xWrite(inner(f), data, amount, offset);
}
int faultyTruncate(sqlite3_file* f, sqlite3_int64 size) {
    return failWrites ? SQLITE_FULL : inner(f)->pMethods->xTruncate(inner(f), size);
}
int faultyFetch(sqlite3_file* f, sqlite3_int64 offset, int amount, void** pages) {
    *pages = nullptr; // every read goes through xRead
    (void)f, (void)offset, (void)amount;
    return SQLITE_OK;
}

const sqlite3_io_methods faultyMethods = {
    3,
    [](sqlite3_file* f) {
        int rc = inner(f)->pMethods ? inner(f)->pMethods->xClose(inner(f)) : SQLITE_OK;
        return rc;
    },
    faultyRead,
    faultyWrite,
    faultyTruncate,
    [](sqlite3_file* f, int flags) { return inner(f)->pMethods->xSync(inner(f), flags); },
    [](sqlite3_file* f, sqlite3_int64* size) {
        return inner(f)->pMethods->xFileSize(inner(f), size);
    },
    [](sqlite3_file* f, int lock) { return inner(f)->pMethods->xLock(inner(f), lock); },
    [](sqlite3_file* f, int lock) { return inner(f)->pMethods->xUnlock(inner(f), lock); },
    [](sqlite3_file* f, int* out) { return inner(f)->pMethods->xCheckReservedLock(inner(f), out); },
    [](sqlite3_file* f, int op, void* arg) {
        return inner(f)->pMethods->xFileControl(inner(f), op, arg);
    },
    [](sqlite3_file* f) { return inner(f)->pMethods->xSectorSize(inner(f)); },
    [](sqlite3_file* f) { return inner(f)->pMethods->xDeviceCharacteristics(inner(f)); },
    [](sqlite3_file* f, int region, int size, int extend, void volatile** out) {
        return inner(f)->pMethods->xShmMap(inner(f), region, size, extend, out);
    },
    [](sqlite3_file* f, int offset, int n, int flags) {
        return inner(f)->pMethods->xShmLock(inner(f), offset, n, flags);
    },
    [](sqlite3_file* f) { inner(f)->pMethods->xShmBarrier(inner(f)); },
    [](sqlite3_file* f, int remove) { return inner(f)->pMethods->xShmUnmap(inner(f), remove); },
    faultyFetch,
    [](sqlite3_file*, sqlite3_int64, void*) { return SQLITE_OK; },
};

int faultyOpen(sqlite3_vfs*, const char* name, sqlite3_file* file, int flags, int* outFlags) {
    FaultyFile* wrapper = faulty(file);
    wrapper->base.pMethods = nullptr;
    int rc = realVfs->xOpen(realVfs, name, wrapper->real(), flags, outFlags);
    if (wrapper->real()->pMethods)
        wrapper->base.pMethods = &faultyMethods;
    return rc;
}

class DiskFaults {
  public:
    DiskFaults() {
        realVfs = sqlite3_vfs_find(nullptr);
        vfs_ = *realVfs;
        vfs_.zName = "kelvor-faulty";
        vfs_.szOsFile = static_cast<int>(sizeof(FaultyFile)) + realVfs->szOsFile;
        vfs_.xOpen = faultyOpen;
        sqlite3_vfs_register(&vfs_, 1);
    }
    ~DiskFaults() {
        failWrites = failReads = false;
        sqlite3_vfs_unregister(&vfs_);
        sqlite3_vfs_register(realVfs, 1);
    }

  private:
    sqlite3_vfs vfs_;
};

struct Collection {
    kelvor::test::HomeGuard homeGuard;
    TempDir home;
    std::string channel = "http://127.0.0.1:9/alpha";
    Collection() {
        listChannels(home, {"alpha", "beta"});
        home.write("rss/alpha.xml", channelFile("alpha", 3));
    }
    std::string db() const { return store::Store::pathFor(home.path()); }
};

Titles allAlpha() {
    return {"alpha item0", "alpha item1", "alpha item2"};
}

} // namespace

TEST(StoreFaults, AFullOrFailingDiskLeavesTheStoreAndItsMarksAsTheyWere) {
    kelvor::test::HomeGuard homeGuard;
    Collection c;
    {
        store::Store db(c.home.path());
        store::updateIndex(db);
        store::setRead(db, c.channel, "http://n.test/alpha/1", true);
    }
    std::string before = c.home.read("kelvor.db");
    DiskFaults disk;

    // An I/O error at open is no damage: nothing is moved aside or made anew.
    failReads = true;
    try {
        store::Store db(c.home.path());
        ADD_FAILURE() << "opened a store it cannot read";
    } catch (const store::StoreError& error) {
        EXPECT_FALSE(error.damaged());
        EXPECT_EQ(store::indexProblemText(error).rfind("读写磁盘出错", 0), 0u);
    }
    failReads = false;
    EXPECT_TRUE(c.home.read("kelvor.db") == before) << "the store was changed";
    EXPECT_FALSE(fs::exists(c.db() + ".broken"));

    // A full disk stops the update; what was indexed is still found.
    store::Store db(c.home.path());
    EXPECT_EQ(db.outcome(), store::OpenOutcome::Opened);
    c.home.write("rss/beta.xml", channelFile("beta", 2));
    failWrites = true;
    try {
        store::updateIndex(db);
        ADD_FAILURE() << "indexed onto a full disk";
    } catch (const store::StoreError& error) {
        EXPECT_TRUE(error.diskFull());
        EXPECT_EQ(store::indexProblemText(error).rfind("磁盘已满，无法更新搜索索引", 0), 0u);
    }
    EXPECT_EQ(find(db, "harbour"), allAlpha());
    EXPECT_TRUE(store::isRead(db, c.channel, "http://n.test/alpha/1"));
    failWrites = false;
    EXPECT_EQ(store::updateIndex(db).indexed, 1);
    EXPECT_EQ(find(db, "beta"), (Titles{"beta", "beta item0", "beta item1"})); // and its channel
    EXPECT_FALSE(fs::exists(c.db() + ".broken"));
}

namespace {

constexpr int kMarks = 1500;
const char* const kMarked = "http://127.0.0.1:9/marked";

// A store with items and many read marks, closed (its log copied back).
// Returns the pages of the tables every search and update reads.
std::vector<int64_t> storeWithMarks(const TempDir& home) {
    listChannels(home, {"alpha", "delta", "kappa", "omega"});
    for (const char* name : {"alpha", "delta", "kappa", "omega"})
        home.write(std::string("rss/") + name + ".xml", channelFile(name, 40, "lights"));
    store::Store db(home.path());
    store::updateIndex(db);
    store::Transaction transaction(db.db());
    for (int i = 0; i < kMarks; ++i)
        store::setRead(db, kMarked, "http://n.test/entry/" + std::to_string(10000 + i), true);
    transaction.commit();
    std::vector<int64_t> pages;
    store::Statement select(db.db(), "SELECT pageno FROM dbstat WHERE name IN "
                                     "('files', 'items', 'readmarks') ORDER BY pageno");
    while (select.step())
        pages.push_back(select.integer(0));
    return pages;
}

int64_t pageSizeOf(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    unsigned char size[2] = {};
    file.seekg(16); // big-endian, in the database's header
    file.read(reinterpret_cast<char*>(size), 2);
    return size[0] * 256 + size[1];
}

void garble(const std::string& path, int64_t page) {
    int64_t pageSize = pageSizeOf(path);
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp((page - 1) * pageSize);
    file << std::string(size_t(pageSize), '\xFF');
}

// What the reader and kelvor-tool do with a store, each step repairing
// what it finds damaged.
void useStore(store::Store& db, std::vector<std::string>& marks) {
    store::repairing(db, [](store::Store& s) { return store::updateIndex(s); });
    store::repairing(db, [](store::Store& s) { return find(s, "lights"); });
    store::repairing(db, [](store::Store& s) { return find(s, "ts"); });
    marks = store::repairing(db, [](store::Store& s) { return store::readEntries(s, kMarked); });
    store::repairing(db, [](store::Store& s) { return store::unreadCount(s, kMarked); });
}

} // namespace

TEST(StoreFaults, DamageOnAnyPageIsRebuiltKeepingTheMarksThatCanBeRead) {
    kelvor::test::HomeGuard homeGuard;
    Titles all;
    for (const char* name : {"alpha", "delta", "kappa", "omega"})
        for (int i = 0; i < 40; ++i)
            all.push_back(std::string(name) + " item" + std::to_string(i));
    std::sort(all.begin(), all.end());
    for (int where = 0; where < 3; ++where) {
        SCOPED_TRACE(where);
        TempDir home;
        std::vector<int64_t> pages = storeWithMarks(home);
        ASSERT_GT(pages.size(), 5u);
        // The first page after the schema's, one in the middle, the last.
        int64_t page = where == 0   ? pages.front()
                       : where == 1 ? pages[pages.size() / 2]
                                    : pages.back();
        std::string path = store::Store::pathFor(home.path());
        home.write("kelvor.db.broken", "an earlier damaged store");
        // A mark takes some 60 bytes of a page of the store.
        size_t marksOfAPage = size_t(pageSizeOf(path) / 50);
        garble(path, page);

        store::Store db(home.path());
        store::Store other(home.path()); // the window's second connection
        std::vector<std::string> marks;
        useStore(db, marks);
        EXPECT_EQ(db.outcome(), store::OpenOutcome::Rebuilt);
        EXPECT_EQ(find(db, "lights"), all);
        // At most a page's worth of marks is lost, from both sides of it.
        EXPECT_GT(marks.size(), kMarks - marksOfAPage);
        EXPECT_EQ(home.read("kelvor.db.broken"), "an earlier damaged store");
        EXPECT_TRUE(fs::exists(path + ".broken.1"));

        // The other connection learns that its file was moved aside, and
        // its own repair does not move the new store aside again.
        EXPECT_TRUE(other.replaced());
        other.recover();
        EXPECT_FALSE(fs::exists(path + ".broken.2"));
        EXPECT_EQ(store::readEntries(other, kMarked).size(), marks.size());
        EXPECT_EQ(find(other, "lights").size(), all.size());
    }
}

namespace {

using Listing = std::map<std::string, std::string>;

// Every file under folder with its bytes.
Listing listing(const std::string& folder) {
    Listing files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        files[entry.path().string()] =
            entry.is_regular_file() ? kelvor::test::readFile(entry.path().string()) : "";
    return files;
}

} // namespace

// Tests run as root here, whom no permission bit stops.
TEST(StoreFaults, AReadOnlyHomeIsSearchedInMemoryAndNothingInItIsWritten) {
    kelvor::test::HomeGuard homeGuard;
    Collection c;
    {
        store::Store db(c.home.path());
        store::updateIndex(db);
        store::setRead(db, c.channel, "http://n.test/alpha/1", true);
    }
    TempDir bare; // a shared collection that never had a store
    listChannels(bare, {"alpha"});
    bare.write("rss/alpha.xml", channelFile("alpha", 3));

    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        const TempDir& home = round == 2 ? bare : c.home;
        kelvor::test::HomeGuard roundHome(home.path());
        c.home.write("rss/beta.xml", channelFile("beta", round + 1)); // changed since indexed
        if (round == 0)
            fs::permissions(c.db(), fs::perms(0444)); // the store alone is read-only
        else
            fs::permissions(home.path(), fs::perms(0555));
        Listing before = listing(home.path());
        {
            store::Store db(home.path());
            EXPECT_TRUE(db.inMemory());
            EXPECT_NE(store::storeNotice(db).find("只读"), std::string::npos);
            store::Store second(home.path()); // the window's other connection
            EXPECT_EQ(store::updateIndex(db).indexed, round == 2 ? 2 : 3);
            EXPECT_EQ(
                find(second, "harbour"), round == 2 ? allAlpha() : [&] {
                    Titles all = allAlpha();
                    for (int i = 0; i <= round; ++i)
                        all.push_back("beta item" + std::to_string(i));
                    return all;
                }());
            EXPECT_EQ(store::isRead(second, c.channel, "http://n.test/alpha/1"), round != 2);
            store::setRead(second, c.channel, "http://n.test/alpha/2", true);
            EXPECT_TRUE(store::isRead(db, c.channel, "http://n.test/alpha/2"));
        }
        EXPECT_TRUE(listing(home.path()) == before) << "something in the home was written";
        if (round > 0) { // the reader starting there adds no folder or sheet
            EXPECT_TRUE(kelvor::platform::prepareHomeFolder(home.path(), "", nullptr));
            EXPECT_TRUE(listing(home.path()) == before) << "preparing wrote into the home";
        }
        fs::permissions(home.path(), fs::perms(0755));
        fs::permissions(c.db(), fs::perms(0644));
    }
}

namespace {

int64_t pragma(store::Store& db, const char* name) {
    store::Statement read(db.db(), (std::string("PRAGMA ") + name).c_str());
    read.step();
    return read.integer(0);
}

// Letters and spaces that deflate no better than a feed's text does.
std::string textOf(int seed, size_t size) {
    std::string text;
    uint32_t state = 2654435761u * uint32_t(seed + 1);
    while (text.size() < size) {
        state = state * 1664525u + 1013904223u;
        text += (state >> 24) % 7 == 0 ? ' ' : char('a' + (state >> 16) % 26);
    }
    return text;
}

} // namespace

TEST(StoreFaults, RefreshesGiveTheirFreedPagesBackToTheDisk) {
    kelvor::test::HomeGuard homeGuard;
    for (bool madeBeforeReclaiming : {false, true}) {
        SCOPED_TRACE(madeBeforeReclaiming);
        TempDir home;
        listChannels(home, {"alpha", "delta", "kappa"});
        store::Store db(home.path());
        store::setHistoryOptions(db, {0, 0}); // the copies alone: StoreHistoryTest keeps history
        if (madeBeforeReclaiming)
            db.db().exec("PRAGMA auto_vacuum=NONE; VACUUM");
        // Each refresh brings every channel new entries in place of the old.
        for (int refresh = 0; refresh < 20; ++refresh) {
            for (const char* name : {"alpha", "delta", "kappa"}) {
                std::string body = textOf(refresh, 1500);
                std::string path = home.write(std::string("rss/") + name + ".xml",
                                              channelFile(name, 40 - refresh, body));
                fs::last_write_time(path, fs::file_time_type::clock::now() +
                                              std::chrono::seconds(refresh));
            }
            store::updateIndex(db);
        }
        EXPECT_EQ(pragma(db, "auto_vacuum"), 2); // incremental from now on
        EXPECT_LE(pragma(db, "freelist_count") * 10, pragma(db, "page_count"));
        EXPECT_EQ(find(db, "harbour").size(), 3u * 21);
    }
}
