#include "store/QuickTokenizer.h"

#include "store/TermRank.h"

#include <sqlite3.h>

#include <cstring>
#include <string>

namespace kelvor::store {

const char* const kQuickTokenizerName = "quick61";

namespace {

// The ASCII characters unicode61 keeps in tokens; every other ASCII
// character separates them.
bool asciiInWord(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// A run's tokens from unicode61 as offsets in the whole text. unicode61
// stops at a token given SQLITE_DONE and returns SQLITE_OK: so must the
// whole text.
struct Shifted {
    void* context;
    TokenCallback each;
    int start;
    bool done = false;
};

int shiftedToken(void* self, int flags, const char* token, int size, int start, int end) {
    auto* run = static_cast<Shifted*>(self);
    int rc = run->each(run->context, flags, token, size, start + run->start, end + run->start);
    run->done = rc == SQLITE_DONE;
    return rc;
}

// The length of the character at `at` when it is a CJK ideograph of those
// Unicode has had from its start (U+4E00 to U+9FA5): letters to unicode61,
// which no folding changes; else 0.
int commonIdeograph(const unsigned char* bytes, int at, int size) {
    if (at + 2 >= size || bytes[at] < 0xE4 || bytes[at] > 0xE9 || (bytes[at + 1] & 0xC0) != 0x80 ||
        (bytes[at + 2] & 0xC0) != 0x80)
        return 0;
    unsigned code =
        (bytes[at] & 0x0Fu) << 12 | (bytes[at + 1] & 0x3Fu) << 6 | (bytes[at + 2] & 0x3Fu);
    return code >= 0x4E00 && code <= 0x9FA5 ? 3 : 0;
}

// A run of ASCII letters, digits and common ideographs, lowercased.
int plainToken(void* context, TokenCallback each, const char* text, int start, int end,
               bool upper) {
    if (!upper)
        return each(context, 0, text + start, end - start, start, end);
    char small[64];
    std::string large;
    char* lower = small;
    if (size_t(end - start) > sizeof small) {
        large.resize(size_t(end - start));
        lower = &large[0];
    }
    for (int i = start; i < end; ++i)
        lower[i - start] = char(text[i] >= 'A' && text[i] <= 'Z' ? text[i] + 32 : text[i]);
    return each(context, 0, lower, end - start, start, end);
}

struct Quick {
    fts5_tokenizer methods{};
    Fts5Tokenizer* unicode61 = nullptr;
};

int createQuick(void* api, const char** arguments, int count, Fts5Tokenizer** made) {
    for (int i = 0; i < count; i += 2)
        if (std::strcmp(arguments[i], "remove_diacritics") != 0)
            return SQLITE_ERROR;
    auto* quick = new (std::nothrow) Quick;
    if (!quick)
        return SQLITE_NOMEM;
    void* context = nullptr;
    auto* fts5 = static_cast<fts5_api*>(api);
    int rc = fts5->xFindTokenizer(fts5, "unicode61", &context, &quick->methods);
    if (rc == SQLITE_OK)
        rc = quick->methods.xCreate(context, arguments, count, &quick->unicode61);
    if (rc != SQLITE_OK) {
        delete quick;
        return rc;
    }
    *made = reinterpret_cast<Fts5Tokenizer*>(quick);
    return SQLITE_OK;
}

void deleteQuick(Fts5Tokenizer* tokenizer) {
    auto* quick = reinterpret_cast<Quick*>(tokenizer);
    quick->methods.xDelete(quick->unicode61);
    delete quick;
}

int tokenizeQuick(Fts5Tokenizer* tokenizer, void* context, int flags, const char* text, int size,
                  TokenCallback each) {
    auto* quick = reinterpret_cast<Quick*>(tokenizer);
    return quickTokenize(quick->methods, quick->unicode61, context, flags, text, size, each);
}

} // namespace

int quickTokenize(fts5_tokenizer& methods, Fts5Tokenizer* unicode61, void* context, int flags,
                  const char* text, int size, TokenCallback each) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    for (int at = 0; at < size;) {
        while (at < size && bytes[at] < 0x80 && !asciiInWord(bytes[at]))
            ++at;
        int start = at;
        bool plain = true, upper = false;
        while (at < size && (bytes[at] >= 0x80 || asciiInWord(bytes[at]))) {
            int ideograph = bytes[at] < 0x80 ? 0 : commonIdeograph(bytes, at, size);
            plain = plain && (bytes[at] < 0x80 || ideograph);
            upper = upper || unsigned(bytes[at] - 'A') < 26;
            at += ideograph ? ideograph : 1;
        }
        if (start == at)
            break;
        int rc;
        if (plain) {
            rc = plainToken(context, each, text, start, at, upper);
        } else {
            Shifted run{context, each, start};
            rc = methods.xTokenize(unicode61, &run, flags, text + start, at - start, shiftedToken);
            if (run.done)
                return SQLITE_OK;
        }
        if (rc != SQLITE_OK)
            return rc == SQLITE_DONE ? SQLITE_OK : rc;
    }
    return SQLITE_OK;
}

void registerQuickTokenizer(sqlite3* db) {
    fts5_api* api = fts5ApiOf(db);
    if (!api)
        return;
    fts5_tokenizer methods{createQuick, deleteQuick, tokenizeQuick};
    api->xCreateTokenizer(api, kQuickTokenizerName, api, &methods, nullptr);
}

QuickTokenizer::QuickTokenizer(sqlite3* db) {
    fts5_api* api = db ? fts5ApiOf(db) : nullptr;
    void* context = nullptr;
    if (!api || api->xFindTokenizer(api, "unicode61", &context, &methods_) != SQLITE_OK)
        return;
    const char* arguments[] = {"remove_diacritics", "0"};
    if (methods_.xCreate(context, arguments, 2, &unicode61_) != SQLITE_OK)
        unicode61_ = nullptr;
}

QuickTokenizer::~QuickTokenizer() {
    if (unicode61_)
        methods_.xDelete(unicode61_);
}

QuickTokenizer& tokenizerOffConnection() {
    struct Scratch {
        sqlite3* db = nullptr;
        Scratch() { sqlite3_open(":memory:", &db); }
        ~Scratch() { sqlite3_close(db); }
    };
    thread_local Scratch scratch;
    thread_local QuickTokenizer tokenizer(scratch.db);
    return tokenizer;
}

} // namespace kelvor::store
