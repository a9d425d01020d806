#include "platform/Log.h"

#include <cstdlib>
#include <cstring>
#include <exception>
#include <mutex>

namespace kelvor::platform {
namespace {

std::mutex sinkLock;

FailureSink& sinkStorage() {
    static FailureSink sink;
    return sink;
}

std::string describeCurrentException() {
    try {
        throw;
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "unknown exception";
    }
}

} // namespace

void setFailureSink(FailureSink sink) {
    std::lock_guard<std::mutex> guard(sinkLock);
    sinkStorage() = std::move(sink);
}

void logFailure(const char* where, const std::string& what) {
    // The sink is called under the lock so that a sink being replaced is
    // never used after it went; logging a failure must itself never throw.
    std::lock_guard<std::mutex> guard(sinkLock);
    if (!sinkStorage())
        return;
    try {
        sinkStorage()(where, what);
    } catch (...) {
    }
}

void logCurrentFailure(const char* where) {
    if (!std::current_exception())
        return;
    try {
        logFailure(where, describeCurrentException());
    } catch (...) {
        // Out of memory for the message: nothing more to be done here.
    }
}

bool debugRequested() {
    const char* value = std::getenv("KELVOR_DEBUG");
    return value && std::strcmp(value, "1") == 0;
}

} // namespace kelvor::platform
