// Placeholder: copy and paste land with the editing work.
#include "tree/CLeftView.h"

void CLeftView::OnCopyItem() {}
void CLeftView::OnPasteItem() {}
void CLeftView::OnPasteChildren() {}
void CLeftView::OnSendTo(int) {}
