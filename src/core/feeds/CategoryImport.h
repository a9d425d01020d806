// What the imports (OPML lists, bookmarks files) share: the category file
// they write into under the home folder's fav/, the limits that keep an
// untrusted file from exhausting memory, and the report of what was done.
#pragma once

#include "platform/XmlDom.h"

#include <cstddef>
#include <set>
#include <string>
#include <vector>

namespace kelvor::feeds {

// An import file larger than this is refused before it is read.
constexpr size_t kMaxImportBytes = 64u << 20;
// Items beyond this many are not imported (and reported).
constexpr int kMaxImportItems = 200000;
// Folders nested deeper than this are flattened into their parent.
constexpr int kMaxImportDepth = 64;

struct ImportReport {
    int added = 0; // channels and links
    int folders = 0;
    int duplicates = 0;             // channels the category already had
    std::vector<std::string> notes; // what was repaired or skipped, one line each
    std::string error;              // not empty when nothing was imported
    std::string title;              // the category's title, once saved
    std::string nodeSrc;            // "/fav/NAME.xml", once saved

    // "导入 N 个频道或链接，N 个文件夹；跳过 N 个重复频道" and the notes.
    std::string summary() const;
    void note(const std::string& line);
};

// home + "/fav/" + NAME + ".xml" for "fav/NAME.xml" (or a bare NAME.xml);
// "" when the name would lead anywhere else or is not a plain file name.
std::string categoryFilePath(const std::string& home, const std::string& into);

// A file name for a category titled `title` that does not exist yet in
// home/fav/: "fav/NAME.xml" with NAME made safe for a file name.
std::string newCategoryName(const std::string& home, const std::string& title);

// The category file at path, or a new empty one of type "fav" titled
// `title`. A file that exists but is no "fav" or "hot" category gives a null
// document and the reason in error.
xml::Document openCategory(const std::string& path, const std::string& title, std::string& error);

// Makes an imported folder that holds no item one the tree still shows as a
// folder: a TreeNode without TreeNode children reads as a text note. It
// gets an empty NodeSrc (a sub-tree of no file, which the tree shows with a
// folder icon and fills from the node's own children) and an empty Desc
// first unless it has one, so that opening it shows nothing rather than a
// loading line waiting for a file. Items added later are kept inside it. A
// folder with items is left as it is.
void keepEmptyFolder(const xml::Node& folder);

// The feed addresses (Rss) anywhere in the document.
std::set<std::string> feedsIn(const xml::Document& doc);

// Reads a whole import file; false with the reason in error when it cannot
// be read or is larger than kMaxImportBytes.
bool readImportFile(const std::string& path, std::string& bytes, std::string& error);

// The first steps of every import: the category file `into` names
// ("fav/NAME.xml", as categoryFilePath) into path, and the import file's
// bytes. False with the reason in report.error.
bool startImport(const std::string& file, const std::string& home, const std::string& into,
                 std::string& path, std::string& bytes, ImportReport& report);

// Whether an import lists its category under 我的收藏 (home/fav/fav.xml)
// itself, or leaves that to the window, whose loaded copy of fav.xml the
// next edit saves.
enum class Listing { InFavoritesFile, ByCaller };

// Saves the category (atomically) into report.title and report.nodeSrc and,
// with Listing::InFavoritesFile, makes it reachable. False with the reason
// in report.error.
bool saveCategory(const xml::Document& doc, const std::string& home, const std::string& path,
                  const std::string& title, Listing listing, ImportReport& report);

// Appends a node for the category (NodeSrc "/fav/NAME.xml") to home/fav/fav.xml
// unless one is there already.
void listCategoryInFavorites(const std::string& home, const std::string& nodeSrc,
                             const std::string& title);

} // namespace kelvor::feeds
