#include "feeds/JsonFeedConversion.h"

#include "feeds/EntryTitle.h"
#include "feeds/EscapeXmlText.h"
#include "feeds/JsonRepair.h"
#include "feeds/TreeRoot.h"
#include "platform/XmlChars.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <map>
#include <optional>

namespace kelvor::feeds {
namespace {

using Json = nlohmann::json;
using Fields = std::map<std::string, std::string>;

// The string members of the feed object and of each item, gathered as the
// parser meets them. No tree of the whole document is built: a feed's size
// in memory stays that of its texts, and a value of another type than a
// string (a number, an object where a title should be) is simply not kept.
class FeedFields : public nlohmann::json_sax<Json> {
  public:
    Fields feed;
    std::vector<Fields> items;
    bool rootIsObject = false;
    size_t errorAt = 0;

    bool null() override { return value(); }
    bool boolean(bool) override { return value(); }
    bool number_integer(number_integer_t) override { return value(); }
    bool number_unsigned(number_unsigned_t) override { return value(); }
    bool number_float(number_float_t, const string_t&) override { return value(); }
    bool binary(binary_t&) override { return value(); }
    bool string(string_t& text) override {
        if (Fields* fields = fieldsHere())
            (*fields)[key_] = std::move(text);
        return value();
    }
    bool key(string_t& name) override {
        key_ = std::move(name);
        // A member named twice counts as its last value, "items" too.
        if (depth_ == 1 && key_ == "items")
            items.clear();
        return true;
    }
    bool start_object(std::size_t) override {
        rootIsObject = rootIsObject || depth_ == 0;
        if (inItems() && depth_ == 2)
            items.emplace_back();
        return open();
    }
    bool start_array(std::size_t) override {
        if (depth_ == 1 && key_ == "items")
            itemsDepth_ = 2;
        return open();
    }
    bool end_object() override { return close(); }
    bool end_array() override { return close(); }
    bool parse_error(std::size_t position, const std::string&,
                     const nlohmann::detail::exception&) override {
        errorAt = position;
        return false;
    }

  private:
    size_t depth_ = 0;
    size_t itemsDepth_ = 0; // inside the items array, when not 0
    std::string key_;

