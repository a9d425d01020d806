#include "store/Schema.h"

#include "store/DamagedStore.h"
#include "store/Vocabulary.h"

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <mutex>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace kelvor::store {
namespace {

// Items of every tree file; their texts are found through the full-text
// tables below. The position ("2.0.5") is the item's place among TreeNode
// siblings from the file's root, for finding it again in the tree.
//
// What every row of a file shares is kept once, in its files row: its path
// and its channel (items.file is the file's id). An entry's key is its link
// whenever it has one (see entryKeyOf), so the link is kept only when it
// differs from the key (NULL otherwise: read it as coalesce(link, entry)).
// One index serves both the rows of a file and an entry of a channel (the
// channel's files, then file and entry), and holds what the counts of
// unread entries read.
const std::string kIndexTables = R"(
CREATE TABLE files(id INTEGER PRIMARY KEY, path TEXT NOT NULL UNIQUE, mtime INTEGER NOT NULL,
                   size INTEGER NOT NULL, channel TEXT NOT NULL DEFAULT '',
                   targets TEXT NOT NULL DEFAULT '');
CREATE INDEX files_by_channel ON files(channel);
CREATE TABLE items(id INTEGER PRIMARY KEY, file INTEGER NOT NULL, position TEXT NOT NULL,
                   title TEXT NOT NULL, link TEXT, date TEXT NOT NULL, body TEXT NOT NULL,
                   place TEXT NOT NULL, entry TEXT NOT NULL, seconds INTEGER NOT NULL DEFAULT 0);
CREATE INDEX items_by_entry ON items(file, entry);
)";
const std::string kTables = kIndexTables + R"(
CREATE TABLE readmarks(channel TEXT NOT NULL, entry TEXT NOT NULL, read INTEGER NOT NULL,
                       changed INTEGER NOT NULL, PRIMARY KEY(channel, entry)) WITHOUT ROWID;
)";

// An item's row takes about a kilobyte, most of it its deflated text: a
// page of 4 KB holds three or four and leaves up to a fifth of it unused,
// one of 16 KB a few hundredths.
constexpr int kPageSize = 16384;

// Hits are ranked as by bm25 (see TermRank.h), with the lengths of the
// items kept beside their keys: FTS5's own column sizes cost a statement
// for each match.
//
// One full-text table holds the words of the titles, texts and links as
// CharacterPairs.h splits them, each once in a column (see IndexTerms.h):
// Chinese words as character pairs, the rest as unicode61 words (quick61
// gives the same, see QuickTokenizer.h), with the columns each is in and
// no positions (a word of three or more Chinese characters is all of its
// pairs, and the text says whether they stand together). It keeps no text
// (content=''): the texts are kept deflated in the rows (see
// PackedText.h), and a part of a Latin word is found through the
// vocabulary (see Vocabulary.h).
//
// item_keys holds what hits are ordered by, a few rows to a page: ranking
// thousands of matches reads it instead of the items. Its tokens are the
// item's length in characters, less two for each column; item_totals adds
// them up for the average, whichever rows are ranked.
std::string tokensOf(const std::string& row, const std::string& link) {
    return "(max(length(" + row + ".title) - 2, 0) + max(length(unpack_text(" + row +
           ".body)) - 2, 0) + max(length(" + link + ") - 2, 0))";
}

// An item's link is its entry key when it has none of its own (see kTables);
// the history keeps its links as they are.
std::string linkOf(const std::string& row, bool ofItems) {
    return ofItems ? "coalesce(" + row + ".link, " + row + ".entry)" : row + ".link";
}

// The full-text table and triggers over a table of rows (id, title, body,
// link, seconds), written for any set of names (see FullTextTables): the
// history of the channels has a set of its own of the same shape, so that
// one search ranks both alike.
const char* const kFullTextOf = R"(
CREATE VIRTUAL TABLE {new}{terms} USING fts5(title, body, link, content='', detail=column,
                                             columnsize=0,
                                             tokenize='quick61 remove_diacritics 0');
CREATE TABLE {new}{keys}(id INTEGER PRIMARY KEY, seconds INTEGER NOT NULL, title TEXT NOT NULL,
                         tokens INTEGER NOT NULL);
