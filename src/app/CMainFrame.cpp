#include "app/CMainFrame.h"

#include "tree/CLeftView.h"
#include "tree/Strings.h"

#include <QCloseEvent>
#include <QSplitter>
#include <QStatusBar>

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle(QString::fromUtf8(kelvor::str::kAppTitle));
    setWindowIcon(QIcon(QStringLiteral(":/icons/kelvor.svg")));
    splitter_ = new QSplitter(Qt::Horizontal, this);
    leftView_ = new CLeftView(splitter_);
    rightPane_ = new QWidget(splitter_);
    splitter_->addWidget(leftView_);
    splitter_->addWidget(rightPane_);
    splitter_->setStretchFactor(0, 0);
    splitter_->setStretchFactor(1, 1);
    splitter_->setSizes({240, 760});
    setCentralWidget(splitter_);
    statusBar()->showMessage(QString::fromUtf8(kelvor::str::kIdleStatus));
    resize(1000, 700);
    kelvor::app::setMainFrame(this);
}

CMainFrame::~CMainFrame() {
    if (kelvor::app::mainFrame() == this)
        kelvor::app::setMainFrame(nullptr);
}

void CMainFrame::initialUpdate() { leftView_->OnInitialUpdate(); }

void CMainFrame::NavigateTo(const std::string& address) { SetAddressText(address); }
void CMainFrame::SetAddressText(const std::string&) {}
void CMainFrame::SetStatusText(const std::string& text) { statusBar()->showMessage(QString::fromStdString(text)); }
CKelvorView* CMainFrame::OpenNewPage(bool) { return nullptr; }
void CMainFrame::NavigatePage(CKelvorView*, const std::string&) {}
void CMainFrame::ShowDescription(const std::string&) {}

void CMainFrame::closeEvent(QCloseEvent* event) {
    leftView_->DestroyWindow();
    event->accept();
}
