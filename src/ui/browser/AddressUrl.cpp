#include "browser/AddressUrl.h"

#include "platform/HomeFolder.h"

#include <QDir>

namespace kelvor::browser {

QUrl addressToUrl(const QString& address) {
    QString trimmed = address.trimmed();
    if (trimmed.isEmpty())
        return QUrl();
    if (QDir::isAbsolutePath(trimmed))
        return QUrl::fromLocalFile(QDir::cleanPath(trimmed));
    // A relative path that exists becomes a file URL; everything else is a
    // web address ("www.debian.org" gains http://, schemes stay).
    const std::string& home = platform::programFolder();
    return QUrl::fromUserInput(trimmed,
                               home.empty() ? QDir::currentPath() : QString::fromStdString(home));
}

QString displayAddress(const QUrl& url) {
    if (url.scheme() == QLatin1String("data"))
        return QStringLiteral("about:blank");
    return url.toString();
}

} // namespace kelvor::browser
