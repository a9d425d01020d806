#include "store/DistinctTokens.h"

#include <algorithm>
#include <cstring>

namespace kelvor::store {
namespace {

// Eight bytes at a time: most tokens take one or two steps.
uint32_t hashOf(std::string_view token) {
    constexpr uint64_t kMultiplier = 0xff51afd7ed558ccdull;
    uint64_t hash = token.size() * 0x9e3779b97f4a7c15ull;
    size_t at = 0;
    for (; at + 8 <= token.size(); at += 8) {
        uint64_t word;
        std::memcpy(&word, token.data() + at, 8);
        hash = (hash ^ word) * kMultiplier;
        hash ^= hash >> 32;
    }
    // The rest in loads of fixed sizes, overlapping (the size is in the hash).
    const auto* rest = reinterpret_cast<const unsigned char*>(token.data() + at);
    size_t left = token.size() - at;
    if (left >= 4) {
        uint32_t first, last;
        std::memcpy(&first, rest, 4);
        std::memcpy(&last, rest + left - 4, 4);
        hash = (hash ^ (first | uint64_t(last) << 32)) * kMultiplier;
    } else if (left > 0) {
        hash =
            (hash ^ (rest[0] | rest[left / 2] << 8 | uint64_t(rest[left - 1]) << 16)) * kMultiplier;
    }
    hash ^= hash >> 33;
    return uint32_t(hash * 0xc4ceb9fe1a85ec53ull >> 32);
}

} // namespace

void DistinctTokens::start(std::string& text) {
    text_ = &text;
    count_ = 0;
    if (slots_.empty())
        slots_.resize(1024);
    if (++round_ == 0) { // wrapped around: the oldest rounds would count again
        std::fill(slots_.begin(), slots_.end(), Slot{});
        round_ = 1;
    }
}

bool DistinctTokens::holds(const Slot& slot, uint32_t hash, std::string_view token) const {
    return slot.hash == hash && slot.size == token.size() &&
           std::memcmp(text_->data() + slot.offset, token.data(), token.size()) == 0;
}

bool DistinctTokens::add(std::string_view token) {
    if (2 * (count_ + 1) > slots_.size())
        grow();
    uint32_t hash = hashOf(token);
    size_t mask = slots_.size() - 1, at = hash & mask;
    for (; slots_[at].round == round_; at = (at + 1) & mask)
        if (holds(slots_[at], hash, token))
            return false;
    if (!text_->empty())
        text_->push_back(' ');
    slots_[at] = {round_, hash, uint32_t(text_->size()), uint32_t(token.size())};
    text_->append(token);
    ++count_;
    return true;
}

void DistinctTokens::grow() {
    std::vector<Slot> old(slots_.size() * 2);
    old.swap(slots_);
    size_t mask = slots_.size() - 1;
    for (const Slot& slot : old) {
        if (slot.round != round_)
            continue;
        size_t at = slot.hash & mask;
        while (slots_[at].round == round_)
            at = (at + 1) & mask;
        slots_[at] = slot;
    }
}

} // namespace kelvor::store
