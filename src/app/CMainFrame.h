// The main window: the navigation tree on the left, the browser pages on the
// right. The hub through which the tree reaches the browser side.
#pragma once

#include "app/FrameInterface.h"

#include <QMainWindow>

class CLeftView;
class QSplitter;

class CMainFrame : public QMainWindow, public kelvor::app::IMainFrame {
    Q_OBJECT
public:
    explicit CMainFrame(QWidget* parent = nullptr);
    ~CMainFrame() override;

    CLeftView* leftView() const { return leftView_; }
    QSplitter* splitter() const { return splitter_; }
    // Loads index.xml into the tree and opens the start page.
    void initialUpdate();

    void NavigateTo(const std::string& address) override;
    void SetAddressText(const std::string& text) override;
    void SetStatusText(const std::string& text) override;
    CKelvorView* OpenNewPage(bool activate) override;
    void NavigatePage(CKelvorView* page, const std::string& address) override;
    void ShowDescription(const std::string& text) override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QSplitter* splitter_ = nullptr;
    CLeftView* leftView_ = nullptr;
    QWidget* rightPane_ = nullptr;
};
