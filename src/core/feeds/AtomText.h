// Atom's text constructs (title, summary, content) read by their type:
// "text", "html", "xhtml", or in Atom 0.3 a media type with a mode.
#pragma once

#include "platform/XmlDom.h"

#include <optional>
#include <string>

namespace kelvor::feeds {

// A title as a reader sees it: plain text as it stands, HTML and XHTML
// reduced to their text.
std::string atomTitleText(const xml::Node& construct);

// A summary or content as a Desc holds it, as HTML: HTML as it stands,
// text escaped (its "<" is a character, not a tag), XHTML as the markup
// inside its div. None for content kept elsewhere (src)
// or of a media type that is not text.
std::optional<std::string> atomDescription(const xml::Node& construct);

} // namespace kelvor::feeds
