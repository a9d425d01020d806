// The time of an entry, for ordering hits newest first: feeds write their
// dates as they came (RFC 822 from RSS, ISO 8601 from Atom and JSON Feed).
#pragma once

#include <cstdint>
#include <string>

namespace kelvor::store {

// Seconds since 1970 (UTC) of a date such as "Mon, 02 Jun 2025 10:00:00
// +0800" or "2025-06-02T10:00:00+08:00"; 0 for a date it cannot read.
int64_t entrySeconds(const std::string& date);

} // namespace kelvor::store
