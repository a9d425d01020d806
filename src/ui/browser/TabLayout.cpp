#include "browser/TabLayout.h"

#include <algorithm>

namespace kelvor::browser {

int tabWidth(int clientWidth, int tabCount) {
    if (tabCount <= 0)
        return kMaxTabWidth;
    return std::min(kMaxTabWidth, (clientWidth - 17) / tabCount - 2);
}

bool tabStripVisible(int tabCount) { return tabCount >= 2; }

QRect pageRect(const QSize& client, int tabCount) {
    if (!tabStripVisible(tabCount))
        return QRect(0, 0, client.width(), client.height());
    return QRect(0, 0, client.width(), std::max(0, client.height() - kTabStripHeight));
}

QRect tabStripRect(const QSize& client) {
    return QRect(0, client.height() - kTabStripHeight, client.width(), kTabStripHeight);
}

} // namespace kelvor::browser
