#include "app/CMainFrame.h"

#include "app/CAddressBar.h"
#include "app/CAutoUpdate.h"
#include "app/COptionsDlg.h"
#include "app/HistorySetting.h"
#include "app/CSearchBox.h"
#include "app/SessionState.h"
#include "app/NewsNotifier.h"
#include "app/TrayIcon.h"
#include "browser/BrowserProfile.h"
#include "browser/CKelvorView.h"
#include "browser/CTabView.h"
#include "collection/CollectionService.h"
#include "frame/CommandIds.h"
#include "navtree/CLeftView.h"
#include "platform/HomeFolder.h"
#include "tree/Strings.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QToolBar>
#include <QVBoxLayout>
#include <QWebEngineHistory>
#include <QWebEngineProfile>

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle(QString::fromUtf8(kelvor::str::kAppTitle));
    setWindowIcon(QIcon(QStringLiteral(":/icons/kelvor.svg")));
    profile_.reset(kelvor::browser::createBrowserProfile(nullptr));
    // The tree and the pages reach the frame from the start, so it is known
    // before they exist.
    kelvor::app::setMainFrame(this);
    createPanes();
    createStatusBar();
    createToolBar();
    addressBar_ = new CAddressBar(this, this);
    addToolBar(Qt::TopToolBarArea, addressBar_);
    addressBar_->LoadTypedUrls();
    // The bars stay where they are: a bar dragged loose or hidden from a
    // context menu had no way back (the View menu shows and hides the
    // toolbar, nothing hides the address bar).
    for (QToolBar* bar : {toolBar_, static_cast<QToolBar*>(addressBar_)}) {
        bar->setMovable(false);
        bar->setFloatable(false);
        bar->toggleViewAction()->setVisible(false);
    }
    connect(addressBar_, &QToolBar::actionTriggered, this,
            [this](QAction* action) { OnCommand(action->data().toInt()); });
    createMenus();
    createAccelerators();
    createNewsWatch();

    connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget*, QWidget* now) { onFocusChanged(now); });
    connect(tabView_, &CTabView::activePageChanged, this, &CMainFrame::updateHistoryButtons);
    connect(tabView_, &CTabView::linkHovered, this, [this](const QString& url) {
        if (url.isEmpty())
            statusBar()->clearMessage();
        else
            statusBar()->showMessage(url);
    });

    QSize screen = QApplication::primaryScreen() ? QApplication::primaryScreen()->availableSize()
                                                 : QSize(1280, 800);
    resize(std::clamp(screen.width() * 4 / 5, 800, 1400),
           std::clamp(screen.height() * 4 / 5, 560, 960));
}

CMainFrame::~CMainFrame() {
    if (kelvor::app::mainFrame() == this)
        kelvor::app::setMainFrame(nullptr);
    if (kelvor::app::readMarks() == collection_.get())
        kelvor::app::setReadMarks(nullptr);
    // The background work goes first: downloads are cancelled and joined,
    // the jobs queued on kelvor.db (read marks among them) run now, while
    // the panes they report to are still there; they do without it from
    // here on.
    if (leftView_)
        leftView_->releaseCollection();
    collection_.reset();
    // The pages go before the profile they use.
    delete splitter_;
    splitter_ = nullptr;
    profile_.reset();
}

void CMainFrame::createPanes() {
    splitter_ = new QSplitter(Qt::Horizontal, this);
    splitter_->setObjectName(QStringLiteral("splitter"));
    splitter_->setChildrenCollapsible(false);
    // The search box sits above the tree; hiding the pane hides both.
    auto* navPane = new QWidget(splitter_);
    auto* layout = new QVBoxLayout(navPane);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    collection_ = std::make_unique<CollectionService>(kelvor::platform::programFolder());
    kelvor::app::applyHistoryLimits(collection_.get());
    connect(collection_.get(), &CollectionService::statusChanged, this,
            [this](const QString& text) { SetStatusText(text.toStdString()); });
    leftView_ = new CLeftView(navPane);
    leftView_->setCollection(collection_.get());
    // The pages of channels and hot categories show the service's marks.
    kelvor::app::setReadMarks(collection_.get());
    tabView_ = new CTabView(splitter_, profile_.get());
    searchBox_ = new CSearchBox(leftView_, tabView_, collection_->store(), navPane);
    layout->addWidget(searchBox_);
    layout->addWidget(leftView_);
    splitter_->addWidget(navPane);
    splitter_->addWidget(tabView_);
    // Hiding the navigation pane gives its column a width of 0.
    splitter_->setCollapsible(0, true);
    splitter_->setStretchFactor(0, 0);
    splitter_->setStretchFactor(1, 1);
    splitter_->setSizes({260, 840});
    setCentralWidget(splitter_);
}

void CMainFrame::createStatusBar() {
    statusLabel_ = new QLabel(QString::fromUtf8(kelvor::str::kIdleStatus), this);
    statusLabel_->setObjectName(QStringLiteral("statusText"));
    statusLabel_->setContentsMargins(4, 0, 4, 0);
    statusBar()->addWidget(statusLabel_, 1);
}

