#include "store/Indexer.h"

#include "store/EntryDate.h"
#include "store/History.h"
#include "store/HistoryKeeper.h"
#include "store/ItemTerms.h"
#include "store/PackedText.h"
#include "store/ReadAhead.h"
#include "store/Reclaim.h"
#include "store/TreeFileItems.h"
#include "tree/TreeFileChannels.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <deque>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <unordered_set>

namespace fs = std::filesystem;

namespace kelvor::store {
namespace {

// A full update commits this often, so that the window's own writes (read
// marks) never wait long for the lock, while files are still written many
// to a transaction: each commit costs the full-text index a segment to merge.
constexpr auto kBatchTime = std::chrono::milliseconds(150);
// The same when the index starts empty (the first start, an upgrade): the
// merging of the many small segments took a tenth of that time, and the
// window's own jobs on the store's worker stop an update at the next file
// whatever the batch (see updateFiles).
constexpr auto kFirstBatchTime = std::chrono::milliseconds(500);

// How many of the files next in line are read while one is written: enough
// that the threads reading them go on while the writer commits, which
// takes as long as writing a few files.
constexpr size_t kFilesReadAhead = 8;

// The size recorded for a file indexed without its text (while closing): no
// file has it, so the next update reads the file again.
constexpr int64_t kTextLeftOut = -1;

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

struct Stamp {
    int64_t mtime = 0, size = 0;
    bool operator==(const Stamp& other) const { return mtime == other.mtime && size == other.size; }
};

struct KnownFile {
    Stamp stamp;
    std::vector<std::string> targets;
};

std::optional<Stamp> stampOf(const std::string& path) {
    std::error_code ec;
    auto status = fs::status(path, ec);
    if (ec || !fs::is_regular_file(status))
        return std::nullopt;
    auto time = fs::last_write_time(path, ec);
    auto size = fs::file_size(path, ec);
    if (ec)
        return std::nullopt;
    return Stamp{static_cast<int64_t>(time.time_since_epoch().count()), static_cast<int64_t>(size)};
}

std::string joinLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines)
        text += line + "\n";
    return text;
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

std::map<std::string, KnownFile> knownFiles(Database& db) {
    std::map<std::string, KnownFile> known;
    Statement select(db, "SELECT path, mtime, size, targets FROM files");
    while (select.step())
        known[select.text(0)] = {{select.integer(1), select.integer(2)},
                                 splitLines(select.text(3))};
    return known;
}

// The statements of one update, prepared once for all its files. With
// `inBatches`, the files are written inside a Batch, which finishes their
// terms.
class Writer {
  public:
    explicit Writer(Database& db, bool inBatches = false)
        : db_(db), inBatches_(inBatches),
          rows_(db, "SELECT id, position, title, coalesce(link, entry), date, body, "
                    "place, entry FROM items WHERE file = ? ORDER BY id"),
          removeFrom_(db, "DELETE FROM items WHERE file = ? AND id >= ?"),
          insert_(db, "INSERT INTO items(file, position, title, link, date, body, place, entry, "
                      "seconds) VALUES (?1, ?2, ?3, nullif(?4, ?8), ?5, ?6, ?7, ?8, ?9)"),
          fileOf_(db, "SELECT id, channel FROM files WHERE path = ?"),
          addFile_(db, "INSERT INTO files(path, mtime, size, channel, targets) "
                       "VALUES (?, ?, ?, ?, ?)"),
          updateFile_(db, "UPDATE files SET mtime = ?2, size = ?3, channel = ?4, targets = ?5 "
                          "WHERE id = ?1"),
          known_(db, "SELECT mtime, size, targets FROM files WHERE path = ?"),
          caughtUp_(db, "INSERT OR IGNORE INTO readmarks SELECT files.channel, items.entry, 1, "
                        "caughtup.until FROM items JOIN files ON files.id = items.file "
                        "JOIN caughtup ON caughtup.channel = files.channel WHERE items.file = ?1 "
                        "AND items.id >= ?2 AND files.channel <> '' AND items.seconds > 0 "
                        "AND items.seconds <= caughtup.until"),
          history_(db), terms_(db) {}

    Database& db() { return db_; }

