// The sync account's password. It lives in the desktop's secret store
// (through QtKeychain), never in a settings file; where the desktop has no
// secret service (writing or reading there fails) it is asked for when a
// sync first needs it and kept in memory until the program ends.
#pragma once

#include "sync/SyncSettings.h"

#include <QObject>
#include <QString>

#include <functional>
#include <map>
#include <memory>

// Where a password is kept outside the program; answers come on the
// window's thread.
class SecretStore {
  public:
    virtual ~SecretStore() = default;
    // `problem` is empty when it worked.
    using Written = std::function<void(const QString& problem)>;
    using Read = std::function<void(const QString& secret, const QString& problem)>;
    virtual void write(const QString& key, const QString& secret, Written done) = 0;
    virtual void read(const QString& key, Read done) = 0;
};

// The desktop's secret store (a D-Bus secret service, KWallet).
std::unique_ptr<SecretStore> desktopSecretStore();

class SyncPassword : public QObject {
    Q_OBJECT
  public:
    explicit SyncPassword(std::unique_ptr<SecretStore> store, QObject* parent = nullptr);

    // Keeps it for the account, in memory at once and in the secret store;
    // `done` gets "" or why the secret store did not take it.
    void keep(const kelvor::sync::SyncSettings& account, const QString& password,
              std::function<void(const QString& problem)> done = {});
    // The password: from memory, else from the secret store, else asked
    // (and kept in memory). Empty when the user gave none.
    void fetch(const kelvor::sync::SyncSettings& account, std::function<void(const QString&)> done);
    // Known now, without asking anything.
    bool inMemory(const kelvor::sync::SyncSettings& account) const;

    // Asks the user; the default shows a password box. Empty: cancelled.
    using Asker = std::function<QString(const kelvor::sync::SyncSettings&)>;
    void setAsker(Asker ask) { ask_ = std::move(ask); }

  signals:
    // The secret store did not take a password given to keep(): it is kept
    // in memory only.
    void notKept(const QString& problem);

  private:
    static QString keyOf(const kelvor::sync::SyncSettings& account);
    std::unique_ptr<SecretStore> store_;
    std::map<QString, QString> memory_; // by keyOf
    Asker ask_;
};
