// The words of the index's titles and texts other than the character pairs
// (Latin words, numbers, Cyrillic...), each once, with a trigram index of
// their own. A part of a word ("conduct" in "superconductivity") is looked
// up here, and the words found are then looked up in the full-text index
// as whole tokens: the texts need no trigram index of their own, which
// would be several times their size.
#pragma once

#include "store/Database.h"
#include "store/DistinctTokens.h"

#include <string>
#include <string_view>
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
    VocabularyWriter(const VocabularyWriter&) = delete; // seen_ points into seenWords_
    VocabularyWriter& operator=(const VocabularyWriter&) = delete;
    void addWordsOf(const std::string& text);
    // The same, from the text as characterPairs gave it.
    void addWordsOfPairs(const std::string& pairs);
    // The same, from words vocabularyTakes takes, a space between each two.
    void addWords(const std::string& words);
    // Writes the words added since the last time (see ItemTerms.h for why
    // they wait).
    void finish();
    // Forgets what waits and what was seen (its transaction was given up).
    void forget();

  private:
    Database& db_;
    Statement insert_, grams_;
    // Looked up without copying each token: most were seen before.
    std::string seenWords_;
    DistinctTokens seen_;
    std::vector<std::string> waiting_;
};

// Whether a token of the full-text tables (see QuickTokenizer.h) goes into
// the vocabulary: a word of no paired script, neither too short nor too long.
bool vocabularyTakes(std::string_view token);

// The words of the vocabulary holding `part` (in any case), at most `limit`
// of them; more than `limit` when there are more.
std::vector<std::string> wordsContaining(Database& db, const std::string& part, size_t limit);

// The words of the history's texts: after an upgrade made the vocabulary,
// the history is all of the index that will not be read again from files.
void addHistoryWords(Database& db);

} // namespace kelvor::store
