#include "feeds/JsonFeedConversion.h"

#include "feeds/TreeRoot.h"
#include "platform/XmlChars.h"

#include <nlohmann/json.hpp>

namespace kelvor::feeds {
namespace {

using Json = nlohmann::json;

// The first of the members that holds a string; values of other types are
// what a broken feed sends, and count as missing.
const std::string* firstString(const Json& object, std::initializer_list<const char*> names) {
    for (const char* name : names) {
        auto found = object.find(name);
        if (found != object.end() && found->is_string())
            return found->get_ptr<const std::string*>();
    }
    return nullptr;
}

void setIfPresent(TreeItem& item, const char* attribute, const std::string* value) {
    if (value)
        item.setAttribute(attribute, xml::toXmlText(*value));
}

void readItem(const Json& entry, TreeItem& item) {
    setIfPresent(item, "Title", firstString(entry, {"title"}));
    setIfPresent(item, "Href", firstString(entry, {"url", "external_url"}));
    setIfPresent(item, "Date", firstString(entry, {"date_published", "date_modified"}));
    if (const std::string* body = firstString(entry, {"content_html", "content_text", "summary"}))
        item.descriptions.push_back(xml::toXmlText(*body));
}

bool isJsonFeed(const Json& feed) {
    if (!feed.is_object())
        return false;
    const std::string* version = firstString(feed, {"version"});
    return version && version->compare(0, 29, "https://jsonfeed.org/version/") == 0;
}

} // namespace

bool mayBeJson(const std::string& bytes) {
    size_t first = bytes.find_first_not_of(" \t\r\n");
    if (first != std::string::npos && bytes.compare(first, 3, "\xEF\xBB\xBF") == 0)
        first = bytes.find_first_not_of(" \t\r\n", first + 3);
    return first != std::string::npos && bytes[first] == '{';
}

bool ConvertJsonFeedToText(const std::string& bytes, DownloadTask& task, const TextSink& sink) {
    if (!mayBeJson(bytes))
        return false;
    Json feed = Json::parse(bytes, nullptr, false);
    if (feed.is_discarded() || !isJsonFeed(feed))
        return false;
    const std::string* page = firstString(feed, {"home_page_url"});
    task.href = page ? xml::toXmlText(*page) : std::string();

    TreeTextWriter writer(newChannelDocument(task, "rss"), sink);
    auto items = feed.find("items");
    if (items != feed.end() && items->is_array()) {
        TreeItem item;
        for (const Json& entry : *items) {
            if (!entry.is_object())
                continue;
            item.clear();
            readItem(entry, item);
            writer.addItem(item);
        }
    }
    writer.finish();
    return true;
}

} // namespace kelvor::feeds
