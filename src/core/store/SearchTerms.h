// How one word of a query is looked up in the full-text index (see
// CharacterPairs.h for what it holds): as tokens, the start of tokens, or
// the words of the vocabulary holding it (see Vocabulary.h); and whether
// what the index finds must still be matched against the text.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace kelvor::store {

// A word found in more words of the vocabulary than this is looked for as
// the start of a token alone: an OR of thousands of tokens reads most of
// the index.
constexpr size_t kMostWordsHolding = 2000;

struct WordTerms {
    std::string match; // the FTS5 expression; empty: the index cannot narrow the word
    bool exact = true; // false: only the text itself can tell
    // Wherever a text holds the word, the index has its terms there (Chinese,
    // Japanese or Korean letters alone); a Latin word inside another is not.
    bool everywhere = false;
    // The parts of `match`, in order, that a title holding the word has at
    // least one phrase of: how many phrases each part has, negated for a
    // part the index may not see in such a title (a short part, or one too
    // many words hold, looked for as the start of a token alone).
    std::vector<int> titleParts;
};

// The words of the vocabulary holding a part of a word.
using WordsHolding = std::function<std::vector<std::string>(const std::string& part)>;

WordTerms termsOf(const std::string& word, const WordsHolding& wordsHolding);

} // namespace kelvor::store
