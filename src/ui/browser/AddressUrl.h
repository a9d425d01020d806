// Turns what the user or the collection calls an address into something a
// page can load: local paths (relative to the home folder, where index.xml
// lives) become file URLs, web addresses stay as written.
#pragma once

#include <QString>
#include <QUrl>

namespace kelvor::browser {

QUrl addressToUrl(const QString& address);

// The address a page reports for a URL: a page shown from generated HTML
// reports "about:blank" instead of the bulky data: URL it was loaded from.
QString displayAddress(const QUrl& url);

} // namespace kelvor::browser
