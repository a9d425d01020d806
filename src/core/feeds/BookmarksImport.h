// A bookmarks file in the HTML form every browser exports (the Netscape
// bookmark file: <DL><DT><H3>folder</H3><DL>...</DL><DT><A HREF=..>link</A>)
// as tree nodes: folders stay folders, links become link items, in the
// file's order, with their dates (ADD_DATE) and descriptions (<DD>).
#pragma once

#include "feeds/CategoryImport.h"
#include "platform/XmlDom.h"

#include <string>

namespace kelvor::feeds {

// Appends the file's folders and links under parent. Links are judged as
// from the web (platform/AddressPolicy.h): script, local-file and browser-
// internal addresses (javascript:, data:, file:, place:) are skipped and
// noted. Folders nested deeper than kMaxImportDepth are not made; their
// links go into the deepest folder kept, and a note says so. False when the
// bytes are no bookmarks file at all (no link, no folder).
bool appendBookmarks(const std::string& html, xml::Document& doc, const xml::Node& parent,
                     ImportReport& report);

// Imports the bookmarks file into the category file home/<into>
// ("fav/NAME.xml"), created when missing and listed under 我的收藏.
ImportReport importBookmarksFile(const std::string& file, const std::string& home,
                                 const std::string& into,
                                 Listing listing = Listing::InFavoritesFile);

} // namespace kelvor::feeds
