// Broken feeds made readable: what real servers send when their feed does
// not parse, turned into text a lenient XML reading can take. Used only
// after the feed failed to parse as it came.
#pragma once

#include <string>

namespace kelvor::feeds {

// The bytes as UTF-8 without an XML declaration (nor another "<?xml..."
// instruction at the start; one left open ends at its first ">", else
// before the next "<"): decoded in the declared encoding (or the server's
// charset) when that is valid for all of them, else as UTF-8, GB18030 or
// Windows-1252, the first valid for all of them;
// leading white space and byte order mark dropped; HTML references made
// characters as a page's text has them ("&notit;" is "¬it;"), except where
// "&name=" starts a query's parameter, and bare "&" made "&#38;" (outside
// CDATA and comments), the predefined references too ("&amp;" is "&#38;");
// cut after the last complete item or entry, so a feed cut off in the
// middle keeps the ones that arrived whole.
std::string repairFeedText(const std::string& bytes, const std::string& httpCharset);

} // namespace kelvor::feeds
