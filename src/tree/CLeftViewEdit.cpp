// Placeholder: editing lands with the editing work.
#include "tree/CLeftView.h"

void CLeftView::OnNewTextItem() {}
void CLeftView::OnNewLinkItem() {}
void CLeftView::OnNewChannelItem() {}
void CLeftView::OnNewTextChild() {}
void CLeftView::OnSetDescFromClipboard() {}
void CLeftView::OnSetLinkFromClipboard() {}
void CLeftView::OnSetChannelFromClipboard() {}
void CLeftView::OnDeleteItem() {}
