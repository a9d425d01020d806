#include "store/Vocabulary.h"

#include "platform/Text.h"
#include "store/CharacterPairs.h"
#include "store/PackedText.h"
#include "store/TermRank.h"

#include <sqlite3.h>

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

bool holdsPairs(const std::string& token) {
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

// The unicode61 tokenizer as the full-text tables are made with it: the
// words it gives are the tokens those tables hold.
class Tokenizer {
  public:
    explicit Tokenizer(sqlite3* db) {
        fts5_api* api = db ? fts5ApiOf(db) : nullptr;
        void* context = nullptr;
        if (!api || api->xFindTokenizer(api, "unicode61", &context, &methods_) != SQLITE_OK)
            return;
        const char* arguments[] = {"remove_diacritics", "0"};
        if (methods_.xCreate(context, arguments, 2, &tokenizer_) != SQLITE_OK)
            tokenizer_ = nullptr;
    }
    ~Tokenizer() {
        if (tokenizer_)
            methods_.xDelete(tokenizer_);
    }
    Tokenizer(const Tokenizer&) = delete;
    Tokenizer& operator=(const Tokenizer&) = delete;

    bool ready() const { return tokenizer_ != nullptr; }

    template <typename Each> void tokenize(const std::string& text, Each each) {
        if (!tokenizer_)
            return;
        auto callback = [](void* self, int, const char* token, int size, int, int) {
            (*static_cast<Each*>(self))(token, size);
            return SQLITE_OK;
        };
        methods_.xTokenize(tokenizer_, &each, FTS5_TOKENIZE_DOCUMENT, text.data(),
                           static_cast<int>(text.size()), callback);
    }

  private:
    fts5_tokenizer methods_{};
    Fts5Tokenizer* tokenizer_ = nullptr;
};

// One tokenizer per connection's thread: a writer is made for each file
// the window indexes.
Tokenizer& tokenizerFor(sqlite3* db) {
    thread_local sqlite3* madeFor = nullptr;
    thread_local std::unique_ptr<Tokenizer> tokenizer;
    if (madeFor != db || !tokenizer) {
        tokenizer = std::make_unique<Tokenizer>(db);
        madeFor = db;
    }
    return *tokenizer;
}

// A tokenizer for a thread that has no connection of its own (reading a
// file ahead): unicode61 is SQLite's own, whichever connection gives it.
Tokenizer& tokenizerOffConnection() {
    struct Scratch {
        sqlite3* db = nullptr;
        Scratch() { sqlite3_open(":memory:", &db); }
        ~Scratch() { sqlite3_close(db); }
    };
    thread_local Scratch scratch;
    thread_local Tokenizer tokenizer(scratch.db);
    return tokenizer;
}

bool lookedUpLength(const char* token, int size) {
    return size_t(size) <= kLongestWord &&
           platform::characterCount({token, size_t(size)}) >= kShortestLookedUp;
}

} // namespace

bool addVocabularyWords(const std::string& pairs, std::unordered_set<std::string>& seen,
                        std::vector<std::string>& words) {
    auto add = [&](const char* token, int size) {
        if (!lookedUpLength(token, size))
            return;
        std::string_view word(token, static_cast<size_t>(size));
        if (!seen.emplace(word).second)
            return;
        if (!holdsPairs(words.emplace_back(word)))
            return;
        words.pop_back();
    };
    Tokenizer& tokenizer = tokenizerOffConnection();
    tokenizer.tokenize(pairs, add);
    return tokenizer.ready();
}

VocabularyWriter::VocabularyWriter(Database& db)
    : db_(db), insert_(db, "INSERT OR IGNORE INTO words(word) VALUES (?)"),
      grams_(db, "INSERT INTO words_grams(rowid, word) VALUES (?, ?)") {}

void VocabularyWriter::addWordsOf(const std::string& text) {
    addWordsOfPairs(characterPairs(text));
}

void VocabularyWriter::addWordsOfPairs(const std::string& pairs) {
    auto add = [&](const char* token, int size) {
        if (!lookedUpLength(token, size))
            return;
        std::string_view seenAs(token, static_cast<size_t>(size));
        if (seen_.count(seenAs))
            return;
        const std::string& word = seenWords_.emplace_back(seenAs);
        seen_.insert(word);
        if (!holdsPairs(word))
            waiting_.push_back(word);
    };
    tokenizerFor(db_.handle()).tokenize(pairs, add);
}

void VocabularyWriter::addWords(const std::vector<std::string>& words) {
    for (const std::string& word : words) {
        if (seen_.count(word))
            continue;
        seen_.insert(seenWords_.emplace_back(word));
        waiting_.push_back(word);
    }
}

void VocabularyWriter::forget() {
    waiting_.clear();
    seen_.clear();
    seenWords_.clear();
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