    // What the index holds of the file now (another connection may have
    // indexed it since the update began).
    std::optional<KnownFile> indexedNow(const std::string& path) {
        known_.bind(1, path);
        std::optional<KnownFile> file;
        if (known_.step())
            file = KnownFile{{known_.integer(0), known_.integer(1)}, splitLines(known_.text(2))};
        known_.reset();
        return file;
    }

    // Replaces the file's rows with the content's. Rows up to the first
    // difference stay as they are: a download that brought nothing new, or
    // an edit at the end of a category, costs the full-text index nothing
    // for them, and the file's order (ascending ids) holds either way. The
    // entries of a copy that are no longer in it become history. The split
    // texts of the items are taken.
    void write(const std::string& path, const Stamp& stamp, TreeFileContent& content) {
        size_t waiting = terms_.waiting();
        try {
            writeRows(path, stamp, content);
        } catch (...) {
            terms_.forgetSince(waiting);
            throw;
        }
    }

    // Writes the terms of the files written inside the transaction now
    // ending (see writeRows).
    void finishTerms() {
        try {
            terms_.finish();
        } catch (...) {
            terms_.forget();
            throw;
        }
    }

  private:
    void writeRows(const std::string& path, const Stamp& stamp, TreeFileContent& content) {
        Transaction transaction(db_);
        IndexedFile file = indexedFile(path);
        size_t kept = 0;
        int64_t firstChanged = -1;
        rows_.bind(1, file.id);
        while (rows_.step()) {
            if (kept < content.items.size() && file.channel == content.channel &&
                sameRow(content.items[kept])) {
                ++kept;
                continue;
            }
            firstChanged = rows_.integer(0);
            break;
        }
        rows_.reset();
        std::vector<LeavingEntry> leaving;
        if (firstChanged >= 0) {
            if (!file.channel.empty())
                leaving = leavingOf(path, firstChanged, content, kept);
            removeFrom_.bind(1, file.id).bind(2, firstChanged).step();
            removeFrom_.reset();
        }
        int64_t id = writeFile(file, path, stamp, content);
        int64_t firstAdded = 0;
        for (size_t i = kept; i < content.items.size(); ++i) {
            int64_t added = insertRow(id, content.items[i]);
            if (!firstAdded)
                firstAdded = added;
        }
        if (firstAdded && !content.channel.empty())
            markCaughtUp(id, firstAdded);
        // Inside the transaction of several files, the words and pairs of
        // all wait for its end: each file's savepoint would write what FTS5
        // holds as a segment (see ItemTerms.h), one a file to merge.
        if (!inBatches_)
            terms_.finish();
        // Only rows written now can be entries back from the history: those
        // kept were in the index, so not in the history.
        std::vector<std::string> back;
        if (!content.channel.empty())
            for (size_t i = kept; i < content.items.size(); ++i)
                back.push_back(content.items[i].entry);
        history_.settle(path, leaving, content.channel, back, std::time(nullptr));
        transaction.commit();
    }

    // The file's row as the index holds it; id 0 when it has none.
    struct IndexedFile {
        int64_t id = 0;
        std::string channel;
    };

    IndexedFile indexedFile(const std::string& path) {
        IndexedFile file;
        fileOf_.bind(1, path);
        if (fileOf_.step())
            file = {fileOf_.integer(0), fileOf_.text(1)};
        fileOf_.reset();
        return file;
    }

    int64_t writeFile(const IndexedFile& file, const std::string& path, const Stamp& stamp,
                      const TreeFileContent& content) {
        Statement& write = file.id ? updateFile_ : addFile_;
        if (file.id)
            write.bind(1, file.id);
        else
            write.bind(1, path);
        write.bind(2, stamp.mtime).bind(3, stamp.size).bind(4, content.channel);
        write.bind(5, joinLines(content.targets)).step();
        write.reset();
        return file.id ? file.id : db_.lastInsertId();
    }

    int64_t insertRow(int64_t file, IndexedItem& item) {
        insert_.bind(1, file).bind(2, item.position).bind(3, item.title).bind(4, item.link);
        bool packed = !item.packedBody.empty() || item.body.empty();
        insert_.bind(5, item.date).bindBlob(6, packed ? item.packedBody : packText(item.body));
        insert_.bind(7, item.place).bind(8, item.entry);
        int64_t seconds = entrySeconds(item.date);
        insert_.bind(9, seconds);
        insert_.step();
        insert_.reset();
        int64_t id = db_.lastInsertId();
        terms_.add(id, item, seconds);
        return id;
    }

