// Reading a cache file's identity and first item without parsing the whole
// file: a channel is resolved on every expansion and click, a hot category
// reads one headline per channel, and a copy may be many megabytes.
// libxml2's reader pulls the file in small chunks and stops as soon as it has
// what was asked; it honours the declared encoding and decodes entity and
// character references in the attribute values.
#include "platform/AddressPolicy.h"
#include "platform/XmlChars.h"
#include "tree/ChannelSource.h"
#include "tree/TreeFormat.h"

#include <libxml/xmlreader.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace kelvor::tree {
namespace {

int readChunk(void* context, char* buffer, int length) {
    auto* file = static_cast<std::FILE*>(context);
    size_t got = std::fread(buffer, 1, static_cast<size_t>(length), file);
    if (got == 0 && std::ferror(file))
        return -1;
    return static_cast<int>(got);
}

int closeFile(void* context) {
    return std::fclose(static_cast<std::FILE*>(context)) == 0 ? 0 : -1;
}

std::string takeAttribute(xmlTextReaderPtr reader, const char* name) {
    xmlChar* value = xmlTextReaderGetAttribute(reader, reinterpret_cast<const xmlChar*>(name));
    if (!value)
        return {};
    std::string result(reinterpret_cast<const char*>(value));
    xmlFree(value);
    return result;
}

bool hasAttribute(xmlTextReaderPtr reader, const char* name) {
    xmlChar* value = xmlTextReaderGetAttribute(reader, reinterpret_cast<const xmlChar*>(name));
    xmlFree(value);
    return value != nullptr;
}

// Closes the reader, and with it the file, however the read ends.
struct ReaderCloser {
    void operator()(xmlTextReader* reader) const { xmlFreeTextReader(reader); }
};
using Reader = std::unique_ptr<xmlTextReader, ReaderCloser>;

Reader openReader(const std::string& path) {
    xml::initialize();
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return nullptr;
    // The reader owns the file from here and closes it when freed.
    return Reader(xmlReaderForIO(readChunk, closeFile, file, nullptr, nullptr,
                                 XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
}

// Moves to the root element's start tag.
bool readToRoot(xmlTextReaderPtr reader) {
    while (xmlTextReaderRead(reader) == 1) {
        if (xmlTextReaderNodeType(reader) == XML_READER_TYPE_ELEMENT)
            return true;
    }
    return false;
}

bool atBlankText(xmlTextReaderPtr reader) {
    int type = xmlTextReaderNodeType(reader);
    if (type != XML_READER_TYPE_TEXT && type != XML_READER_TYPE_WHITESPACE &&
        type != XML_READER_TYPE_SIGNIFICANT_WHITESPACE)
        return false;
    return xml::isBlankText(xmlTextReaderConstValue(reader));
}

// Moves to the root's first child that the tree would show: blank text is
// dropped on load, as the DOM service does. False when the root has none.
bool readToFirstChild(xmlTextReaderPtr reader) {
    if (xmlTextReaderIsEmptyElement(reader))
        return false;
    while (xmlTextReaderRead(reader) == 1) {
        if (xmlTextReaderDepth(reader) == 0)
            return false; // the root's end tag
        if (!atBlankText(reader))
            return true;
    }
    return false;
}

} // namespace

std::string ReadCacheHeader(const std::string& path, int& expires) {
    expires = -1;
    Reader reader = openReader(path);
    if (!reader || !readToRoot(reader.get()))
        return {};
    // A copy of a feed found through a page belongs to the channel that
    // names the page; BaseURL says which feed was read.
    std::string baseUrl = hasAttribute(reader.get(), "ChannelURL")
                              ? takeAttribute(reader.get(), "ChannelURL")
                              : takeAttribute(reader.get(), "BaseURL");
    if (hasAttribute(reader.get(), "Expires"))
        expires = std::atoi(takeAttribute(reader.get(), "Expires").c_str());
    return baseUrl;
}

CacheValidators ReadCacheValidators(const std::string& path) {
    CacheValidators validators;
    Reader reader = openReader(path);
    if (!reader || !readToRoot(reader.get()))
        return validators;
    validators.baseUrl = takeAttribute(reader.get(), "BaseURL");
    validators.etag = takeAttribute(reader.get(), "ETag");
    validators.lastModified = takeAttribute(reader.get(), "LastModified");
    return validators;
}

CacheFirstItem ReadCacheFirstItem(const std::string& path) {
    CacheFirstItem first;
    Reader reader = openReader(path);
    if (!reader || !readToRoot(reader.get()) ||
        !xmlStrEqual(xmlTextReaderConstName(reader.get()), BAD_CAST "Tree"))
        return first;
    if (!readToFirstChild(reader.get()) ||
        xmlTextReaderNodeType(reader.get()) != XML_READER_TYPE_ELEMENT)
        return first;
    // Only this item's own subtree is read, then handed to the DOM service
    // so that its fields mean what they mean everywhere else.
    xmlChar* outer = xmlTextReaderReadOuterXml(reader.get());
    if (!outer)
        return first;
    xml::Document item = xml::Document::create();
    bool loaded = item.loadXML(reinterpret_cast<const char*>(outer));
    xmlFree(outer);
    if (!loaded)
        return first;
    xml::Node node = item.documentElement();
    first.title = GetNodeAttribute(node, "Title");
    // The headline goes into the user's own hot category, where a script
    // would be the user's own to run.
    first.href = GetNodeAttribute(node, "Href");
    if (platform::isScriptAddress(first.href))
        first.href.clear();
    first.date = GetNodeAttribute(node, "Date");
    first.desc = GetNodeDescription(node);
    return first;
}

} // namespace kelvor::tree
