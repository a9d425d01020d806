// unicode61's tokens in less time. Most of what the index takes is ASCII
// (Latin words, numbers, links) and common Chinese characters; unicode61
// decodes, looks up and folds each character as it would any other. A run
// of ASCII letters and digits and of ideographs from U+4E00 to U+9FA5 is a
// token here as it is there, its ASCII lowercased the same way; a run
// holding any other non-ASCII character goes to unicode61 itself, from one
// ASCII separator to the next (which unicode61 splits at as well), so that
// what it gives is unicode61's.
#pragma once

#include <sqlite3.h>

#include <string_view>

namespace kelvor::store {

// How the full-text tables name it (see Schema.cpp): "quick61", taking
// unicode61's remove_diacritics but none of its options that change which
// ASCII characters are in tokens.
extern const char* const kQuickTokenizerName;

// An FTS5 token callback, as xTokenize takes it.
using TokenCallback = int (*)(void* context, int flags, const char* token, int size, int start,
                              int end);

// Splits `text` as `unicode61` (an instance of it, with `methods`) would,
// handing each token to `each`.
int quickTokenize(fts5_tokenizer& methods, Fts5Tokenizer* unicode61, void* context, int flags,
                  const char* text, int size, TokenCallback each);

// The tokenizer on this connection.
void registerQuickTokenizer(sqlite3* db);

// The tokens the full-text tables take, for splitting text outside them.
class QuickTokenizer {
  public:
    explicit QuickTokenizer(sqlite3* db);
    ~QuickTokenizer();
    QuickTokenizer(const QuickTokenizer&) = delete;
    QuickTokenizer& operator=(const QuickTokenizer&) = delete;

    bool ready() const { return unicode61_ != nullptr; }

    // Calls each(std::string_view) for each token of `text`: in a buffer
    // that the next token may overwrite.
    template <typename Each> void tokenize(std::string_view text, Each each) {
        if (!unicode61_)
            return;
        auto callback = [](void* self, int, const char* token, int size, int, int) {
            (*static_cast<Each*>(self))(std::string_view(token, size_t(size)));
            return SQLITE_OK;
        };
        quickTokenize(methods_, unicode61_, &each, FTS5_TOKENIZE_DOCUMENT, text.data(),
                      int(text.size()), callback);
    }

  private:
    fts5_tokenizer methods_{};
    Fts5Tokenizer* unicode61_ = nullptr;
};

// One for a thread that has no connection of its own (reading files ahead
// of the writer): unicode61 is SQLite's own, whichever connection gives it.
QuickTokenizer& tokenizerOffConnection();

} // namespace kelvor::store
