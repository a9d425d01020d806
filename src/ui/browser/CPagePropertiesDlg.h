// File > 属性...: what the page is (title, address, type) and how big its
// document is.
#pragma once

#include <QDialog>

class QLabel;
class QWebEngineView;

class CPagePropertiesDlg : public QDialog {
    Q_OBJECT
public:
    CPagePropertiesDlg(QWebEngineView* view, QWidget* parent);

    QString titleText() const;
    QString addressText() const;
    QString sizeText() const;

private:
    QLabel* title_;
    QLabel* address_;
    QLabel* type_;
    QLabel* size_;
};

// "12,345 字节 (12.1 KB)"
QString formatByteSize(qint64 bytes);
