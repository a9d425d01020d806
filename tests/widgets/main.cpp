// Widget tests: a QApplication on the offscreen platform, settings in a
// throw-away place, pages that cannot reach beyond 127.0.0.1.
#include "app/CKelvorApp.h"
#include "platform/XmlDom.h"
#include "support/Offline.h"

#include <QApplication>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const char* flags = std::getenv("QTWEBENGINE_CHROMIUM_FLAGS");
    std::string chromium = flags && *flags ? flags : "--no-sandbox --disable-gpu";
    setenv("QTWEBENGINE_CHROMIUM_FLAGS",
           (chromium + " " + kelvor::test::offlineChromiumFlags()).c_str(), 1);
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    Q_INIT_RESOURCE(kelvor);
    CKelvorApp::setSettingsIdentity();
    kelvor::xml::initialize();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
