// What an address written by a stranger (a feed, a list, a bookmarks file, a
// remote tree file, a web page) may be. Addresses are judged as a browser
// would read them, since that is what finally runs them: a check on the raw
// text is passed by " javascript:" or "java\tscript:".
#pragma once

#include <string>

namespace kelvor::platform {

// Where an address was read from. A local file may name other local files;
// nothing from the web may.
enum class AddressOrigin { Web, LocalFile };

// The address as a browser reads it once it is stored: what XML cannot hold
// dropped, C0 controls and spaces trimmed from both ends, tabs and line
// breaks removed everywhere.
std::string browserForm(const std::string& address);

// The scheme of the browser form, in lower case; empty for a relative
// reference (no valid scheme before the first ':', '/', '?' or '#').
std::string schemeOf(const std::string& address);

// "scheme:..." with a short alphabetic scheme, as stored values in tree
// files are told apart from paths: up to five letters, so "https:" counts,
// and a Windows drive ("C:") of an old file does too.
bool hasScheme(const std::string& value);

// The origin of what was read from sourceAddress (a document's url, a
// feed's address): a local file for a path or a file: address, the web for
// anything else, an unknown source included.
AddressOrigin originOf(const std::string& sourceAddress);

// The browser form when its scheme may come from outside: http, https, ftp
// and mailto, file only from a local origin; a relative reference stays (it
// is resolved against its file). Empty otherwise: the caller keeps the entry
// without its link.
std::string acceptedAddress(const std::string& address, AddressOrigin origin);

// javascript:, vbscript: and data: run or make a page of their author's
// choosing; never opened from what a stranger wrote.
bool isScriptAddress(const std::string& address);

// http: or https:, the only addresses fetched on a page's say-so.
bool isWebAddress(const std::string& address);

} // namespace kelvor::platform
