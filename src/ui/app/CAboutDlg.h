// The About box: product name, version and the lines index.xml gives.
#pragma once

#include <QDialog>

class QLabel;

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
    QString productLine() const;
    QString makerLine() const;

private:
    QLabel* productLabel_; // control 1007
    QLabel* makerLabel_;   // control 1006
};
