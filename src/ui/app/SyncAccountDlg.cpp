#include "app/SyncAccountDlg.h"

#include "app/SyncPassword.h"
#include "sync/SyncSettings.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace sync = kelvor::sync;

namespace {

std::string trimmed(const QLineEdit* edit) { return edit->text().trimmed().toStdString(); }

} // namespace

SyncAccountDlg::SyncAccountDlg(std::string home, SyncPassword* passwords, LoginTest test,
                               QWidget* parent)
    : QDialog(parent), home_(std::move(home)), passwords_(passwords), loginTest_(std::move(test)) {
    setWindowTitle(QStringLiteral("同步帐户"));
    sync::SyncSettings saved = sync::readSyncSettings(home_);
    server_ = new QLineEdit(QString::fromStdString(saved.server), this);
    server_->setPlaceholderText(QStringLiteral("例如 https://example.org/tt-rss/"));
    user_ = new QLineEdit(QString::fromStdString(saved.user), this);
    password_ = new QLineEdit(this);
    password_->setEchoMode(QLineEdit::Password);
    if (!saved.server.empty())
        password_->setPlaceholderText(QStringLiteral("留空则保留已保存的密码"));

    auto* intro = new QLabel(
        QStringLiteral("与自建的 Tiny Tiny RSS 服务器同步订阅、新条目、已读和星标（服务器须启用 API）。"
                       "密码保存在桌面的密钥环中，不写入任何设置文件。"),
        this);
    intro->setWordWrap(true);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("服务器地址(&S)："), server_);
    form->addRow(QStringLiteral("用户名(&U)："), user_);
    form->addRow(QStringLiteral("密码(&P)："), password_);

    test_ = new QPushButton(QStringLiteral("测试连接"), this);
    connect(test_, &QPushButton::clicked, this, &SyncAccountDlg::testConnection);
    result_ = new QLabel(this);
    result_->setWordWrap(true);
    result_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->addButton(test_, QDialogButtonBox::ActionRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &SyncAccountDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &SyncAccountDlg::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addLayout(form);
    layout->addWidget(result_);
    layout->addWidget(buttons);
    setMinimumWidth(460);
}

QString SyncAccountDlg::incomplete() const {
    if (trimmed(server_).empty())
        return QStringLiteral("请填写服务器地址。");
    if (trimmed(user_).empty())
        return QStringLiteral("请填写用户名。");
    return {};
}

void SyncAccountDlg::testConnection() {
    if (QString missing = incomplete(); !missing.isEmpty()) {
        result_->setText(missing);
        return;
    }
    sync::Account account{trimmed(server_), trimmed(user_), password_->text().toStdString()};
    int asked = ++testsAsked_;
    result_->setText(QStringLiteral("正在连接 %1 …").arg(QString::fromStdString(account.server)));
    QPointer<SyncAccountDlg> self(this);
    auto answer = [self, asked](const std::string& problem) {
        if (!self || asked != self->testsAsked_)
            return;
        self->result_->setText(
            problem.empty() ? QStringLiteral("连接成功：服务器接受了用户名和密码。")
                            : QStringLiteral("连接失败：%1").arg(QString::fromStdString(problem)));
    };
    if (!account.password.empty() || !passwords_) {
        loginTest_(account, answer);
        return;
    }
    // Left empty: the password kept for this account.
    passwords_->fetch({account.server, account.user},
                      [self, account, answer](const QString& password) mutable {
                          if (!self)
                              return;
                          account.password = password.toStdString();
                          self->loginTest_(account, answer);
                      });
}

void SyncAccountDlg::accept() {
    if (QString missing = incomplete(); !missing.isEmpty()) {
        result_->setText(missing);
        return;
    }
    sync::SyncSettings account{trimmed(server_), trimmed(user_)};
    std::string error;
    if (!sync::writeSyncSettings(home_, account, error)) {
        result_->setText(QStringLiteral("无法保存同步帐户：%1").arg(QString::fromStdString(error)));
        return;
    }
    if (passwords_ && !password_->text().isEmpty())
        passwords_->keep(account, password_->text());
    QDialog::accept();
}
