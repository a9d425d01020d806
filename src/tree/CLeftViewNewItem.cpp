// Placeholder: the properties dialog lands with the editing work.
#include "tree/CLeftView.h"

void CLeftView::OnProperties() {}
void CLeftView::OnNewItem() {}
