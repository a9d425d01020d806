// The navigation tree: items built lazily from tree files, channels loaded
// on expansion, and in-place editing of the user's categories.
//
// One class, one file per concern:
//   CLeftView.cpp          loading, population, expansion, item lifetime
//   CLeftViewChannels.cpp  channel expansion, refresh, what downloads bring
//   CLeftViewOpen.cpp      clicks, Enter and the open/view/copy-link commands
//   CLeftViewEdit.cpp      creation from the clipboard, set fields, delete
//   CLeftViewNewItem.cpp   the properties and new-item commands
//   CLeftViewPaste.cpp     context menu, copy, paste, send to
//   CLeftViewFind.cpp      finding an item of the search index in the tree
//   CLeftViewSelectChannel.cpp  selecting a channel by its copy (a notification)
//   CLeftViewMarks.cpp     unread entries and counts, the collection service
//   CLeftViewBackground.cpp  what the automatic update asks and shows
//   CLeftViewReading.cpp   reading with the keyboard
//   CLeftViewUndo.cpp      undo of edits
//   CLeftViewHistory.cpp   the 历史条目 line of a channel
//   CLeftViewCommands.cpp  command ids routed to the handlers
//   CLeftViewSync.cpp      stars of synced entries, what a sync changed
#pragma once

#include "feeds/DownloadTask.h"
#include "frame/FrameInterface.h"
#include "platform/XmlDom.h"

#include <QIcon>
#include <QTreeWidget>

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

namespace kelvor::tree {
class CopyFinder;
struct ChannelCopy;
} // namespace kelvor::tree
struct HotHeadlines;
struct HotHeadlineLoad;
class CLeftView;
class CollectionService;

// A tree item and the TreeNode element it stands for. Placeholders have a
// null node. Deleting the item releases the node (and with the last item of a
// file, the file's document).
//
// Column 0's roles that every item has are kept in members rather than in
// QTreeWidgetItem's lists of variants, and a label or entry key that the node
// of a channel copy gives is not kept at all (CTreeItemRoles.cpp): a
// thousand channels open are 200,000 items.
class CTreeItem : public QTreeWidgetItem {
  public:
    explicit CTreeItem(CLeftView* view);
    ~CTreeItem() override;

    QVariant data(int column, int role) const override;
    void setData(int column, int role, const QVariant& value) override;
    // The label and icons of an item being built, as setText and
    // CLeftView::setItemIcons give them, without a variant for each: a
    // channel of a thousand entries builds a thousand items.
    void setFirstLook(const QString& label, int icon, int selectedIcon);

    kelvor::xml::Node node;
    bool expandedOnce = false;

  private:
    // False, forgetting what was kept for the role, when it is not a role
    // (or a value) kept here: QTreeWidgetItem keeps it then.
    bool keep(int role, const QVariant& value);
    void keepText(const QString& label);
    // Invalid with *found false when not kept here.
    QVariant kept(int role, bool* found) const;
    bool nodeIsFixed() const;
    QString nodeAttribute(const char* name) const;

    enum class Kept : unsigned char { kNo, kInMember, kByNode };
    static constexpr signed char kNoIcon = -128;
    // What few entries have: a label or key of their own.
    struct OwnStrings {
        QString text, entryKey;
    };
    OwnStrings& own();

    CLeftView* view_;
    QString cacheFile_; // kCacheFileRole, shared by a channel's entries
    QIcon icon_;        // Qt::DecorationRole (the view's icons are shared)
    std::unique_ptr<OwnStrings> own_;
    Kept textKept_ = Kept::kNo, keyKept_ = Kept::kNo;
    bool hasCacheFile_ = false, hasIcon_ = false;
    signed char font_ = -1; // Qt::FontRole: -1 unset, else one of the shared fonts
    signed char iconIndex_ = kNoIcon, selectedIconIndex_ = kNoIcon;
    signed char unread_ = -1; // kEntryUnreadRole: -1 unset, else 0 or 1
};

