// Cutting a title to a byte budget the way the collection's original code
// page counted it, without ever splitting a character.
#pragma once

#include <string>

namespace kelvor::tree {

// Bytes the character takes in the Chinese code page (GBK): 1 for ASCII,
// 2 for everything else.
int codePageWidth(char32_t codePoint);

// The longest prefix of the UTF-8 text whose code-page length is at most
// maxBytes, ending on a whole character. A shorter text comes back whole.
std::string cutToCodePageBytes(const std::string& utf8, size_t maxBytes);

} // namespace kelvor::tree
