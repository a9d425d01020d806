// A feed that does not parse, through the repair that makes it readable and
// the lenient reading after it. The first line is the charset the server
// named; the rest is the feed. The repaired text must be UTF-8 without a
// declaration or byte order mark, and in proportion to the bytes; a feed
// read leniently must give a tree file that parses, keeps every link within
// the address policy and reads back.
#include "FuzzSupport.h"
#include "TreeChecks.h"
#include "feeds/DownloadTask.h"
#include "feeds/FeedReading.h"
#include "feeds/FeedRepair.h"
#include "platform/SourceBytes.h"

#include <string>

using namespace kelvor;

namespace {

bool isUtf8(const std::string& text) {
    size_t i = 0;
    while (i < text.size()) {
        auto c = static_cast<unsigned char>(text[i]);
        size_t length = c < 0x80                ? 1
                        : c >= 0xF0 && c < 0xF5 ? 4
                        : c >= 0xE0             ? 3
                        : c >= 0xC2             ? 2
                                                : 0;
        if (length == 0 || i + length > text.size())
            return false;
        for (size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        }
        i += length;
    }
    return true;
}

void checkRepair(const std::string& bytes, const std::string& charset) {
    std::string repaired = feeds::repairFeedText(bytes, charset);
    fuzz::checkBounded(repaired.size(), bytes.size(), 6, "the repaired text");
    if (!isUtf8(repaired))
        fuzz::fail("the repaired text is not UTF-8");
    if (repaired.rfind("\xEF\xBB\xBF", 0) == 0 || repaired.rfind("<?xml", 0) == 0)
        fuzz::fail("the repaired text keeps a byte order mark or declaration");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> fields = fuzz::splitFields(data, size, 2);
    platform::SourceBytes source;
    source.charset = fields[0].substr(0, 40);
    source.bytes = fields[1];
    source.url = "https://example.com/feed.xml";
    checkRepair(source.bytes, source.charset);

    feeds::DownloadTask task;
    task.title = "频道";
    task.feedUrl = source.url;
    std::string text;
    feeds::FeedReport report;
    if (!feeds::convertFeedSource(
            source, task, [&text](const std::string& piece) { text += piece; }, &report) ||
        !report.recovered)
        return 0;
    xml::Document converted = fuzz::parsedTree(text);
    fuzz::checkLinksFromTheWeb(converted);
    fuzz::checkReadsBack(converted);
    return 0;
}
