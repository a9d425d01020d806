// The second full-text index, for words too short for trigrams: Chinese,
// Japanese and Korean text as overlapping character pairs, other text as
// the words the unicode61 tokenizer splits it into.
#pragma once

#include <string>

struct sqlite3;

namespace kelvor::store {

// The text as the pairs index takes it: each run of CJK characters becomes
// its overlapping pairs and then its last character alone, so that every
// character starts some token; the rest is left for unicode61 to split.
// "长江大桥 go" gives " 长江 江大 大桥 桥 go". Whatever changes what it
// gives needs a new schema version: a row leaves the index with the tokens
// this gives for its text now, which must be those it went in with.
std::string characterPairs(const std::string& text);

struct PairsQuery {
    std::string match; // the FTS5 expression; empty when the index holds nothing of the word
    bool exact = true; // false: the index only narrows, the text must still hold the word
    // Wherever a text holds the word, the index has it there (Chinese,
    // Japanese or Korean letters alone); a Latin word inside another is not.
    bool everywhere = false;
};

// How a word of one or two characters is looked up in the pairs index. Two
// CJK characters are one token, one is the prefix of a token; Latin letters
// and digits find the words starting with them.
PairsQuery pairsQuery(const std::string& word);

// character_pairs(text, ...) in SQL on this connection, for the triggers
// that keep the index in step with the items: every connection that writes
// items needs it.
void registerCharacterPairs(sqlite3* db);

} // namespace kelvor::store
