// The Favorites folder setting ("Settings/Favorites", default
// "$HOME/Favorites"): where 添加到收藏夹 writes its shortcuts, what 整理收藏夹
// opens, and what the "$FAVORITES" channel reads. Read here only.
#pragma once

#include <QString>

namespace kelvor::app {

// The setting as stored.
QString favoritesFolderSetting();
// Saves the setting and points the "$FAVORITES" channel at the new folder.
void setFavoritesFolderSetting(const QString& folder);
// Points the "$FAVORITES" channel at the folder the setting names (start-up).
void applyFavoritesFolderSetting();
// The folder itself: environment variables ($NAME, ${NAME}) and a leading
// "~/" expanded, as the "$FAVORITES" channel expands them.
QString favoritesFolder();
QString expandFolderPath(const QString& path);

} // namespace kelvor::app
