// The tokens the full-text tables hold: quick61 gives unicode61's, and the
// indexer writes each token of a column once, so that rows go in and leave
// the index alike, and a store made with unicode61 is still searched.
#include "store/CharacterPairs.h"
#include "store/Database.h"
#include "store/IndexTerms.h"
#include "store/ItemTerms.h"
#include "store/QuickTokenizer.h"
#include "store/TermRank.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace store = kelvor::store;

namespace {

using Token = std::tuple<std::string, int, int>; // the token, its start and end

// A tokenizer as FTS5 finds it on a connection, `name` with remove_diacritics 0.
class Found {
  public:
    Found(store::Database& db, const char* name) {
        fts5_api* api = store::fts5ApiOf(db.handle());
        void* context = nullptr;
        if (api && api->xFindTokenizer(api, name, &context, &methods_) == SQLITE_OK) {
            const char* arguments[] = {"remove_diacritics", "0"};
            methods_.xCreate(context, arguments, 2, &tokenizer_);
        }
    }
    ~Found() {
        if (tokenizer_)
            methods_.xDelete(tokenizer_);
    }
    bool ready() const { return tokenizer_ != nullptr; }
    std::vector<Token> tokens(const std::string& text, int flags) {
        std::vector<Token> found;
        methods_.xTokenize(tokenizer_, &found, flags, text.data(), int(text.size()),
                           [](void* self, int, const char* token, int size, int start, int end) {
                               static_cast<std::vector<Token>*>(self)->emplace_back(
                                   std::string(token, size_t(size)), start, end);
                               return SQLITE_OK;
                           });
        return found;
    }

  private:
    fts5_tokenizer methods_{};
    Fts5Tokenizer* tokenizer_ = nullptr;
};

std::string utf8(char32_t c) {
    std::string out;
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
    return out;
}

// What libxml2 gives: no broken, overlong or surrogate sequence.
bool validUtf8(const std::string& text) {
    const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    for (size_t at = 0; at < text.size();) {
        store::Character c = store::decode(text, at);
        if ((c.code == 0xFFFD && c.size == 1) || c.code < least[c.size] || c.code > 0x10FFFF ||
            (c.code >= 0xD800 && c.code <= 0xDFFF))
            return false;
        at += c.size;
    }
    return true;
}

} // namespace

TEST(QuickTokenizer, GivesUnicode61sTokensAndOffsets) {
    store::Database db(":memory:");
    Found quick(db, store::kQuickTokenizerName), unicode61(db, "unicode61");
    ASSERT_TRUE(quick.ready() && unicode61.ready());
    std::vector<std::string> texts = {
        "",
        "   ",
        "Harbour LIGHTS of 2024, v1.2_beta-3 http://n.test/a?b=C#D",
        "长江大桥，长江 大桥。Go 长江Bridge 长江bridge",
        store::characterPairs("长江大桥 GO 港口船只"),
        "Café naïve RÉSUMÉ Ångström ﬁnance straße İstanbul ΣΊΣΥΦΟΣ Москва",
        "日本語のテキスト、カタカナ ひらがな 한국어 텍스트",
        "x\xE4\xB8y \xFF\xFE abc \x80\xBF z",
        "１２３ＡＢＣ　全角 ①② ⅫX ٣٤ १२ emoji😀word 𠀀𠀁 \xEF\xBF\xBF",
        std::string("tab\there\nnew\0line", 17),
        "a" + utf8(0x9FA5) + utf8(0x9FA6) + utf8(0x9FFF) + utf8(0x4DFF) + "b" + utf8(0x4E00),
        std::string(300, 'Q') + "长" + std::string(70000, 'z')};
    // Every ideograph of the quick path and those next to it, inside words.
    std::string ideographs;
    for (char32_t c = 0x4DF0; c <= 0xA00F; ++c)
        ideographs += "Ab" + utf8(c) + (c % 7 ? "" : " ") + (c % 3 ? "x" : "，");
    texts.push_back(ideographs);
    // Bytes of any kind, where UTF-8 breaks off anywhere (the last three),
    // and then as libxml2 gives text.
    std::mt19937 random(7);
    const std::string pieces[] = {"a",
                                  "Z",
                                  "9",
                                  " ",
                                  ".",
                                  "\xC3\xA9",
                                  "\xE4\xB8\xAD",
                                  "\xF0\x9F\x98\x80",
                                  "\xE3\x80\x82",
                                  "\xE4",
                                  "\xB8",
                                  "\xC3"};
    for (int i = 0; i < 400; ++i) {
        std::string text;
        for (int k = 0; k < 40; ++k)
            text += pieces[random() % (i % 2 ? std::size(pieces) : std::size(pieces) - 3)];
        texts.push_back(text);
    }
    for (const std::string& text : texts) {
        for (int flags : {FTS5_TOKENIZE_DOCUMENT, FTS5_TOKENIZE_QUERY})
            ASSERT_EQ(quick.tokens(text, flags), unicode61.tokens(text, flags)) << text;
        // Split again, the terms the indexer writes are the text's tokens,
        // each once: unicode61 gives some broken sequences back as others.
        if (!validUtf8(text))
            continue;
        std::vector<std::string> once, again;
        for (const Token& token : unicode61.tokens(store::characterPairs(text), 0))
            if (std::find(once.begin(), once.end(), std::get<0>(token)) == once.end())
                once.push_back(std::get<0>(token));
        for (const Token& token : quick.tokens(store::indexTerms(text), 0))
            again.push_back(std::get<0>(token));
        ASSERT_EQ(again, once) << text;
    }
}

TEST(QuickTokenizer, AcceptsOnlyWhatKeepsItsAsciiWordsAsUnicode61s) {
    store::Database db(":memory:");
    db.exec("CREATE VIRTUAL TABLE a USING fts5(x, tokenize='quick61 remove_diacritics 2')");
    EXPECT_THROW(
        db.exec("CREATE VIRTUAL TABLE b USING fts5(x, tokenize=\"quick61 tokenchars '_'\")"),
        store::StoreError);
}

// What the indexer writes for an item: each token of a column once, as
// unicode61 gives it, and the item's words for the vocabulary once; a
// token longer than the tokenizer's first buffer moves it.
TEST(ItemTerms, ColumnsHoldEachTokenOnceAndTheWordsOfTitleAndText) {
    store::TreeFileContent content;
    store::IndexedItem& item = content.items.emplace_back();
    item.title = "Harbour HARBOUR 长江大桥 Lantern ab";
    item.body = "lantern, cargo; CARGO 长江 kisaso " + std::string(200, 'x') + " kisaso 长江";
    item.link = "https://n.test/Cargo/cargo";
    store::splitForIndex(content);
    const store::SplitText& split = content.items[0].split;
    ASSERT_TRUE(split.ready && split.wordsReady);
    EXPECT_EQ(split.title, "harbour 长江 江大 大桥 桥 lantern ab");
    EXPECT_EQ(split.body, "lantern cargo 长江 江 kisaso " + std::string(200, 'x'));
    EXPECT_EQ(split.link, "https n test cargo");
    EXPECT_EQ(split.words, "harbour lantern cargo kisaso");
}
