// The window's side of the sync with a Tiny Tiny RSS server: 工具 >
// 同步帐户… and 立即同步, and a sync with every automatic update. The
// account comes from <home>/sync.json, the password from the keeper; the
// collection service runs the sync and says how it went in the status bar.
#pragma once

#include "app/SyncPassword.h"

#include <QObject>
#include <QPointer>

#include <memory>

class CollectionService;
class QWidget;

class SyncControl : public QObject {
    Q_OBJECT
  public:
    // `passwords` null: the desktop's secret store.
    SyncControl(CollectionService* service, QWidget* window,
                std::unique_ptr<SyncPassword> passwords = nullptr);
    ~SyncControl() override;

    // The account dialog, modal; true when it was saved.
    bool editAccount();
    // `byUser` (立即同步): without an account the dialog opens, and the
    // password is asked again after a refusal. The automatic update syncs
    // only a complete account and asks for a password once.
    void syncNow(bool byUser);
    SyncPassword* passwords() const { return passwords_.get(); }

  private:
    void showStatus(const QString& text);

    QPointer<CollectionService> service_;
    QWidget* window_;
    std::unique_ptr<SyncPassword> passwords_;
    bool refused_ = false; // the password box was cancelled
};
