// RSS (0.9x, 1.0 and 2.0 alike): every "item" element of the loaded feed
// becomes a TreeNode with the item's title, link, date and descriptions.
#pragma once

#include "feeds/DownloadTask.h"
#include "feeds/TreeText.h"
#include "platform/XmlDom.h"

#include <string>

namespace kelvor::feeds {

// A tree file of type "rss", written straight to text in pieces: exactly
// what saving the same tree built as a document would write, in a fraction
// of the time and memory. Escapes the task's feedUrl, title and href in
// place (an empty href takes the escaped feedUrl). False (and the task
// unchanged) for a null source; throws xml::DomError when the result cannot
// be built.
bool ConvertRssToTreeText(const xml::Document& source, DownloadTask& task, const TextSink& sink);
bool ConvertRssToTreeText(const xml::Document& source, DownloadTask& task, std::string& text);

} // namespace kelvor::feeds
