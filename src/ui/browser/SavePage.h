// Where and how a page is kept on disk: one dialog for 文件 > 另存为 and for
// the page's own 另存为 (its context menu), which reaches the program as a
// download request.
#pragma once

#include <QString>
#include <QWebEngineDownloadRequest>

#include <functional>

class QWidget;

namespace kelvor::browser {

struct SavePageTarget {
    QString path; // empty: the user cancelled
    QWebEngineDownloadRequest::SavePageFormat format =
        QWebEngineDownloadRequest::CompleteHtmlSaveFormat;
};

// Asks for a file name and a form for the page titled `title`, starting in
// the downloads folder.
SavePageTarget askSavePageTarget(QWidget* parent, const QString& title);

// Tests answer in place of the modal dialog; an empty function brings the
// dialog back.
using SavePageAsker = std::function<SavePageTarget(QWidget* parent, const QString& title)>;
void setSavePageAsker(SavePageAsker asker);

// A page-save request nobody accepted yet: saved where the user says, or
// cancelled.
void acceptSavePageDownload(QWebEngineDownloadRequest* download);

} // namespace kelvor::browser