    bool inItems() const { return itemsDepth_ != 0; }
    Fields* fieldsHere() {
        if (depth_ == 1 && rootIsObject)
            return &feed;
        return inItems() && depth_ == 3 && !items.empty() ? &items.back() : nullptr;
    }
    bool open() {
        ++depth_;
        return true;
    }
    bool close() {
        if (depth_-- == itemsDepth_)
            itemsDepth_ = 0;
        return true;
    }
    bool value() { return true; }
};

const std::string* firstOf(const Fields& fields, std::initializer_list<const char*> names) {
    for (const char* name : names) {
        auto found = fields.find(name);
        if (found != fields.end())
            return &found->second;
    }
    return nullptr;
}

// The first of the members whose address the policy lets through, empty
// when none does.
std::string firstAddress(const Fields& fields, std::initializer_list<const char*> names,
                         platform::AddressOrigin origin) {
    for (const char* name : names) {
        auto found = fields.find(name);
        if (found == fields.end())
            continue;
        std::string accepted = platform::acceptedAddress(xml::toXmlText(found->second), origin);
        if (!accepted.empty())
            return accepted;
    }
    return {};
}

void setIfPresent(TreeItem& item, const char* attribute, const std::string* value) {
    if (value)
        item.setAttribute(attribute, xml::toXmlText(*value));
}

// The Desc holds HTML, so content_text is escaped to show as written.
std::optional<std::string> description(const Fields& entry) {
    if (const std::string* html = firstOf(entry, {"content_html"}))
        return *html;
    if (const std::string* text = firstOf(entry, {"content_text"}))
        return plainTextAsHtml(*text);
    if (const std::string* summary = firstOf(entry, {"summary"}))
        return *summary;
    return std::nullopt;
}

void readItem(const Fields& entry, platform::AddressOrigin origin, TreeItem& item) {
    setIfPresent(item, "Title", firstOf(entry, {"title"}));
    std::string link = firstAddress(entry, {"url", "external_url"}, origin);
    if (!link.empty())
        item.setAttribute("Href", link);
    setIfPresent(item, "Date", firstOf(entry, {"date_published", "date_modified"}));
    if (auto body = description(entry))
        item.descriptions.push_back(xml::toXmlText(*body));
    giveTitle(item);
}

bool isJsonFeed(const FeedFields& read) {
    const std::string* version = firstOf(read.feed, {"version"});
    return version && version->compare(0, 29, "https://jsonfeed.org/version/") == 0;
}

void setError(xml::ParseError* error, uint32_t code, const std::string& reason,
              const std::string& text = {}, size_t at = 0) {
    if (!error)
        return;
    *error = {};
    error->errorCode = code;
    error->reason = reason;
    if (text.empty())
        return;
    // Positions count from 1, as libxml2's do.
    at = std::min(at, text.size());
    size_t lineStart = text.rfind('\n', at == 0 ? 0 : at - 1);
    lineStart = lineStart == std::string::npos ? 0 : lineStart + 1;
    error->line = 1 + static_cast<int>(std::count(text.begin(), text.begin() + at, '\n'));
    error->linepos = static_cast<int>(at - lineStart);
}

// As it came, else repaired; false with the error when neither parses.
bool readFields(const std::string& bytes, FeedFields& read, xml::ParseError* whyNot) {
    if (Json::sax_parse(bytes, &read))
        return true;
    read = FeedFields();
    std::string repaired = repairJsonText(bytes);
    if (Json::sax_parse(repaired, &read))
        return true;
    setError(whyNot, kErrJsonSyntax, "JSON 格式错误", repaired, read.errorAt);
    return false;
}

// The feed's members and items; false, with the reason, when the bytes are
// no JSON Feed.
bool readJsonFeed(const std::string& bytes, FeedFields& read, xml::ParseError* whyNot) {
    if (!mayBeJson(bytes)) {
        setError(whyNot, kErrJsonSyntax, "JSON 格式错误", bytes, 0);
        return false;
    }
    if (!readFields(bytes, read, whyNot))
        return false;
    if (!isJsonFeed(read)) {
        setError(whyNot, kErrNotJsonFeed, "不是 JSON Feed");
        return false;
    }
    return true;
}

} // namespace

bool mayBeJson(const std::string& bytes) {
    size_t first = bytes.find_first_not_of(" \t\r\n");
    if (first != std::string::npos && bytes.compare(first, 3, "\xEF\xBB\xBF") == 0)
        first = bytes.find_first_not_of(" \t\r\n", first + 3);
    return first != std::string::npos && (bytes[first] == '{' || bytes[first] == '[');
}

bool ConvertJsonFeedToText(const std::string& bytes, DownloadTask& task, const TextSink& sink,
                           platform::AddressOrigin origin, xml::ParseError* whyNot) {
    FeedFields read;
    if (!readJsonFeed(bytes, read, whyNot))
        return false;
    task.href = firstAddress(read.feed, {"home_page_url"}, origin);

    TreeTextWriter writer(newChannelDocument(task, "rss"), sink);
    TreeItem item;
    for (const Fields& entry : read.items) {
        item.clear();
        readItem(entry, origin, item);
        writer.addItem(item);
    }
    writer.finish();
    return true;
}

bool readJsonFeedTitle(const std::string& bytes, std::string& title, xml::ParseError* whyNot) {
    FeedFields read;
    if (!readJsonFeed(bytes, read, whyNot))
        return false;
    const std::string* found = firstOf(read.feed, {"title"});
    title = found ? xml::toXmlText(*found) : std::string();
    return true;
}

} // namespace kelvor::feeds
