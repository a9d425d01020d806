// 工具 > 同步帐户…: the Tiny Tiny RSS server, the user and the password.
// OK writes the server and the user to <home>/sync.json (kelvor-tool reads
// them there too) and gives the password to the keeper, never to a file.
// 测试连接 logs in on a worker thread and says how it went.
#pragma once

#include "sync/TtRssApi.h"

#include <QDialog>

#include <functional>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;
class SyncPassword;

class SyncAccountDlg : public QDialog {
    Q_OBJECT
  public:
    // Logs in with the account off the window's thread; the answer, on the
    // window's thread, is "" or why not.
    using LoginTest = std::function<void(const kelvor::sync::Account& account,
                                         std::function<void(const std::string& problem)> answer)>;
    SyncAccountDlg(std::string home, SyncPassword* passwords, LoginTest test, QWidget* parent);

    QLineEdit* serverEdit() const { return server_; }
    QLineEdit* userEdit() const { return user_; }
    QLineEdit* passwordEdit() const { return password_; }
    QPushButton* testButton() const { return test_; }
    QLabel* resultLabel() const { return result_; }

    void accept() override;

  private:
    void testConnection();
    // The account as filled in: "" or what is missing, in Chinese.
    QString incomplete() const;

    std::string home_;
    SyncPassword* passwords_;
    LoginTest loginTest_;
    QLineEdit* server_;
    QLineEdit* user_;
    QLineEdit* password_;
    QPushButton* test_;
    QLabel* result_;
    int testsAsked_ = 0; // an older answer is not shown over a newer one
};