void CMainFrame::createNewsWatch() {
    titleBase_ = titleShown_ = windowTitle();
    // The pages set the title as they change; the total stays before it.
    connect(this, &QWidget::windowTitleChanged, this, [this](const QString& title) {
        if (title == titleShown_)
            return;
        titleBase_ = title;
        showUnreadTotal(unreadTotal_);
    });
    notifier_ = new NewsNotifier(this, leftView_, this);
    connect(collection_.get(), &CollectionService::updateFinished, notifier_,
            &NewsNotifier::updateFinished);
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        // 立即更新 is what the 工具 menu's runs; 退出 what the 文件 menu's does.
        tray_ = new TrayIcon(
            this, [this] { autoUpdate_->tick(); }, [this] { OnCommand(kelvor::cmd::kAppExit); },
            this);
        tray_->show();
        // Hidden in the tray, the window is no reason to quit when a box
        // of its own closes; closing it for good quits (closeEvent).
        QApplication::setQuitOnLastWindowClosed(false);
    }
    connect(collection_.get(), &CollectionService::unreadTotalChanged, this,
            &CMainFrame::showUnreadTotal);
    collection_->requestUnreadTotal();
}

void CMainFrame::showUnreadTotal(int total) {
    unreadTotal_ = total;
    if (tray_)
        tray_->setUnreadTotal(total);
    titleShown_ = total > 0 ? QStringLiteral("(%1) %2").arg(total).arg(titleBase_) : titleBase_;
    setWindowTitle(titleShown_);
}

void CMainFrame::initialUpdate(bool restoreSession) {
    std::optional<kelvor::app::SessionState> session;
    if (restoreSession)
        session = kelvor::app::readSession();
    skipStartPage_ = session && !session->pages.isEmpty();
    leftView_->OnInitialUpdate();
    skipStartPage_ = false;
    if (session)
        applySession(*session);
}

// ---- the frame operations ---------------------------------------------------

void CMainFrame::NavigateTo(const std::string& address) {
    if (skipStartPage_)
        return;
    SetAddressText(address);
    tabView_->Navigate(QString::fromStdString(address));
}

void CMainFrame::SetAddressText(const std::string& text) {
    addressBar_->SetAddressText(QString::fromStdString(text));
}

void CMainFrame::SetStatusText(const std::string& text) {
    statusLabel_->setText(QString::fromStdString(text));
}

QString CMainFrame::statusText() const {
    return statusLabel_->text();
}

CKelvorView* CMainFrame::OpenNewPage(bool activate) {
    return tabView_->CreatePage(std::nullopt, activate);
}

void CMainFrame::NavigatePage(CKelvorView* page, const std::string& address) {
    if (page)
        page->Navigate2(QString::fromStdString(address));
}

void CMainFrame::RunBookmarklet(const std::string& address) {
    if (CKelvorView* page = tabView_->GetActivePage())
        page->RunBookmarklet(QString::fromStdString(address));
}

void CMainFrame::ShowOptions() {
    COptionsDlg dialog(tabView_, this);
    if (dialog.exec() == QDialog::Accepted)
        kelvor::app::applyHistoryLimits(collection_.get());
}

void CMainFrame::ShowDescription(const std::string& text) {
    if (CKelvorView* page = tabView_->GetActivePage())
        page->ShowDescription(QString::fromStdString(text));
}

// ---- panes ------------------------------------------------------------------

void CMainFrame::ToggleNavPane() {
    navPaneVisible = !navPaneVisible;
    QList<int> sizes = splitter_->sizes();
    int total = sizes.value(0) + sizes.value(1);
    if (!navPaneVisible) {
        savedNavPaneWidth = sizes.value(0);
        if (splitter_->widget(0)->isAncestorOf(QApplication::focusWidget()))
            tabView_->GetActivePage()->setFocus();
        splitter_->setSizes({0, total});
    } else {
        splitter_->setSizes({savedNavPaneWidth, std::max(0, total - savedNavPaneWidth)});
    }
    if (QAction* action = commandAction(kelvor::cmd::kNavPane))
        action->setChecked(navPaneVisible);
}

void CMainFrame::onFocusChanged(QWidget* now) {
    if (!now)
        return;
    if (now == leftView_ || leftView_->isAncestorOf(now))
        activeView_ = ActiveView::Tree;
    else if (tabView_->isAncestorOf(now))
        activeView_ = ActiveView::Page;
    else
        return;
    // Disabled edit entries leave their keys to the focused tree or page.
    updateEditCommandStates();
}

void CMainFrame::updateHistoryButtons() {
    CKelvorView* page = tabView_->activePage;
    if (QAction* back = commandAction(kelvor::cmd::kBack))
        back->setEnabled(!page || page->history()->canGoBack());
    if (QAction* forward = commandAction(kelvor::cmd::kForward))
        forward->setEnabled(!page || page->history()->canGoForward());
}

// Qt's menu of bars to show or hide: the View menu does that.
QMenu* CMainFrame::createPopupMenu() {
    return nullptr;
}

// ---- closing ----------------------------------------------------------------

void CMainFrame::closeEvent(QCloseEvent* event) {
    // The window manager's close button (a spontaneous close) hides the
    // window in the tray when asked to; File > 退出 closes it for good.
    if (event->spontaneous() && tray_ && tray_->isVisible() && TrayIcon::closeToTray()) {
        hide();
        event->ignore();
        return;
    }
    if (!closed_) {
        closed_ = true;
        addressBar_->SaveTypedUrls();
        saveSession();
        leftView_->DestroyWindow();
    }
    event->accept();
    if (tray_)
        QApplication::quit(); // quitting no longer follows the last window
}
