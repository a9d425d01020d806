#include "platform/AddressPolicy.h"

#include "platform/Text.h"
#include "platform/XmlChars.h"

namespace kelvor::platform {
namespace {

bool isControlOrSpace(unsigned char c) {
    return c <= 0x20;
}

bool isAsciiAlpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isSchemeChar(char c) {
    return isAsciiAlpha(c) || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

// The scheme of an address already in its browser form.
std::string schemeOfForm(const std::string& form) {
    if (form.empty() || !isAsciiAlpha(form[0]))
        return {};
    std::string scheme;
    for (char c : form) {
        if (c == ':')
            return scheme;
        if (!isSchemeChar(c))
            return {};
        scheme += lowerAscii(c);
    }
    return {};
}

} // namespace

bool hasScheme(const std::string& value) {
    size_t colon = value.find(':');
    if (colon == std::string::npos || colon == 0 || colon > 5)
        return false;
    for (size_t i = 0; i < colon; ++i)
        if (!isAsciiAlpha(value[i]))
            return false;
    return true;
}

std::string browserForm(const std::string& raw) {
    // Judged as it will be stored: the store drops what XML cannot hold, so
    // "java\x01script:" would become "javascript:" after a check of the raw text.
    std::string address = xml::toXmlText(raw);
    size_t begin = 0;
    size_t end = address.size();
    while (begin < end && isControlOrSpace(static_cast<unsigned char>(address[begin])))
        ++begin;
    while (end > begin && isControlOrSpace(static_cast<unsigned char>(address[end - 1])))
        --end;
    std::string form;
    form.reserve(end - begin);
    for (size_t i = begin; i < end; ++i) {
        char c = address[i];
        if (c != '\t' && c != '\n' && c != '\r')
            form += c;
    }
    return form;
}

std::string schemeOf(const std::string& address) {
    return schemeOfForm(browserForm(address));
}

AddressOrigin originOf(const std::string& sourceAddress) {
    std::string form = browserForm(sourceAddress);
    std::string scheme = schemeOfForm(form);
    // "//host/x" names a host, not a path.
    bool path = scheme.empty() && !form.empty() && form.compare(0, 2, "//") != 0;
    bool local = scheme == "file" || path;
    return local ? AddressOrigin::LocalFile : AddressOrigin::Web;
}

std::string acceptedAddress(const std::string& address, AddressOrigin origin) {
    std::string form = browserForm(address);
    std::string scheme = schemeOfForm(form);
    bool allowed = scheme.empty() || scheme == "http" || scheme == "https" || scheme == "ftp" ||
                   scheme == "mailto" || (scheme == "file" && origin == AddressOrigin::LocalFile);
    return allowed ? form : std::string();
}

bool isScriptAddress(const std::string& address) {
    std::string scheme = schemeOf(address);
    return scheme == "javascript" || scheme == "vbscript" || scheme == "data";
}

bool isWebAddress(const std::string& address) {
    std::string scheme = schemeOf(address);
    return scheme == "http" || scheme == "https";
}

} // namespace kelvor::platform
