// Placeholder: channel expansion and downloads land with the channel work.
#include "feeds/DownloadQueue.h"
#include "tree/CLeftView.h"

void CLeftView::initDownloads() {}
void CLeftView::shutdownDownloads() {}
void CLeftView::forgetItemInDownloads(QTreeWidgetItem*) {}
void CLeftView::ExpandChannel(QTreeWidgetItem*, const kelvor::xml::Node&) {}
void CLeftView::UpdateHeadline(QTreeWidgetItem*, const kelvor::xml::Node&) {}
void CLeftView::OnRefresh() {}
