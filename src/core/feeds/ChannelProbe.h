// What the new-channel dialog learns of a feed address before the channel
// is made: whether it can be read, the feed's own title, and the feed a web
// page names when the user gave the page.
#pragma once

#include "platform/XmlDom.h"

#include <cstdint>
#include <string>

namespace kelvor::feeds {

// Load errors of a probe beyond those of the download itself.
constexpr uint32_t kErrNotAFeed = xml::kErrParseBase + 0xF03;
constexpr uint32_t kErrNoFeedLink = xml::kErrParseBase + 0xF04;

struct ChannelProbe {
    // The address answered (and, for a page, the feed it names did).
    bool reached = false;
    // Why no feed came of it, worded as a download's load error; "" when a
    // feed was read. A page that names no feed, or bytes that are no feed,
    // are reached with an error.
    std::string errorText;
    // The channel's own title on one line ("" when the feed gives none):
    // RSS channel/title, Atom feed/title, JSON Feed title, OPML head/title.
    std::string title;
    // The feed read: the one the page names, else the address itself.
    std::string feedUrl;
};

// Reads the address as a channel's download would (bounded by options,
// lenient with broken feeds, one hop from a page to the feed it names) but
// keeps only the title. The address is one the user typed: http and https
// addresses, local paths and file: addresses are read; anything else is
// refused without a load. A local file that is no regular file or is
// larger than options.maxBytes is refused before it is opened.
ChannelProbe probeChannel(const std::string& address, const xml::LoadOptions& options);

} // namespace kelvor::feeds
