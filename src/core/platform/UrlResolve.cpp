#include "platform/UrlResolve.h"

#include <libxml/uri.h>

namespace kelvor::platform {
namespace {

// libxml2 parses URIs as RFC 3986 has them, ASCII only: a link written with
// Chinese characters ("文章/九.html") would not resolve at all. Its bytes
// percent-encoded are the address a browser would ask for.
std::string asciiForm(const std::string& address) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(address.size());
    for (char c : address) {
        auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            out += c;
            continue;
        }
        out += '%';
        out += kHex[byte >> 4];
        out += kHex[byte & 0xF];
    }
    return out;
}

} // namespace

std::string resolveUrl(const std::string& base, const std::string& reference) {
    if (base.empty())
        return reference;
    std::string asciiBase = asciiForm(base);
    // An empty reference names the base document itself, without its
    // fragment (RFC 3986, 5.2.2).
    if (reference.empty())
        return asciiBase.substr(0, asciiBase.find('#'));
    xmlChar* built = xmlBuildURI(reinterpret_cast<const xmlChar*>(asciiForm(reference).c_str()),
                                 reinterpret_cast<const xmlChar*>(asciiBase.c_str()));
    if (!built)
        return reference;
    std::string result(reinterpret_cast<const char*>(built));
    xmlFree(built);
    return result;
}

} // namespace kelvor::platform
