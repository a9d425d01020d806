// The text a reader sees of a piece of HTML, for titles that feeds mark as
// HTML: a tree item's title is plain text.
#pragma once

#include <string>

namespace kelvor::feeds {

// Tags and comments removed, character references decoded, runs of white
// space made one space, trimmed.
std::string htmlToText(const std::string& html);

// Runs of white space made one space, trimmed.
std::string collapseWhiteSpace(const std::string& text);

} // namespace kelvor::feeds