CREATE TABLE {new}{totals}(items INTEGER NOT NULL, tokens INTEGER NOT NULL);
INSERT INTO {totals} SELECT 0, 0 WHERE NOT EXISTS (SELECT 1 FROM {totals});
CREATE TRIGGER {new}{rows}_removed AFTER DELETE ON {rows} BEGIN
  UPDATE {totals} SET items = items - 1, tokens = tokens - {old tokens};
  DELETE FROM {keys} WHERE id = old.id;
  INSERT INTO {terms}({terms}, rowid, title, body, link)
  VALUES ('delete', old.id, index_terms(old.title), index_terms(unpack_text(old.body)),
          index_terms({old link}));
END;
)";

// What a row added brings to the full-text tables. The indexer writes the
// items' own (see Indexer.cpp), having split their texts already; the
// history's rows are copied from the items in SQL and take this trigger.
const char* const kAddedByTrigger = R"(
CREATE TRIGGER {new}{rows}_added AFTER INSERT ON {rows} BEGIN
  INSERT INTO {keys} VALUES (new.id, new.seconds, lower(new.title), {new tokens});
  UPDATE {totals} SET items = items + 1, tokens = tokens + {new tokens};
  INSERT INTO {terms}(rowid, title, body, link)
  VALUES (new.id, index_terms(new.title), index_terms(unpack_text(new.body)),
          index_terms(new.link));
END;
)";

// kFullTextOf for one set of tables. `ifNew` makes each only where it is
// missing, for a set added to a store as it opens.
std::string fullTextOf(const FullTextTables& tables, bool ifNew = false) {
    bool ofItems = std::string(tables.rows) == kItemTables.rows;
    const std::pair<std::string, std::string> names[] = {
        {"{rows}", tables.rows},
        {"{terms}", tables.terms},
        {"{keys}", tables.keys},
        {"{totals}", tables.totals},
        {"{new tokens}", tokensOf("new", "new.link")},
        {"{old tokens}", tokensOf("old", linkOf("old", ofItems))},
        {"{old link}", linkOf("old", ofItems)},
        {"{new}", ifNew ? "IF NOT EXISTS " : ""}};
    std::string sql = std::string(kFullTextOf) + (ofItems ? "" : kAddedByTrigger);
    for (const auto& [name, value] : names)
        for (size_t at = 0; (at = sql.find(name, at)) != std::string::npos; at += value.size())
            sql.replace(at, name.size(), value);
    return sql;
}

// FTS5 writes the words and pairs it holds as a new segment of the index
// whenever they pass its hash size, and merges the segments as they pile
// up. At its 1 MB, a transaction of the indexer (see Indexer.cpp) made
// several, and the merging of them took a tenth of indexing from nothing;
// at 16 MB it makes one. Its leaves are nearly as large as the store's
// pages (16 KB) rather than FTS5's 4 KB: a quarter as many rows to write
// and to merge.
const std::string kFullText =
    fullTextOf(kItemTables) + "INSERT INTO " + kItemTables.terms + "(" + kItemTables.terms +
    ", rank) VALUES('hashsize', 16777216); INSERT INTO " + kItemTables.terms + "(" +
    kItemTables.terms + ", rank) VALUES('pgsz', 16000);";

// Every upgrade so far starts the index again: the old one goes, whichever
// of its tables the version had.
const std::string kDropFullText =
    "DROP TRIGGER IF EXISTS items_added; DROP TRIGGER IF EXISTS items_removed;"
    "DROP TABLE IF EXISTS items_text; DROP TABLE IF EXISTS items_pairs;"
    "DROP TABLE IF EXISTS item_keys; DROP TABLE IF EXISTS items_words;"
    "DROP TABLE IF EXISTS item_totals; DROP TABLE IF EXISTS items_terms;";
const std::string kDropIndex = kDropFullText + "DELETE FROM items; DELETE FROM files;";

