// The body of a download worker: load, convert, save. Runs on any thread;
// it touches nothing but its own task and its own documents.
#pragma once

#include "feeds/DownloadTask.h"
#include "feeds/TreeText.h"
#include "platform/XmlDom.h"

#include <string>

namespace kelvor::feeds {

// Loads feedUrl (else sourceUrl), converts a feed (OPML first, then RSS) or
// stamps a tree-format file, and saves the result to cacheFile. Errors go to
// task.errorText. Returns 1 when it went through, 0 when the source did not
// load or a tree file's copy was not saved. A "$FAVORITES" feed imports the
// Favorites folder instead, and returns 0 when that reports an error.
int RunDownloadTask(DownloadTask& task, const xml::LoadOptions& options = {});

// The worker's conversion of a loaded feed, OPML when the root is "opml",
// Atom when it is an Atom feed, else RSS, as the text of the file to save,
// in pieces. False when there is no result; throws xml::DomError when the
// result cannot be built.
bool convertFeedToText(const xml::Document& source, DownloadTask& task, const TextSink& sink);

// Marks a fetched tree file with the address it came from and its type;
// false (and nothing changed) when the root is not a Tree element.
bool StampTreeSource(xml::Document& doc, const std::string& baseUrl, const std::string& type);

// "加载错误:" + the formatted parse error + sourceUrl.
std::string loadErrorText(const xml::ParseError& error, const std::string& sourceUrl);

// The load error a conversion that ran out of memory reports.
std::string outOfMemoryText(const DownloadTask& task);

// The error text of a task that ended in the exception being handled (call
// it only inside a catch block): out of memory says so, anything else is a
// copy that could not be saved.
std::string exceptionText(const DownloadTask& task);

} // namespace kelvor::feeds
