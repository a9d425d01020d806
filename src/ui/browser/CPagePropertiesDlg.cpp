#include "browser/CPagePropertiesDlg.h"

#include "browser/AddressUrl.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLocale>
#include <QPointer>
#include <QPushButton>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace {
QLabel* valueLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setWordWrap(true);
    label->setMinimumWidth(360);
    return label;
}

QString typeOf(const QUrl& url) {
    QString scheme = url.scheme();
    if (scheme == QLatin1String("file"))
        return QStringLiteral("本地文件");
    if (scheme == QLatin1String("https"))
        return QStringLiteral("网页 (HTTPS，加密连接)");
    if (scheme == QLatin1String("http"))
        return QStringLiteral("网页 (HTTP)");
    if (scheme == QLatin1String("data") || url.toString() == QLatin1String("about:blank"))
        return QStringLiteral("程序生成的页面");
    return scheme;
}
} // namespace

QString formatByteSize(qint64 bytes) {
    QLocale locale(QLocale::Chinese, QLocale::China);
    QString exact = locale.toString(bytes) + QStringLiteral(" 字节");
    if (bytes < 1024)
        return exact;
    return exact + QStringLiteral(" (") + locale.formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat) +
           QStringLiteral(")");
}

CPagePropertiesDlg::CPagePropertiesDlg(QWebEngineView* view, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("属性"));
    QString title = view->title();
    title_ = valueLabel(title.isEmpty() ? QStringLiteral("(无标题)") : title, this);
    address_ = valueLabel(kelvor::browser::displayAddress(view->url()), this);
    type_ = valueLabel(typeOf(view->url()), this);
    size_ = valueLabel(QStringLiteral("正在计算..."), this);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("标题:"), title_);
    form->addRow(QStringLiteral("地址:"), address_);
    form->addRow(QStringLiteral("类型:"), type_);
    form->addRow(QStringLiteral("大小:"), size_);
    form->addRow(buttons);

    // The document's size as it stands now (after scripts), in UTF-8.
    QPointer<QLabel> size = size_;
    view->page()->toHtml([size](const QString& html) {
        if (size)
            size->setText(formatByteSize(html.toUtf8().size()));
    });
}

QString CPagePropertiesDlg::titleText() const { return title_->text(); }
QString CPagePropertiesDlg::addressText() const { return address_->text(); }
QString CPagePropertiesDlg::sizeText() const { return size_->text(); }
