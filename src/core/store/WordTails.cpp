#include "store/WordTails.h"
#include "platform/Text.h"

#include <sqlite3.h>

#include <algorithm>

namespace kelvor::store {
namespace {

bool asciiWordCharacter(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Called by SQLite: nothing may be thrown back through it.
void tailsFunction(sqlite3_context* context, int, sqlite3_value** values) {
    try {
        auto* bytes = reinterpret_cast<const char*>(sqlite3_value_text(values[0]));
        std::string tails = wordTails(
            bytes ? std::string(bytes, static_cast<size_t>(sqlite3_value_bytes(values[0])))
                  : std::string());
        sqlite3_result_text(context, tails.data(), static_cast<int>(tails.size()),
                            SQLITE_TRANSIENT);
    } catch (...) {
        sqlite3_result_error_nomem(context);
    }
}

} // namespace

bool tailSearchable(const std::string& word) {
    return word.size() >= kShortestTail && word.size() <= kLongestTail &&
           std::all_of(word.begin(), word.end(), asciiWordCharacter);
}

std::string wordTails(const std::string& text) {
    std::string tails;
    for (size_t at = 0; at < text.size();) {
        if (!asciiWordCharacter(text[at])) {
            ++at;
            continue;
        }
        size_t end = at;
        while (end < text.size() && asciiWordCharacter(text[end]))
            ++end;
        for (size_t from = at; from + kShortestTail <= end; ++from) {
            size_t to = std::min(end, from + kLongestTail);
            for (size_t i = from; i < to; ++i)
                tails += platform::lowerAscii(text[i]);
            tails += ' ';
        }
        at = end;
    }
    return tails;
}

void registerWordTails(sqlite3* db) {
    sqlite3_create_function(db, "word_tails", 1,
                            SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS, nullptr,
                            tailsFunction, nullptr, nullptr);
}

} // namespace kelvor::store
