#include "app/CollectionTransfer.h"

#include "feeds/BookmarksImport.h"
#include "feeds/OpmlExport.h"
#include "feeds/OpmlImport.h"
#include "frame/FrameInterface.h"
#include "navtree/CLeftView.h"
#include "platform/HomeFolder.h"
#include "tree/Strings.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace kelvor::app {
namespace {

const char* const kOpmlFilter = "OPML 订阅列表 (*.opml *.xml);;所有文件 (*)";

QString askForImport(QWidget* parent, const char* caption, const char* filter) {
    return QFileDialog::getOpenFileName(parent, QString::fromUtf8(caption), QDir::homePath(),
                                        QString::fromUtf8(filter));
}

void tell(const std::string& text, MessageIcon icon) {
    messageBox(text, str::kAppTitle, icon, MessageButtons::Ok);
}

} // namespace

void importChannelList(QWidget* parent, CLeftView* tree) {
    QString file = askForImport(parent, "导入频道列表 (OPML)", kOpmlFilter);
    if (!file.isEmpty())
        importInto(tree, ImportKind::ChannelList, file);
}

void importBookmarks(QWidget* parent, CLeftView* tree) {
    QString file = askForImport(parent, "导入书签", "书签文件 (*.html *.htm);;所有文件 (*)");
    if (!file.isEmpty())
        importInto(tree, ImportKind::Bookmarks, file);
}

void exportChannelList(QWidget* parent) {
    QString file = QFileDialog::getSaveFileName(
        parent, QStringLiteral("导出频道列表 (OPML)"),
        QDir::home().filePath(QStringLiteral("万象汇览频道.opml")), QString::fromUtf8(kOpmlFilter));
    if (!file.isEmpty())
        exportTo(file);
}

void importInto(CLeftView* tree, ImportKind kind, const QString& file) {
    const std::string home = platform::programFolder();
    const std::string into =
        feeds::newCategoryName(home, QFileInfo(file).completeBaseName().toStdString());
    const std::string path = file.toStdString();
    // The tree lists the category itself when it has 我的收藏 loaded: its
    // copy of fav.xml is what its next edit saves.
    feeds::ImportReport report =
        kind == ImportKind::ChannelList
            ? feeds::importOpmlFile(path, home, into, feeds::Listing::ByCaller)
            : feeds::importBookmarksFile(path, home, into, feeds::Listing::ByCaller);
    if (!report.error.empty()) {
        tell(report.error, MessageIcon::Warning);
        return;
    }
    if (!tree || !tree->ListUnderLoadedFavorites(report.title, report.nodeSrc)) {
        try {
            feeds::listCategoryInFavorites(home, report.nodeSrc, report.title);
        } catch (const xml::DomError&) {
            tell(std::string(str::kSaveFailed) + home + "/fav/fav.xml", MessageIcon::Warning);
            return;
        }
    }
    tell("已导入为“我的收藏”中的分类“" + report.title + "”：" + report.summary(),
         MessageIcon::Information);
}

bool exportTo(const QString& file) {
    const std::string home = platform::programFolder();
    try {
        int localLeftOut = 0;
        feeds::exportOpml(home + "/index.xml", home, &localLeftOut).save(file.toStdString());
        std::string done = "频道列表已导出到 " + file.toStdString();
        // Channels read from files on this machine mean nothing on another.
        if (localLeftOut > 0)
            done += "（已略去 " + std::to_string(localLeftOut) + " 个本机文件频道）";
        if (IMainFrame* frame = mainFrame())
            frame->SetStatusText(done);
        return true;
    } catch (const xml::DomError& error) {
        tell("无法导出频道列表到 " + file.toStdString() + ": " + error.what(),
             MessageIcon::Warning);
        return false;
    }
}

} // namespace kelvor::app
