#include "browser/SavePage.h"

#include "browser/Favorites.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace kelvor::browser {
namespace {

SavePageAsker& asker() {
    static SavePageAsker instance;
    return instance;
}

SavePageTarget askWithDialog(QWidget* parent, const QString& title) {
    struct Format {
        QString filter;
        QWebEngineDownloadRequest::SavePageFormat format;
    };
    const Format formats[] = {
        {QStringLiteral("网页，全部 (*.html *.htm)"),
         QWebEngineDownloadRequest::CompleteHtmlSaveFormat},
        {QStringLiteral("网页，仅 HTML (*.html *.htm)"),
         QWebEngineDownloadRequest::SingleHtmlSaveFormat},
        {QStringLiteral("Web 档案，单个文件 (*.mhtml)"),
         QWebEngineDownloadRequest::MimeHtmlSaveFormat},
    };
    QStringList filters;
    for (const Format& f : formats)
        filters << f.filter;
    QString name = favoriteFileName(title.isEmpty() ? QStringLiteral("网页") : title);
    name.chop(4); // the ".url" a favorite would get
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    QString chosenFilter = filters.first();
    SavePageTarget target;
    target.path = QFileDialog::getSaveFileName(parent, QStringLiteral("保存网页"),
                                               QDir(folder).filePath(name + ".html"),
                                               filters.join(QStringLiteral(";;")), &chosenFilter);
    for (const Format& f : formats)
        if (f.filter == chosenFilter)
            target.format = f.format;
    return target;
}

} // namespace

SavePageTarget askSavePageTarget(QWidget* parent, const QString& title) {
    return asker() ? asker()(parent, title) : askWithDialog(parent, title);
}

void setSavePageAsker(SavePageAsker replacement) {
    asker() = std::move(replacement);
}

void acceptSavePageDownload(QWebEngineDownloadRequest* download) {
    QWebEnginePage* page = download->page();
    QString title = page ? page->title() : QString();
    if (title.isEmpty())
        title = QFileInfo(download->downloadFileName()).completeBaseName();
    SavePageTarget target =
        askSavePageTarget(page ? QWebEngineView::forPage(page) : nullptr, title);
    if (target.path.isEmpty()) {
        download->cancel();
        return;
    }
    QFileInfo file(target.path);
    download->setDownloadDirectory(file.absolutePath());
    download->setDownloadFileName(file.fileName());
    download->setSavePageFormat(target.format);
    download->accept();
}

} // namespace kelvor::browser
