// Printing pages: one page setup shared by every page for the whole run,
// and a print dialog per print.
#pragma once

class QWebEngineView;
class QWidget;

namespace kelvor::browser {

// File > 打印设置: paper, orientation and margins for later prints.
void showPageSetup(QWidget* parent);
// File > 打印: asks for the printer, then prints the page in the background.
void printPage(QWebEngineView* view);

} // namespace kelvor::browser
