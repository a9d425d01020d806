#include "store/ItemTerms.h"

#include "platform/Text.h"
#include "store/CharacterPairs.h"
#include "store/TreeFileItems.h"

#include <algorithm>

namespace kelvor::store {
namespace {

int64_t characters(const std::string& text) {
    int64_t count = 0;
    for (unsigned char c : text)
        count += (c & 0xC0) != 0x80;
    return count;
}

// As the removal trigger counts it (see Schema.cpp): the characters of each
// column less two, so that it can take the same off again.
int64_t tokensOf(const IndexedItem& item) {
    auto column = [](const std::string& text) { return std::max<int64_t>(characters(text) - 2, 0); };
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
    std::string title = characterPairs(item.title), body = characterPairs(item.body);
    terms_.bind(1, id).bind(2, title).bind(3, body).bind(4, characterPairs(item.link)).step();
    terms_.reset();
    words_.addWordsOfPairs(title);
    words_.addWordsOfPairs(body);
    ++items_;
    tokens_ += tokens;
}

void ItemTerms::addToTotals() {
    if (items_ == 0)
        return;
    totals_.bind(1, items_).bind(2, tokens_).step();
    totals_.reset();
    items_ = tokens_ = 0;
}

} // namespace kelvor::store
