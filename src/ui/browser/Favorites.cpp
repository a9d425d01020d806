#include "browser/Favorites.h"

#include <QDir>
#include <QSaveFile>

namespace kelvor::browser {
namespace {
// Room for ".url" and for file systems that count bytes, not characters.
constexpr int kMaxNameBytes = 200;

bool isUnsafeInName(QChar c) {
    // Separators of both platforms, and the characters the other platform's
    // file systems refuse, so the folder stays shareable.
    return c.category() == QChar::Other_Control || QStringLiteral("/\\:*?\"<>|").contains(c);
}
} // namespace

QString favoriteFileName(const QString& name) {
    QString clean;
    for (QChar c : name)
        clean += isUnsafeInName(c) ? QChar(u'_') : c;
    clean = clean.simplified();
    while (clean.startsWith(u'.'))
        clean.remove(0, 1);
    while (clean.toUtf8().size() > kMaxNameBytes)
        clean.chop(1);
    if (!clean.isEmpty() && clean.back().isHighSurrogate())
        clean.chop(1);
    clean = clean.trimmed();
    if (clean.isEmpty())
        clean = QStringLiteral("未命名");
    return clean + QStringLiteral(".url");
}

FavoriteWrite writeFavorite(const QString& folder, const QString& name, const QUrl& url, bool replace) {
    if (folder.isEmpty() || !QDir().mkpath(folder))
        return FavoriteWrite::Failed;
    QString path = QDir(folder).filePath(favoriteFileName(name));
    if (!replace && QFileInfo::exists(path))
        return FavoriteWrite::AlreadyExists;
    // Fully encoded, the address holds no line break that could add lines.
    QByteArray text = "[InternetShortcut]\r\nURL=" + url.toEncoded(QUrl::FullyEncoded) + "\r\n";
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit())
        return FavoriteWrite::Failed;
    return FavoriteWrite::Written;
}

} // namespace kelvor::browser
