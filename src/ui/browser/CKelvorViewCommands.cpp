// The commands a page carries: edit, zoom, find, source, save, print,
// properties and the favorites and options of the Tools menu.
#include "frame/CommandIds.h"
#include "frame/FavoritesSetting.h"
#include "frame/FrameInterface.h"
#include "browser/CFindBar.h"
#include "browser/CKelvorView.h"
#include "browser/CPagePropertiesDlg.h"
#include "browser/CTabView.h"
#include "browser/Favorites.h"
#include "browser/PagePrinting.h"
#include "browser/SavePage.h"

#include <QDesktopServices>
#include <QDir>
#include <QInputDialog>

#include <cmath>

namespace cmd = kelvor::cmd;
namespace browser = kelvor::browser;
namespace app = kelvor::app;

namespace {
// Zoom levels 4 (largest) .. 0 (smallest), for commands 32801 .. 32805.
constexpr double kZoomFactors[] = {0.7, 0.85, 1.0, 1.25, 1.5};

int zoomLevelOf(int commandId) { return 4 - (commandId - cmd::kFontLargest); }

QWebEnginePage::WebAction editAction(int id) {
    switch (id) {
    case cmd::kEditCut:
        return QWebEnginePage::Cut;
    case cmd::kEditCopy:
        return QWebEnginePage::Copy;
    case cmd::kEditPaste:
        return QWebEnginePage::Paste;
    case cmd::kEditSelectAll:
        return QWebEnginePage::SelectAll;
    case cmd::kEditUndo:
        return QWebEnginePage::Undo;
    case cmd::kEditRedo:
        return QWebEnginePage::Redo;
    default:
        return QWebEnginePage::NoWebAction;
    }
}
} // namespace

bool CKelvorView::handleCommand(int id) {
    if (id >= cmd::kFontLargest && id <= cmd::kFontSmallest) {
        setZoomLevel(zoomLevelOf(id));
        return true;
    }
    if (auto action = editAction(id); action != QWebEnginePage::NoWebAction) {
        triggerPageAction(action);
        return true;
    }
    switch (id) {
    case cmd::kEditFind:
        OnFind();
        return true;
    case cmd::kViewSource:
    case cmd::kViewSourceAlt:
        OnViewSource();
        return true;
    case cmd::kFileSave:
    case cmd::kFileSaveAs:
        OnSaveAs();
        return true;
    case cmd::kFilePrint:
        OnPrint();
        return true;
    case cmd::kFilePageSetup:
        browser::showPageSetup(this);
        return true;
    case cmd::kFileProperties:
        OnProperties();
        return true;
    case cmd::kRefresh:
        triggerPageAction(QWebEnginePage::Reload);
        return true;
    case cmd::kAddFavorite:
        OnAddFavorite();
        return true;
    case cmd::kOrganizeFavorites:
        OnOrganizeFavorites();
        return true;
    case cmd::kInternetOptions:
        OnInternetOptions();
        return true;
    default:
        return false;
    }
}

bool CKelvorView::isEditCommandEnabled(int id) const {
    QWebEnginePage::WebAction action = editAction(id);
    return action != QWebEnginePage::NoWebAction && pageAction(action)->isEnabled();
}

void CKelvorView::setZoomLevel(int level) { setZoomFactor(kZoomFactors[level]); }

int CKelvorView::currentZoomCommand() const {
    for (int level = 0; level < 5; ++level)
        if (std::abs(zoomFactor() - kZoomFactors[level]) < 0.01)
            return cmd::kFontLargest + (4 - level);
    return 0;
}

void CKelvorView::OnFind() {
    if (!findBar_)
        findBar_ = new CFindBar(this);
    findBar_->open();
}

void CKelvorView::OnViewSource() {
    QString address = url().toString();
    auto* frame = app::mainFrame();
    if (address.isEmpty() || !frame)
        return;
    if (CKelvorView* page = frame->OpenNewPage(true))
        frame->NavigatePage(page, "view-source:" + address.toStdString());
}

void CKelvorView::OnSaveAs() {
    browser::SavePageTarget target = browser::askSavePageTarget(this, title);
    if (!target.path.isEmpty())
        page()->save(target.path, target.format);
}

void CKelvorView::OnPrint() { browser::printPage(this); }

void CKelvorView::OnProperties() {
    CPagePropertiesDlg dialog(this, this);
    dialog.exec();
}

void CKelvorView::OnAddFavorite() {
    if (url().isEmpty() || url().scheme() == QLatin1String("data"))
        return;
    bool ok = false;
    QString name = QInputDialog::getText(this, QStringLiteral("添加到收藏夹"), QStringLiteral("名称(&N):"),
                                         QLineEdit::Normal, title.isEmpty() ? url().toString() : title, &ok);
    if (!ok)
        return;
    QString folder = kelvor::app::favoritesFolder();
    auto result = browser::writeFavorite(folder, name, url(), false);
    if (result == browser::FavoriteWrite::AlreadyExists) {
        std::string question = "收藏夹中已有“" + browser::favoriteFileName(name).toStdString() + "”，要替换它吗？";
        if (app::messageBox(question, "添加到收藏夹", app::MessageIcon::Question, app::MessageButtons::OkCancel) !=
            app::kIdOk)
            return;
        result = browser::writeFavorite(folder, name, url(), true);
    }
    if (result == browser::FavoriteWrite::Failed)
        app::messageBox("无法写入收藏夹文件夹“" + folder.toStdString() + "”，请在 Internet 选项中检查收藏夹的位置！",
                        "添加到收藏夹", app::MessageIcon::Warning);
}

void CKelvorView::OnOrganizeFavorites() {
    QString folder = kelvor::app::favoritesFolder();
    if (folder.isEmpty() || !QDir().mkpath(folder)) {
        app::messageBox("找不到收藏夹文件夹“" + folder.toStdString() + "”，请在 Internet 选项中检查收藏夹的位置！",
                        "整理收藏夹", app::MessageIcon::Warning);
        return;
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

void CKelvorView::OnInternetOptions() {
    if (auto* frame = app::mainFrame())
        frame->ShowOptions();
}
