// How the full-text index sees text: Chinese, Japanese and Korean text as
// overlapping character pairs, other text as the words the unicode61
// tokenizer splits it into.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

struct sqlite3;

namespace kelvor::store {

// The text as the full-text index takes it: each run of CJK characters becomes
// its overlapping pairs and then its last character alone, so that every
// character starts some token; the rest is left for unicode61 to split.
// "长江大桥 go" gives " 长江 江大 大桥 桥 go". Whatever changes what it
// gives needs a new schema version: a row leaves the index with the tokens
// this gives for its text now, which must be those it went in with.
std::string characterPairs(const std::string& text);

struct Character {
    char32_t code = 0;
    size_t size = 1;
};
// The character starting at byte `at` of UTF-8 text.
Character decode(std::string_view text, size_t at);

// The letters of scripts written without spaces between words (and Hangul,
// whose words take endings). Their punctuation and symbols (U+3000 to
// U+303F, the middle dot, the radicals) are left out: unicode61 drops them,
// so a query for one must look in the text instead.
bool pairedScript(char32_t c);

// The text as one FTS5 phrase: in double quotes, its own quotes doubled.
std::string quotedPhrase(const std::string& text);

// character_pairs(text, ...) in SQL on this connection: the triggers of a
// store made before its terms were written once each (see IndexTerms.h)
// call it until the store is upgraded.
void registerCharacterPairs(sqlite3* db);

} // namespace kelvor::store
