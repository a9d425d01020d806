#include "store/SearchTerms.h"

#include "platform/Text.h"
#include "store/CharacterPairs.h"
#include "store/Vocabulary.h"

namespace kelvor::store {
namespace {

enum class Kind { Paired, Word, Other };

// What unicode61 surely keeps inside a token. Letters of other scripts are
// left to the text: taking a separator for a letter would look for a token
// that is not there.
bool wordCharacter(char32_t c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
           (c >= 0xC0 && c <= 0x24F && c != 0xD7 && c != 0xF7) || (c >= 0x391 && c <= 0x3C9) ||
           (c >= 0x410 && c <= 0x44F);
}

Kind kindOf(char32_t c) {
    return pairedScript(c) ? Kind::Paired : wordCharacter(c) ? Kind::Word : Kind::Other;
}

struct Run {
    Kind kind;
    std::vector<std::string> characters;
    std::string text() const {
        std::string joined;
        for (const auto& c : characters)
            joined += c;
        return joined;
    }
};

std::vector<Run> runsOf(const std::string& word) {
    std::vector<Run> runs;
    for (size_t at = 0; at < word.size();) {
        Character c = decode(word, at);
        Kind kind = kindOf(c.code);
        if (runs.empty() || runs.back().kind != kind)
            runs.push_back({kind, {}});
        runs.back().characters.push_back(word.substr(at, c.size));
        at += c.size;
    }
    return runs;
}

// Every character starts a token (a pair, or the last of its run alone), so
// one character is the start of a token and two are one; longer runs are
// all of their pairs, wherever they are.
std::string pairedTerms(const Run& run, WordTerms& terms) {
    const auto& chars = run.characters;
    if (chars.size() == 1) {
        terms.titleParts.push_back(1);
        return quotedPhrase(chars[0]) + "*";
    }
    std::string match;
    for (size_t i = 0; i + 1 < chars.size(); ++i) {
        match += (match.empty() ? "" : " AND ") + quotedPhrase(chars[i] + chars[i + 1]);
        terms.titleParts.push_back(1);
    }
    terms.exact = terms.exact && chars.size() == 2;
    return match;
}

// A word that may lie inside a longer one: the tokens starting with it and
// those the vocabulary says hold it. A short part, or one held by too many
// words, is looked for as the start of a token alone.
// (A title holding a short part inside a longer word may have none of
// these; so may one whose part too many words hold.)
std::string holdingTerms(const std::string& part, size_t length, const WordsHolding& holding,
                         std::vector<int>& titleParts) {
    std::string start = quotedPhrase(part) + "*";
    if (length < kShortestLookedUp) {
        titleParts.push_back(-1);
        return start;
    }
    std::vector<std::string> words = holding(part);
    if (words.size() > kMostWordsHolding) {
        titleParts.push_back(-1);
        return start;
    }
    std::string match = start;
    for (const auto& word : words)
        match += " OR " + quotedPhrase(word);
    titleParts.push_back(static_cast<int>(words.size()) + 1);
    return words.empty() ? match : "(" + match + ")";
}

} // namespace

WordTerms termsOf(const std::string& word, const WordsHolding& wordsHolding) {
    std::vector<Run> runs = runsOf(word);
    WordTerms terms;
    terms.exact = runs.size() == 1 && runs[0].kind != Kind::Other;
    terms.everywhere = runs.size() == 1 && runs[0].kind == Kind::Paired;
    std::vector<std::string> parts;
    for (size_t i = 0; i < runs.size(); ++i) {
        const Run& run = runs[i];
        bool first = i == 0, last = i + 1 == runs.size();
        if (run.kind == Kind::Paired) {
            parts.push_back(pairedTerms(run, terms));
        } else if (run.kind == Kind::Word) {
            std::string text = platform::lowerAscii(run.text());
            if (first) {
                // Its start may lie inside a word of the text.
                if (last || run.characters.size() >= kShortestLookedUp)
                    parts.push_back(
                        holdingTerms(text, run.characters.size(), wordsHolding, terms.titleParts));
            } else {
                parts.push_back(quotedPhrase(text) + (last ? "*" : ""));
                terms.titleParts.push_back(1);
            }
        }
    }
    for (const auto& part : parts)
        terms.match += (terms.match.empty() ? "" : " AND ") + part;
    return terms;
}

} // namespace kelvor::store
