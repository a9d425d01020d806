#include "app/CKelvorApp.h"

#include <QCoreApplication>

int main(int argc, char** argv) {
    CKelvorApp::prepareWebEngine();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    CKelvorApp app(argc, argv);
    if (!app.InitInstance())
        return 1;
    return app.exec();
}
