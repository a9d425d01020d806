#include "browser/CTabView.h"

#include "browser/AddressUrl.h"
#include "browser/BrowserOptions.h"
#include "browser/CKelvorView.h"
#include "browser/TabLayout.h"
#include "frame/FrameInterface.h"
#include "tree/Strings.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTabBar>
#include <QWebEngineHistory>

#include <algorithm>
#include <functional>
#include <set>

namespace browser = kelvor::browser;

namespace {

// Fixed-size tabs along the bottom; a right click anywhere on the strip
// closes the selected tab.
class CTabBar : public QTabBar {
  public:
    explicit CTabBar(QWidget* parent) : QTabBar(parent) {}
    std::function<void()> onRightClick;

  protected:
    QSize tabSizeHint(int) const override {
        return QSize(std::max(16, browser::tabWidth(width(), count())), browser::kTabHeight);
    }
    QSize minimumTabSizeHint(int index) const override { return tabSizeHint(index); }
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() == Qt::RightButton && onRightClick) {
            onRightClick();
            return;
        }
        QTabBar::mouseReleaseEvent(event);
    }
};

// "&" in a title is text, not a mnemonic.
QString tabText(const QString& text) {
    QString escaped = text;
    return escaped.replace(QLatin1Char('&'), QLatin1String("&&"));
}

} // namespace

CTabView::CTabView(QWidget* parent, QWebEngineProfile* profile)
    : QWidget(parent), profile_(profile) {
    silent = browser::readOption(browser::kSilentOption);
    blockPopups = browser::readOption(browser::kPopupOption);
    singleWindow = browser::readOption(browser::kSdiOption);

    auto* bar = new CTabBar(this);
    bar->onRightClick = [this] {
        if (tabCount() > 0)
            ClosePage(tabCtrl->currentIndex());
    };
    tabCtrl = bar;
    tabCtrl->setObjectName(QStringLiteral("tabCtrl"));
    tabCtrl->setShape(QTabBar::RoundedSouth);
    tabCtrl->setExpanding(false);
    tabCtrl->setUsesScrollButtons(false);
    tabCtrl->setElideMode(Qt::ElideRight);
    tabCtrl->setFocusPolicy(Qt::NoFocus);
    tabCtrl->setIconSize(QSize(16, 16));
    tabCtrl->setFont(QApplication::font());
    tabCtrl->hide();
    connect(tabCtrl, &QTabBar::currentChanged, this, &CTabView::onTabSelected);
}

CTabView::~CTabView() {
    // Pages go before the profile they use, and report nothing on the way.
    for (CKelvorView* page : allPages_) {
        page->detach();
        page->stop();
    }
    for (CKelvorView* page : allPages_)
        delete page;
}

int CTabView::tabCount() const {
    return tabCtrl->count();
}

CKelvorView* CTabView::pageAt(int index) const {
    if (index < 0 || index >= tabCount())
        return nullptr;
    return tabCtrl->tabData(index).value<CKelvorView*>();
}

QIcon CTabView::tabIcon(int image) {
    switch (image) {
    case kImageDone:
        return QIcon(QStringLiteral(":/icons/tab/page-done.svg"));
    case kImageLoading:
        return QIcon(QStringLiteral(":/icons/tab/page-loading.svg"));
    default:
        return QIcon(QStringLiteral(":/icons/tab/page-new.svg"));
    }
}

CKelvorView* CTabView::newPage() {
    auto* page = new CKelvorView(this, profile_, this);
    page->setGeometry(0, 0, 0, 0);
    // A jump to an anchor or a script's history step changes no title and
    // ends no load, yet Back may become possible.
    connect(page, &QWebEngineView::urlChanged, this, [this, page] {
        if (page == activePage)
            emit activePageChanged();
    });
    allPages_.push_back(page);
    return page;
}

CKelvorView* CTabView::CreatePage(const std::optional<QString>& text, bool activate) {
    bool sink = blockPopups && !activate;
    CKelvorView* page = nullptr;
    if (!pagePool.empty()) {
        page = pagePool.front();
        if (sink) {
            // The pool's head takes the pop-up but stays pooled and hidden.
            page->setSilent(true);
            return page;
        }
        pagePool.pop_front();
        page->title.clear();
        // A reused page offers no way back into what its last tab showed.
        page->history()->clear();
    } else {
        page = newPage();
        if (sink) {
            page->setSilent(true);
            page->tabIndex = -1;
            page->hide();
            return page;
        }
    }
    page->setSilent(silent);
    page->tabIndex = tabCount();
    changingTabs_ = true;
    tabCtrl->addTab(tabIcon(kImageTitle), tabText(text.value_or(QStringLiteral("about:blank"))));
    tabCtrl->setTabData(page->tabIndex, QVariant::fromValue(page));
    changingTabs_ = false;
    if (activate) {
        page->previousPage = activePage;
        if (activePage)
            activePage->hide();
        activePage = page;
        page->show();
    } else {
        page->previousPage = nullptr;
        page->hide();
    }
    applyLayout();
    if (activate && tabCount() >= 2) {
        changingTabs_ = true;
        tabCtrl->setCurrentIndex(tabCount() - 1);
        changingTabs_ = false;
    }
    if (activate)
        emit activePageChanged();
    return page;
}

