// One reader per home folder: a later start (from a desktop menu, a file
// manager or a terminal) hands the addresses it was given to the reader
// that runs, which opens each in a new page and comes to the front.
#pragma once

#include <QObject>
#include <QStringList>

#include <string>

class QLocalServer;

class SingleInstance : public QObject {
    Q_OBJECT
  public:
    explicit SingleInstance(const std::string& home, QObject* parent = nullptr);

    // True when a reader of this home folder runs and took the addresses.
    bool handOver(const QStringList& addresses);
    // Answers later starts from now on; false when it cannot.
    bool listen();

    // The addresses as this process's command line gave them: files made
    // absolute against its own folder, since the other process has another.
    static QStringList addressesFrom(const QStringList& arguments);

  signals:
    // A later start's addresses (maybe none: it only asks to be shown).
    void addressesReceived(const QStringList& addresses);

  private:
    QString name_;
    QLocalServer* server_ = nullptr;
};
