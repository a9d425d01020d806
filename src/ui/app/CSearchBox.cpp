#include "app/CSearchBox.h"

#include "app/SearchResultsPage.h"
#include "browser/CKelvorView.h"
#include "browser/CTabView.h"
#include "frame/FrameInterface.h"
#include "collection/CollectionStore.h"
#include "navtree/CLeftView.h"
#include "store/StoreProblem.h"
#include "store/TreeFileItems.h"

#include <utility>
#include <QKeyEvent>
#include <QTimer>
#include <QWebEngineNavigationRequest>


namespace {

constexpr int kMaxHits = 200;
// Long enough to let a word be typed, short enough to feel immediate.
constexpr int kTypingPauseMs = 150;

} // namespace

CSearchBox::CSearchBox(CLeftView* tree, CTabView* tabs, CollectionStore* collection,
                       QWidget* parent)
    : QLineEdit(parent), tree_(tree), tabs_(tabs), typing_(new QTimer(this)),
      collection_(collection) {
    setObjectName(QStringLiteral("searchBox"));
    setPlaceholderText(QStringLiteral("查找收藏与频道 (Ctrl+K)"));
    setClearButtonEnabled(true);
    typing_->setSingleShot(true);
    typing_->setInterval(kTypingPauseMs);
    connect(typing_, &QTimer::timeout, this, &CSearchBox::runQuery);
    connect(this, &QLineEdit::textEdited, typing_, qOverload<>(&QTimer::start));
    connect(this, &QLineEdit::returnPressed, this, &CSearchBox::runQuery);
    if (!collection_)
        return;
    // Said where the user looks after a search: the status bar.
    connect(collection_, &CollectionStore::indexProblem, this, [this](const QString& problem) {
        indexProblem_ = problem;
        if (kelvor::app::IMainFrame* frame = kelvor::app::mainFrame(); frame && !problem.isEmpty())
            frame->SetStatusText(problem.toStdString());
    });
    // A first index of a large collection takes a while: the status bar
    // says how far it has got, and when it is done.
    connect(collection_, &CollectionStore::indexProgress, this, [this](int looked, int found) {
        indexingShown_ = true;
        if (kelvor::app::IMainFrame* frame = kelvor::app::mainFrame())
            frame->SetStatusText("正在建立搜索索引：已查看 " + std::to_string(looked) + "/" +
                                 std::to_string(found) + " 个文件…");
    });
    // Files changed while the program was closed are found at start.
    connect(collection_, &CollectionStore::indexUpdated, this, [this](int indexed) {
        if (std::exchange(indexingShown_, false))
            if (kelvor::app::IMainFrame* frame = kelvor::app::mainFrame())
                frame->SetStatusText("搜索索引已是最新");
        if (indexed > 0 && !text().trimmed().isEmpty())
            runQuery();
    });
    collection_->requestIndexUpdate();
}

CSearchBox::~CSearchBox() = default;

void CSearchBox::runQuery() {
    typing_->stop();
    QString query = text().trimmed();
    if (query.isEmpty())
        return;
    hits_.clear();
    total_ = 0;
    query_ = query;
    fetchHits(query, 0);
}

void CSearchBox::fetchHits(const QString& query, size_t offset) {
    int asked = ++asked_;
    if (!collection_) {
        showFailure(query, QString::fromStdString(kelvor::store::storeUnopenedText()));
        return;
    }
    searching_ = true;
    QPointer<CSearchBox> self(this);
    collection_->search(
        query.toStdString(), offset, kMaxHits,
        [self, asked, query](const kelvor::store::SearchResult& found, const QString& problem) {
            if (!self || asked != self->asked_)
                return;
            self->searching_ = false;
            if (!problem.isEmpty()) {
                self->showFailure(query, problem);
                // A store rebuilt after damage fills again from the files.
                self->collection_->requestIndexUpdate();
                return;
            }
            self->hits_.insert(self->hits_.end(), found.hits.begin(), found.hits.end());
            self->total_ = found.total;
            self->showHits();
        });
}

