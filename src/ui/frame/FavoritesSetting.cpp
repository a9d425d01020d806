#include "frame/FavoritesSetting.h"

#include "feeds/FavoritesImport.h"

#include <QSettings>

namespace kelvor::app {
namespace {
const QString kFavoritesKey = QStringLiteral("Settings/Favorites");
const QString kDefaultFolder = QStringLiteral("$HOME/Favorites");
} // namespace

QString favoritesFolderSetting() { return QSettings().value(kFavoritesKey, kDefaultFolder).toString(); }

void setFavoritesFolderSetting(const QString& folder) {
    QSettings().setValue(kFavoritesKey, folder);
    applyFavoritesFolderSetting();
}

void applyFavoritesFolderSetting() { kelvor::feeds::setFavoritesFolder(favoritesFolder().toStdString()); }

QString favoritesFolder() { return expandFolderPath(favoritesFolderSetting()); }

QString expandFolderPath(const QString& path) {
    return QString::fromStdString(kelvor::feeds::expandEnvironment(path.toStdString()));
}

} // namespace kelvor::app
