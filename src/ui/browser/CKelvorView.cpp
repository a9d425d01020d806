#include "browser/CKelvorView.h"

#include "browser/AddressUrl.h"
#include "browser/CKelvorPage.h"
#include "browser/CTabView.h"
#include "browser/DescriptionPage.h"
#include "frame/FrameInterface.h"
#include "platform/AddressPolicy.h"

#include <QChildEvent>
#include <QMouseEvent>
#include <QWebEngineProfile>
#include <QWebEngineScript>

namespace browser = kelvor::browser;

CKelvorView::CKelvorView(CTabView* ownerView, QWebEngineProfile* profile, QWidget* parent)
    : QWebEngineView(parent), owner(ownerView) {
    page_ = new CKelvorPage(profile ? profile : QWebEngineProfile::defaultProfile(), this);
    setPage(page_);
    connect(page_, &QWebEnginePage::titleChanged, this, &CKelvorView::OnTitleChange);
    connect(page_, &QWebEnginePage::loadFinished, this, &CKelvorView::OnDocumentComplete);
    connect(page_, &QWebEnginePage::linkHovered, this, [this](const QString& url) {
        if (owner && tabIndex >= 0)
            emit owner->linkHovered(url);
    });
}

CKelvorView::~CKelvorView() {
    detach();
}

void CKelvorView::detach() {
    owner = nullptr;
    disconnect(page_, nullptr, this, nullptr);
    page_->detachView();
}

bool CKelvorView::Navigate2(const QString& address) {
    if (kelvor::platform::isScriptAddress(address.toStdString()))
        return false;
    // Whatever is asked for now is no description, even about:blank.
    showingDescription_ = false;
    QUrl url = browser::addressToUrl(address);
    if (!url.isEmpty())
        load(url);
    return true;
}

void CKelvorView::RunBookmarklet(const QString& address) {
    // The engine runs a javascript: address it is asked to load in the
    // document it shows.
    QUrl url = browser::addressToUrl(address);
    if (!url.isEmpty())
        load(url);
}

void CKelvorView::setSilent(bool silent) {
    page_->silent = silent;
}
bool CKelvorView::isSilent() const {
    return page_->silent;
}
QString CKelvorView::locationUrl() const {
    return browser::displayAddress(url());
}

void CKelvorView::ShowDescription(const QString& text) {
    // A description is shown in place: the address box keeps what it shows.
    showingDescription_ = true;
    page_->setHtml(browser::descriptionPage(text), browser::descriptionBaseUrl());
}

// ---- events -------------------------------------------------------------------

void CKelvorView::OnBeforeNavigate2(const QUrl& url) {
    if (showingDescription_ && url != browser::descriptionBaseUrl() &&
        url.scheme() != QLatin1String("data"))
        showingDescription_ = false;
    if (tabIndex == -1 || !owner)
        return;
    if (showingDescription_) {
        owner->UpdatePageTab(tabIndex, std::nullopt, std::nullopt, CTabView::kImageLoading, this);
        return;
    }
    QString address = browser::displayAddress(url);
    if (title.isEmpty()) {
        title = address;
        owner->UpdatePageTab(tabIndex, title, address, CTabView::kImageLoading, this);
    } else {
        owner->UpdatePageTab(tabIndex, std::nullopt, std::nullopt, CTabView::kImageLoading, this);
    }
}

void CKelvorView::OnTitleChange(const QString& text) {
    title = text;
    if (owner)
        owner->UpdatePageTab(tabIndex, text, std::nullopt, CTabView::kImageTitle, this);
}

void CKelvorView::OnDocumentComplete() {
    if (owner)
        owner->UpdatePageTab(tabIndex, std::nullopt,
                             showingDescription_ ? std::nullopt
                                                 : std::optional<QString>(locationUrl()),
                             CTabView::kImageDone, this);
    // The vertical scroll bar stays, so pages of different lengths do not
    // jump sideways. Run apart from the page's own scripts.
    page_->runJavaScript(
        QStringLiteral("if (document.body) document.body.style.overflowY = 'scroll';"),
        QWebEngineScript::ApplicationWorld);
}

CKelvorView* CKelvorView::OnNewWindow2(QWebEnginePage::WebWindowType) {
    // A hidden page (a blocked pop-up, or one waiting in the pool) opens
    // nothing: pop-ups that open pop-ups would otherwise make hidden pages
    // without end.
    if (tabIndex == -1)
        return nullptr;
    bool userInitiated = userClicked && browser::isRecentPress(clock(), clickTime);
    userClicked = false;
    bool singleWindow = owner && owner->singleWindow;
    bool blockPopups = owner && owner->blockPopups;
    auto action = browser::decideNewWindow(userInitiated, singleWindow, blockPopups);
    auto* frame = kelvor::app::mainFrame();
    if (action == browser::NewWindowAction::Refuse || !frame)
        return nullptr;
    return frame->OpenNewPage(action == browser::NewWindowAction::OpenActive);
}

void CKelvorView::NotePress() {
    clickTime = clock();
    userClicked = true;
}

// The web content lives in a child widget (the focus proxy) that is made
// after the view; every child is watched and presses on the proxy count.
bool CKelvorView::event(QEvent* event) {
    if (event->type() == QEvent::ChildAdded) {
        QObject* child = static_cast<QChildEvent*>(event)->child();
        if (child->isWidgetType())
            child->installEventFilter(this);
    }
    return QWebEngineView::event(event);
}

bool CKelvorView::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress && watched == focusProxy()) {
        auto button = static_cast<QMouseEvent*>(event)->button();
        // The middle button opens links in new tabs: a wish, not a pop-up.
        if (button == Qt::LeftButton || button == Qt::RightButton || button == Qt::MiddleButton)
            NotePress();
    }
    return QWebEngineView::eventFilter(watched, event);
}
