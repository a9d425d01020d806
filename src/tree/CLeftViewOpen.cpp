// Placeholder: opening items lands with the editing work.
#include "tree/CLeftView.h"

#include <QMouseEvent>

void CLeftView::mousePressEvent(QMouseEvent* event) { QTreeWidget::mousePressEvent(event); }
void CLeftView::mouseReleaseEvent(QMouseEvent* event) { QTreeWidget::mouseReleaseEvent(event); }
void CLeftView::mouseDoubleClickEvent(QMouseEvent* event) { QTreeWidget::mouseDoubleClickEvent(event); }
void CLeftView::keyPressEvent(QKeyEvent* event) { QTreeWidget::keyPressEvent(event); }
void CLeftView::contextMenuEvent(QContextMenuEvent*) {}
void CLeftView::OnOpenItem() {}
void CLeftView::OnViewItem() {}
void CLeftView::OnCopyLink() {}
void CLeftView::OnOpenInNewWindow() {}
