// Read and star marks both ways. The reader's marks since the last sync go
// to the server, the server's to the reader; when both sides changed an
// article's mark differently, the later change wins.
#pragma once

#include "store/Store.h"

#include <cstdint>
#include <optional>
#include <string>

namespace kelvor::sync {

struct MarkSides {
    bool agreed = false;               // what both sides had at the last sync
    std::optional<bool> reader;        // the reader's change since then, if any
    int64_t readerChanged = 0;         // and when it was made
    bool server = false;               // what the server has now
    int64_t lastSync = 0, now = 0;
};

enum class MarkOutcome { Agree, ToServer, ToReader };

// A mark is one bit, so the two sides can only disagree after both touched
// it when one of them went back (read, then unread again). The API tells
// whether an article's mark changed on the server since the last sync, not
// when: that change is dated halfway between the last sync and now, the
// best guess both ways, and compared with the time of the reader's.
MarkOutcome decideMark(const MarkSides& sides);

// Stars or unstars an entry of a synced channel in the reader: the server
// learns it at the next sync, and the copy shows it from then on. False
// when the entry is of no synced channel.
bool setStarred(store::Store& store, const std::string& channel, const std::string& entry,
                bool starred, int64_t now);
// Whether the entry is starred, counting a star not sent yet.
bool isStarred(store::Store& store, const std::string& channel, const std::string& entry);

} // namespace kelvor::sync
