#include "feeds/FeedReading.h"

#include "feeds/AtomConversion.h"
#include "feeds/DownloadWorker.h"
#include "feeds/FeedRepair.h"
#include "feeds/JsonFeedConversion.h"

#include <new>

namespace kelvor::feeds {
namespace {

// A lenient reading of a broken file always gives some root; it counts
// only when it holds something to show.
bool hasEntries(const xml::Document& doc) {
    xml::Node root = doc.documentElement();
    if (root.nameIs("opml"))
        return root.hasChildNodes();
    if (isAtomFeed(doc)) {
        for (xml::Node child = root.firstChild(); child; child = child.nextSibling()) {
            if (child.localName() == "entry")
                return true;
        }
        return false;
    }
    return !doc.getElementsByTagName("item").empty();
}

bool failed(DownloadTask& task, const xml::ParseError& error) {
    task.errorText = loadErrorText(error, task.sourceUrl);
    return false;
}

// XML cannot begin with "{" or "[": such bytes are JSON or nothing, and their
// error says what JSON made of them.
bool convertJson(const platform::SourceBytes& source, DownloadTask& task, const TextSink& sink) {
    xml::ParseError whyNot;
    if (ConvertJsonFeedToText(source.bytes, task, sink, platform::originOf(source.url), &whyNot))
        return true;
    return failed(task, whyNot);
}

bool convertReadable(const platform::SourceBytes& source, DownloadTask& task, const TextSink& sink,
                     FeedReport* report) {
    if (mayBeJson(source.bytes))
        return convertJson(source, task, sink);
    xml::ParseError error;
    xml::Document doc = loadFeedDocument(source, error, report);
    if (doc.isNull())
        return failed(task, error);
    return convertFeedToText(doc, task, sink);
}

} // namespace

xml::Document loadFeedDocument(const platform::SourceBytes& source, xml::ParseError& error,
                               FeedReport* report) {
    xml::Document doc = xml::Document::create();
    if (doc.loadBytes(source.bytes, source.url, source.charset))
        return doc;
    error = doc.parseError();
    // Entities that would blow the feed up are no broken markup to read past:
    // the lenient reading would only show their references as text.
    if (error.errorCode == xml::kErrEntityExpansion)
        return {};
    xml::Document repaired = xml::Document::create();
    if (!repaired.loadRepairedBytes(repairFeedText(source.bytes, source.charset), source.url) ||
        !hasEntries(repaired))
        return {};
    if (report)
        report->recovered = true;
    return repaired;
}

bool convertFeedSource(const platform::SourceBytes& source, DownloadTask& task,
                       const TextSink& sink, FeedReport* report) {
    if (report)
        *report = {};
    try {
        return convertReadable(source, task, sink, report);
    } catch (const std::bad_alloc&) {
        task.errorText = outOfMemoryText(task);
        return false;
    }
}

} // namespace kelvor::feeds
