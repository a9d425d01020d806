#include "app/SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QUrl>

#include <unistd.h>

namespace {

constexpr int kWaitMs = 2000;

// Per user and home folder: two homes are two readers.
QString serverName(const std::string& home) {
    QByteArray hash = QCryptographicHash::hash(QByteArray::fromStdString(home), QCryptographicHash::Sha1);
    return QStringLiteral("kelvor-%1-%2").arg(::getuid()).arg(QString::fromLatin1(hash.toHex().left(16)));
}

} // namespace

SingleInstance::SingleInstance(const std::string& home, QObject* parent)
    : QObject(parent), name_(serverName(home)) {}

QStringList SingleInstance::addressesFrom(const QStringList& arguments) {
    QStringList addresses;
    for (const QString& argument : arguments) {
        QUrl url = QUrl::fromUserInput(argument, QDir::currentPath(), QUrl::AssumeLocalFile);
        if (url.isValid())
            addresses << url.toString();
    }
    return addresses;
}

bool SingleInstance::handOver(const QStringList& addresses) {
    QLocalSocket socket;
    socket.connectToServer(name_);
    if (!socket.waitForConnected(kWaitMs))
        return false;
    socket.write(addresses.join(QLatin1Char('\n')).toUtf8());
    socket.write("\n");
    bool sent = socket.waitForBytesWritten(kWaitMs) || socket.bytesToWrite() == 0;
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(kWaitMs);
    return sent;
}

bool SingleInstance::listen() {
    // A socket left by a reader that crashed answers nobody; handOver found
    // no one there, so it is stale.
    QLocalServer::removeServer(name_);
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_->nextPendingConnection()) {
            auto* received = new QByteArray;
            connect(socket, &QLocalSocket::readyRead, socket, [socket, received] { *received += socket->readAll(); });
            connect(socket, &QLocalSocket::disconnected, this, [this, socket, received] {
                *received += socket->readAll();
                QStringList addresses;
                for (const QString& line : QString::fromUtf8(*received).split(QLatin1Char('\n')))
                    if (!line.trimmed().isEmpty())
                        addresses << line.trimmed();
                delete received;
                socket->deleteLater();
                emit addressesReceived(addresses);
            });
        }
    });
    return server_->listen(name_);
}