    // The entries added from row `from` on are read when their channel was
    // marked read up to a time no earlier than theirs (see kCaughtUp).
    void markCaughtUp(int64_t file, int64_t from) {
        caughtUp_.bind(1, file).bind(2, from).step();
        caughtUp_.reset();
    }

    // The rows from `from` on whose entries the new content no longer holds:
    // a feed that gained one entry at the top moves every row, but only
    // what is gone has left.
    std::vector<LeavingEntry> leavingOf(const std::string& path, int64_t from,
                                        const TreeFileContent& content, size_t kept) {
        std::unordered_set<std::string> staying;
        for (size_t i = kept; i < content.items.size(); ++i)
            staying.insert(content.items[i].entry);
        std::vector<LeavingEntry> leaving = history_.rowsOf(path, from);
        leaving.erase(std::remove_if(leaving.begin(), leaving.end(),
                                     [&](const LeavingEntry& row) {
                                         return row.channel == content.channel &&
                                                staying.count(row.entry) > 0;
                                     }),
                      leaving.end());
        return leaving;
    }

    bool sameRow(const IndexedItem& item) const {
        return rows_.text(1) == item.position && rows_.text(2) == item.title &&
               rows_.text(3) == item.link && rows_.text(4) == item.date &&
               unpackText(rows_.text(5)) == item.body && rows_.text(6) == item.place &&
               rows_.text(7) == item.entry;
    }

    Database& db_;
    bool inBatches_;
    Statement rows_, removeFrom_, insert_, fileOf_, addFile_, updateFile_, known_, caughtUp_;
    HistoryKeeper history_;
    ItemTerms terms_;
};

// A copy deleted, or no longer reached from the tree: its entries become
// history (clearHistory drops the copies of a cleared cache before this).
void forget(Database& db, const std::string& path) {
    Transaction transaction(db);
    HistoryKeeper history(db);
    std::vector<LeavingEntry> leaving = history.rowsOf(path, 0);
    Statement(db, "DELETE FROM items WHERE file = (SELECT id FROM files WHERE path = ?)")
        .bind(1, path)
        .step();
    Statement(db, "DELETE FROM files WHERE path = ?").bind(1, path).step();
    history.settle(path, leaving, "", {}, std::time(nullptr));
    transaction.commit();
}

// Reads the file and replaces what the index held of it; returns its targets.
// A file the index cannot take (a text longer than SQLite allows) is kept
// as empty until it changes again: one file never ends the update of the
// others.
std::vector<std::string> reindex(Store& store, Writer& writer, const std::string& path,
                                 Stamp stamp, ReadAhead* ahead = nullptr) {
    std::optional<TreeFileContent> read;
    if (ahead && !store.closing())
        read = ahead->take(path, stamp.mtime, stamp.size);
    TreeFileContent content;
    try {
        content = read ? std::move(*read) : readTreeFileContent(path, store.home(), !store.closing());
    } catch (const std::exception&) {
        // A file that cannot be read adds nothing until it changes again.
    }
    if (store.closing())
        stamp.size = kTextLeftOut;
    try {
        writer.write(path, stamp, content);
    } catch (const StoreError& error) {
        if (error.ofTheWholeStore())
            throw;
        TreeFileContent nothing;
        writer.write(path, stamp, nothing);
        return {};
    }
    return content.targets;
}

// The copies of the channels a file names, where the tree looks for them.
// Read again at every update, whether the file changed or not: which copy
// is a channel's depends on the copies there now (channels of one title get
// numbered names in the order their copies were made). A feed's entries
// name no channels, so rss/ copies are not read for them.
std::vector<std::string> channelCopies(const std::string& path, const std::string& home) {
    std::vector<std::string> copies;
    if (startsWith(path, home + "/rss/"))
        return copies;
    for (const tree::FileChannel& channel : tree::channelsInTreeFile(path)) {
        std::string copy = fs::path(channel.cacheFile).lexically_normal().string();
        if (startsWith(copy, home + "/") && copy != path)
            copies.push_back(copy);
    }
    return copies;
}

// Several files to a transaction, committed every `time` with the words
// and pairs of their items.
class Batch {
  public:
    Batch(Database& db, Writer& writer, std::chrono::milliseconds time)
        : db_(db), writer_(writer), time_(time) {}
    void beforeFile() {
        if (!open_) {
            open_.emplace(db_);
            started_ = std::chrono::steady_clock::now();
        }
    }
    void afterFile() {
        if (open_ && std::chrono::steady_clock::now() - started_ >= time_)
            commit();
    }
    void commit() {
        if (open_) {
            writer_.finishTerms();
            open_->commit();
        }
        open_.reset();
    }

