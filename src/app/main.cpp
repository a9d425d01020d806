#include "app/CKelvorApp.h"

#include <QCoreApplication>

#include <cstdlib>
#include <string>

#include <unistd.h>

namespace {
// Chromium refuses to start its sandbox as root; a reader started as root (a
// container, a CI machine) would otherwise show no pages at all.
void allowWebEngineAsRoot() {
    if (geteuid() != 0)
        return;
    const char* flags = std::getenv("QTWEBENGINE_CHROMIUM_FLAGS");
    std::string value = flags ? flags : "";
    if (value.find("--no-sandbox") == std::string::npos) {
        value += value.empty() ? "--no-sandbox" : " --no-sandbox";
        setenv("QTWEBENGINE_CHROMIUM_FLAGS", value.c_str(), 1);
    }
}
} // namespace

int main(int argc, char** argv) {
    allowWebEngineAsRoot();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    CKelvorApp app(argc, argv);
    if (!app.InitInstance())
        return 1;
    return app.exec();
}
