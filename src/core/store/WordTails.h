// The third full-text index, for Latin words: the trigram index finds any
// part of a word too, but reads the long lists of its common trigrams to
// do it. This one holds, for every run of ASCII letters and digits, each
// of its tails, so a part of a word is the start of one of its tokens: a
// prefix query reads the few entries of that word alone.
#pragma once

#include <string>

struct sqlite3;

namespace kelvor::store {

// Query words this index answers: ASCII letters and digits only (any place
// they are found in the text lies inside one run), of kShortestTail to
// kLongestTail characters. Shorter ones are one trigram, found as fast;
// longer ones are left to the trigrams rather than making every tail longer.
constexpr size_t kShortestTail = 4;
constexpr size_t kLongestTail = 16;
bool tailSearchable(const std::string& word);

// The text as the index takes it: the tails of each run of ASCII letters
// and digits of at least kShortestTail characters, cut to kLongestTail, in
// lower case and one space apart. "Fufeno-x" gives "fufeno ufeno feno ".
// Whatever changes what it gives needs a new schema version: a row leaves
// the index with the tokens this gives for its text now.
std::string wordTails(const std::string& text);

// word_tails(text) in SQL on this connection, for the triggers that keep
// the index in step with the items.
void registerWordTails(sqlite3* db);

} // namespace kelvor::store
