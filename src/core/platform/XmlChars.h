// Text that XML can hold. A value stored in a document must come back when
// the saved file is read again, but libxml2 writes control characters and
// broken UTF-8 out as they are, and the file then no longer parses: one
// title pasted with a stray form feed would make a whole category file
// unreadable. Values are therefore cleaned on their way into a document.
#pragma once

#include <string>

namespace kelvor::xml {

// True for text of spaces, tabs and line ends only (or none): such text
// between elements is layout, not content, and is dropped on load.
bool isBlankText(const unsigned char* text);

// True when every character is well-formed UTF-8 and allowed in XML 1.0.
bool isXmlText(const std::string& text);

// The text with characters XML 1.0 forbids (control characters other than
// tab, line feed and carriage return; U+FFFE, U+FFFF) dropped, and every byte
// that is not part of well-formed UTF-8 replaced by U+FFFD.
std::string toXmlText(const std::string& text);

} // namespace kelvor::xml
