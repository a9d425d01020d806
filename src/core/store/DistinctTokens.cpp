#include "store/DistinctTokens.h"

#include <algorithm>

namespace kelvor::store {
namespace {

uint32_t hashOf(std::string_view token) {
    uint32_t hash = 2166136261u; // FNV-1a: the tokens are short
    for (unsigned char c : token)
        hash = (hash ^ c) * 16777619u;
    return hash;
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
           std::string_view(*text_).substr(slot.offset, slot.size) == token;
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
