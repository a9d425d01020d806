#include "app/CAboutDlg.h"

#include "kelvor/Version.h"
#include "navtree/CLeftView.h"
#include "platform/HomeFolder.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("关于 万象汇览"));
    auto* icon = new QLabel(this);
    icon->setPixmap(QIcon(QStringLiteral(":/icons/kelvor.svg")).pixmap(32, 32));
    productLabel_ = new QLabel(QStringLiteral("万象汇览  版本 %1  由 Kelvor 开发组编写")
                                   .arg(QString::fromLatin1(kelvor::kVersion)),
                               this);
    productLabel_->setTextFormat(Qt::PlainText);
    makerLabel_ = new QLabel(QStringLiteral("Kelvor 开发组 出品"), this);
    auto* ok = new QPushButton(QStringLiteral("确定"), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(16, 14, 14, 14);
    layout->setHorizontalSpacing(14);
    layout->addWidget(icon, 0, 0, 2, 1, Qt::AlignTop);
    layout->addWidget(productLabel_, 0, 1);
    layout->addWidget(makerLabel_, 1, 1);
    layout->addWidget(ok, 0, 2, Qt::AlignTop);
    layout->setColumnStretch(1, 1);

    // The master file names the maker's home page and a first line of its own;
    // a missing file or empty attribute leaves the defaults.
    std::string home, index, about;
    CLeftView::ReadTreeRootAttributes(kelvor::platform::indexFile(), &home, &index, &about);
    if (!home.empty())
        makerLabel_->setText(QString::fromStdString(home));
    if (!about.empty())
        productLabel_->setText(QString::fromStdString(about));
}

QString CAboutDlg::productLine() const { return productLabel_->text(); }
QString CAboutDlg::makerLine() const { return makerLabel_->text(); }
