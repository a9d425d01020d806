#include "app/CSearchBox.h"

#include "app/SearchIndexer.h"
#include "app/SearchResultsPage.h"
#include "browser/CKelvorView.h"
#include "browser/CTabView.h"
#include "frame/FrameInterface.h"
#include "navtree/CLeftView.h"
#include "platform/HomeFolder.h"
#include "store/Store.h"
#include "store/StoreProblem.h"
#include "store/TreeFileItems.h"

#include <QKeyEvent>
#include <QTimer>
#include <QWebEngineNavigationRequest>

#include <stdexcept>

namespace {

constexpr int kMaxHits = 200;
// Long enough to let a word be typed, short enough to feel immediate.
constexpr int kTypingPauseMs = 150;

} // namespace

CSearchBox::CSearchBox(CLeftView* tree, CTabView* tabs, QWidget* parent)
    : QLineEdit(parent), tree_(tree), tabs_(tabs), typing_(new QTimer(this)),
      indexer_(kelvor::platform::programFolder().empty()
                   ? nullptr
                   : new SearchIndexer(kelvor::platform::programFolder(), this)) {
    setObjectName(QStringLiteral("searchBox"));
    setPlaceholderText(QStringLiteral("查找收藏与频道 (Ctrl+K)"));
    setClearButtonEnabled(true);
    typing_->setSingleShot(true);
    typing_->setInterval(kTypingPauseMs);
    connect(typing_, &QTimer::timeout, this, &CSearchBox::runQuery);
    connect(this, &QLineEdit::textEdited, typing_, qOverload<>(&QTimer::start));
    connect(this, &QLineEdit::returnPressed, this, &CSearchBox::runQuery);
    // Without a home folder there is nothing to index.
    if (!indexer_)
        return;
    // Said where the user looks after a search: the status bar.
    connect(indexer_, &SearchIndexer::indexProblem, this, [this](const QString& problem) {
        indexProblem_ = problem;
        if (kelvor::app::IMainFrame* frame = kelvor::app::mainFrame(); frame && !problem.isEmpty())
            frame->SetStatusText(problem.toStdString());
    });
    // Files changed while the program was closed are found at start.
    connect(indexer_, &SearchIndexer::updated, this, [this](int indexed) {
        if (indexed > 0 && !text().trimmed().isEmpty())
            runQuery();
    });
    indexer_->requestUpdate();
}

CSearchBox::~CSearchBox() = default;

kelvor::store::Store* CSearchBox::store() {
    if (store_ && store_->replaced())
        store_.reset();
    if (!store_ && !kelvor::platform::programFolder().empty()) {
        try {
            store_ = std::make_unique<kelvor::store::Store>(kelvor::platform::programFolder());
        } catch (const std::exception&) {
            return nullptr;
        }
    }
    return store_.get();
}

void CSearchBox::runQuery() {
    typing_->stop();
    QString query = text().trimmed();
    if (query.isEmpty())
        return;
    hits_.clear();
    total_ = 0;
    query_ = query;
    QString problem = fetchHits(query, 0);
    if (!problem.isEmpty()) {
        showFailure(query, problem);
        return;
    }
    showHits();
}

// The next page of the query's hits, added to hits_; the reason when the
// search failed, else empty.
QString CSearchBox::fetchHits(const QString& query, size_t offset) {
    kelvor::store::Store* db = store();
    if (!db)
        return QString::fromStdString(
            kelvor::store::searchProblemText(std::runtime_error("无法打开搜索索引 kelvor.db")));
    try {
        kelvor::store::SearchResult found =
            kelvor::store::search(*db, query.toStdString(), offset, kMaxHits);
        hits_.insert(hits_.end(), std::make_move_iterator(found.hits.begin()),
                     std::make_move_iterator(found.hits.end()));
        total_ = found.total;
        return {};
    } catch (const kelvor::store::StoreError& error) {
        recoverStore(error);
        return QString::fromStdString(kelvor::store::searchProblemText(error));
    } catch (const std::exception& error) {
        store_.reset(); // opened again next time
        return QString::fromStdString(kelvor::store::searchProblemText(error));
    }
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

void CSearchBox::recoverStore(const kelvor::store::StoreError& error) {
    if (!error.damaged()) {
        store_.reset(); // opened again next time
        return;
    }
    // Rebuilt here, filled by the indexer, whose update runs the query again.
    try {
        store_->recover();
    } catch (const std::exception&) {
        store_.reset();
    }
    if (indexer_)
        indexer_->requestUpdate();
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
        QString problem = fetchHits(query_, hits_.size());
        problem.isEmpty() ? showHits() : showFailure(query_, problem);
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
        if (tree_->SelectIndexedItem(hit.file, hit.position))
            tree_->setFocus();
        return;
    }
    tree_->MarkIndexedEntryRead(hit.file, hit.channel, hit.entry);
    if (kelvor::app::IMainFrame* frame = kelvor::app::mainFrame())
        frame->ShowDescription(kelvor::store::readItemDescription(hit.file, hit.position));
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
    if (indexer_)
        indexer_->requestUpdate();
}

void CSearchBox::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        clear();
        tree_->setFocus();
        return;
    }
    QLineEdit::keyPressEvent(event);
}
