// The user's Favorites (a folder tree of NAME.url shortcut files, or a
// browser's exported bookmarks file) as a tree document, for channels whose
// feed address ends with "$FAVORITES".
#pragma once

#include "feeds/DownloadTask.h"
#include "platform/XmlDom.h"

#include <string>

namespace kelvor::feeds {

// Where the Favorites folder is. The core reads no settings: the reader sets
// it from its "Favorites" setting at start-up, kelvor-tool from --favorites.
// Empty (the default) means there is none, and the import writes nothing.
// A folder that is set but missing is an error the user must see: an empty
// tree would look as if their favorites had gone.
void setFavoritesFolder(const std::string& folder);
std::string favoritesFolder();

// Expands $NAME and ${NAME} from the environment (unset names give "") and
// a leading "~/" to $HOME/.
std::string expandEnvironment(const std::string& text);

// True when the feed address asks for the Favorites folder.
bool isFavoritesFeed(const std::string& feedUrl);

// What the channel shows when the Favorites folder does not exist.
std::string favoritesMissingText(const std::string& folder);

// Builds the document (type "$FAVORITES", the task's title, its feedUrl as
// BaseURL) and saves it to the task's cacheFile. A missing folder or a
// failed save sets the task's errorText and leaves the old copy; every other
// failure writes nothing and is not reported. Escapes the task's feedUrl and
// title in place.
void ImportFavorites(DownloadTask& task);

// The document ImportFavorites saves; null when no Favorites folder is set,
// and null with the task's errorText set when the folder does not exist or
// the file set instead is no bookmarks file.
xml::Document buildFavoritesDocument(DownloadTask& task);

// Adds the folder's shortcuts, then its subfolders (each with its content)
// under parent. Throws xml::DomError for an empty path.
void AddFavoritesFolder(const std::string& path, xml::Document& doc, const xml::Node& parent);

} // namespace kelvor::feeds
