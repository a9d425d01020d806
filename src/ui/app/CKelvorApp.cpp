#include "app/CKelvorApp.h"

#include "app/CAboutDlg.h"
#include "app/FailureLog.h"
#include "app/CMainFrame.h"
#include "app/SingleInstance.h"
#include "frame/CommandIds.h"
#include "frame/FrameInterface.h"
#include "kelvor/Version.h"
#include "platform/HomeFolder.h"
#include "platform/XmlDom.h"

#include <QAbstractEventDispatcher>
#include <QCommandLineParser>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QSocketNotifier>
#include <QTranslator>

#include <cstdio>
#include <cstdlib>
#include <optional>

#include <unistd.h>

namespace {
void addChromiumFlag(const std::string& flag, const std::string& unlessPresent) {
    const char* flags = std::getenv("QTWEBENGINE_CHROMIUM_FLAGS");
    std::string value = flags ? flags : "";
    if (value.find(unlessPresent) != std::string::npos)
        return;
    value += value.empty() ? flag : " " + flag;
    setenv("QTWEBENGINE_CHROMIUM_FLAGS", value.c_str(), 1);
}
} // namespace

CKelvorApp::CKelvorApp(int& argc, char** argv) : QApplication(argc, argv) {
    Q_INIT_RESOURCE(kelvor);
    setSettingsIdentity();
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    installChineseTranslations();
    setApplicationVersion(QString::fromLatin1(kelvor::kVersion));
    setWindowIcon(QIcon(QStringLiteral(":/icons/kelvor.svg")));
    kelvor::xml::initialize();
    connectFailureLog();
}

CKelvorApp::~CKelvorApp() = default;

void CKelvorApp::setSettingsIdentity() {
    QCoreApplication::setOrganizationName(QStringLiteral("Kelvor"));
    QCoreApplication::setApplicationName(QStringLiteral("万象汇览"));
}

QList<QTranslator*> CKelvorApp::installChineseTranslations() {
    QList<QTranslator*> installed;
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    for (const char* catalog : {"qtbase_zh_CN", "qtwebengine_zh_CN"}) {
        auto* translator = new QTranslator(QCoreApplication::instance());
        if (translator->load(QLatin1String(catalog), folder) && QCoreApplication::installTranslator(translator))
            installed << translator;
        else
            delete translator;
    }
    return installed;
}

void CKelvorApp::prepareWebEngine() {
    // Error pages, the spelling of dates in pages and the engine's own
    // menus follow this, not LANG.
    addChromiumFlag("--lang=zh-CN", "--lang=");
    // Chromium refuses to start its sandbox as root; a reader started as
    // root (a container, a CI machine) would otherwise show no pages at all.
    if (geteuid() == 0)
        addChromiumFlag("--no-sandbox", "--no-sandbox");
}

void CKelvorApp::describeCommandLine(QCommandLineParser& parser) {
    parser.setApplicationDescription(QStringLiteral("万象汇览: 链接、笔记与新闻频道的阅读器"));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption(
        QCommandLineOption(QStringLiteral("home"),
                           QStringLiteral("使用 DIR 作为主文件夹 (index.xml, fav/, rss/, url/)"),
                           QStringLiteral("DIR")));
    parser.addPositionalArgument(QStringLiteral("URL"),
                                 QStringLiteral("在新页面中打开的网址或文件"),
                                 QStringLiteral("[URL...]"));
}

bool CKelvorApp::InitInstance() {
    QCommandLineParser parser;
    describeCommandLine(parser);
    parser.process(*this);
    const QString homeOption = QStringLiteral("home");
    // Before the home folder becomes the current one: a file is named from
    // where the command was given.
    const QStringList addresses = SingleInstance::addressesFrom(parser.positionalArguments());

    std::optional<std::string> home;
    if (parser.isSet(homeOption))
        home = parser.value(homeOption).toStdString();
    std::string error;
    if (!kelvor::platform::enterHomeFolder(home, applicationFilePath().toStdString(), &error)) {
        kelvor::app::messageBox(error, "万象汇览", kelvor::app::MessageIcon::Critical);
        return false;
    }

    auto* instance = new SingleInstance(kelvor::platform::programFolder(), this);
    if (instance->handOver(addresses)) {
        handedOver_ = true;
        return false;
    }
    instance->listen();
    connect(instance, &SingleInstance::addressesReceived, this, &CKelvorApp::openAddresses);

    frame_ = std::make_unique<CMainFrame>();
    frame_->initialUpdate(true);
    frame_->show();
    if (!addresses.isEmpty())
        openAddresses(addresses);
    if (std::getenv("KELVOR_QUIT_WHEN_UP"))
        quitWhenUp();
    return true;
}

// For timing the start (bench/window): once the window is shown and the
// event loop has nothing left to do for the first time, says so on standard
// output and quits. With KELVOR_QUIT_WHEN_UP=hold it quits only when its
// standard input closes, so that its memory can be read meanwhile (bench/scale).
void CKelvorApp::quitWhenUp() {
    auto* dispatcher = QAbstractEventDispatcher::instance();
    auto once = std::make_shared<QMetaObject::Connection>();
    *once = connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [this, once] {
        disconnect(*once);
        std::printf("kelvor: up\n");
        std::fflush(stdout);
        if (qEnvironmentVariable("KELVOR_QUIT_WHEN_UP") != QLatin1String("hold"))
            return quit();
        auto* input = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this);
        connect(input, &QSocketNotifier::activated, this, &QCoreApplication::quit);
    });
}

void CKelvorApp::openAddresses(const QStringList& addresses) {
    if (!frame_)
        return;
    for (const QString& address : addresses) {
        if (CKelvorView* page = frame_->OpenNewPage(true))
            frame_->NavigatePage(page, address.toStdString());
    }
    if (frame_->isMinimized())
        frame_->showNormal();
    else if (frame_->isHidden())
        frame_->show(); // hidden in the tray
    frame_->raise();
    frame_->activateWindow();
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
