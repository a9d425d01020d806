// JSON Feed 1.0 and 1.1: the items of a JSON document whose version names
// jsonfeed.org become the TreeNodes of the same channel document as RSS.
#pragma once

#include "feeds/DownloadTask.h"
#include "feeds/TreeText.h"
#include "platform/AddressPolicy.h"
#include "platform/XmlDom.h"

#include <string>

namespace kelvor::feeds {

// Load errors of bytes that begin like JSON: no JSON even once repaired, and
// JSON that is no JSON Feed.
constexpr uint32_t kErrJsonSyntax = xml::kErrParseBase + 0xF01;
constexpr uint32_t kErrNotJsonFeed = xml::kErrParseBase + 0xF02;

// Cheap look at the first byte: only then is a JSON parse worth trying.
bool mayBeJson(const std::string& bytes);

// Writes the channel document of a JSON Feed to sink. False (and the task
// unchanged) when the bytes are not a JSON Feed, with the reason in whyNot
// when given. The feed is read value by value: a value of the wrong type
// counts as missing, and a feed that does not parse is read again repaired
// (see JsonRepair.h), so one broken value costs that value and not the feed.
// Every address goes through the address policy for origin; an item whose
// link is refused keeps its title and text. The root's Href becomes the
// feed's home_page_url when it has one; the task's texts are escaped in
// place as for RSS.
bool ConvertJsonFeedToText(const std::string& bytes, DownloadTask& task, const TextSink& sink,
                           platform::AddressOrigin origin = platform::AddressOrigin::Web,
                           xml::ParseError* whyNot = nullptr);

// The feed's own title (its "title" member; "" when it has none) as
// ConvertJsonFeedToText reads the feed. False, with the reason in whyNot
// when given, when the bytes are not a JSON Feed.
bool readJsonFeedTitle(const std::string& bytes, std::string& title,
                       xml::ParseError* whyNot = nullptr);

} // namespace kelvor::feeds