struct CategoryEntry {
    QTreeWidgetItem* item = nullptr; // the item the category file was loaded into
    std::string path;                // as given to LoadTreeFile
    std::string title;               // the item's label at load time
};

class CLeftView : public QTreeWidget {
    Q_OBJECT
  public:
    // Which channels of a file being loaded have their headlines brought
    // up to date (the channels of a hot category show their latest entry).
    enum class HeadlineUpdates { kNone, kExpired, kAll };
    // What loading a file does about headlines: what its type says (hot:
    // the expired ones), or all of them (a hot category refreshed).
    enum class LoadMode { kAsFileSays, kAllHeadlines };

    explicit CLeftView(QWidget* parent = nullptr);
    ~CLeftView() override;

    // ---- loading and expansion (CLeftView.cpp)
    void OnInitialUpdate();
    bool LoadTreeFile(const std::string& path, QTreeWidgetItem* parent,
                      LoadMode mode = LoadMode::kAsFileSays);
    void PopulateItems(const kelvor::xml::Node& first, QTreeWidgetItem* parent);
    // Each output is assigned only when its attribute is present.
    static bool ReadTreeRootAttributes(const std::string& path, std::string* home,
                                       std::string* index, std::string* about);
    void OnItemExpanding(QTreeWidgetItem* item);
    void DeleteFirstChild(QTreeWidgetItem* item);
    void DeleteChildItems(QTreeWidgetItem* item);
    // Saves the file holding the first top-level item's children (at close).
    void DestroyWindow();

    static kelvor::xml::Node nodeOf(QTreeWidgetItem* item);
    // The children that stand for TreeNodes (not placeholders or lines).
    static QList<QTreeWidgetItem*> NodeChildren(QTreeWidgetItem* parent);
    // True when item is ancestor or lies anywhere below it.
    static bool IsWithin(const QTreeWidgetItem* ancestor, const QTreeWidgetItem* item);
    static std::string GetNodeAttribute(const kelvor::xml::Node& node, const char* name);
    static std::string GetNodeDescription(const kelvor::xml::Node& node);
    // The local file a node was loaded from ("" for one fetched from the web).
    static std::string LocalFileOf(const kelvor::xml::Node& node); // CLeftViewMarks.cpp
    // One icon for both states: `icon` normally, `selectedIcon` when selected.
    static QIcon itemIcon(int icon, int selectedIcon);
    static void setItemIcons(QTreeWidgetItem* item, int icon, int selectedIcon);
    static int iconOf(QTreeWidgetItem* item);
    static int selectedIconOf(QTreeWidgetItem* item);
    // A word in the frame's status bar, when there is a frame.
    static void ShowStatus(const std::string& text);
    static constexpr int kIconRole = Qt::UserRole;
    static constexpr int kSelectedIconRole = Qt::UserRole + 1;
    QTreeWidgetItem* rootItem() const { return invisibleRootItem(); }
    // A placeholder child "正在加载中..." with the given selected icon.
    QTreeWidgetItem* addPlaceholder(QTreeWidgetItem* parent, int selectedIcon);
    QTreeWidgetItem* makePlaceholder(int selectedIcon);

    // ---- channels (CLeftViewChannels.cpp)
    void ExpandChannel(QTreeWidgetItem* item, const kelvor::xml::Node& node);
    // The headline downloads of a hot file's channels, queued as the
    // finder tells which copies are not fresh; in the channels' order.
    void UpdateHeadlines(const QList<QTreeWidgetItem*>& channels);
    // Copies of hot files' channels are still looked for: headline
    // downloads may yet be queued.
    bool awaitingHeadlines() const;
    void OnRefresh();
    // A download the tree asked for is in; `byUpdate` when the automatic
    // update asked, which has counted and indexed it.
    void OnDownloadComplete(const kelvor::feeds::DownloadTask& task, bool byUpdate);
    void QueueDownload(kelvor::feeds::DownloadRequest request);
    void QueueDownloadFirst(kelvor::feeds::DownloadRequest request);

