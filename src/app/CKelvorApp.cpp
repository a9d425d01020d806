#include "app/CKelvorApp.h"

#include "app/CAboutDlg.h"
#include "app/CMainFrame.h"
#include "app/CommandIds.h"
#include "app/FrameInterface.h"
#include "platform/HomeFolder.h"
#include "platform/XmlDom.h"

#include <QCommandLineParser>
#include <QIcon>

#include <optional>

CKelvorApp::CKelvorApp(int& argc, char** argv) : QApplication(argc, argv) {
    Q_INIT_RESOURCE(kelvor);
    setSettingsIdentity();
    setApplicationVersion(QStringLiteral("1.70"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/kelvor.svg")));
    kelvor::xml::initialize();
}

CKelvorApp::~CKelvorApp() = default;

void CKelvorApp::setSettingsIdentity() {
    QCoreApplication::setOrganizationName(QStringLiteral("Kelvor"));
    QCoreApplication::setApplicationName(QStringLiteral("万象汇览"));
}

bool CKelvorApp::InitInstance() {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("万象汇览: 链接、笔记与新闻频道的阅读器"));
    parser.addHelpOption();
    parser.addVersionOption();
    QCommandLineOption homeOption(QStringLiteral("home"), QStringLiteral("使用 DIR 作为主文件夹 (index.xml, fav/, rss/, url/)"),
                                  QStringLiteral("DIR"));
    parser.addOption(homeOption);
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("(忽略) 文档名"));
    parser.process(*this);

    std::optional<std::string> home;
    if (parser.isSet(homeOption))
        home = parser.value(homeOption).toStdString();
    std::string error;
    if (!kelvor::platform::enterHomeFolder(home, applicationFilePath().toStdString(), &error)) {
        kelvor::app::messageBox(error, "万象汇览", kelvor::app::MessageIcon::Critical);
        return false;
    }

    frame_ = std::make_unique<CMainFrame>();
    frame_->initialUpdate();
    frame_->show();
    return true;
}

void CKelvorApp::OnAppAbout() {
    CAboutDlg dialog(frame_.get());
    dialog.exec();
}

bool CKelvorApp::handleCommand(int id) {
    if (id != kelvor::cmd::kAbout)
        return false;
    OnAppAbout();
    return true;
}
