// Failures the program recovers from (a file it could not save, a callback
// that threw) are reported to the user in their own words; this hook keeps
// the technical reason for whoever runs with debugging on. Quiet until a
// front end installs a sink: the reader sends it to its "kelvor" logging
// category, kelvor-tool to stderr under KELVOR_DEBUG=1.
#pragma once

#include <functional>
#include <string>

namespace kelvor::platform {

using FailureSink = std::function<void(const char* where, const std::string& what)>;

// Replaces the sink (an empty one makes the hook quiet again). Any thread.
void setFailureSink(FailureSink sink);

// where: the function or step that failed; what: the reason.
void logFailure(const char* where, const std::string& what);

// Inside a catch block: logs the exception being handled, its what() when it
// is a std::exception.
void logCurrentFailure(const char* where);

// True when KELVOR_DEBUG is set to 1.
bool debugRequested();

} // namespace kelvor::platform
