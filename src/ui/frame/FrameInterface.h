// What the tree (and the pages) need of the main window, and of message
// boxes, behind small interfaces: the real frame implements them, tests
// record them instead of showing anything.
#pragma once

#include "platform/OwnedThreads.h"
#include "store/ChannelMarks.h"

#include <functional>
#include <string>

class CKelvorView;
class QWidget;

namespace kelvor::app {

class IMainFrame {
  public:
    virtual ~IMainFrame() = default;
    // Shows the address in the address box and loads it in the active page.
    virtual void NavigateTo(const std::string& address) = 0;
    // Sets the address box text; no navigation, no history entry.
    virtual void SetAddressText(const std::string& text) = 0;
    virtual void SetStatusText(const std::string& text) = 0;
    // A new page (tab); null when none could be made.
    virtual CKelvorView* OpenNewPage(bool activate) = 0;
    // Loads an address into a page returned by OpenNewPage.
    virtual void NavigatePage(CKelvorView* page, const std::string& address) = 0;
    // Runs a bookmarklet (a javascript: address of the user's own files) in
    // the active page. A frame without pages runs nothing.
    virtual void RunBookmarklet(const std::string& address) { (void)address; }
    // Shows a description page in the active page.
    virtual void ShowDescription(const std::string& text) = 0;
    // The options dialog (browsing options and the Favorites folder), modal.
    virtual void ShowOptions() {}
    // Scrolls the active page down by a screen, or, when it is at its end
    // (or there is no page), runs `atEnd` instead, later.
    virtual void ScrollPageOrAtEnd(std::function<void()> atEnd) { atEnd(); }
};

// The application's main window; null before it exists (and in core tests).
IMainFrame* mainFrame();
void setMainFrame(IMainFrame* frame);

// The read marks as pages show them. The tree keeps the marks; a page of a
// channel's copy or of a hot category asks for them, and is told when they
// change, without the two knowing each other.
class IReadMarks {
  public:
    virtual ~IReadMarks() = default;
    using PageMarksAnswer = std::function<void(const store::PageMarks&)>;
    // The marks of the page showing the local file `path`, answered later on
    // the window's thread (kind kNone for a file that is neither a channel's
    // copy nor a hot category).
    virtual void RequestPageMarks(const std::string& path, PageMarksAnswer answer) = 0;
    // An entry of a channel's copy was opened from a page, by its link.
    virtual void MarkLinkRead(const std::string& cacheFile, const std::string& link) = 0;
};

// The marks' keeper; null when there is none (tests of pages alone).
IReadMarks* readMarks();
void setReadMarks(IReadMarks* marks);

// Pages follow the channels they show: `changed` is told the copy whose
// marks or entries changed. Returns an id for unwatchReadMarks.
int watchReadMarks(std::function<void(const std::string& cacheFile)> changed);
void unwatchReadMarks(int id);
void readMarksChanged(const std::string& cacheFile);

// The owner of short jobs that windows start and may not wait for (a dialog
// reading a feed): a job is told to stop when its window goes, and the
// program joins them all before it ends.
platform::OwnedThreads& backgroundJobs();

enum class MessageIcon { None, Information, Warning, Question, Critical };
enum class MessageButtons { Ok, OkCancel, YesNo };
enum MessageResult { kIdOk = 1, kIdCancel = 2, kIdYes = 6, kIdNo = 7 };

class IMessageBoxes {
  public:
    virtual ~IMessageBoxes() = default;
    virtual int show(const std::string& text, const std::string& caption, MessageIcon icon,
                     MessageButtons buttons) = 0;
};

// Installs a replacement (tests); null restores the real message boxes.
void setMessageBoxes(IMessageBoxes* boxes);

// A modal message box over the main window; returns kIdOk or kIdCancel, or
// for a question kIdYes or kIdNo.
int messageBox(const std::string& text, const std::string& caption = "万象汇览",
               MessageIcon icon = MessageIcon::Warning,
               MessageButtons buttons = MessageButtons::Ok);

} // namespace kelvor::app
