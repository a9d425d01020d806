#include "store/Vocabulary.h"

#include "platform/Text.h"
#include "store/CharacterPairs.h"
#include "store/PackedText.h"
#include "store/QuickTokenizer.h"
#include "store/TermRank.h"

#include <sqlite3.h>

#include <algorithm>
#include <memory>

namespace kelvor::store {

const char* const kVocabularyTables = R"(
CREATE TABLE IF NOT EXISTS words(id INTEGER PRIMARY KEY, word TEXT NOT NULL UNIQUE);
CREATE VIRTUAL TABLE IF NOT EXISTS words_grams USING fts5(word, content='words',
                                                          content_rowid='id', tokenize='trigram');
)";

namespace {

// Longer tokens are mostly not words (encoded data, long numbers).
constexpr size_t kLongestWord = 64;

bool holdsPairs(std::string_view token) {
    for (size_t at = 0; at < token.size();) {
        if (static_cast<unsigned char>(token[at]) < 0x80) {
            ++at;
            continue;
        }
        Character c = decode(token, at);
        if (pairedScript(c.code))
            return true;
        at += c.size;
    }
    return false;
}

// One tokenizer per connection's thread: a writer is made for each file
// the window indexes.
QuickTokenizer& tokenizerFor(sqlite3* db) {
    thread_local sqlite3* madeFor = nullptr;
    thread_local std::unique_ptr<QuickTokenizer> tokenizer;
    if (madeFor != db || !tokenizer) {
        tokenizer = std::make_unique<QuickTokenizer>(db);
        madeFor = db;
    }
    return *tokenizer;
}

} // namespace

bool vocabularyTakes(std::string_view token) {
    return token.size() <= kLongestWord && platform::characterCount(token) >= kShortestLookedUp &&
           !holdsPairs(token);
}

VocabularyWriter::VocabularyWriter(Database& db)
    : db_(db), insert_(db, "INSERT OR IGNORE INTO words(word) VALUES (?)"),
      grams_(db, "INSERT INTO words_grams(rowid, word) VALUES (?, ?)") {
    seen_.start(seenWords_);
}

void VocabularyWriter::addWordsOf(const std::string& text) {
    addWordsOfPairs(characterPairs(text));
}

void VocabularyWriter::addWordsOfPairs(const std::string& pairs) {
    auto add = [&](std::string_view token) {
        if (seen_.add(token) && vocabularyTakes(token))
            waiting_.push_back(std::string(token));
    };
    tokenizerFor(db_.handle()).tokenize(pairs, add);
}

void VocabularyWriter::addWords(const std::string& words) {
    for (size_t start = 0, end; start < words.size(); start = end + 1) {
        end = std::min(words.find(' ', start), words.size());
        std::string_view word(words.data() + start, end - start);
        if (!word.empty() && seen_.add(word))
            waiting_.push_back(std::string(word));
    }
}

void VocabularyWriter::forget() {
    waiting_.clear();
    seenWords_.clear();
    seen_.start(seenWords_);
}

void VocabularyWriter::finish() {
    for (const std::string& word : waiting_) {
        insert_.bind(1, word).step();
        insert_.reset();
        if (db_.changes() > 0) {
            grams_.bind(1, db_.lastInsertId()).bind(2, word).step();
            grams_.reset();
        }
    }
    waiting_.clear();
}

std::vector<std::string> wordsContaining(Database& db, const std::string& part, size_t limit) {
    std::vector<std::string> words;
    Statement select(db, "SELECT word FROM words_grams WHERE words_grams MATCH ? LIMIT ?");
    select.bind(1, quotedPhrase(part)).bind(2, static_cast<int64_t>(limit) + 1);
    while (select.step())
        words.push_back(select.text(0));
    return words;
}

void addHistoryWords(Database& db) {
    VocabularyWriter writer(db);
    Statement rows(db, "SELECT title, body FROM history");
    while (rows.step()) {
        writer.addWordsOf(rows.text(0));
        writer.addWordsOf(unpackText(rows.text(1)));
    }
    writer.finish();
}

} // namespace kelvor::store
