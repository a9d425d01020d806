// What a search hit shows of its text: the words' first place in it, with
// some of the text around.
#pragma once

#include <string>
#include <vector>

namespace kelvor::store {

// About 40 characters before the first match of any of `words` (in any case
// of their ASCII letters) and 80 after it in `body`; its start when none is in
// it. "…" marks text left out at either end.
std::string snippetOf(const std::string& body, const std::vector<std::string>& words);

} // namespace kelvor::store
