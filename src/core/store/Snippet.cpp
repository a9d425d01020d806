#include "store/Snippet.h"

#include "platform/Text.h"

#include <algorithm>

namespace kelvor::store {
namespace {

using platform::lowerAscii; // not the locale's tolower: it showed in the profile of a search

size_t utf8Start(const std::string& text, size_t at) {
    while (at > 0 && at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80)
        --at;
    return at;
}

// Where `lower` (in lower case) first is in `text` in any case of its
// ASCII letters, without a lower-case copy of the whole text: each case of
// its first letter is looked for as memchr looks for a byte.
size_t findIgnoringCase(const std::string& text, const std::string& lower) {
    if (lower.empty())
        return 0;
    char first = lower[0];
    char upper = first >= 'a' && first <= 'z' ? static_cast<char>(first - 'a' + 'A') : first;
    auto next = [&](char c, size_t from) {
        return from < text.size() ? text.find(c, from) : std::string::npos;
    };
    size_t lowerAt = next(first, 0), upperAt = upper == first ? lowerAt : next(upper, 0);
    while (lowerAt != std::string::npos || upperAt != std::string::npos) {
        size_t at = std::min(lowerAt, upperAt);
        if (text.size() - at < lower.size())
            return std::string::npos;
        size_t i = 1;
        while (i < lower.size() && lowerAscii(text[at + i]) == lower[i])
            ++i;
        if (i == lower.size())
            return at;
        if (at == lowerAt)
            lowerAt = next(first, at + 1);
        if (at == upperAt)
            upperAt = upper == first ? lowerAt : next(upper, at + 1);
    }
    return std::string::npos;
}

} // namespace

std::string snippetOf(const std::string& body, const std::vector<std::string>& words) {
    size_t match = std::string::npos;
    for (const auto& word : words)
        match = std::min(match, findIgnoringCase(body, lowerAscii(word)));
    if (match == std::string::npos)
        match = 0;
    size_t from = match > 120 ? utf8Start(body, match - 120) : 0;
    size_t to = utf8Start(body, std::min(body.size(), match + 240));
    if (to < body.size() && to <= from)
        to = body.size();
    std::string snippet = body.substr(from, to - from);
    return (from > 0 ? "…" : "") + snippet + (to < body.size() ? "…" : "");
}

} // namespace kelvor::store
