// Command routing, and the commands the frame carries itself.
#include "app/CAddressBar.h"
#include "app/CKelvorApp.h"
#include "app/CMainFrame.h"
#include "app/CSearchBox.h"
#include "app/ClearCache.h"
#include "app/ShortcutsDialog.h"
#include "app/SyncControl.h"
#include "collection/CollectionService.h"
#include "app/CollectionTransfer.h"
#include "frame/Addresses.h"
#include "frame/CommandIds.h"
#include "browser/BrowserOptions.h"
#include "browser/CKelvorView.h"
#include "browser/CTabView.h"
#include "navtree/CLeftView.h"
#include "platform/HomeFolder.h"

#include <QApplication>
#include <QFileDialog>
#include <QStatusBar>
#include <QTabBar>
#include <QToolBar>

namespace cmd = kelvor::cmd;
namespace browser = kelvor::browser;

void CMainFrame::setActiveView(ActiveView view) { activeView_ = view; }

void CMainFrame::OnCommand(int id) {
    bool handled = activeView_ == ActiveView::Tree ? leftView_->handleCommand(id)
                                                   : tabView_->GetActivePage()->handleCommand(id);
    if (handled || handleFrameCommand(id) || routeToPageAnyway(id))
        return;
    if (auto* app = qobject_cast<CKelvorApp*>(QCoreApplication::instance()))
        app->handleCommand(id);
}

// Commands only a page can carry out (find, zoom, source, save, print...)
// still reach the visible page when the tree has the focus: there is nothing
// else they could mean. Editing keys are left to the focused tree.
bool CMainFrame::routeToPageAnyway(int id) {
    if (activeView_ != ActiveView::Tree)
        return false;
    switch (id) {
    case cmd::kEditCut:
    case cmd::kEditCopy:
    case cmd::kEditPaste:
    case cmd::kEditSelectAll:
    case cmd::kEditUndo:
    case cmd::kEditRedo:
        return false;
    default:
        return tabView_->GetActivePage()->handleCommand(id);
    }
}

bool CMainFrame::handleFrameCommand(int id) {
    switch (id) {
    case cmd::kFindInCollection:
        if (!navPaneVisible)
            ToggleNavPane();
        searchBox_->setFocus(Qt::ShortcutFocusReason);
        searchBox_->selectAll();
        return true;
    case cmd::kBack:
        tabView_->GetActivePage()->triggerPageAction(QWebEnginePage::Back);
        return true;
    case cmd::kForward:
        tabView_->GetActivePage()->triggerPageAction(QWebEnginePage::Forward);
        return true;
    case cmd::kStop:
        tabView_->GetActivePage()->triggerPageAction(QWebEnginePage::Stop);
        return true;
    case cmd::kRefresh:
        tabView_->GetActivePage()->triggerPageAction(QWebEnginePage::Reload);
        return true;
    case cmd::kGo:
        addressBar_->OnGo();
        return true;
    case cmd::kHome:
        OnHome();
        return true;
    case cmd::kNavPane:
        ToggleNavPane();
        return true;
    case cmd::kViewToolbar:
        toolBar_->setVisible(toolBar_->isHidden());
        return true;
    case cmd::kViewStatusBar:
        statusBar()->setVisible(statusBar()->isHidden());
        return true;
    case cmd::kFileNew:
        leftView_->handleCommand(cmd::kNewItem);
        return true;
    case cmd::kFileOpen:
        OnFileOpen();
        return true;
    case cmd::kSoftwareHome:
        NavigateTo(kelvor::addr::kSoftwareHomePage);
        return true;
    case cmd::kSearch:
        NavigateTo(kelvor::addr::kSearchPage);
        return true;
    case cmd::kAddFavorite:
    case cmd::kOrganizeFavorites:
    case cmd::kInternetOptions:
        tabView_->GetActivePage()->handleCommand(id);
        return true;
    case cmd::kImportChannelList:
        kelvor::app::importChannelList(this, leftView_);
        return true;
    case cmd::kImportBookmarks:
        kelvor::app::importBookmarks(this, leftView_);
        return true;
    case cmd::kExportChannelList:
        kelvor::app::exportChannelList(this);
        return true;
    case cmd::kClearCache:
        kelvor::app::ClearCache(collection_.get());
        return true;
    case cmd::kSyncAccount:
        syncControl_->editAccount();
        return true;
    case cmd::kSyncNow:
        syncControl_->syncNow(true);
        return true;
    case cmd::kOptionSilent:
    case cmd::kOptionPopup:
    case cmd::kOptionSdi:
        OnToggleOption(id);
        return true;
    case cmd::kClosePage:
        OnClosePage();
        return true;
    case cmd::kNextPane:
    case cmd::kPrevPane:
        OnNextPane();
        return true;
    case cmd::kAppExit:
        close();
        return true;
    case cmd::kNewPage:
    case cmd::kNextPage:
    case cmd::kPrevPage:
        switchPages(id);
        return true;
    case cmd::kUnreadOnly:
        showUnreadOnly(!leftView_->UnreadOnly());
        return true;
    case cmd::kShortcuts:
        kelvor::app::showShortcuts(this);
        return true;
    case cmd::kNextUnread:
    case cmd::kPrevUnread:
    case cmd::kToggleRead:
    case cmd::kMarkAllRead:
        // From the menu while a page has the focus: still the tree's.
        return leftView_->handleCommand(id);
    default:
        return false;
    }
}

