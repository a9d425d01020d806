// The application object: home folder, settings and the main window.
#pragma once

#include <QApplication>
#include <QList>

#include <memory>

class CMainFrame;
class QCommandLineParser;
class QTranslator;

class CKelvorApp : public QApplication {
    Q_OBJECT
  public:
    CKelvorApp(int& argc, char** argv);
    ~CKelvorApp() override;

    // Start-up; false ends the program (the reason was shown already, or
    // the reader that runs for this home folder took the addresses).
    bool InitInstance();
    // InitInstance ended the program because another reader took over.
    bool handedOver() const { return handedOver_; }
    // Opens each address in a new page and brings the window to the front.
    void openAddresses(const QStringList& addresses);
    void OnAppAbout();
    // The application's own commands (asked after the views and the frame).
    bool handleCommand(int id);
    CMainFrame* mainFrame() const { return frame_.get(); }

    // Settings live under organisation "Kelvor", application "万象汇览".
    static void setSettingsIdentity();
    // Qt's own texts (file and print dialogs, the page's context menu,
    // script boxes, line-edit menus) in Chinese whatever LANG says, like the
    // rest of the program. Call before the first page or dialog exists: the
    // page actions keep the text they were made with. Returns what it
    // installed; the translators belong to the application.
    static QList<QTranslator*> installChineseTranslations();
    // Before the application object: the web engine reads its language from
    // the command line it is started with.
    static void prepareWebEngine();
    // The options and operands; also used without a display for --help
    // and --version.
    static void describeCommandLine(QCommandLineParser& parser);

  private:
    // KELVOR_QUIT_WHEN_UP set: quit as soon as the window is up.
    void quitWhenUp();

    std::unique_ptr<CMainFrame> frame_;
    bool handedOver_ = false;
};
