#include "store/RankKeys.h"

#include "store/Database.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kelvor::store {
namespace {

// A match of a common word comes every few dozen rows.
constexpr int kLinesAhead = 12;

int64_t dataVersionOf(Database& db) {
    Statement version(db, "PRAGMA data_version");
    return version.step() ? version.integer(0) : -1;
}

// Read here rather than in SQL: functions on each of 200,000 titles
// made reading the keys take more than twice as long.
RankKeys::Key keyOf(int64_t seconds, int64_t tokens, std::string_view title) {
    size_t first = title.find_first_not_of(' ');
    size_t trimmed = first == std::string_view::npos ? 0 : title.find_last_not_of(' ') + 1 - first;
    bool folds = title.find("\xE2\x84\xAA") != std::string_view::npos || // KELVIN SIGN
                 title.find("\xC5\xBF") != std::string_view::npos;       // LONG S
    return {seconds, static_cast<uint32_t>(std::clamp<int64_t>(tokens, 0, UINT32_MAX)),
            static_cast<uint16_t>(std::min<size_t>(trimmed, RankKeys::kLongTitle)), !folds};
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
        Statement all(db, ("SELECT id, seconds, tokens, title FROM " + table_).c_str());
        while (all.step())
            rows_.push_back(
                {all.integer(0), keyOf(all.integer(1), all.integer(2), all.textView(3))});
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
