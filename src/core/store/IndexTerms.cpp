#include "store/IndexTerms.h"

#include "platform/Text.h"
#include "store/CharacterPairs.h"
#include "store/DistinctTokens.h"
#include "store/QuickTokenizer.h"
#include "store/Vocabulary.h"

#include <sqlite3.h>

#include <algorithm>

namespace kelvor::store {
namespace {

// As the removal trigger counts it (see Schema.cpp): the characters of each
// column less two, so that it can take the same off again.
int64_t tokensOf(const IndexedItem& item) {
    auto column = [](const std::string& text) {
        return std::max<int64_t>(int64_t(platform::characterCount(text)) - 2, 0);
    };
    return column(item.title) + column(item.body) + column(item.link);
}

// The sets of one thread's splitting, kept for their room.
struct Splitting {
    DistinctTokens column, words;
};

Splitting& splitting() {
    thread_local Splitting sets;
    return sets;
}

// The column's terms, and the tokens the vocabulary takes into the set of
// words when `words` is given.
std::string termsOf(const std::string& text, DistinctTokens* words) {
    std::string pairs = characterPairs(text);
    QuickTokenizer& tokenizer = tokenizerOffConnection();
    if (!tokenizer.ready())
        return pairs;
    std::string terms;
    terms.reserve(pairs.size());
    DistinctTokens& column = splitting().column;
    column.start(terms);
    tokenizer.tokenize(pairs, [&](std::string_view token) {
        if (column.add(token) && words && vocabularyTakes(token))
            words->add(token);
    });
    return terms;
}

// Called by SQLite: nothing may be thrown back through it.
void termsFunction(sqlite3_context* context, int, sqlite3_value** values) {
    try {
        auto* bytes = reinterpret_cast<const char*>(sqlite3_value_text(values[0]));
        std::string text(bytes ? bytes : "", bytes ? size_t(sqlite3_value_bytes(values[0])) : 0);
        std::string terms = indexTerms(text);
        sqlite3_result_text(context, terms.data(), static_cast<int>(terms.size()),
                            SQLITE_TRANSIENT);
    } catch (...) {
        sqlite3_result_error_nomem(context);
    }
}

} // namespace

std::string indexTerms(const std::string& text) {
    return termsOf(text, nullptr);
}

SplitText splitItem(const IndexedItem& item) {
    SplitText split;
    split.tokens = tokensOf(item);
    split.ready = true;
    DistinctTokens& words = splitting().words;
    words.start(split.words);
    split.title = termsOf(item.title, &words);
    split.body = termsOf(item.body, &words);
    split.link = termsOf(item.link, nullptr);
    split.wordsReady = tokenizerOffConnection().ready();
    return split;
}

void registerIndexTerms(sqlite3* db) {
    sqlite3_create_function(db, "index_terms", 1,
                            SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS, nullptr,
                            termsFunction, nullptr, nullptr);
}

} // namespace kelvor::store
