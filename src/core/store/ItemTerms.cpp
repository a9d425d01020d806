#include "store/ItemTerms.h"

#include "platform/Text.h"
#include "store/CharacterPairs.h"
#include "store/TreeFileItems.h"

#include <algorithm>

namespace kelvor::store {
namespace {

// As the removal trigger counts it (see Schema.cpp): the characters of each
// column less two, so that it can take the same off again.
int64_t tokensOf(const IndexedItem& item) {
    auto column = [](const std::string& text) {
        return std::max<int64_t>(int64_t(platform::characterCount(text)) - 2, 0);
    };
    return column(item.title) + column(item.body) + column(item.link);
}

} // namespace

ItemTerms::ItemTerms(Database& db)
    : keys_(db, "INSERT INTO item_keys VALUES (?, ?, ?, ?)"),
      terms_(db, "INSERT INTO items_terms(rowid, title, body, link) VALUES (?, ?, ?, ?)"),
      totals_(db, "UPDATE item_totals SET items = items + ?, tokens = tokens + ?"), words_(db) {}

void ItemTerms::add(int64_t id, const IndexedItem& item, int64_t seconds) {
    int64_t tokens = tokensOf(item);
    keys_.bind(1, id).bind(2, seconds).bind(3, platform::lowerAscii(item.title)).bind(4, tokens);
    keys_.step();
    keys_.reset();
    waiting_.push_back(
        {id, characterPairs(item.title), characterPairs(item.body), characterPairs(item.link)});
    tokens_ += tokens;
}

void ItemTerms::forget() {
    waiting_.clear();
    tokens_ = 0;
    words_.forget();
}

void ItemTerms::finish() {
    if (waiting_.empty())
        return;
    for (const Terms& terms : waiting_) {
        terms_.bind(1, terms.id).bind(2, terms.title).bind(3, terms.body).bind(4, terms.link);
        terms_.step();
        terms_.reset();
    }
    for (const Terms& terms : waiting_) {
        words_.addWordsOfPairs(terms.title);
        words_.addWordsOfPairs(terms.body);
    }
    words_.finish();
    totals_.bind(1, int64_t(waiting_.size())).bind(2, tokens_).step();
    totals_.reset();
    waiting_.clear();
    tokens_ = 0;
}

} // namespace kelvor::store
