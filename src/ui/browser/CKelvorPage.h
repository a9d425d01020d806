// The web page behind a CKelvorView: reports main-frame navigations and
// new-window requests to its view, answers prompts quietly while silent, and
// shows the read marks of channel and hot category pages.
#pragma once

#include <QWebEngineCertificateError>
#include <QWebEnginePage>

class CKelvorView;
class PageUnreadMarks;

class CKelvorPage : public QWebEnginePage {
    Q_OBJECT
public:
    CKelvorPage(QWebEngineProfile* profile, CKelvorView* view);

    // Silent: no JavaScript alert, confirm or prompt boxes and no questions
    // about certificates; what would have asked gets the cautious answer.
    bool silent = true;

    // Forget the view (it is going away): no more events are reported.
    void detachView() { view_ = nullptr; }

    // Whether a confirm box is the engine asking to leave the page.
    static bool isLeavePageQuestion(const QString& msg);

    // Tells actionAsked first, so that what a command asked of the page
    // is known at once, not only when the engine gets round to it.
    void triggerAction(WebAction action, bool checked = false) override;

signals:
    void actionAsked(QWebEnginePage::WebAction action);

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
    QWebEnginePage* createWindow(WebWindowType type) override;
    void javaScriptAlert(const QUrl& securityOrigin, const QString& msg) override;
    bool javaScriptConfirm(const QUrl& securityOrigin, const QString& msg) override;
    bool javaScriptPrompt(const QUrl& securityOrigin, const QString& msg, const QString& defaultValue,
                          QString* result) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message, int line,
                                  const QString& source) override;

private:
    void onCertificateError(const QWebEngineCertificateError& error);

    CKelvorView* view_;
    PageUnreadMarks* unreadMarks_;
};