void CTabView::Navigate(const QString& address) {
    if (!activePage && !CreatePage(std::nullopt, true))
        return;
    // The page answers later; a refused address leaves the tab as it was.
    if (!activePage->Navigate2(address))
        return;
    if (auto* frame = kelvor::app::mainFrame())
        frame->SetAddressText(address.toStdString());
    for (int i = tabCount() - 1; i >= 0; --i) {
        if (pageAt(i) == activePage) {
            tabCtrl->setTabText(i, tabText(address));
            tabCtrl->setTabIcon(i, tabIcon(kImageLoading));
            break;
        }
    }
}

QStringList CTabView::pageAddresses() const {
    QStringList addresses;
    for (int i = 0; i < tabCount(); ++i) {
        CKelvorView* page = pageAt(i);
        // A load just asked for has no address of its own yet.
        QUrl url = page->url().isEmpty() ? page->page()->requestedUrl() : page->url();
        addresses << browser::displayAddress(url);
    }
    return addresses;
}

int CTabView::activePageIndex() const {
    return activePage ? activePage->tabIndex : -1;
}

void CTabView::ReopenPages(const QStringList& addresses, int active) {
    int first = tabCount();
    for (const QString& address : addresses) {
        // Made active one by one: a page asked for in the background would be
        // the pop-up sink while pop-ups are blocked.
        CKelvorView* page = CreatePage(address, true);
        page->Navigate2(address);
    }
    if (active >= 0 && active < addresses.size())
        ActivatePage(first + active);
}

CKelvorView* CTabView::GetActivePage() {
    if (!activePage)
        CreatePage(std::nullopt, true);
    return activePage;
}

void CTabView::UpdatePageTab(int index, const std::optional<QString>& title,
                             const std::optional<QString>& url, int image, CKelvorView* page) {
    if (index < 0 || index >= tabCount())
        return;
    if (page == activePage) {
        if (title)
            setMainWindowText(*title);
        if (url)
            if (auto* frame = kelvor::app::mainFrame())
                frame->SetAddressText(url->toStdString());
    }
    tabCtrl->setTabIcon(index, tabIcon(image));
    if (title) {
        tabCtrl->setTabText(index, tabText(*title));
        tabCtrl->setTabToolTip(index, *title);
    }
    if (page == activePage)
        emit activePageChanged();
}

void CTabView::ActivatePage(int index) {
    CKelvorView* page = pageAt(index);
    if (!page)
        return;
    if (auto* frame = kelvor::app::mainFrame())
        frame->SetAddressText(page->locationUrl().toStdString());
    setMainWindowText(page->title);
    if (activePage)
        activePage->hide();
    page->previousPage = activePage;
    activePage = page;
    page->show();
    page->setFocus();
    applyLayout();
    if (tabCtrl->currentIndex() != index) {
        changingTabs_ = true;
        tabCtrl->setCurrentIndex(index);
        changingTabs_ = false;
    }
    emit activePageChanged();
}

void CTabView::ClosePage(int index) {
    CKelvorView* page = pageAt(index);
    if (!page)
        return;
    activePage = nullptr;
    changingTabs_ = true;
    tabCtrl->removeTab(index);
    changingTabs_ = false;
    page->tabIndex = -1;
    page->Navigate2(QStringLiteral("about:blank"));
    page->setGeometry(0, 0, 0, 0);
    page->hide();
    pagePool.push_back(page);
    for (int i = index; i < tabCount(); ++i)
        pageAt(i)->tabIndex = i;
    if (tabCount() == 0) {
        CreatePage(QStringLiteral("about:blank"), true);
        return;
    }
    ActivatePage(nextPageAfterClose(page));
}

// The nearest page in the closed page's activation history that still has
// a tab; the last tab when there is none (or the history runs in a circle).
int CTabView::nextPageAfterClose(CKelvorView* closed) const {
    int last = tabCount() - 1;
    std::set<CKelvorView*> visited;
    for (CKelvorView* page = closed->previousPage; page; page = page->previousPage) {
        if (!visited.insert(page).second)
            break;
        if (page->tabIndex != -1)
            return page->tabIndex < tabCount() ? page->tabIndex : last;
    }
    return last;
}

void CTabView::applyLayout() {
    int count = tabCount();
    if (activePage)
        activePage->setGeometry(browser::pageRect(size(), count));
    if (!browser::tabStripVisible(count)) {
        tabCtrl->hide();
        return;
    }
    tabCtrl->setGeometry(browser::tabStripRect(size()));
    tabCtrl->show();
    tabCtrl->raise();
}

void CTabView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    applyLayout();
}

void CTabView::setMainWindowText(const QString& title) {
    window()->setWindowTitle(title + QStringLiteral("-") +
                             QString::fromUtf8(kelvor::str::kAppTitle));
}

void CTabView::onTabSelected(int index) {
    if (!changingTabs_ && index >= 0)
        ActivatePage(index);
}
