// The application object: home folder, settings and the main window.
#pragma once

#include <QApplication>

#include <memory>

class CMainFrame;

class CKelvorApp : public QApplication {
    Q_OBJECT
public:
    CKelvorApp(int& argc, char** argv);
    ~CKelvorApp() override;

    // Start-up; false ends the program (the reason was shown already).
    bool InitInstance();
    void OnAppAbout();
    // The application's own commands (asked after the views and the frame).
    bool handleCommand(int id);
    CMainFrame* mainFrame() const { return frame_.get(); }

    // Settings live under organisation "Kelvor", application "万象汇览".
    static void setSettingsIdentity();

private:
    std::unique_ptr<CMainFrame> frame_;
};
