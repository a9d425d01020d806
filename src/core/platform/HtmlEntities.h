// HTML character references, for feeds that carry HTML where XML is meant:
// titles typed as HTML, and broken feeds full of "&nbsp;".
#pragma once

#include <cstddef>
#include <string>

namespace kelvor::platform {

// How the old names that HTML also takes without their ";" ("&amp", "&copy",
// "&not") are read where the text runs on after them.
enum class ReferenceContext {
    // As in an attribute value: followed by a letter, a digit or "=" they are
    // text ("?a=1&copy=2", "&notit;"), since addresses are full of them.
    Attribute,
    // As in the text of a page: the longest such name counts whatever
    // follows ("&notit;" is "¬it;", "&nbspx" a no-break space and "x").
    Text,
};

// Reads one reference at text[at] (which is '&'): "&name;" with any of
// HTML's names, "&#n;", "&#xh;", and the old names without their ";".
// Appends its characters (one, or two for a few names) in UTF-8 to out and
// returns the length read, or 0 when no reference starts there.
size_t decodeHtmlReference(const std::string& text, size_t at, std::string& out,
                           ReferenceContext context);

// Appends a code point in UTF-8; code points XML cannot hold become U+FFFD.
void appendUtf8(std::string& out, unsigned long codePoint);

} // namespace kelvor::platform
