#include "platform/ui/SingleInstance.h"

#include <QLocalServer>
#include <QLocalSocket>

#include <unistd.h>

namespace parlix::ui {

SingleInstance::SingleInstance(const QString& key, QObject* parent) : QObject(parent), name_(serverName(key)) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::serverName(const QString& key) {
    QString safe;
    for (QChar c : key) safe += (c.isLetterOrNumber() || c == '-' || c == '_') ? c : QChar('_');
    return QStringLiteral("parlix-%1-%2").arg(safe).arg(static_cast<qulonglong>(::getuid()));
}

bool SingleInstance::activatePrevious(int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(name_);
    if (!socket.waitForConnected(timeoutMs)) return false;
    socket.write("activate\n");
    socket.waitForBytesWritten(timeoutMs);
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(timeoutMs);
    return true;
}

bool SingleInstance::listen() {
    if (server_) return server_->isListening();
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(name_)) {
        // Nobody answered on this name (activatePrevious came first), so the socket is a
        // leftover of a copy that ended without cleaning up.
        QLocalServer::removeServer(name_);
        if (!server_->listen(name_)) return false;
    }
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* peer = server_->nextPendingConnection()) {
            connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
            emit activateRequested();
        }
    });
    return true;
}

bool SingleInstance::isListening() const { return server_ && server_->isListening(); }

}  // namespace parlix::ui
