#include "browser/CKelvorPage.h"

#include "frame/FrameInterface.h"
#include "browser/CKelvorView.h"
#include "browser/PageUnreadMarks.h"

#include <QCoreApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

namespace {

// The engine's own script boxes have English titles and read the page's
// text as markup; these speak the program's language and show the text as
// the page wrote it.
const QString kScriptBoxTitle = QStringLiteral("来自网页的消息");

bool scriptBox(QWidget* parent, const QString& msg, bool withCancel) {
    QMessageBox box(withCancel ? QMessageBox::Question : QMessageBox::Information, kScriptBoxTitle, msg,
                    withCancel ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
    if (withCancel)
        box.button(QMessageBox::Cancel)->setText(QStringLiteral("取消"));
    return box.exec() == QMessageBox::Ok;
}

} // namespace

CKelvorPage::CKelvorPage(QWebEngineProfile* profile, CKelvorView* view)
    : QWebEnginePage(profile, view), view_(view), unreadMarks_(new PageUnreadMarks(this)) {
    connect(this, &QWebEnginePage::certificateError, this, &CKelvorPage::onCertificateError);
}

bool CKelvorPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) {
    if (isMainFrame && view_)
        view_->OnBeforeNavigate2(url);
    if (isMainFrame && type == NavigationTypeLinkClicked)
        unreadMarks_->linkClicked(url);
    return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
}

QWebEnginePage* CKelvorPage::createWindow(WebWindowType type) {
    if (!view_)
        return nullptr;
    // Only a page in a tab opens windows, so the page handed back (a new
    // tab, or the hidden pool page that takes a blocked pop-up) is never
    // this one.
    CKelvorView* target = view_->OnNewWindow2(type);
    return target ? target->page() : nullptr;
}

void CKelvorPage::javaScriptAlert(const QUrl&, const QString& msg) {
    if (!silent)
        scriptBox(view_, msg, false);
}

bool CKelvorPage::javaScriptConfirm(const QUrl&, const QString& msg) {
    // Unasked, nothing is confirmed, except leaving: a page that asks
    // before it is left would otherwise hold its tab for ever, refusing
    // every address, the close of its tab and its reuse.
    if (silent)
        return isLeavePageQuestion(msg);
    return scriptBox(view_, msg, true);
}

bool CKelvorPage::isLeavePageQuestion(const QString& msg) {
    // The engine asks "may this page be left?" through the confirm box, in
    // its own words.
    static const char* const kQuestion =
        "Are you sure you want to leave this page? Changes that you made may not be saved.";
    return msg == QLatin1String(kQuestion) || msg == QCoreApplication::translate("QWebEnginePage", kQuestion);
}

bool CKelvorPage::javaScriptPrompt(const QUrl&, const QString& msg, const QString& defaultValue, QString* result) {
    if (silent)
        return false;
    QInputDialog dialog(view_);
    dialog.setWindowTitle(kScriptBoxTitle);
    dialog.setLabelText(msg);
    dialog.setTextValue(defaultValue);
    dialog.setOkButtonText(QStringLiteral("确定"));
    dialog.setCancelButtonText(QStringLiteral("取消"));
    if (dialog.exec() != QDialog::Accepted)
        return false;
    *result = dialog.textValue();
    return true;
}

// What pages write to their console is the sites' business, not the
// reader's output.
void CKelvorPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString&, int, const QString&) {}

void CKelvorPage::onCertificateError(const QWebEngineCertificateError& error) {
    // A silent page never lets a doubtful certificate through on its own.
    if (silent || !error.isOverridable()) {
        auto rejected = error;
        rejected.rejectCertificate();
        return;
    }
    auto pending = error;
    pending.defer();
    QPointer<CKelvorPage> self(this);
    QTimer::singleShot(0, this, [self, pending]() mutable {
        QString text = QStringLiteral("此网站的安全证书有问题：\n%1\n\n%2\n\n是否仍要继续浏览？")
                           .arg(pending.url().host(), pending.description());
        int answer = kelvor::app::messageBox(text.toStdString(), "安全警告", kelvor::app::MessageIcon::Warning,
                                             kelvor::app::MessageButtons::OkCancel);
        if (self && answer == kelvor::app::kIdOk)
            pending.acceptCertificate();
        else
            pending.rejectCertificate();
    });
}

void CKelvorPage::triggerAction(WebAction action, bool checked) {
    emit actionAsked(action);
    QWebEnginePage::triggerAction(action, checked);
}
