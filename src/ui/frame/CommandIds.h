// Command ids. A QAction carries its id (QAction::data), and commands are
// routed by id: the active view first, then the frame, then the application.
#pragma once

namespace kelvor::cmd {

constexpr int kGo = 1; // Go button / Enter in the address box

// File
constexpr int kFileNew = 57600;
constexpr int kFileOpen = 57601;
constexpr int kFileSave = 57603;
constexpr int kFileSaveAs = 57604;
constexpr int kFilePageSetup = 57606;
constexpr int kFilePrint = 57607;
constexpr int kFileProperties = 32821;
constexpr int kAppExit = 57665;
// Edit
constexpr int kEditCopy = 57634;
constexpr int kEditCut = 57635;
constexpr int kEditFind = 57636;
constexpr int kFindInCollection = 33100; // the search box above the tree
// Read marks of channel entries (tree context menu).
constexpr int kMarkRead = 33110;
constexpr int kMarkUnread = 33111;
constexpr int kMarkAllRead = 33112;
// Reading with the keyboard.
constexpr int kNextUnread = 33113;
constexpr int kPrevUnread = 33114;
constexpr int kToggleRead = 33115;
constexpr int kUnreadOnly = 33116; // 查看 > 只显示未读
// Stars of entries of channels synced with a Tiny Tiny RSS server.
constexpr int kStarEntry = 33117;
constexpr int kUnstarEntry = 33118;
// Pages.
constexpr int kNewPage = 33130;
constexpr int kNextPage = 33131;
constexpr int kPrevPage = 33132;
// 帮助 > 键盘快捷键
constexpr int kShortcuts = 33140;
// 工具 > 自动更新频道: off, every 30 minutes, every hour, every 4 hours.
constexpr int kAutoUpdateOff = 33120;
constexpr int kAutoUpdate30Minutes = 33121;
constexpr int kAutoUpdateHourly = 33122;
constexpr int kAutoUpdate4Hours = 33123;
constexpr int kAutoUpdateNow = 33124; // one update at once, the timer left as it is
constexpr int kImportChannelList = 33200; // OPML into a new category
constexpr int kImportBookmarks = 33201;   // a browser's bookmarks file into a new category
constexpr int kExportChannelList = 33202; // the user's channels as OPML
constexpr int kSyncAccount = 33210; // 工具 > 同步帐户…
constexpr int kSyncNow = 33211;     // 工具 > 立即同步
constexpr int kEditPaste = 57637;
constexpr int kEditSelectAll = 57642;
constexpr int kEditUndo = 57643;
constexpr int kEditRedo = 57644;
// View
constexpr int kNavPane = 32856;
constexpr int kViewToolbar = 59392;
constexpr int kViewStatusBar = 59393;
constexpr int kHome = 32794;
constexpr int kBack = 32789;
constexpr int kForward = 32796;
constexpr int kRefresh = 32792;
constexpr int kStop = 32793;
constexpr int kFontLargest = 32801; // ... 32805 smallest
constexpr int kFontLarger = 32802;
constexpr int kFontMedium = 32803;
constexpr int kFontSmaller = 32804;
constexpr int kFontSmallest = 32805;
constexpr int kViewSourceAlt = 32806;
constexpr int kViewSource = 32807;
constexpr int kClosePage = 32864;
constexpr int kSearch = 32866;
// Tools
constexpr int kAddFavorite = 32810;
constexpr int kOrganizeFavorites = 32811;
constexpr int kInternetOptions = 32812;
constexpr int kOptionSilent = 32869;
constexpr int kOptionPopup = 32871;
constexpr int kOptionSdi = 32873;
constexpr int kClearCache = 32862;
// Help
constexpr int kSoftwareHome = 32824;
constexpr int kAbout = 57664;
// Panes
constexpr int kNextPane = 57680;
constexpr int kPrevPane = 57681;

// The tree's own commands (context menu)
constexpr int kNewItem = 32775;
constexpr int kDeleteItem = 32777;
constexpr int kProperties = 32784;
constexpr int kOpenItem = 32826;
constexpr int kSetDescFromClipboard = 32831;
constexpr int kSetLinkFromClipboard = 32832;
constexpr int kSetChannelFromClipboard = 32833;
constexpr int kNewTextItem = 32834;
constexpr int kNewLinkItem = 32835;
constexpr int kNewChannelItem = 32836;
constexpr int kViewItem = 32838;
constexpr int kCopyLink = 32842;
constexpr int kPasteChildren = 32843;
constexpr int kPasteItem = 32845;
constexpr int kNewTextChild = 32849;
constexpr int kCopyItem = 32853;
constexpr int kOpenInNewWindow = 32860;
constexpr int kSendToFirst = 3584;
constexpr int kSendToLast = 4095;

} // namespace kelvor::cmd
