#include "store/CharacterPairs.h"

#include <sqlite3.h>

namespace kelvor::store {

// A broken sequence counts as one byte of no script, passed through as it is.
Character decode(std::string_view text, size_t at) {
    auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    unsigned char lead = byte(at);
    size_t size = lead < 0x80         ? 1
                  : (lead >> 5) == 6  ? 2
                  : (lead >> 4) == 14 ? 3
                  : (lead >> 3) == 30 ? 4
                                      : 0;
    if (size == 0 || at + size > text.size())
        return {0xFFFD, 1};
    char32_t code = size == 1 ? lead : lead & (0x3F >> (size - 1));
    for (size_t i = 1; i < size; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80)
            return {0xFFFD, 1};
        code = (code << 6) | (byte(at + i) & 0x3F);
    }
    return {code, size};
}

bool pairedScript(char32_t c) {
    return (c >= 0x3041 && c <= 0x3096) || (c >= 0x309D && c <= 0x309F) ||
           (c >= 0x30A1 && c <= 0x30FA) || (c >= 0x30FC && c <= 0x30FF) ||
           (c >= 0x3105 && c <= 0x312F) || (c >= 0x31A0 && c <= 0x31BF) ||
           (c >= 0x31F0 && c <= 0x31FF) || (c >= 0x3400 && c <= 0x4DBF) ||
           (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA960 && c <= 0xA97F) ||
           (c >= 0xAC00 && c <= 0xD7AF) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0x20000 && c <= 0x3FFFF);
}

namespace {

// Called by SQLite: nothing may be thrown back through it.
void pairsFunction(sqlite3_context* context, int count, sqlite3_value** values) {
    try {
        std::string text;
        for (int i = 0; i < count; ++i) {
            auto* bytes = reinterpret_cast<const char*>(sqlite3_value_text(values[i]));
            if (bytes)
                text.append(bytes, static_cast<size_t>(sqlite3_value_bytes(values[i])));
            text += ' ';
        }
        std::string pairs = characterPairs(text);
        sqlite3_result_text(context, pairs.data(), static_cast<int>(pairs.size()),
                            SQLITE_TRANSIENT);
    } catch (...) {
        sqlite3_result_error_nomem(context);
    }
}

} // namespace

std::string characterPairs(const std::string& text) {
    std::string pairs;
    pairs.reserve(text.size() + text.size() / 2);
    // The last character of the CJK run under way, as bytes of the text.
    size_t previous = 0, previousSize = 0;
    for (size_t at = 0; at < text.size();) {
        if (static_cast<unsigned char>(text[at]) < 0x80) { // most of most texts
            if (previousSize) {
                pairs.append(text, previous, previousSize).push_back(' ');
                previousSize = 0;
            }
            pairs.push_back(text[at++]);
            continue;
        }
        Character c = decode(text, at);
        if (pairedScript(c.code)) {
            if (previousSize)
                pairs.append(text, previous, previousSize + c.size).push_back(' ');
            else
                pairs.push_back(' ');
            previous = at;
            previousSize = c.size;
        } else {
            if (previousSize)
                pairs.append(text, previous, previousSize).push_back(' ');
            previousSize = 0;
            pairs.append(text, at, c.size);
        }
        at += c.size;
    }
    if (previousSize)
        pairs.append(text, previous, previousSize);
    return pairs;
}

std::string quotedPhrase(const std::string& text) {
    std::string phrase = "\"";
    for (char c : text)
        phrase += c == '"' ? std::string("\"\"") : std::string(1, c);
    return phrase + "\"";
}

void registerCharacterPairs(sqlite3* db) {
    sqlite3_create_function(db, "character_pairs", -1,
                            SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS, nullptr,
                            pairsFunction, nullptr, nullptr);
}

} // namespace kelvor::store
