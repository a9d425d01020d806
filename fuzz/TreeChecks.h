// What every fuzz target that ends in a tree file checks of it: that it
// parses, that it saves and reads back with the same items, and that no link
// a stranger wrote got in past the address policy.
#pragma once

#include "platform/XmlDom.h"

#include <cstddef>
#include <string>

namespace kelvor::fuzz {

// The text a conversion wrote, as a document with a Tree root; fails when it
// does not parse or has another root.
xml::Document parsedTree(const std::string& text);

// Saved as a cache file and loaded again, the document's items read the
// same: titles, links, dates, feeds and descriptions.
void checkReadsBack(const xml::Document& doc);

// Every Href and Rss in the document (root included) is what the address
// policy keeps of an address from the web: no script, file: or browser-
// internal address, and already in the form a browser reads.
void checkLinksFromTheWeb(const xml::Document& doc);

// What came out of `input` bytes is at most `factor` times as long, plus
// room for the fixed parts and for what each of `items` may be given
// without its input saying it (a title made up for an untitled entry).
void checkBounded(size_t output, size_t input, size_t factor, const char* what, size_t items = 0);

// The entries of an Atom feed: children of its root in the root's namespace.
size_t atomEntriesOf(const xml::Document& feed);

} // namespace kelvor::fuzz
