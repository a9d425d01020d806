// The geometry rule of the tab view: a strip of fixed-size tabs along the
// bottom, shown only when there are two pages or more.
#pragma once

#include <QRect>

namespace kelvor::browser {

constexpr int kTabStripHeight = 26;
constexpr int kTabHeight = 24;
constexpr int kMaxTabWidth = 150;

// min(150, (clientWidth - 17) / tabCount - 2), in integer arithmetic.
int tabWidth(int clientWidth, int tabCount);

// Where the active page goes, and whether the strip shows.
bool tabStripVisible(int tabCount);
QRect pageRect(const QSize& client, int tabCount);
QRect tabStripRect(const QSize& client);

} // namespace kelvor::browser