  private:
    Database& db_;
    Writer& writer_;
    std::chrono::milliseconds time_;
    std::optional<Transaction> open_;
    std::chrono::steady_clock::time_point started_;
};

IndexReport updateFiles(Store& store, const std::atomic<bool>* stop,
                        const IndexProgress& progress) {
    IndexReport report;
    std::map<std::string, KnownFile> known = knownFiles(store.db());
    // The tree grows from index.xml: a category or a channel copy counts
    // while a file reached from there names it. One removed from its
    // category, deleted with it or renamed away is no longer shown by the
    // tree, though its file stays on the disk.
    std::string root = store.home() + "/index.xml";
    std::deque<std::string> queue{root};
    std::set<std::string> seen{root};
    Writer writer(store.db(), true);
    Batch batch(store.db(), writer, known.empty() ? kFirstBatchTime : kBatchTime);
    ReadAhead ahead(store.home());
    // The next changed files are read while this one is written.
    auto readNext = [&] {
        for (size_t i = 0; i < kFilesReadAhead && i < queue.size(); ++i) {
            std::optional<Stamp> next = stampOf(queue[i]);
            auto it = known.find(queue[i]);
            if (next && (it == known.end() || !(it->second.stamp == *next)))
                ahead.start(queue[i], next->mtime, next->size);
        }
    };
    while (!queue.empty()) {
        // A run asked to stop still reads one changed file first: an update
        // that gives way to every other job goes on a file at a time.
        if (stop && stop->load() && report.indexed > 0) {
            batch.commit(); // what is done is kept; the rest waits for the next update
            report.stopped = true;
            return report;
        }
        std::string path = queue.front();
        queue.pop_front();
        std::optional<Stamp> stamp = stampOf(path);
        if (!stamp)
            continue;
        auto it = known.find(path);
        std::vector<std::string> targets;
        bool read = false;
        if (it != known.end() && it->second.stamp == *stamp) {
            ++report.unchanged;
            targets = it->second.targets;
        } else if (auto now = writer.indexedNow(path); now && now->stamp == *stamp) {
            // Indexed meanwhile by the window's own indexing of a download.
            ++report.unchanged;
            targets = now->targets;
        } else {
            ++report.indexed;
            read = true;
            batch.beforeFile();
            if (!store.closing())
                readNext();
            targets = reindex(store, writer, path, *stamp, &ahead);
            batch.afterFile();
        }
        if (it != known.end())
            known.erase(it);
        for (const auto& copy : channelCopies(path, store.home()))
            targets.push_back(copy);
        for (const auto& target : targets)
            if (seen.insert(target).second)
                queue.push_back(target);
        if (progress && read)
            progress(report.indexed + report.unchanged, int(seen.size()));
    }
    for (const auto& [path, file] : known) {
        batch.beforeFile();
        forget(store.db(), path);
        batch.afterFile();
        ++report.removed;
    }
    batch.commit();
    return report;
}

} // namespace

IndexReport updateIndex(Store& store, const std::atomic<bool>* stop,
                        const IndexProgress& progress) {
    IndexReport report = updateFiles(store, stop, progress);
    if (!report.stopped) {
        // History of channels no copy adds to any more ages out all the same.
        pruneOldHistory(store);
        reclaimSpace(store);
    }
    return report;
}

bool indexFile(Store& store, const std::string& path) {
    std::optional<Stamp> stamp = stampOf(path);
    if (!stamp) {
        forget(store.db(), path);
        return false;
    }
    Writer writer(store.db());
    reindex(store, writer, path, *stamp);
    return true;
}

} // namespace kelvor::store
