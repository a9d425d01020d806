// How much of what left the feeds the reader keeps (Internet 选项 >
// 历史条目), in the settings; the store is told at start and on change.
#pragma once

class CollectionService;

namespace kelvor::app {

struct HistoryLimits {
    int keepDays = 180;
    int keepPerChannel = 2000;
};

HistoryLimits historyLimitsSetting();
void setHistoryLimitsSetting(const HistoryLimits& limits);
void applyHistoryLimits(CollectionService* collection);

} // namespace kelvor::app
