// Escaping of texts spliced into the literal root element of a converted
// document.
#pragma once

#include <string>

namespace kelvor::feeds {

// "&" first (so the later replacements are not escaped again), then ">",
// "<", the double quote and the apostrophe. Changes the string in place.
void EscapeXmlText(std::string& text);

// Plain text as the HTML of a Desc, shown as written: every "<" and "&" that
// HTML would take for markup escaped.
std::string plainTextAsHtml(const std::string& text);

} // namespace kelvor::feeds
