// The frame's side of reading with the keyboard: a new page, the next and
// previous page, and Space reading on through the page before the tree
// opens the next unread entry.
#include "app/CAddressBar.h"
#include "app/CMainFrame.h"
#include "browser/CKelvorView.h"
#include "browser/CTabView.h"
#include "frame/CommandIds.h"

#include "navtree/CLeftView.h"

#include <QComboBox>
#include <QSettings>
#include <QLineEdit>
#include <QWebEnginePage>
#include <QWebEngineScript>

namespace cmd = kelvor::cmd;

void CMainFrame::switchPages(int commandId) {
    if (commandId == cmd::kNewPage) {
        if (OpenNewPage(true)) {
            addressBar_->combo->setFocus(Qt::ShortcutFocusReason);
            addressBar_->combo->lineEdit()->selectAll();
        }
        return;
    }
    int count = tabView_->tabCount();
    if (count < 2)
        return;
    int active = 0;
    while (active < count && tabView_->pageAt(active) != tabView_->GetActivePage())
        ++active;
    int step = commandId == cmd::kNextPage ? 1 : count - 1;
    tabView_->ActivatePage((active + step) % count);
}

namespace {
const char* const kUnreadOnlyKey = "View/UnreadOnly";
}

void CMainFrame::showUnreadOnly(bool on) {
    leftView_->SetUnreadOnly(on);
    QSettings().setValue(QLatin1String(kUnreadOnlyKey), on);
    updateCommandStates();
}

bool CMainFrame::unreadOnlySetting() {
    return QSettings().value(QLatin1String(kUnreadOnlyKey), false).toBool();
}

void CMainFrame::ScrollPageOrAtEnd(std::function<void()> atEnd) {
    CKelvorView* page = tabView_->GetActivePage();
    if (!page) {
        atEnd();
        return;
    }
    // In a world of its own, so no script of the page can answer for it.
    static const QString scrollOn = QStringLiteral(
        "(function () {"
        "  var e = document.scrollingElement || document.documentElement;"
        "  if (!e || e.scrollTop + window.innerHeight >= e.scrollHeight - 2) return true;"
        "  window.scrollBy(0, Math.max(40, window.innerHeight * 0.9));"
        "  return false;"
        "})()");
    page->page()->runJavaScript(scrollOn, QWebEngineScript::ApplicationWorld,
                                [atEnd](const QVariant& ended) {
                                    // A page that cannot answer has nothing to scroll.
                                    if (!ended.isValid() || ended.toBool())
                                        atEnd();
                                });
}
