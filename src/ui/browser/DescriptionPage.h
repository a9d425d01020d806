// The page that shows an item's description: a small frame with the
// product link and a hint, and the description inside a bordered cell.
#pragma once

#include <QString>
#include <QUrl>

namespace kelvor::browser {

// The template; "##ITEMDESC##" marks where the description goes.
QString descriptionTemplate();

// The template with the description inserted once, as HTML. The inserted
// text is not searched again, so a description may itself mention the
// placeholder.
QString descriptionPage(const QString& description);

// The base address the page is shown under: it grants no access to local
// files.
QUrl descriptionBaseUrl();

} // namespace kelvor::browser