void CSearchBox::showHits() {
    showPage(kelvor::app::searchResultsPage(hits_, query_, total_));
    if (kelvor::app::IMainFrame* frame = kelvor::app::mainFrame();
        frame && !indexProblem_.isEmpty())
        frame->SetStatusText(indexProblem_.toStdString());
}

// Said on the page where the hits would be, never as "nothing found".
void CSearchBox::showFailure(const QString& query, const QString& problem) {
    showPage(QStringLiteral("<!DOCTYPE html><html><head><meta charset=\"utf-8\">"
                            "<title>查找：%1</title></head><body><h1>查找“%1”</h1>"
                            "<p class=\"failed\">%2</p></body></html>")
                 .arg(query.toHtmlEscaped(), problem.toHtmlEscaped()));
    if (kelvor::app::IMainFrame* frame = kelvor::app::mainFrame())
        frame->SetStatusText(problem.toStdString());
}

void CSearchBox::showPage(const QString& html) {
    CKelvorView* page = tabs_->GetActivePage();
    if (!page)
        return;
    if (shownIn_ != page) {
        if (shownIn_) {
            disconnect(shownIn_, &QWebEngineView::urlChanged, this, nullptr);
            disconnect(shownIn_->page(), &QWebEnginePage::navigationRequested, this, nullptr);
        }
        shownIn_ = page;
        connect(page, &QWebEngineView::urlChanged, this, [this](const QUrl& url) {
            if (isResultsPage(url))
                followFragment(url.fragment());
            else if (url.scheme() != QLatin1String("data"))
                showingResults_ = false; // the page went elsewhere
        });
        // A title with an address leaves the page without a fragment to
        // follow: the click is seen on its way out.
        connect(page->page(), &QWebEnginePage::navigationRequested, this,
                [this, page](QWebEngineNavigationRequest& request) {
                    if (request.isMainFrame() &&
                        request.navigationType() ==
                            QWebEngineNavigationRequest::LinkClickedNavigation &&
                        (showingResults_ || isResultsPage(page->url())))
                        markFollowedLink(request.url());
                });
    }
    showingResults_ = true;
    page->setHtml(html, kelvor::app::searchResultsBaseUrl());
}

void CSearchBox::followFragment(const QString& fragment) {
    if (fragment == QLatin1String("more")) {
        fetchHits(query_, hits_.size());
        return;
    }
    bool show = fragment.startsWith(QLatin1String("show-"));
    if (!show && !fragment.startsWith(QLatin1String("open-")))
        return;
    bool ok = false;
    size_t index = fragment.mid(5).toUInt(&ok);
    if (!ok || index >= hits_.size())
        return;
    const kelvor::store::Hit& hit = hits_[index];
    if (show) {
        // An entry that left its channel has no place in the copy: its
        // channel is shown.
        bool found = hit.history ? tree_->SelectChannelOfCopy(hit.file)
                                 : tree_->SelectIndexedItem(hit.file, hit.position);
        if (found)
            tree_->setFocus();
        return;
    }
    tree_->MarkIndexedEntryRead(hit.file, hit.channel, hit.entry);
    if (kelvor::app::IMainFrame* frame = kelvor::app::mainFrame())
        frame->ShowDescription(hit.history
                                   ? hit.snippet
                                   : kelvor::store::readItemDescription(hit.file, hit.position));
}

bool CSearchBox::isResultsPage(const QUrl& url) {
    return url.adjusted(QUrl::RemoveFragment) == kelvor::app::searchResultsBaseUrl();
}

// Every hit leading there was read: one story can be an entry of two channels.
void CSearchBox::markFollowedLink(const QUrl& url) {
    auto normal = [](const QUrl& address) {
        return address.adjusted(QUrl::StripTrailingSlash | QUrl::NormalizePathSegments);
    };
    for (const kelvor::store::Hit& hit : hits_) {
        std::string link = kelvor::app::hitAddress(hit);
        if (!link.empty() && normal(QUrl(QString::fromStdString(link))) == normal(url))
            tree_->MarkIndexedEntryRead(hit.file, hit.channel, hit.entry);
    }
}

void CSearchBox::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    if (collection_)
        collection_->requestIndexUpdate();
}

void CSearchBox::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        clear();
        tree_->setFocus();
        return;
    }
    QLineEdit::keyPressEvent(event);
}
