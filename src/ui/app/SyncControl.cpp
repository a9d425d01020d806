#include "app/SyncControl.h"

#include "app/SyncAccountDlg.h"
#include "app/SyncPassword.h"
#include "collection/CollectionService.h"
#include "frame/FrameInterface.h"
#include "sync/SyncSettings.h"

#include <QPointer>

namespace sync = kelvor::sync;

SyncControl::SyncControl(CollectionService* service, QWidget* window,
                         std::unique_ptr<SyncPassword> passwords)
    : QObject(window), service_(service), window_(window), passwords_(std::move(passwords)) {
    if (!passwords_)
        passwords_ = std::make_unique<SyncPassword>(desktopSecretStore());
    connect(passwords_.get(), &SyncPassword::notKept, this, [this](const QString& problem) {
        showStatus(QStringLiteral("密码未能存入桌面的密钥环（%1），本次运行期间只保存在内存中")
                       .arg(problem));
    });
}

SyncControl::~SyncControl() = default;

void SyncControl::showStatus(const QString& text) {
    if (kelvor::app::IMainFrame* frame = kelvor::app::mainFrame())
        frame->SetStatusText(text.toStdString());
}

bool SyncControl::editAccount() {
    if (!service_)
        return false;
    QPointer<CollectionService> service(service_);
    SyncAccountDlg dialog(
        service_->home(), passwords_.get(),
        [service](const sync::Account& account, std::function<void(const std::string&)> answer) {
            if (service)
                service->testSyncLogin(account, std::move(answer));
        },
        window_);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    refused_ = false;
    return true;
}

void SyncControl::syncNow(bool byUser) {
    if (!service_)
        return;
    sync::SyncSettings account = sync::readSyncSettings(service_->home());
    if (account.server.empty() || account.user.empty()) {
        if (byUser && editAccount())
            syncNow(true);
        return;
    }
    if (service_->syncRunning()) {
        if (byUser)
            showStatus(QStringLiteral("同步正在进行…"));
        return;
    }
    if (!byUser && refused_ && !passwords_->inMemory(account))
        return; // asked once already; 立即同步 asks again
    QPointer<SyncControl> self(this);
    passwords_->fetch(account, [self, account](const QString& password) {
        if (!self || !self->service_)
            return;
        if (password.isEmpty()) {
            self->refused_ = true;
            self->showStatus(QStringLiteral("同步失败：没有同步帐户的密码"));
            return;
        }
        self->refused_ = false;
        self->service_->startSync({account.server, account.user, password.toStdString()});
    });
}
