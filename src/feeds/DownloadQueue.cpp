// Placeholder: the download queue lands with the channel work.
#include "feeds/DownloadQueue.h"

namespace kelvor::feeds {

struct DownloadQueue::Impl {};

DownloadQueue::DownloadQueue(Completion, Dispatcher, int maxDownloads)
    : impl_(std::make_unique<Impl>()), maxDownloads_(maxDownloads) {}
DownloadQueue::~DownloadQueue() = default;

} // namespace kelvor::feeds
