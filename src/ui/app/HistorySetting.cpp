#include "app/HistorySetting.h"

#include "collection/CollectionService.h"

#include <QSettings>

namespace kelvor::app {

namespace {
const char* const kDaysKey = "History/KeepDays";
const char* const kCountKey = "History/KeepPerChannel";
} // namespace

HistoryLimits historyLimitsSetting() {
    QSettings settings;
    HistoryLimits limits;
    limits.keepDays = settings.value(QLatin1String(kDaysKey), limits.keepDays).toInt();
    limits.keepPerChannel = settings.value(QLatin1String(kCountKey), limits.keepPerChannel).toInt();
    return limits;
}

void setHistoryLimitsSetting(const HistoryLimits& limits) {
    QSettings settings;
    settings.setValue(QLatin1String(kDaysKey), limits.keepDays);
    settings.setValue(QLatin1String(kCountKey), limits.keepPerChannel);
}

void applyHistoryLimits(CollectionService* collection) {
    if (!collection)
        return;
    HistoryLimits limits = historyLimitsSetting();
    collection->setHistoryLimits(limits.keepDays, limits.keepPerChannel);
}

} // namespace kelvor::app
