#include "browser/BrowserOptions.h"

#include <QSettings>

namespace kelvor::browser {
namespace {
QString keyOf(const BrowserOption& option) {
    return QStringLiteral("Settings/") + QLatin1String(option.valueName);
}
} // namespace

bool readOption(const BrowserOption& option) {
    QSettings settings;
    bool isNumber = false;
    int value = settings.value(keyOf(option)).toInt(&isNumber);
    return isNumber ? value != 0 : option.defaultValue;
}

void writeOption(const BrowserOption& option, bool value) {
    QSettings settings;
    settings.setValue(keyOf(option), value ? 1 : 0);
}

} // namespace kelvor::browser
