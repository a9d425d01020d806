#include "store/RankKeys.h"

#include "store/Database.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace kelvor::store {
namespace {

// A match of a common word comes every few dozen rows.
constexpr int kLinesAhead = 12;

int64_t dataVersionOf(Database& db) {
    Statement version(db, "PRAGMA data_version");
    return version.step() ? version.integer(0) : -1;
}

} // namespace

bool RankKeys::ready(Database& db) {
    // data_version tells of other connections' commits, the count of
    // changes of this one's own.
    int64_t version = dataVersionOf(db);
    int64_t changes = sqlite3_total_changes64(db.handle());
    if (version != dataVersion_ || changes != changes_) {
        forget();
        dataVersion_ = version;
        changes_ = changes;
        return false;
    }
    if (!read_) {
        Statement all(db, ("SELECT id, seconds, tokens, length(CAST(trim(title) AS BLOB)), "
                           "instr(title, char(0x212A)) + instr(title, char(0x17F)) = 0 FROM " +
                           table_)
                              .c_str());
        while (all.step()) {
            auto clamp = [](int64_t value, int64_t most) {
                return std::clamp<int64_t>(value, 0, most);
            };
            Key key{all.integer(1), static_cast<uint32_t>(clamp(all.integer(2), UINT32_MAX)),
                    static_cast<uint16_t>(clamp(all.integer(3), kLongTitle)), all.integer(4) != 0};
            rows_.push_back({all.integer(0), key});
        }
        read_ = true;
    }
    return true;
}

void RankKeys::forget() {
    rows_.clear();
    rows_.shrink_to_fit();
    hint_ = 0;
    read_ = false;
    dataVersion_ = changes_ = -1;
}

const RankKeys::Key* RankKeys::find(int64_t id) const {
    // A search asks in ascending order. Ids are unique, so a row lies at
    // most as many places past the last one found as its id is greater;
    // where nothing was deleted in between, exactly there.
    size_t from = 0, to = rows_.size();
    if (hint_ < rows_.size() && rows_[hint_].id <= id) {
        from = hint_;
        uint64_t past = static_cast<uint64_t>(id - rows_[hint_].id);
        to = static_cast<size_t>(std::min<uint64_t>(rows_.size() - 1, hint_ + past)) + 1;
        if (rows_[to - 1].id == id)
            from = to - 1;
    }
    auto end = rows_.begin() + static_cast<std::ptrdiff_t>(to);
    auto at = std::lower_bound(rows_.begin() + static_cast<std::ptrdiff_t>(from), end, id,
                               [](const Row& row, int64_t wanted) { return row.id < wanted; });
    if (at == end || at->id != id)
        return nullptr;
    size_t found = static_cast<size_t>(at - rows_.begin());
    // The next row asked for lies a little further on: the rows up to
    // there are brought in while the full-text query looks for it.
    if (found != hint_ || found == 0) {
        const char* next = reinterpret_cast<const char*>(&rows_[found]);
        const char* last = reinterpret_cast<const char*>(rows_.data() + rows_.size());
        for (int line = 1; line <= kLinesAhead && next + line * 64 < last; ++line)
            __builtin_prefetch(next + line * 64);
    }
    hint_ = found;
    return &at->key;
}

} // namespace kelvor::store
