// The reader's end of the core's failure hook: the "kelvor" logging
// category, debug level, so that it is silent unless KELVOR_DEBUG=1 or
// QT_LOGGING_RULES ("kelvor.debug=true") turns it on.
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(kelvorLog)

// Installs the sink; KELVOR_DEBUG=1 enables the category's debug output.
void connectFailureLog();
