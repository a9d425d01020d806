// HTML character references, for feeds that carry HTML where XML is meant:
// titles typed as HTML, and broken feeds full of "&nbsp;".
#pragma once

#include <cstddef>
#include <string>

namespace kelvor::platform {

// Reads one reference at text[at] (which is '&'): "&name;", "&#n;", "&#xh;",
// and the names HTML also accepts without the ";" (those of Latin-1 and the
// four markup characters). Appends its character in UTF-8 to out and
// returns the length read, or 0 when no reference starts there.
size_t decodeHtmlReference(const std::string& text, size_t at, std::string& out);

// Appends a code point in UTF-8; code points XML cannot hold become U+FFFD.
void appendUtf8(std::string& out, unsigned long codePoint);

} // namespace kelvor::platform
