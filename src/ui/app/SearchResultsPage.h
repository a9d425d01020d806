// The page of search results shown in the browser area, styled like the
// hot page: each hit with its title (matches marked), where it is, its date
// and a snippet of its description.
#pragma once

#include "store/Search.h"

#include <QString>
#include <QUrl>

#include <cstdint>
#include <string>
#include <vector>

namespace kelvor::app {

// The address the results page is shown under. Its links "#open-N" (a hit
// without a link), "#show-N" (在导航栏中显示) and "#more" only change the
// fragment.
QUrl searchResultsBaseUrl();

// hits are the first of `total` (hits.size() when less); when some are not
// shown, a "#more" link (更多结果) asks for the next ones.
QString searchResultsPage(const std::vector<store::Hit>& hits, const QString& query,
                          int64_t total = -1);

// The address a hit's title leads to on the page: its link as the address
// policy lets it through, "" when it opens the description instead.
std::string hitAddress(const store::Hit& hit);

// The text, HTML-escaped, with each word of the query (any letter case)
// inside <mark>.
QString markMatches(const QString& text, const QStringList& words);

} // namespace kelvor::app
