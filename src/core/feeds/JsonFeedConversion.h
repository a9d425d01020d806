// JSON Feed 1.0 and 1.1: the items of a JSON document whose version names
// jsonfeed.org become the TreeNodes of the same channel document as RSS.
#pragma once

#include "feeds/DownloadTask.h"
#include "feeds/TreeText.h"

#include <string>

namespace kelvor::feeds {

// Cheap look at the first byte: only then is a JSON parse worth trying.
bool mayBeJson(const std::string& bytes);

// Writes the channel document of a JSON Feed to sink. False (and the task
// unchanged) when the bytes are not a JSON Feed. The root's Href becomes the
// feed's home_page_url when it has one; the task's texts are escaped in
// place as for RSS.
bool ConvertJsonFeedToText(const std::string& bytes, DownloadTask& task, const TextSink& sink);

} // namespace kelvor::feeds
