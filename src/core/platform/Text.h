// Byte-level text helpers shared by the readers. Feeds, headers and file
// names are bytes whose meaning does not depend on the user's locale, so
// none of these consult it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kelvor::platform {

// A-Z made a-z; every other byte, UTF-8 included, unchanged.
char lowerAscii(char c);
std::string lowerAscii(std::string text);

// Spaces, tabs and line ends dropped from both ends.
std::string trimmed(std::string_view text);

// The quoted value after "encoding" in an XML declaration (or the head of a
// page), "" when it names none. The caller decides where the declaration
// ends: a strict reader and a lenient repair disagree about that.
std::string encodingInDeclaration(std::string_view declaration);

// The length of the well-formed UTF-8 sequence at text[at] (shortest form,
// no surrogates, at most U+10FFFF), 0 when the bytes there are not one.
// codePoint, when given, receives the character.
size_t utf8SequenceLength(std::string_view text, size_t at, uint32_t* codePoint = nullptr);

// The characters of UTF-8 text as SQLite's length() counts them: every
// byte that does not continue a sequence.
size_t characterCount(std::string_view text);

} // namespace kelvor::platform
