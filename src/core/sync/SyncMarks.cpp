#include "sync/SyncMarks.h"

#include "sync/SyncTables.h"

namespace kelvor::sync {

MarkOutcome decideMark(const MarkSides& s) {
    bool reader = s.reader.value_or(s.agreed);
    if (reader == s.server)
        return MarkOutcome::Agree;
    bool serverChanged = s.server != s.agreed;
    if (!s.reader)
        return MarkOutcome::ToReader;
    if (!serverChanged)
        return MarkOutcome::ToServer;
    // Both touched it since the last sync (the reader back to where it was).
    int64_t serverChange = s.lastSync + (s.now - s.lastSync) / 2;
    return s.readerChanged > serverChange ? MarkOutcome::ToServer : MarkOutcome::ToReader;
}

namespace {

struct SyncedEntry {
    std::string server;
    int64_t article = 0;
    bool starred = false;
};

std::optional<SyncedEntry> findEntry(store::Store& store, const std::string& channel,
                                     const std::string& entry) {
    createSyncTables(store.db());
    store::Statement select(store.db(),
                            "SELECT a.server, a.article, coalesce((SELECT value FROM sync_pending "
                            "p WHERE p.server = a.server AND p.article = a.article AND p.field = "
                            "0), a.starred) FROM sync_articles a WHERE channel = ? AND entry = ?");
    select.bind(1, channel).bind(2, entry);
    if (!select.step())
        return std::nullopt;
    return SyncedEntry{select.text(0), select.integer(1), select.integer(2) != 0};
}

} // namespace

bool setStarred(store::Store& store, const std::string& channel, const std::string& entry,
                bool starred, int64_t now) {
    std::optional<SyncedEntry> found = findEntry(store, channel, entry);
    if (!found)
        return false;
    SyncTables(store, found->server).putPending({found->article, MarkField::Starred, starred, now});
    return true;
}

bool isStarred(store::Store& store, const std::string& channel, const std::string& entry) {
    std::optional<SyncedEntry> found = findEntry(store, channel, entry);
    return found && found->starred;
}

} // namespace kelvor::sync
