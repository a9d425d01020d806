// A web page's own feed: users paste a site's address where its feed's
// belongs, and the page's head names the feed in a link element.
#pragma once

#include "platform/XmlDom.h"

#include <string>

namespace kelvor::feeds {

// True when the bytes start (after white space) like an HTML page rather
// than a feed.
bool looksLikeHtml(const std::string& bytes);

// The address of the first <link rel="alternate"> of an RSS, Atom or JSON
// Feed type in the page's head, resolved against pageUrl, that is an http
// or https address; "" when none.
std::string findFeedLink(const std::string& html, const std::string& pageUrl);

// Loads address and, when it is an HTML page naming a feed, gives that
// feed's address; "" otherwise (a feed itself, or no such link, or a
// failed load). For the dialogs, which offer the feed instead of the page.
std::string discoverFeed(const std::string& address, const xml::LoadOptions& options);

} // namespace kelvor::feeds