// kUpgrades[v - 1] takes a database from version v to v + 1. An upgrade
// keeps the read marks; the index may start again empty and fill from the
// files on the next update, as after a rebuild.
const std::vector<std::string> kUpgrades = {
    // 1 -> 2: the full-text index without column sizes.
    kDropIndex + kFullText,
    // 2 -> 3: column sizes for ranking, and the entry's time for ordering.
    kDropIndex + "ALTER TABLE items ADD COLUMN seconds INTEGER NOT NULL DEFAULT 0;" + kFullText,
    // 3 -> 4: the index of character pairs for short words, the keys of ranking.
    kDropIndex + kFullText,
    // 4 -> 5: the length of each item in trigrams beside its keys.
    kDropIndex + kFullText,
    // 5 -> 6: the tails of Latin words, the items' total length, and which
    // pairs are in the title.
    kDropIndex + kFullText,
    // 6 -> 7: one full-text table of words and pairs beside a vocabulary,
    // the texts deflated. The history is kept and indexed again (see
    // upgrade).
    kDropIndex + kFullText,
    // 7 -> 8: the rows of a file name it by its id and leave its channel to
    // it, an item's link equal to its entry key is kept once. The tables are
    // made anew (dropping them also drops their triggers).
    kDropFullText + "DROP TABLE IF EXISTS items; DROP TABLE IF EXISTS files;" + kIndexTables +
        kFullText,
    // 8 -> 9: the full-text tables split by quick61, each token of a column
    // once (the history's are made again too, see upgrade).
    kDropIndex + kFullText,
};

// The first version whose history's full-text tables are split as now.
constexpr int kHistoryTokensSince = 9;

// Added to any store as it opens, so no version of the index drops it: when
// a channel was marked read up to a time, an entry dated no later that comes
// in afterwards is read, and a mark made by hand stays as it is. The indexer
// marks them once a file's rows are in (see Indexer.cpp). A trigger on each
// row did it before, which an older version makes again: it goes as the
// store opens, as it made every insert into the items a statement of its
// own to undo (indexing from nothing took a tenth longer).
const std::string kCaughtUp = R"(
CREATE TABLE IF NOT EXISTS caughtup(channel TEXT PRIMARY KEY, until INTEGER NOT NULL)
  WITHOUT ROWID;
DROP TRIGGER IF EXISTS items_caught_up;
)";

// The history of the channels: entries that left their channel's copy (see
// History.h). Like caughtup it cannot be made again from the files, so it
// is added to any store as it opens and no upgrade of the index drops it.
// One row per entry of a channel, never one a copy holds; its own full-text
// tables have the items' shape, so a search ranks both alike.
//
// A read mark stays as long as its entry is history: forgetting the marks of
// entries gone from the feed (see forgetOldMarks) passes over those.
const std::string kHistoryRows = R"(
CREATE TABLE IF NOT EXISTS history(id INTEGER PRIMARY KEY, channel TEXT NOT NULL,
                                   entry TEXT NOT NULL, file TEXT NOT NULL, place TEXT NOT NULL,
                                   title TEXT NOT NULL, link TEXT NOT NULL, date TEXT NOT NULL,
                                   body TEXT NOT NULL, seconds INTEGER NOT NULL,
                                   departed INTEGER NOT NULL);
CREATE UNIQUE INDEX IF NOT EXISTS history_by_channel ON history(channel, entry);
CREATE INDEX IF NOT EXISTS history_by_departure ON history(departed);
CREATE INDEX IF NOT EXISTS history_by_file ON history(file);
)";
const std::string kHistoryMarks = R"(
CREATE TRIGGER IF NOT EXISTS readmarks_of_history BEFORE DELETE ON readmarks
WHEN EXISTS (SELECT 1 FROM history WHERE history.channel = old.channel
             AND history.entry = old.entry) BEGIN
  SELECT RAISE(IGNORE);
END;
CREATE TABLE IF NOT EXISTS historylimits(id INTEGER PRIMARY KEY CHECK (id = 1),
                                         days INTEGER NOT NULL, count INTEGER NOT NULL);
)";
const std::string kHistory = kHistoryRows + fullTextOf(kHistoryTables, true) + kHistoryMarks;

// The history's full-text tables of an older version go, and its rows are
// indexed again in the current ones.
const std::string kHistoryIndexAgain =
    "DROP TRIGGER IF EXISTS history_added; DROP TRIGGER IF EXISTS history_removed;"
    "DROP TABLE IF EXISTS history_text; DROP TABLE IF EXISTS history_pairs;"
    "DROP TABLE IF EXISTS history_words; DROP TABLE IF EXISTS history_keys;"
    "DROP TABLE IF EXISTS history_totals; DROP TABLE IF EXISTS history_terms;" +
    fullTextOf(kHistoryTables) +
    "INSERT INTO history_terms(rowid, title, body, link) SELECT id, index_terms(title), "
    "index_terms(unpack_text(body)), index_terms(link) FROM history;"
    "INSERT INTO history_keys SELECT id, seconds, lower(title), " +
    tokensOf("history", "history.link") +
    " FROM history; UPDATE history_totals SET items = (SELECT count(*) FROM history_keys), "
    "tokens = (SELECT coalesce(sum(tokens), 0) FROM history_keys);";

