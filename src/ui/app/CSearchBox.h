// The search box above the tree: results as you type, in a page of the
// browser area; a click on a hit opens it like the tree opens the item, and
// 在导航栏中显示 selects it in the tree.
#pragma once

#include "store/Search.h"

#include <QLineEdit>
#include <QPointer>

#include <memory>
#include <vector>

namespace kelvor::store {
class Store;
}
class CKelvorView;
class CLeftView;
class CTabView;
class QTimer;
class SearchIndexer;

class CSearchBox : public QLineEdit {
    Q_OBJECT
  public:
    CSearchBox(CLeftView* tree, CTabView* tabs, QWidget* parent = nullptr);
    ~CSearchBox() override;

    // Runs the query in the box now and shows its page.
    void runQuery();
    const std::vector<kelvor::store::Hit>& hits() const { return hits_; }
    // How many hits the last query has; hits() holds the first of them.
    int64_t total() const { return total_; }
    SearchIndexer* indexer() const { return indexer_; }
    // What a fragment of the results page asks: "open-N", "show-N" or
    // "more" (the next hits of the same query).
    void followFragment(const QString& fragment);

  protected:
    void focusInEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    kelvor::store::Store* store();
    void recoverStore(const kelvor::store::StoreError& error);
    void showPage(const QString& html);
    void showFailure(const QString& query, const QString& problem);
    QString fetchHits(const QString& query, size_t offset);
    void showHits();
    static bool isResultsPage(const QUrl& url);
    void markFollowedLink(const QUrl& url);

    CLeftView* tree_;
    CTabView* tabs_;
    QTimer* typing_;
    SearchIndexer* indexer_;
    std::unique_ptr<kelvor::store::Store> store_;
    std::vector<kelvor::store::Hit> hits_;
    int64_t total_ = 0;
    QString query_;        // whose hits hits_ holds
    QString indexProblem_; // the indexer's last word on why it cannot index
    QPointer<CKelvorView> shownIn_;
    // The page in shownIn_ is the results page: the engine may report its
    // address as the data: address the HTML was loaded under, not the base.
    bool showingResults_ = false;
};
