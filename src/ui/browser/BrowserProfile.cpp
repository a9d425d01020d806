#include "browser/BrowserProfile.h"

#include "frame/FrameInterface.h"
#include "browser/SavePage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileDialog>
#include <QPointer>
#include <QStandardPaths>
#include <QWebEngineDownloadRequest>
#include <QWebEngineProfile>

namespace kelvor::browser {
namespace {

QString stateFolder() {
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty())
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/Kelvor/browser");
}

void reportDownload(QWebEngineDownloadRequest* download) {
    auto* frame = kelvor::app::mainFrame();
    if (!frame)
        return;
    QString name = download->downloadFileName();
    if (download->state() == QWebEngineDownloadRequest::DownloadCompleted)
        frame->SetStatusText(("下载完成: " + name).toStdString());
    else if (download->state() == QWebEngineDownloadRequest::DownloadInterrupted)
        frame->SetStatusText(("下载失败: " + name + " (" + download->interruptReasonString() + ")").toStdString());
}

// Pages saved through the Save command arrive accepted already; the page's
// own 另存为 arrives unanswered and gets the Save command's dialog; anything
// else a page wants to download is saved where the user says.
void onDownloadRequested(QWebEngineDownloadRequest* download) {
    if (download->state() != QWebEngineDownloadRequest::DownloadRequested)
        return;
    QObject::connect(download, &QWebEngineDownloadRequest::stateChanged, download,
                     [download] { reportDownload(download); });
    if (download->isSavePageDownload()) {
        acceptSavePageDownload(download);
        return;
    }
    QString suggested = QDir(download->downloadDirectory()).filePath(download->downloadFileName());
    QString path = QFileDialog::getSaveFileName(nullptr, QStringLiteral("保存文件"), suggested);
    if (path.isEmpty()) {
        download->cancel();
        return;
    }
    QFileInfo target(path);
    download->setDownloadDirectory(target.absolutePath());
    download->setDownloadFileName(target.fileName());
    download->accept();
}

// A named profile makes its folder under the application's data folder
// ($XDG_DATA_HOME/Kelvor/万象汇览/QtWebEngine/NAME) and writes its first
// settings there the moment it exists, before it can be told where it
// really lives. That data folder lies inside the default home folder, the
// user's collection. While the profile is made, the data folder points into
// the browser's own storage instead. The engine starts its threads only
// with the first profile, so the variable is set before any of them run.
class DataHomeWhileCreating {
public:
    explicit DataHomeWhileCreating(const QString& folder)
        : hadValue_(qEnvironmentVariableIsSet("XDG_DATA_HOME")), old_(qgetenv("XDG_DATA_HOME")) {
        qputenv("XDG_DATA_HOME", QFile::encodeName(folder));
    }
    ~DataHomeWhileCreating() {
        if (hadValue_)
            qputenv("XDG_DATA_HOME", old_);
        else
            qunsetenv("XDG_DATA_HOME");
    }

private:
    bool hadValue_;
    QByteArray old_;
};

} // namespace

QWebEngineProfile* createBrowserProfile(QObject* parent) {
    QWebEngineProfile* profile = nullptr;
    if (QStandardPaths::isTestModeEnabled()) {
        profile = new QWebEngineProfile(parent);
    } else {
        {
            DataHomeWhileCreating dataHome(stateFolder() + QStringLiteral("/initial"));
            profile = new QWebEngineProfile(QStringLiteral("Kelvor"), parent);
        }
        profile->setPersistentStoragePath(stateFolder());
        profile->setCachePath(QStandardPaths::writableLocation(QStandardPaths::CacheLocation) +
                              QStringLiteral("/browser"));
    }
    // Sites answer in Chinese where they can, like the rest of the program.
    profile->setHttpAcceptLanguage(QStringLiteral("zh-CN,zh;q=0.9,en;q=0.5"));
    profile->setDownloadPath(QStandardPaths::writableLocation(QStandardPaths::DownloadLocation));
    QObject::connect(profile, &QWebEngineProfile::downloadRequested, profile, &onDownloadRequested);
    return profile;
}

} // namespace kelvor::browser