    // ---- opening (CLeftViewOpen.cpp)
    void OnItemClick(QTreeWidgetItem* item);
    void OnItemDblClick(QTreeWidgetItem* item);
    void OnOpenItem();
    void OnViewItem();
    void OnOpenInNewWindow();
    void OnCopyLink();
    // True when the point (viewport coordinates) lies on an item's label text.
    QTreeWidgetItem* labelItemAt(const QPoint& point) const;

    // ---- editing (CLeftViewEdit.cpp)
    kelvor::xml::Node CreateItemNode(const kelvor::xml::Node& reference, const std::string& title,
                                     const std::string& href, const std::string& nodeSrc,
                                     const std::string& rss, const std::string& desc, bool asChild);
    bool ApplyItemFields(const kelvor::xml::Node& node, const std::string& title,
                         const std::string& href, const std::string& nodeSrc,
                         const std::string& rss, const std::string& desc);
    bool StoreHeadline(const kelvor::xml::Node& node, const std::string& title,
                       const std::string& href, const std::string& nodeSrc,
                       const std::string& descText, const std::string& date);
    QTreeWidgetItem* InsertNodeItem(const kelvor::xml::Node& node, const std::string& title,
                                    int image, int selectedImage, QTreeWidgetItem* parent,
                                    QTreeWidgetItem* after);
    bool GetOwnerTreeInfo(const kelvor::xml::Node& node, std::string& type, std::string& baseUrl);
    bool IsEditableNode(const kelvor::xml::Node& node);
    std::string GetClipboardText();
    void OnNewTextItem();
    void OnNewLinkItem();
    void OnNewChannelItem();
    void OnNewTextChild();
    void OnSetDescFromClipboard();
    void OnSetLinkFromClipboard();
    void OnSetChannelFromClipboard();
    void OnDeleteItem();
    // Saves the node's document; on failure shows the save-failure message.
    void SaveOwnerDocument(const kelvor::xml::Node& node);
    // `after` values of InsertNodeItem besides a sibling: first or last place.
    static QTreeWidgetItem* const kInsertFirst;
    static QTreeWidgetItem* const kInsertLast;
    // The tree item for a node just created before `at` (or as its last
    // child), put at the same place in the tree. With icon < 0 the icon
    // follows the node's kind, as a reload would show it.
    QTreeWidgetItem* InsertBeside(QTreeWidgetItem* at, const kelvor::xml::Node& node, bool asChild,
                                  int icon = -1);

    // ---- properties and new item (CLeftViewNewItem.cpp)
    void OnProperties();
    void OnNewItem();
    bool CreateCategoryFile(const std::string& path, const std::string& title, bool isHot);
    // Lists a category made outside the tree (an import) last under a loaded
    // 我的收藏, through the document the tree's next edit saves (or, when it
    // shows no items, in its file, shown again). False when 我的收藏 is not
    // loaded: its file can then be changed on disk.
    bool ListUnderLoadedFavorites(const std::string& title, const std::string& nodeSrc);

    // ---- context menu, copy and paste (CLeftViewPaste.cpp)
    void OnItemRightClick(const QPoint& viewportPos);
    void OnCopyItem();
    QTreeWidgetItem* PasteItem(QTreeWidgetItem* source, QTreeWidgetItem* destination, bool asChild);
    void OnPasteItem();
    void OnPasteChildren();
    void OnSendTo(int commandId);
    // Menu 131 as it would be shown for the selected item (tests look at it).
    class QMenu* BuildContextMenu(QTreeWidgetItem* item);

    // ---- finding indexed items (CLeftViewFind.cpp)
    // Selects the item at `position` ("2.0.5", among TreeNode siblings) of
    // the tree file `file`, expanding what it must. False when no item of the
    // tree leads to that file or the position is not there.
    bool SelectIndexedItem(const std::string& file, const std::string& position);
    // Marks an indexed entry (a search hit) read, as opening it in the tree
    // does, whether the tree shows its channel or not.
    void MarkIndexedEntryRead(const std::string& file, const std::string& channel,
                              const std::string& entry);
    // The item whose children come from `file` (the invisible root for the
    // top-level file), or nullptr.
    QTreeWidgetItem* itemLeadingTo(const std::string& file);
    // The same, opening local sub-trees not opened yet until it is found.
    QTreeWidgetItem* findItemLeadingTo(const std::string& file);

