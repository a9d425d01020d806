// HTML's named character references as plain data (HtmlEntityTable.cpp is
// written by scripts/gen-html-entities). HtmlEntities.h is the way to read
// references; this is only its table.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kelvor::platform::entities {

struct Entry {
    uint16_t offset; // of the name in kNames
    uint8_t length;  // of the name, without its ";"
    uint8_t legacy;  // 1: HTML also takes the name without its ";"
    uint32_t first;  // the code point it stands for
    uint16_t second; // and a second one, or 0 (a few stand for two)
};

// Every name, one after the other, without separators.
extern const char kNames[];
// Sorted by name, byte by byte.
extern const Entry kEntries[];
extern const size_t kEntryCount;
extern const size_t kLongestName;

} // namespace kelvor::platform::entities
