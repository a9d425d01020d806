// An OPML subscription list from another reader into a category file.
#pragma once

#include "feeds/CategoryImport.h"
#include "platform/AddressPolicy.h"
#include "platform/XmlDom.h"

#include <string>

namespace kelvor::feeds {

// Appends the list's outlines under parent: outlines with an xmlUrl become
// channels, outlines holding others become folders (kept, unlike in the
// channel conversion), outlines with only a web address become links.
// Channels in `known` (the category's own) are skipped as duplicates, and
// so is a channel named twice in one folder. Anything else that cannot be
// used is skipped and noted in the report. Addresses pass the policy for
// a list read from `origin`; an outline whose address is refused stays,
// with its title and description, without it (and is noted).
void appendOpmlOutlines(const xml::Document& opml, xml::Document& doc, const xml::Node& parent,
                        const std::set<std::string>& known, ImportReport& report,
                        platform::AddressOrigin origin);

// Parses an OPML list leniently: an unescaped "&" (common in hand-made and
// exported lists) is read as a character, and noted. Null when the text
// cannot be read as OPML even so; the reason is in report.error.
xml::Document parseOpml(const std::string& bytes, ImportReport& report);

// Imports the OPML file into the category file home/<into> ("fav/NAME.xml"),
// created (titled from the list's head) when missing, and lists it under
// 我的收藏. Nothing is written when report.error is set.
ImportReport importOpmlFile(const std::string& opmlFile, const std::string& home,
                            const std::string& into, Listing listing = Listing::InFavoritesFile);

} // namespace kelvor::feeds
