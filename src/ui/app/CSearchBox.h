// The search box above the tree: results as you type, in a page of the
// browser area; a click on a hit opens it like the tree opens the item, and
// 在导航栏中显示 selects it in the tree.
#pragma once

#include "store/Search.h"

#include <QLineEdit>
#include <QPointer>

#include <memory>
#include <vector>

class CKelvorView;
class CLeftView;
class CTabView;
class CollectionStore;
class QTimer;

class CSearchBox : public QLineEdit {
    Q_OBJECT
  public:
    // Without a collection (no home folder) the box finds nothing.
    CSearchBox(CLeftView* tree, CTabView* tabs, CollectionStore* collection,
               QWidget* parent = nullptr);
    ~CSearchBox() override;

    // Runs the query in the box now; its page shows when the answer comes.
    void runQuery();
    const std::vector<kelvor::store::Hit>& hits() const { return hits_; }
    // How many hits the last query has; hits() holds the first of them.
    int64_t total() const { return total_; }
    // A question is out and its answer not yet shown.
    bool searching() const { return searching_; }
    // What a fragment of the results page asks: "open-N", "show-N" or
    // "more" (the next hits of the same query).
    void followFragment(const QString& fragment);
    // A link of the results page was followed to `url`: the hits leading
    // there are read.
    void markFollowedLink(const QUrl& url);

  protected:
    void focusInEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void showPage(const QString& html);
    void showFailure(const QString& query, const QString& problem);
    // Asks for the query's hits from `offset` on; they join hits_ when
    // they come, unless another query was asked meanwhile.
    void fetchHits(const QString& query, size_t offset);
    void showHits();
    static bool isResultsPage(const QUrl& url);

    CLeftView* tree_;
    CTabView* tabs_;
    QTimer* typing_;
    CollectionStore* collection_;
    bool indexingShown_ = false; // the status bar tells of an update under way
    int asked_ = 0; // the number of the latest question; older answers are dropped
    bool searching_ = false;
    std::vector<kelvor::store::Hit> hits_;
    int64_t total_ = 0;
    QString query_;        // whose hits hits_ holds
    QString indexProblem_; // the indexer's last word on why it cannot index
    QPointer<CKelvorView> shownIn_;
    // The page in shownIn_ is the results page: the engine may report its
    // address as the data: address the HTML was loaded under, not the base.
    bool showingResults_ = false;
};
