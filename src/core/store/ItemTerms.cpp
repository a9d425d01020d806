#include "store/ItemTerms.h"

#include "platform/Text.h"
#include "store/IndexTerms.h"
#include "store/TreeFileItems.h"

#include <sqlite3.h>

#include <algorithm>

namespace kelvor::store {

void splitForIndex(TreeFileContent& content) {
    for (IndexedItem& item : content.items)
        item.split = splitItem(item);
}

ItemTerms::ItemTerms(Database& db)
    : db_(db), keys_(db, "INSERT INTO item_keys VALUES (?, ?, ?, ?)"),
      terms_(db, "INSERT INTO items_terms(rowid, title, body, link) VALUES (?, ?, ?, ?)"),
      totals_(db, "UPDATE item_totals SET items = items + ?, tokens = tokens + ?"), words_(db) {}

void ItemTerms::add(int64_t id, IndexedItem& item, int64_t seconds) {
    SplitText split = item.split.ready ? std::move(item.split) : splitItem(item);
    checkLength(split);
    keys_.bind(1, id).bind(2, seconds).bind(3, platform::lowerAscii(item.title));
    keys_.bind(4, split.tokens).step();
    keys_.reset();
    tokens_ += split.tokens;
    waiting_.push_back({id, std::move(split)});
}

// A text SQLite would not take fails the file it is in now rather than the
// transaction its terms are written at the end of (see Indexer.cpp).
void ItemTerms::checkLength(const SplitText& split) {
    int64_t limit = sqlite3_limit(db_.handle(), SQLITE_LIMIT_LENGTH, -1);
    for (const std::string* text : {&split.title, &split.body, &split.link})
        if (int64_t(text->size()) > limit)
            throw StoreError(SQLITE_TOOBIG, "string or blob too big");
}

void ItemTerms::forget() {
    forgetSince(0);
}

void ItemTerms::forgetSince(size_t count) {
    if (count < waiting_.size())
        waiting_.erase(waiting_.begin() + static_cast<ptrdiff_t>(count), waiting_.end());
    tokens_ = 0;
    for (const Terms& terms : waiting_)
        tokens_ += terms.text.tokens;
    words_.forget();
}

void ItemTerms::finish() {
    if (waiting_.empty())
        return;
    for (const Terms& terms : waiting_) {
        const SplitText& text = terms.text;
        terms_.bind(1, terms.id).bind(2, text.title).bind(3, text.body).bind(4, text.link);
        terms_.step();
        terms_.reset();
    }
    for (const Terms& terms : waiting_) {
        if (terms.text.wordsReady) {
            words_.addWords(terms.text.words);
        } else {
            words_.addWordsOfPairs(terms.text.title);
            words_.addWordsOfPairs(terms.text.body);
        }
    }
    words_.finish();
    totals_.bind(1, int64_t(waiting_.size())).bind(2, tokens_).step();
    totals_.reset();
    waiting_.clear();
    tokens_ = 0;
}

} // namespace kelvor::store