    // ---- selecting a channel (CLeftViewSelectChannel.cpp)
    // Selects an item of the channel whose copy is `cacheFile` among those
    // loaded now, one in sight first; nothing is opened to find one. False
    // when the tree shows no such channel.
    bool SelectChannelOfCopy(const std::string& cacheFile);

    // ---- the collection service, unread marks (CLeftViewMarks.cpp)
    // The program's service (downloads, store, update), given before the
    // tree loads anything; without one (a view on its own) the view makes
    // its own for the home folder. Null once released.
    void setCollection(CollectionService* collection);
    CollectionService* collection();
    // The program's service is about to go: from now on the view has none.
    void releaseCollection();
    // Brings the index up to date for one file the tree just wrote, off the
    // window's thread.
    void IndexFileLater(const std::string& path);
    void IndexDocumentLater(const kelvor::xml::Node& node);
    // Entries loaded from a cache file under `parent`, from child `firstNew` on.
    void TrackEntries(QTreeWidgetItem* parent, const std::string& cacheFile, int firstNew);
    // A channel item shows the unread count of its cache file, once the
    // copy is found off the window's thread (at once when its entries load).
    void TrackChannel(QTreeWidgetItem* item);
    static bool IsEntry(QTreeWidgetItem* item);
    static bool IsEntryUnread(QTreeWidgetItem* item);
    // The count shown after a channel's title, -1 when it shows none.
    static int UnreadCountOf(QTreeWidgetItem* item);
    void SetEntryRead(QTreeWidgetItem* item, bool read);
    // An entry that is opened is read.
    void MarkOpened(QTreeWidgetItem* item);
    // Every channel at or under the item, loaded in the tree or not.
    void MarkAllRead(QTreeWidgetItem* item);
    // The store's answer for a cache file: counts and bold entries.
    void ApplyChannelState(const std::string& cacheFile, int unread,
                           const std::vector<std::string>& readEntries);

    // ---- background updates (CLeftViewBackground.cpp)
    // Asks the channels that are expanded and those of hot categories,
    // loaded or not, leaving selection, scrolling and focus alone.
    // False, queueing nothing, while the previous update still runs.
    bool StartBackgroundUpdate();
    bool BackgroundUpdateRunning();
    static constexpr int kCacheFileRole = Qt::UserRole + 2;   // channels and entries
    static constexpr int kEntryKeyRole = Qt::UserRole + 3;    // entries
    static constexpr int kUnreadCountRole = Qt::UserRole + 4; // channels
    static constexpr int kEntryUnreadRole = Qt::UserRole + 5; // entries
    // The 历史条目 line and its entries (CLeftViewHistory.cpp).
    static constexpr int kHistoryRole = Qt::UserRole + 6;     // the channel's copy
    static constexpr int kHistoryLinkRole = Qt::UserRole + 7; // its entries
    static constexpr int kHistoryTextRole = Qt::UserRole + 8;
    static constexpr int kHistoryLoadedRole = Qt::UserRole + 9; // the line
    static bool isHistoryLine(const QTreeWidgetItem* item);
    static constexpr int kStarredRole = Qt::UserRole + 10; // entries of synced channels

    // ---- the sync with a Tiny Tiny RSS server (CLeftViewSync.cpp)
    // An entry of a synced channel (its copy was written by the sync).
    static bool IsSyncedEntry(QTreeWidgetItem* item);
    static bool IsEntryStarred(QTreeWidgetItem* item);
    // Shows the star at once, on every item of the entry, and queues it
    // for the server.
    void SetEntryStarred(QTreeWidgetItem* item, bool starred);
    // Tree files a sync rewrote (its category, fav.xml): every place that
    // shows one loads it again.
    void ShowFilesChangedOutside(const std::vector<std::string>& files);
    // Opens a history entry: true when the item is one.
    bool openHistoryEntry(QTreeWidgetItem* item);

