// One browser page. Reports its navigation events to its tab view, decides
// what a document's request for a new window becomes, shows descriptions in
// place and carries the page commands of the menus.
//
//   CKelvorView.cpp          events, new windows, mouse presses, descriptions
//   CKelvorViewCommands.cpp  the command ids a page handles
#pragma once

#include "browser/NewWindowPolicy.h"

#include <QString>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <functional>

class CFindBar;
class CKelvorPage;
class CTabView;
class QWebEngineProfile;

class CKelvorView : public QWebEngineView {
    Q_OBJECT
  public:
    // A null profile means the default one.
    CKelvorView(CTabView* owner, QWebEngineProfile* profile, QWidget* parent);
    ~CKelvorView() override;

    QString title;                       // last title reported; emptied on reuse
    CTabView* owner = nullptr;           // the tab view that made the page
    bool userClicked = false;            // a press in the page since the last new-window request
    int tabIndex = -1;                   // -1: pooled page or pop-up sink
    CKelvorView* previousPage = nullptr; // active before this one was activated
    kelvor::browser::SteadyTime clickTime{};
    // The clock the 4-second rule reads (tests replace it).
    std::function<kelvor::browser::SteadyTime()> clock = &std::chrono::steady_clock::now;

    // Loads an address (a web address, or a local path made a file URL).
    // A script address (javascript:, vbscript:, data:) is refused, false:
    // loaded, it would run in the page on screen, or make a page of its
    // author's choosing. Only RunBookmarklet runs one.
    bool Navigate2(const QString& address);
    // A bookmarklet of the user's own files, run in the page on screen.
    void RunBookmarklet(const QString& address);
    void setSilent(bool silent);
    bool isSilent() const;
    QString locationUrl() const;
    void ShowDescription(const QString& text);

    // ---- events
    void OnBeforeNavigate2(const QUrl& url);
    void OnTitleChange(const QString& text);
    // The page to load the new window into, or null to refuse it.
    CKelvorView* OnNewWindow2(QWebEnginePage::WebWindowType type);
    void OnDocumentComplete();
    // A mouse button went down inside the web content.
    void NotePress();

    // ---- commands (CKelvorViewCommands.cpp); false when not a page command
    bool handleCommand(int id);
    // Whether an edit command (cut, copy, paste, select all, undo, redo)
    // can act on the page now, as the engine sees it.
    bool isEditCommandEnabled(int id) const;
    // The zoom command (32801..32805) matching the current zoom, or 0.
    int currentZoomCommand() const;
    // Stops reporting to the tab view (it is going away).
    void detach();

  protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void OnFind();
    void OnViewSource();
    void OnSaveAs();
    void OnPrint();
    void OnProperties();
    void OnAddFavorite();
    void OnOrganizeFavorites();
    void OnInternetOptions();
    void setZoomLevel(int level);

    CKelvorPage* page_;
    CFindBar* findBar_ = nullptr;
    bool showingDescription_ = false; // a description page, not a navigation, is shown
};
