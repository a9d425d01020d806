// The tokens of a text once each, written one after another into a string.
// The full-text tables keep which columns of a row hold a token and
// nothing of how often (detail=column): a token written again only costs
// FTS5 another lookup in the words it holds, the most of its time in
// indexing. The tokens a row goes in with are the same set whether they
// repeat or not, so a row given its distinct tokens leaves the index as
// any other (see CharacterPairs.h).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kelvor::store {

// A set of tokens kept in the string they are written to, so that adding
// one costs no allocation of its own.
class DistinctTokens {
  public:
    // Starts an empty set over `text`, which the tokens are appended to.
    void start(std::string& text);
    // Appends the token (and a space before it, after the first) unless
    // the set holds it already. True when it was added.
    bool add(std::string_view token);

  private:
    struct Slot {
        uint32_t round = 0;
        uint32_t hash = 0;
        uint32_t offset = 0, size = 0;
    };
    void grow();
    bool holds(const Slot& slot, uint32_t hash, std::string_view token) const;

    std::string* text_ = nullptr;
    std::vector<Slot> slots_;
    uint32_t round_ = 0; // the slots of earlier rounds count as empty
    size_t count_ = 0;
};

} // namespace kelvor::store