// What kHistory makes and clearing the history drops (its limits stay).
const std::string kDropHistory =
    "DROP TRIGGER IF EXISTS readmarks_of_history; DROP TRIGGER IF EXISTS history_added;"
    "DROP TRIGGER IF EXISTS history_removed; DROP TABLE IF EXISTS history;"
    "DROP TABLE IF EXISTS history_terms; DROP TABLE IF EXISTS history_keys;"
    "DROP TABLE IF EXISTS history_totals;";

int versionOf(Database& db) {
    Statement version(db, "PRAGMA user_version");
    version.step();
    int found = static_cast<int>(version.integer(0));
    // Reading the schema fails on a file that is not a database at all.
    Statement tables(db, "SELECT count(*) FROM sqlite_master");
    tables.step();
    return found == 0 && tables.integer(0) > 0 ? -1 : found;
}

void removeDatabaseFiles(const std::string& path) {
    std::error_code ec;
    for (const char* suffix : {"", "-wal", "-shm"})
        fs::remove(path + suffix, ec);
}

int64_t pragmaValue(Database& db, const char* pragma) {
    Statement read(db, pragma);
    return read.step() ? read.integer(0) : 0;
}

// The log is copied back once it holds this much, whatever the size of
// the pages of the store.
constexpr int64_t kLogBytes = 80 * 1024 * 1024;

void configure(Database& db) {
    db.exec("PRAGMA journal_mode=WAL");
    db.exec("PRAGMA synchronous=NORMAL");
    // Indexing writes a lot in bursts (a refresh, the first start). A
    // checkpoint syncs the disk, which downloads saving their copies then
    // wait for: the log is copied back seldom, and by the worker once it
    // has nothing else to do.
    db.exec("PRAGMA cache_size=-20000");
    int64_t pageSize = std::max<int64_t>(pragmaValue(db, "PRAGMA page_size"), 512);
    db.exec("PRAGMA wal_autocheckpoint=" + std::to_string(kLogBytes / pageSize));
}

void createTables(Database& db, const std::vector<Mark>& marks) {
    Transaction transaction(db);
    db.exec(kTables + kFullText + kCaughtUp + kVocabularyTables + kHistory);
    db.exec("PRAGMA user_version=" + std::to_string(kSchemaVersion));
    Statement insert(db, "INSERT OR REPLACE INTO readmarks VALUES (?, ?, ?, ?)");
    for (const auto& [channel, entry, read, changed] : marks) {
        insert.bind(1, channel).bind(2, entry).bind(3, read).bind(4, changed);
        insert.step();
        insert.reset();
    }
    transaction.commit();
}

std::unique_ptr<Database> createFresh(const std::string& path, const std::vector<Mark>& marks) {
    auto db = std::make_unique<Database>(path);
    // Before anything else: auto_vacuum's setting already fixes the size.
    db->exec("PRAGMA page_size=" + std::to_string(kPageSize));
    // Refreshes free many pages; they go back to the disk (see reclaimSpace).
    db->exec("PRAGMA auto_vacuum=INCREMENTAL");
    configure(*db);
    createTables(*db, marks);
    return db;
}

void upgrade(Database& db, int from) {
    Transaction transaction(db);
    for (int version = from; version < kSchemaVersion; ++version)
        db.exec(kUpgrades[version - 1]);
    db.exec(kVocabularyTables);
    bool historyKept =
        Statement(db, "SELECT 1 FROM sqlite_master WHERE name = 'readmarks_of_history'").step();
    if (from < kHistoryTokensSince && historyKept)
        db.exec(kHistoryIndexAgain);
    if (from < 7 && historyKept)
        addHistoryWords(db);
    db.exec("PRAGMA user_version=" + std::to_string(kSchemaVersion));
    transaction.commit();
}

