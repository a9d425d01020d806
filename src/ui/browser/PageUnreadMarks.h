// The read marks on a page showing a channel's copy (rss.xsl) or a hot
// category (hot.xsl): the unread count beside the heading or each channel's
// name, unread entries and headlines marked. The pages allow no scripts, so
// the marks are put in from the program, in a world of its own, once the page
// has loaded and again whenever the tree says they changed. The style goes in
// with them: home folders keep the style sheets they were first given. So do
// the entries' dates, in one local form; the file keeps the feed's text.
#pragma once

#include "store/ChannelMarks.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QUrl>

class QWebEnginePage;

class PageUnreadMarks : public QObject {
    Q_OBJECT
  public:
    explicit PageUnreadMarks(QWebEnginePage* page);
    ~PageUnreadMarks() override;

    // A link of the page was followed: an entry opened from the page is read.
    void linkClicked(const QUrl& url);

  private:
    void loadStarted();
    void loadFinished(bool ok);
    void ask();
    void answered(const QString& path, const kelvor::store::PageMarks& marks);
    // The page's file was written again since it loaded (a new copy of the
    // channel, new headlines): it is shown again rather than marked.
    bool fileChanged() const;

    QWebEnginePage* page_;
    QString path_; // the local file the page shows, "" when none
    QDateTime loadedTime_; // that file's time and size when the page loaded
    qint64 loadedSize_ = -1;
    kelvor::store::PageMarks marks_;
    int watch_ = 0;
    bool asking_ = false;
    bool askAgain_ = false;
};
