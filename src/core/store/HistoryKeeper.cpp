#include "store/HistoryKeeper.h"

#include <set>
#include <utility>

namespace kelvor::store {
namespace {

constexpr int64_t kDay = 24 * 3600;

// A copy indexed while the program closed holds only the keys of its
// entries (see Store::setClosing); the key still tells the link, or the
// title, of one that leaves before its text is read.
void fillFromKey(LeavingEntry& row) {
    if (!row.title.empty() || !row.link.empty())
        return;
    size_t newline = row.entry.find('\n');
    if (newline == std::string::npos)
        row.link = row.entry;
    else
        row.title = row.entry.substr(0, newline);
}

} // namespace

HistoryOptions historyOptionsOf(Database& db) {
    HistoryOptions options;
    Statement select(db, "SELECT days, count FROM historylimits WHERE id = 1");
    if (select.step()) {
        options.keepDays = static_cast<int>(select.integer(0));
        options.keepPerChannel = static_cast<int>(select.integer(1));
    }
    return options;
}

void pruneHistoryBefore(Database& db, int64_t departedBy) {
    // Most updates find nothing to drop, and a look takes no write lock.
    Statement any(db, "SELECT 1 FROM history WHERE departed <= ? LIMIT 1");
    if (!any.bind(1, departedBy).step())
        return;
    Statement(db, "DELETE FROM history WHERE departed <= ?").bind(1, departedBy).step();
}

HistoryKeeper::HistoryKeeper(Database& db) : db_(db) {}

Statement& HistoryKeeper::prepared(std::optional<Statement>& statement, const char* sql) {
    if (!statement)
        statement.emplace(db_, sql);
    statement->reset();
    return *statement;
}

std::vector<LeavingEntry> HistoryKeeper::rowsOf(const std::string& file, int64_t from) {
    Statement& rows =
        prepared(rows_, "SELECT files.channel, entry, title, coalesce(link, entry), "
                        "date, body, place, seconds FROM files JOIN items ON "
                        "items.file = files.id WHERE files.path = ? AND items.id >= ? "
                        "AND files.channel <> ''");
    rows.bind(1, file).bind(2, from);
    std::vector<LeavingEntry> leaving;
    while (rows.step()) {
        LeavingEntry row{rows.text(0), rows.text(1), rows.text(2), rows.text(3),
                         rows.text(4), rows.text(5), rows.text(6), rows.integer(7)};
        fillFromKey(row);
        leaving.push_back(std::move(row));
    }
    rows.reset();
    return leaving;
}

void HistoryKeeper::settle(const std::string& file, const std::vector<LeavingEntry>& leaving,
                           const std::string& channel, const std::vector<std::string>& back,
                           std::time_t now) {
    const char* const removeSql = "DELETE FROM history WHERE channel = ? AND entry = ?";
    if (!channel.empty() && !back.empty()) {
        // Most channels have no history: one look spares a delete per entry.
        Statement& any = prepared(any_, "SELECT 1 FROM history WHERE channel = ? LIMIT 1");
        bool some = any.bind(1, channel).step();
        any.reset();
        for (size_t i = 0; some && i < back.size(); ++i) {
            prepared(remove_, removeSql).bind(1, channel).bind(2, back[i]).step();
            remove_->reset();
        }
    }
    if (leaving.empty())
        return;
    if (!options_)
        options_ = historyOptionsOf(db_);
    if (options_->keepDays <= 0 || options_->keepPerChannel <= 0)
        return;
    // Another copy of the channel (one channel under two titles) may still
    // hold the entry: then it has not left.
    Statement& insert = prepared(
        insert_, "INSERT INTO history(channel, entry, file, place, title, link, date, body, "
                 "seconds, departed) SELECT ?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10 WHERE NOT "
                 "EXISTS (SELECT 1 FROM files JOIN items ON items.file = files.id "
                 "WHERE files.channel = ?1 AND items.entry = ?2)");
    std::set<std::pair<std::string, std::string>> seen;
    std::set<std::string> added;
    for (const LeavingEntry& row : leaving) {
        if (!seen.emplace(row.channel, row.entry).second)
            continue;
        // Deleted, not replaced: a replaced row would leave its words in the
        // full-text tables, whose triggers only a delete runs.
        prepared(remove_, removeSql).bind(1, row.channel).bind(2, row.entry).step();
        remove_->reset();
        insert.bind(1, row.channel).bind(2, row.entry).bind(3, file).bind(4, row.place);
        insert.bind(5, row.title).bind(6, row.link).bind(7, row.date).bindBlob(8, row.body);
        insert.bind(9, row.seconds).bind(10, int64_t(now));
        insert.step();
        if (db_.changes() > 0)
            added.insert(row.channel);
        insert.reset();
    }
    for (const std::string& kept : added) {
        Statement& trim =
            prepared(trim_, "DELETE FROM history WHERE id IN (SELECT id FROM history WHERE "
                            "channel = ?1 ORDER BY departed DESC, seconds DESC, id DESC "
                            "LIMIT -1 OFFSET ?2)");
        trim.bind(1, kept).bind(2, int64_t(options_->keepPerChannel)).step();
        trim.reset();
    }
    if (!added.empty())
        pruneHistoryBefore(db_, int64_t(now) - int64_t(options_->keepDays) * kDay);
}

} // namespace kelvor::store
