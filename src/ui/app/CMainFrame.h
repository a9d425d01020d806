// The main window: toolbar and address bar on one row, the navigation tree
// and the browser pages side by side, the status bar. The hub through which
// the tree reaches the browser side, and the router of every command.
//
//   CMainFrame.cpp          panes, bars, the frame operations, closing
//   CMainFrameMenus.cpp     menu 128, the toolbar buttons, the accelerators
//   CMainFrameCommands.cpp  command routing and the frame's own commands
//   SessionState.cpp        what is kept from one run to the next
#pragma once

#include "frame/FrameInterface.h"

#include <QMainWindow>

#include <map>
#include <memory>

class CAddressBar;
class CollectionService;
class CLeftView;
class CSearchBox;
class NewsNotifier;
class TrayIcon;
class CAutoUpdate;
class SyncControl;
class CTabView;
class QLabel;
class QMenu;
class QSplitter;
class QToolBar;
class QWebEngineProfile;
namespace kelvor::app {
struct SessionState;
}

class CMainFrame : public QMainWindow, public kelvor::app::IMainFrame {
    Q_OBJECT
  public:
    explicit CMainFrame(QWidget* parent = nullptr);
    ~CMainFrame() override;

    CLeftView* leftView() const { return leftView_; }
    CollectionService* collection() const { return collection_.get(); }
    QSplitter* splitter() const { return splitter_; }
    CTabView* tabView() const { return tabView_; }
    CSearchBox* searchBox() const { return searchBox_; }
    CAddressBar* addressBar() const { return addressBar_; }
    QToolBar* toolBar() const { return toolBar_; }
    NewsNotifier* newsNotifier() const { return notifier_; }
    SyncControl* syncControl() const { return syncControl_; }
    TrayIcon* trayIcon() const { return tray_; } // null where no tray is
    // Loads index.xml into the tree and opens the start page. With
    // `restoreSession` (the program's start, not a window made by a test),
    // brings back what the last close saved: the pages it kept open take
    // the start page's place.
    void initialUpdate(bool restoreSession = false);

    // ---- the frame operations
    void NavigateTo(const std::string& address) override;
    void SetAddressText(const std::string& text) override;
    void SetStatusText(const std::string& text) override;
    CKelvorView* OpenNewPage(bool activate) override;
    void NavigatePage(CKelvorView* page, const std::string& address) override;
    void RunBookmarklet(const std::string& address) override;
    void ShowDescription(const std::string& text) override;
    void ShowOptions() override;
    void ScrollPageOrAtEnd(std::function<void()> atEnd) override; // CMainFrameReading.cpp
    QString statusText() const;

    // ---- commands (CMainFrameCommands.cpp)
    // The view the user worked in last: it is asked first.
    enum class ActiveView { Tree, Page };
    ActiveView activeView() const { return activeView_; }
    void setActiveView(ActiveView view);
    // Routes a command id: the active view, then the frame, then the
    // application.
    void OnCommand(int id);
    bool handleFrameCommand(int id);
    void ToggleNavPane();
    void OnHome();
    // index.xml's Home, or the built-in default when it names none.
    std::string homeAddress() const;
    void OnFileOpen();
    void OpenFile(const QString& path);
    void OnClosePage();
    // A new page, or the next or previous one (CMainFrameReading.cpp).
    void switchPages(int commandId);
    // 只显示未读, kept for the next start (CMainFrameReading.cpp).
    void showUnreadOnly(bool on);
    static bool unreadOnlySetting();
    void OnToggleOption(int id);
    void OnNextPane();
    static QString openFileFilter();

    // ---- menus (CMainFrameMenus.cpp)
    // The action that carries a command id (menu, toolbar or accelerator).
    QAction* commandAction(int id) const;
    // Checks and enabled states as the menus should show them now.
    void updateCommandStates();
    void updateEditCommandStates();

    bool navPaneVisible = true;
    int savedNavPaneWidth = 0;

    QMenu* createPopupMenu() override;

    // ---- the session (SessionState.cpp)
    // The window, the panes, the tree's open and selected items and the
    // pages, for the next start.
    void saveSession() const;
    void applySession(const kelvor::app::SessionState& state);

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void createPanes();
    void createStatusBar();
    void createToolBar();
    void createMenus();
    void createAccelerators();
    QAction* makeAction(int id, const QString& text, const QString& statusTip = QString());
    QMenu* addMenu(const QString& title);
    void updateHistoryButtons();
    void onFocusChanged(QWidget* now);
    bool routeToPageAnyway(int id);
    // News: the unread total in the title and the tray, notifications.
    void createNewsWatch();
    void showUnreadTotal(int total);

    std::unique_ptr<QWebEngineProfile> profile_;
    // The one worker on kelvor.db; it goes after the panes that use it.
    std::unique_ptr<CollectionService> collection_;
    QSplitter* splitter_ = nullptr;
    CLeftView* leftView_ = nullptr;
    CSearchBox* searchBox_ = nullptr;
    CAutoUpdate* autoUpdate_ = nullptr;
    SyncControl* syncControl_ = nullptr;
    CTabView* tabView_ = nullptr;
    CAddressBar* addressBar_ = nullptr;
    QToolBar* toolBar_ = nullptr;
    QLabel* statusLabel_ = nullptr;
    std::map<int, QAction*> actions_;
    ActiveView activeView_ = ActiveView::Tree;
    bool closed_ = false;
    // While the tree loads at a start that brings pages back: its start
    // page would only be replaced.
    bool skipStartPage_ = false;
    NewsNotifier* notifier_ = nullptr;
    TrayIcon* tray_ = nullptr;
    int unreadTotal_ = 0;
    QString titleBase_;  // as the pages set it
    QString titleShown_; // with the unread total before it
};
