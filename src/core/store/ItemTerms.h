// What an item written by the indexer brings to the full-text tables: its
// keys, its words and pairs, its Latin words in the vocabulary. Written
// here rather than by a trigger so that each text is split once for both.
#pragma once

#include "store/Database.h"
#include "store/Vocabulary.h"

#include <cstdint>
#include <string>

namespace kelvor::store {

struct IndexedItem;

class ItemTerms {
  public:
    explicit ItemTerms(Database& db);
    // The item just written under `id` (its text as plain text).
    void add(int64_t id, const IndexedItem& item, int64_t seconds);
    // Adds what was added to the totals the ranking averages over.
    void addToTotals();

  private:
    Statement keys_, terms_, totals_;
    VocabularyWriter words_;
    int64_t items_ = 0, tokens_ = 0;
};

} // namespace kelvor::store