    // ---- reading with the keyboard (CLeftViewReading.cpp)
    // Opens the next (or previous) unread entry after the selection among
    // the channels of its category, expanding those not opened yet; false,
    // saying so in the status bar, when there is none.
    bool GoToUnread(bool forward);
    void ToggleSelectedRead();
    // The selected channel or category, or the channel of the selected entry.
    void MarkSelectedRead();
    // 只显示未读: read entries are hidden (not the selected one, which the
    // user is reading).
    void SetUnreadOnly(bool on);
    bool UnreadOnly() const { return unreadOnly_; }

    // ---- undo (CLeftViewUndo.cpp)
    bool CanUndo() const { return !undoSteps_.empty(); }
    // "撤销删除“甲”", "" when there is nothing to undo.
    std::string UndoText() const;
    // Writes back the files of the last edit as they were before it.
    bool Undo();
    // The saves made while one lives are one step, undone together.
    class UndoGroup {
      public:
        UndoGroup(CLeftView& view, std::string what);
        ~UndoGroup();
        UndoGroup(const UndoGroup&) = delete;
        UndoGroup& operator=(const UndoGroup&) = delete;

      private:
        CLeftView& view_;
    };

    // ---- command routing (CLeftViewCommands.cpp)
    // Runs a command id the tree handles; false when it is not the tree's.
    bool handleCommand(int id);

    // ---- session (CLeftViewSession.cpp)
    // Items named so that the names survive a restart: the TreeNode
    // positions among siblings from the top, each with the node's title,
    // which must still match for the item to count as the same.
    // The expanded items whose parents are all expanded, parents first.
    QStringList expandedPaths() const;
    // Expands the items of the paths (loading their files, asking for their
    // channels) and closes what else is open; an item whose title changed,
    // or whose file is gone, is skipped quietly, and what lies below it.
    void restoreExpanded(const QStringList& paths);
    // The selected item's path, "" with none.
    QString selectedPath() const;
    // Selects the item if it is shown; expands nothing. False when skipped.
    bool restoreSelection(const QString& path);

    // ---- state shared by the concerns
    std::vector<CategoryEntry> categories;
    QTreeWidgetItem* copiedItem = nullptr;
    HeadlineUpdates hotUpdateMode = HeadlineUpdates::kNone;

    // Called by CTreeItem's destructor: nothing may keep pointing at it.
    void forgetItem(QTreeWidgetItem* item);

