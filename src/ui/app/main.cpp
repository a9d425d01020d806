#include "app/CKelvorApp.h"
#include "frame/FrameInterface.h"
#include "kelvor/Version.h"
#include "platform/Allocator.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstring>

namespace {

// --help and --version must work where there is no display (a terminal over
// ssh, a package check): they need no widgets, so no QApplication.
bool asksOnlyForText(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        for (const char* option : {"-h", "--help", "--help-all", "-v", "--version", "-?"})
            if (std::strcmp(argv[i], option) == 0)
                return true;
    }
    return false;
}

int printText(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kelvor"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(kelvor::kVersion));
    QCommandLineParser parser;
    CKelvorApp::describeCommandLine(parser);
    parser.process(app); // prints and exits
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (asksOnlyForText(argc, argv))
        return printText(argc, argv);
    kelvor::platform::keepAllocatorPagesForReuse();
    CKelvorApp::prepareWebEngine();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    CKelvorApp app(argc, argv);
    if (!app.InitInstance())
        return app.handedOver() ? 0 : 1;
    int result = app.exec();
    // Windows cancel their jobs as they close; what is left ends now.
    kelvor::app::backgroundJobs().joinAll();
    return result;
}
