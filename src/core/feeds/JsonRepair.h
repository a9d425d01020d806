// JSON as broken feeds send it, made readable with the least loss: the text
// behind the second reading of a JSON Feed that did not parse as it came.
#pragma once

#include <string>

namespace kelvor::feeds {

// The text with every byte that is not UTF-8 made U+FFFD, control characters
// in strings escaped, a lone surrogate escape made "\uFFFD", a backslash that
// escapes nothing made a backslash of its own, a comma before a closing
// bracket (or before another comma) dropped, and a number beyond the range
// of a double made null. Line breaks stay where they were.
std::string repairJsonText(const std::string& text);

} // namespace kelvor::feeds
