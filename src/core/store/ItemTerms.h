// What an item written by the indexer brings to the full-text tables: its
// keys, its words and pairs, its Latin words in the vocabulary. Written
// here rather than by a trigger so that each text is split once for both.
//
// The words and pairs wait until the file's rows are all written (the
// indexer's transactions of several files: until the last's): FTS5
// writes what it holds as a new segment of the index whenever a statement
// of the transaction may have to be undone alone (an insert that fires a
// trigger), and a segment for each item made indexing three times slower
// with all the merging of them.
#pragma once

#include "store/Database.h"
#include "store/TreeFileItems.h"
#include "store/Vocabulary.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kelvor::store {

// Splits the texts of the file's items for the index, off the writer's
// thread (see ReadAhead.h); an item not split is split as it is added.
void splitForIndex(TreeFileContent& content);

class ItemTerms {
  public:
    explicit ItemTerms(Database& db);
    // The item just written under `id` (its text as plain text); takes its
    // split text when it has one.
    void add(int64_t id, IndexedItem& item, int64_t seconds);
    // Writes the words and pairs of the items added, and adds them to the
    // totals the ranking averages over.
    void finish();
    // Forgets what waits and the words seen: the transaction they were
    // written in was given up.
    void forget();
    // How many items wait; forgetSince(that) forgets those added after, as
    // the savepoint they were written in was given up.
    size_t waiting() const { return waiting_.size(); }
    void forgetSince(size_t count);

  private:
    struct Terms {
        int64_t id;
        SplitText text;
    };
    void checkLength(const SplitText& split);

    Database& db_;
    Statement keys_, terms_, totals_;
    VocabularyWriter words_;
    std::vector<Terms> waiting_;
    int64_t tokens_ = 0;
};

} // namespace kelvor::store
