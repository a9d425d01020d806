// The words of the index's titles and texts other than the character pairs
// (Latin words, numbers, Cyrillic...), each once, with a trigram index of
// their own. A part of a word ("conduct" in "superconductivity") is looked
// up here, and the words found are then looked up in the full-text index
// as whole tokens: the texts need no trigram index of their own, which
// would be several times their size.
#pragma once

#include "store/Database.h"

#include <deque>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace kelvor::store {

// Its tables, made where missing. No rebuild of the index drops them: a
// word nothing holds any more only makes a lookup a little longer.
extern const char* const kVocabularyTables;

// Words shorter than this are found as the start of a token instead.
constexpr size_t kShortestLookedUp = 3;

// Adds the words of texts to the vocabulary, remembering those it has seen
// so that each costs one statement per writer.
class VocabularyWriter {
  public:
    explicit VocabularyWriter(Database& db);
    void addWordsOf(const std::string& text);
    // The same, from the text as characterPairs gave it.
    void addWordsOfPairs(const std::string& pairs);
    // The same, from words addVocabularyWords gave.
    void addWords(const std::vector<std::string>& words);
    // Writes the words added since the last time (see ItemTerms.h for why
    // they wait).
    void finish();
    // Forgets what waits and what was seen (its transaction was given up).
    void forget();

  private:
    Database& db_;
    Statement insert_, grams_;
    // Looked up without copying each token: most were seen before.
    std::deque<std::string> seenWords_;
    std::unordered_set<std::string_view> seen_;
    std::vector<std::string> waiting_;
};

// Adds to `words` those of the text (as characterPairs gave it) that the
// vocabulary takes and `seen` does not hold yet. `seen` keeps copies: the
// tokenizer hands out each token in a buffer of its own that the next token
// overwrites (and may move). Needs no connection: for the threads that read files ahead of
// the writer. False when it could not split the text.
bool addVocabularyWords(const std::string& pairs, std::unordered_set<std::string>& seen,
                        std::vector<std::string>& words);

// The words of the vocabulary holding `part` (in any case), at most `limit`
// of them; more than `limit` when there are more.
std::vector<std::string> wordsContaining(Database& db, const std::string& part, size_t limit);

// The words of the history's texts: after an upgrade made the vocabulary,
// the history is all of the index that will not be read again from files.
void addHistoryWords(Database& db);

} // namespace kelvor::store
