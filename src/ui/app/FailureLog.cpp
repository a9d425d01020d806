#include "app/FailureLog.h"

#include "platform/Log.h"

Q_LOGGING_CATEGORY(kelvorLog, "kelvor", QtInfoMsg)

void connectFailureLog() {
    if (kelvor::platform::debugRequested())
        const_cast<QLoggingCategory&>(kelvorLog()).setEnabled(QtDebugMsg, true);
    kelvor::platform::setFailureSink([](const char* where, const std::string& what) {
        qCDebug(kelvorLog, "%s: %s", where, what.c_str());
    });
}