// An older store keeps the size of page it was made with until a VACUUM
// writes it anew; right after an upgrade, its index empty, that costs
// little. Leaving WAL (the size of a page cannot change in it) takes the
// only connection: with another one open the pages stay as they are.
void widenPages(Database& db) {
    if (pragmaValue(db, "PRAGMA page_size") >= kPageSize)
        return;
    try {
        bool leftWal = false;
        {
            Statement mode(db, "PRAGMA journal_mode=DELETE");
            leftWal = mode.step() && mode.text(0) == "delete";
        }
        if (leftWal) {
            db.exec("PRAGMA page_size=" + std::to_string(kPageSize));
            db.exec("PRAGMA auto_vacuum=INCREMENTAL");
            db.exec("VACUUM");
        }
    } catch (const StoreError& error) {
        // Busy, or no room for the copy: the old pages serve as well.
        if (error.damaged())
            throw;
    }
    configure(db);
}

// Two openers at once (the indexer thread and the first query, or the reader
// and kelvor-tool) would each find a new file empty and replace the other's
// fresh database, or take a half-made one for damaged and move it aside.
// The check and any rebuild happen under a lock on a file beside the
// database; flock serialises threads as well as processes.
class OpenLock {
  public:
    explicit OpenLock(const std::string& path)
        : fd_(::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644)) {
        if (fd_ >= 0)
            while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
            }
    }
    ~OpenLock() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    OpenLock(const OpenLock&) = delete;
    OpenLock& operator=(const OpenLock&) = delete;

  private:
    int fd_;
};

} // namespace

void ensureHistoryTables(Database& db) {
    // The trigger is made last: with it, all the rest is there.
    if (Statement(db, "SELECT 1 FROM sqlite_master WHERE name = 'readmarks_of_history'").step())
        return;
    Transaction transaction(db);
    db.exec(kHistory);
    transaction.commit();
}

void recreateHistoryTables(Database& db) {
    Transaction transaction(db);
    db.exec(kDropHistory + kHistory);
    transaction.commit();
}

FileIdentity identityOf(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return {};
    return {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
}

OpenedSchema openSchema(const std::string& path, const FileIdentity* damaged) {
    OpenLock lock(path);
    OpenedSchema opened;
    std::vector<Mark> marks;
    try {
        if (damaged && *damaged == identityOf(path))
            throw StoreError(SQLITE_CORRUPT, path + " is damaged");
        auto db = std::make_unique<Database>(path);
        int version = versionOf(*db);
        if (version == kSchemaVersion || (version > 0 && version < kSchemaVersion)) {
            configure(*db);
            if (version != kSchemaVersion) {
                upgrade(*db, version);
                widenPages(*db);
                opened.outcome = OpenOutcome::Upgraded;
            }
            db->exec(kCaughtUp + kVocabularyTables);
            ensureHistoryTables(*db);
            opened.db = std::move(db);
            opened.file = identityOf(path);
            return opened;
        }
        if (version == 0) {
            opened.outcome = OpenOutcome::Created;
        } else {
            opened.outcome = OpenOutcome::Replaced;
            marks = readableMarks(*db);
        }
        db.reset();
        removeDatabaseFiles(path);
    } catch (const StoreError& error) {
        // A full disk or a failing one is no reason to give up the marks.
        if (!error.damaged())
            throw;
        opened.outcome = OpenOutcome::Rebuilt;
        marks = salvageMarks(path);
        moveAside(path);
    }
    opened.db = createFresh(path, marks);
    opened.file = identityOf(path);
    return opened;
}

OpenedSchema openMemorySchema(const std::string& path) {
    // No lock file may be made in a home that must not be written.
    static std::mutex opening;
    std::lock_guard<std::mutex> lock(opening);
    OpenedSchema opened;
    opened.db = std::make_unique<Database>(path, Access::Memory);
    if (versionOf(*opened.db) == kSchemaVersion) {
        opened.db->exec(kCaughtUp + kVocabularyTables);
        ensureHistoryTables(*opened.db);
        return opened;
    }
    std::vector<Mark> marks;
    try {
        Database file(path, Access::Untouched);
        marks = readableMarks(file);
    } catch (const StoreError&) {
        // No database there, or none that can be read: no marks.
    }
    createTables(*opened.db, marks);
    opened.outcome = OpenOutcome::Created;
    return opened;
}

} // namespace kelvor::store
