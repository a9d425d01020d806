#include "feeds/FeedReading.h"

#include "feeds/DownloadWorker.h"
#include "feeds/JsonFeedConversion.h"

namespace kelvor::feeds {

bool convertFeedSource(const platform::SourceBytes& source, DownloadTask& task,
                       const TextSink& sink, FeedReport* report) {
    if (report)
        *report = {};
    if (ConvertJsonFeedToText(source.bytes, task, sink))
        return true;
    xml::Document doc = xml::Document::create();
    if (doc.loadBytes(source.bytes, source.url, source.charset))
        return convertFeedToText(doc, task, sink);
    task.errorText = loadErrorText(doc.parseError(), task.sourceUrl);
    return false;
}

} // namespace kelvor::feeds
