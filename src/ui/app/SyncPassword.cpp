#include "app/SyncPassword.h"

#include "platform/Log.h"

#include <QApplication>
#include <QInputDialog>
#include <QPointer>

#include <qt6keychain/keychain.h>

namespace {

const char* const kService = "Kelvor";

// QtKeychain's jobs delete themselves once they have answered.
class DesktopSecretStore : public SecretStore {
  public:
    void write(const QString& key, const QString& secret, Written done) override {
        auto* job = new QKeychain::WritePasswordJob(QLatin1String(kService));
        prepare(job, key);
        job->setTextData(secret);
        QObject::connect(job, &QKeychain::Job::finished, [done](QKeychain::Job* finished) {
            done(problemOf(finished));
        });
        job->start();
    }

    void read(const QString& key, Read done) override {
        auto* job = new QKeychain::ReadPasswordJob(QLatin1String(kService));
        prepare(job, key);
        QObject::connect(job, &QKeychain::Job::finished, [done](QKeychain::Job* finished) {
            auto* reader = static_cast<QKeychain::ReadPasswordJob*>(finished);
            QString problem = problemOf(finished);
            done(problem.isEmpty() ? reader->textData() : QString(), problem);
        });
        job->start();
    }

  private:
    static void prepare(QKeychain::Job* job, const QString& key) {
        job->setKey(key);
        // Never a plain-text copy in a settings file.
        job->setInsecureFallback(false);
        job->setAutoDelete(true);
    }

    static QString problemOf(QKeychain::Job* job) {
        if (job->error() == QKeychain::NoError)
            return {};
        switch (job->error()) {
        case QKeychain::EntryNotFound:
            return QStringLiteral("密钥环中没有这个帐户的密码");
        case QKeychain::AccessDenied:
        case QKeychain::AccessDeniedByUser:
            return QStringLiteral("密钥环拒绝了访问");
        default:
            // Without a secret service on D-Bus the library only says
            // "Unknown error": the technical words go to the debug log.
            kelvor::platform::logFailure("the desktop's secret store", job->errorString().toStdString());
            return QStringLiteral("桌面没有可用的密钥服务");
        }
    }
};

QString askInWindow(const kelvor::sync::SyncSettings& account) {
    bool given = false;
    QString text = QInputDialog::getText(
        QApplication::activeWindow(), QStringLiteral("同步帐户"),
        QStringLiteral("请输入同步帐户 %1（%2）的密码：\n（桌面的密钥环中没有它，本次运行期间只保存在内存中）")
            .arg(QString::fromStdString(account.user), QString::fromStdString(account.server)),
        QLineEdit::Password, QString(), &given);
    return given ? text : QString();
}

} // namespace

std::unique_ptr<SecretStore> desktopSecretStore() {
    return std::make_unique<DesktopSecretStore>();
}

SyncPassword::SyncPassword(std::unique_ptr<SecretStore> store, QObject* parent)
    : QObject(parent), store_(std::move(store)), ask_(askInWindow) {}

QString SyncPassword::keyOf(const kelvor::sync::SyncSettings& account) {
    return QString::fromStdString("sync:" + account.user + "@" + account.server);
}

bool SyncPassword::inMemory(const kelvor::sync::SyncSettings& account) const {
    return memory_.count(keyOf(account)) > 0;
}

void SyncPassword::keep(const kelvor::sync::SyncSettings& account, const QString& password,
                        std::function<void(const QString&)> done) {
    memory_[keyOf(account)] = password;
    QPointer<SyncPassword> self(this);
    store_->write(keyOf(account), password, [self, done](const QString& problem) {
        if (!self)
            return;
        if (!problem.isEmpty())
            emit self->notKept(problem);
        if (done)
            done(problem);
    });
}

void SyncPassword::fetch(const kelvor::sync::SyncSettings& account,
                         std::function<void(const QString&)> done) {
    QString key = keyOf(account);
    if (auto known = memory_.find(key); known != memory_.end()) {
        done(known->second);
        return;
    }
    QPointer<SyncPassword> self(this);
    store_->read(key, [self, account, key, done](const QString& secret, const QString& problem) {
        if (!self)
            return;
        if (problem.isEmpty() && !secret.isEmpty()) {
            self->memory_[key] = secret;
            done(secret);
            return;
        }
        QString asked = self->ask_ ? self->ask_(account) : QString();
        if (!asked.isEmpty())
            self->memory_[key] = asked;
        done(asked);
    });
}
