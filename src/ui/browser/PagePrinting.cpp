#include "browser/PagePrinting.h"

#include "frame/FrameInterface.h"

#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QWebEngineView>

#include <memory>

namespace kelvor::browser {
namespace {
QPrinter& pageSetupPrinter() {
    static QPrinter printer(QPrinter::HighResolution);
    return printer;
}
} // namespace

void showPageSetup(QWidget* parent) {
    QPageSetupDialog dialog(&pageSetupPrinter(), parent);
    dialog.setWindowTitle(QStringLiteral("页面设置"));
    dialog.exec();
}

void printPage(QWebEngineView* view) {
    // The printer has to live until the page has been printed.
    auto* printer = new QPrinter(QPrinter::HighResolution);
    printer->setPageLayout(pageSetupPrinter().pageLayout());
    printer->setDocName(view->title());
    QPrintDialog dialog(printer, view);
    dialog.setWindowTitle(QStringLiteral("打印"));
    if (dialog.exec() != QDialog::Accepted) {
        delete printer;
        return;
    }
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = QObject::connect(view, &QWebEngineView::printFinished, view, [printer, connection](bool ok) {
        QObject::disconnect(*connection);
        delete printer;
        if (!ok)
            kelvor::app::messageBox("打印失败，请检查打印机设置。", "万象汇览", kelvor::app::MessageIcon::Warning);
    });
    view->print(printer);
}

} // namespace kelvor::browser
