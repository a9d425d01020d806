// A title for every entry. RSS and JSON Feed let an item go without one, and
// Atom feeds leave it empty; the list would show a blank row and the page a
// blank heading. The converters give such an entry one from what it has.
#pragma once

#include "feeds/TreeText.h"

#include <string>

namespace kelvor::feeds {

// About this many characters of an entry's text stand in for its title.
constexpr size_t kDerivedTitleCharacters = 40;

// The first words of the text of html (markup removed), cut before a word or
// at least a character and marked "…" when cut; else the last segment of the
// link's path; else "(无标题)".
std::string derivedTitle(const std::string& html, const std::string& link);

// Sets the item's Title (first of its attributes) from its first Desc and
// its Href when it has none, or one of white space only.
void giveTitle(TreeItem& item);

} // namespace kelvor::feeds