  protected:
    bool event(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    // The expanded items under parent that are not wanted close.
    void collapseUnwanted(QTreeWidgetItem* parent, const std::set<QTreeWidgetItem*>& wanted);
    void listenTo(CollectionService* collection);  // CLeftViewMarks.cpp
    static bool isTreeKey(const QKeyEvent* event); // CLeftViewReading.cpp
    bool handleReadingKey(QKeyEvent* event);       // CLeftViewReading.cpp
    // A walk to the next unread entry waiting for the store to say which
    // entries of a channel it just expanded are read.
    struct UnreadWalk {
        bool forward = true;
        std::string cacheFile; // "" when none waits
    };
    UnreadWalk unreadWalk_;
    void continueUnreadWalk(const std::string& cacheFile);    // CLeftViewReading.cpp
    void setUnreadCount(QTreeWidgetItem* channel, int count); // CLeftViewMarks.cpp
    void sumFolders(QTreeWidgetItem* innermost);              // CLeftViewMarks.cpp
    void sumFolderSoon(QTreeWidgetItem* folder);              // CLeftViewMarks.cpp
    std::set<QTreeWidgetItem*> foldersToSum_;
    // CLeftViewHistory.cpp
    void showHistoryLine(const std::string& cacheFile);
    void expandHistoryLine(QTreeWidgetItem* line);
    // Hides the channel's read entries while only unread ones are shown.
    void showEntriesAsChosen(QTreeWidgetItem* channel); // CLeftViewReading.cpp
    // CLeftViewSync.cpp: the stars of a copy's synced entries from the store.
    void requestStars(const std::string& cacheFile, const std::vector<std::string>& keys);
    // Only the entries asked for. `asked`: each key with the count of stars set by hand on it when
    // asked; an answer about a key starred by hand since is out of date.
    void applyStars(const std::string& cacheFile, const std::map<std::string, unsigned>& asked,
                    const std::set<std::string>& starred);
    std::map<std::string, unsigned> starsSetByHand_; // cache file + "\n" + key
    bool unreadOnly_ = false;
    // CLeftViewUndo.cpp
    struct UndoFile {
        std::string path, bytes;
    };
    struct UndoStep {
        std::string what; // "删除“甲”"
        std::vector<UndoFile> files;
    };
    void rememberBeforeSave(const std::string& file);
    void closeUndoStep();
    void showFileAgain(const std::string& file, bool quietly = false);
    std::deque<UndoStep> undoSteps_;
    UndoStep openStep_;
    int undoDepth_ = 0;
    void onExpanded(QTreeWidgetItem* item);
    void requestChannelState(const std::string& cacheFile); // CLeftViewMarks.cpp
    void forgetItemInMarks(QTreeWidgetItem* item);          // CLeftViewMarks.cpp
    kelvor::tree::CopyFinder& copyFinder();                 // CLeftViewMarks.cpp
    void copyFound(QTreeWidgetItem* item, std::uint64_t ticket, const std::string& cacheFile);
    void adoptCopy(QTreeWidgetItem* item, const std::string& cacheFile);
    // The copies still being looked for, looked for at once: a command that
    // walks the channels cannot wait for the answers.
    void settleCopiesBeingLocated();              // CLeftViewMarks.cpp
    void scrollWithParent(QTreeWidgetItem* item); // CLeftViewFind.cpp
    void reloadInBackground(QTreeWidgetItem* channel, const std::string& cacheFile);
    // A new copy of a channel arrived for `item`: every other item showing
    // the same copy (the channel kept in two categories) shows it too.
    void showCopyElsewhere(QTreeWidgetItem* item, const std::string& cacheFile);
    void showLoadError(QTreeWidgetItem* channel, const std::string& text);
    void applyHeadline(QTreeWidgetItem* item, const kelvor::feeds::DownloadTask& task);
    // A renamed channel takes its copy along to the name its title gives.
    void carryCopyOfRenamed(const kelvor::xml::Node& node,
                            const std::string& oldCopy); // CLeftViewEdit.cpp
    void showHeadlineFromCopy(QTreeWidgetItem* item, const kelvor::xml::Node& node,
                              const std::string& cacheFile);
    // A channel that has just joined a hot category shows its latest entry
    // as its label and on the hot page, as those loaded with the file do.
    void showHeadlineOfNewChannel(QTreeWidgetItem* item, const kelvor::xml::Node& node);

    // The release that ends a double click is not another click.
    bool releaseEndsDoubleClick_ = false; // CLeftViewOpen.cpp
    bool tearingDown_ = false;
    CollectionService* collection_ = nullptr;          // the program's, when it gave one
    std::unique_ptr<CollectionService> ownCollection_; // else the view's own
    bool collectionGone_ = false;
    std::multimap<std::string, QTreeWidgetItem*> channelItems_; // by cache file
    // Channels whose copy is being looked for, with the ticket of the question.
    std::unordered_map<QTreeWidgetItem*, std::uint64_t> locatingCopies_;
    std::unique_ptr<kelvor::tree::CopyFinder> copyFinder_;
    // CLeftViewChannels.cpp
    void headlineCopyFound(QTreeWidgetItem* item, std::uint64_t ticket,
                           const kelvor::tree::ChannelCopy& copy);
    void saveHeadlinesKeptBack(HotHeadlineLoad& load, const kelvor::xml::Node& node);
    std::unique_ptr<HotHeadlines> hotHeadlines_;
};
