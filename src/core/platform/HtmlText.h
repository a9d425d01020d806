// The text a reader sees of a piece of HTML: for titles that feeds mark as
// HTML (a tree item's title is plain text), and for the words of
// descriptions that the search index keeps.
#pragma once

#include <string>

namespace kelvor::platform {

// Where the two uses differ.
enum class HtmlTextFor {
    // A title: inline markup joins what it wraps ("<b>Bold</b>er" is
    // "Bolder"), a "<" that starts no tag ("a < b") is text, and a no-break
    // space stays one.
    Title,
    // The search index's words: every tag and every "<" parts words, and a
    // no-break space is a plain space, so the words either side stay apart.
    Index,
};

// Tags and comments removed (script and style with their content),
// character references decoded as in attribute values, runs of white space
// made one space, trimmed.
std::string htmlToText(const std::string& html, HtmlTextFor use);

// Runs of white space made one space, trimmed.
std::string collapseWhiteSpace(const std::string& text);

} // namespace kelvor::platform
