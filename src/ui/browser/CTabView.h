// The right pane: browser pages, one visible at a time, with a strip of tabs
// along the bottom once there are two. Closed pages are blanked and kept in
// a pool for reuse; pages are destroyed only with the view. The three
// browsing options live here, read from the settings at construction.
#pragma once

#include <QStringList>
#include <QWidget>

#include <deque>
#include <optional>
#include <vector>

class CKelvorView;
class QTabBar;
class QWebEngineProfile;

class CTabView : public QWidget {
    Q_OBJECT
public:
    // Tab images: document complete, new page or title known, loading.
    enum TabImage { kImageDone = 0, kImageTitle = 1, kImageLoading = 2 };

    // Pages use `profile` (null: the default profile). The profile must
    // outlive the view.
    explicit CTabView(QWidget* parent = nullptr, QWebEngineProfile* profile = nullptr);
    ~CTabView() override;

    // Without text the tab reads "about:blank". With pop-ups blocked, a page
    // asked for in the background is the hidden sink (no tab).
    CKelvorView* CreatePage(const std::optional<QString>& text, bool activate);
    void Navigate(const QString& address);
    CKelvorView* GetActivePage();
    void UpdatePageTab(int index, const std::optional<QString>& title, const std::optional<QString>& url,
                       int image, CKelvorView* page);
    void ActivatePage(int index);
    void ClosePage(int index);

    QTabBar* tabCtrl = nullptr;
    std::deque<CKelvorView*> pagePool;
    bool silent = true;
    bool blockPopups = false;
    bool singleWindow = false;
    CKelvorView* activePage = nullptr;

    int tabCount() const;
    CKelvorView* pageAt(int index) const;
    // Each tab's address in tab order, what is being loaded included.
    QStringList pageAddresses() const;
    // The active tab's index, -1 with none.
    int activePageIndex() const;
    // A new tab after the others for each address, loading at once; the one
    // at `active` (an index into addresses) is active, else the last.
    void ReopenPages(const QStringList& addresses, int active);
    static QIcon tabIcon(int image);

signals:
    // The active page's location, title or history may have changed, or
    // another page became active.
    void activePageChanged();
    void linkHovered(const QString& url);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    CKelvorView* newPage();
    void applyLayout();
    void setMainWindowText(const QString& title);
    int nextPageAfterClose(CKelvorView* closed) const;
    void onTabSelected(int index);

    QWebEngineProfile* profile_;
    std::vector<CKelvorView*> allPages_;
    bool changingTabs_ = false;
};
