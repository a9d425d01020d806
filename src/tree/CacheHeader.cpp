// Reading a cache file's identity without parsing the whole file: a channel
// is resolved on every expansion and click, and its copy may be many
// megabytes. libxml2's reader pulls the file in small chunks and stops at
// the root's start tag; it honours the declared encoding and decodes entity
// and character references in the attribute values.
#include "tree/ChannelSource.h"

#include <libxml/xmlreader.h>

#include <cstdio>
#include <cstdlib>

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

} // namespace

std::string ReadCacheHeader(const std::string& path, int& expires) {
    expires = -1;
    xml::initialize();
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return {};
    // The reader owns the file from here and closes it when freed.
    xmlTextReaderPtr reader =
        xmlReaderForIO(readChunk, closeFile, file, nullptr, nullptr,
                       XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    if (!reader)
        return {};
    std::string baseUrl;
    while (xmlTextReaderRead(reader) == 1) {
        if (xmlTextReaderNodeType(reader) != XML_READER_TYPE_ELEMENT)
            continue;
        baseUrl = takeAttribute(reader, "BaseURL");
        if (hasAttribute(reader, "Expires"))
            expires = std::atoi(takeAttribute(reader, "Expires").c_str());
        break;
    }
    xmlFreeTextReader(reader);
    return baseUrl;
}

} // namespace kelvor::tree
