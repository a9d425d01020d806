// The Favorites folder: NAME.url shortcut files ([InternetShortcut] URL=...)
// that "添加到收藏夹" writes and the "$FAVORITES" channel reads. Where the
// folder is: frame/FavoritesSetting.h.
#pragma once

#include <QString>
#include <QUrl>

namespace kelvor::browser {

// A file name for a favorite called `name`: one plain name inside the
// folder (no separators, control characters or leading dots; never empty,
// never too long for the file system), ending in ".url".
QString favoriteFileName(const QString& name);

enum class FavoriteWrite { Written, AlreadyExists, Failed };

// Writes folder/favoriteFileName(name), creating the folder when needed.
// An existing file is replaced only when `replace` is set.
FavoriteWrite writeFavorite(const QString& folder, const QString& name, const QUrl& url, bool replace);

} // namespace kelvor::browser
