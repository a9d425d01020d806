// The descriptions the store keeps, deflated: they are most of what it
// holds, and a search reads back only the few on its page.
#pragma once

#include <string>

struct sqlite3;

namespace kelvor::store {

// The text deflated behind a marker byte no UTF-8 text starts with, or the
// text as it is when deflating would not make it smaller (short texts).
std::string packText(const std::string& text);

// The text again, from what packText gave or from a text stored before
// texts were packed.
std::string unpackText(const std::string& stored);

// unpack_text(x) in SQL on this connection, for the full-text triggers and
// for matching the text itself.
void registerPackedText(sqlite3* db);

} // namespace kelvor::store