void CMainFrame::OnHome() { NavigateTo(homeAddress()); }

std::string CMainFrame::homeAddress() const {
    std::string home, index, about;
    leftView_->ReadTreeRootAttributes(kelvor::platform::indexFile(), &home, &index, &about);
    return home.empty() ? std::string(kelvor::addr::kDefaultHomePage) : home;
}

QString CMainFrame::openFileFilter() {
    return QStringLiteral("HTML Files (*.htm *.html);;XML Files (*.xml);;Text Files (*.txt);;GIF Files (*.gif);;"
                          "JPEG Files (*.jpg *.jpeg);;AU Files (*.au);;AIFF Files (*.aif *.aiff);;"
                          "XBM Files (*.xbm);;All Files (*)");
}

void CMainFrame::OnFileOpen() {
    QString path = QFileDialog::getOpenFileName(this, QStringLiteral("打开"), QString(), openFileFilter());
    if (!path.isEmpty())
        OpenFile(path);
}

void CMainFrame::OpenFile(const QString& path) { tabView_->GetActivePage()->Navigate2(path); }

void CMainFrame::OnClosePage() {
    tabView_->ClosePage(tabView_->tabCtrl->currentIndex());
    CKelvorView* page = tabView_->GetActivePage();
    activeView_ = ActiveView::Page;
    page->setFocus();
}

void CMainFrame::OnToggleOption(int id) {
    CTabView* tabs = tabView_;
    switch (id) {
    case cmd::kOptionSilent:
        tabs->silent = !tabs->silent;
        browser::writeOption(browser::kSilentOption, tabs->silent);
        break;
    case cmd::kOptionPopup:
        tabs->blockPopups = !tabs->blockPopups;
        browser::writeOption(browser::kPopupOption, tabs->blockPopups);
        break;
    case cmd::kOptionSdi:
        tabs->singleWindow = !tabs->singleWindow;
        browser::writeOption(browser::kSdiOption, tabs->singleWindow);
        break;
    }
    updateCommandStates();
}

// With two panes, the next pane and the previous one are the same: the
// focus moves between the tree and the page.
void CMainFrame::OnNextPane() {
    if (activeView_ == ActiveView::Tree || !navPaneVisible) {
        tabView_->GetActivePage()->setFocus(Qt::TabFocusReason);
        activeView_ = ActiveView::Page;
    } else {
        leftView_->setFocus(Qt::TabFocusReason);
        activeView_ = ActiveView::Tree;
    }
}
