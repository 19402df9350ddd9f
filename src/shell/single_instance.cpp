#include "shell/single_instance.h"

#include <unistd.h>
#include <QCryptographicHash>
#include <QLocalSocket>
#include <QTimer>
#include <cstdlib>

namespace rg {

namespace {

constexpr const char* kWaylandToken = "XDG_ACTIVATION_TOKEN";
constexpr const char* kX11Token = "DESKTOP_STARTUP_ID";
// How long the running copy waits for a slow sender.
constexpr int kReadWaitMs = 2000;

}  // namespace

QString instance_server_name(const std::string& data_dir) {
    const QByteArray hash =
        QCryptographicHash::hash(QByteArray::fromStdString(data_dir), QCryptographicHash::Sha256)
            .toHex()
            .left(32);
    return QStringLiteral("reelgrab-%1-%2").arg(::getuid()).arg(QString::fromLatin1(hash));
}

bool hand_to_running_copy(const std::string& data_dir, const Activation& activation,
                          int timeout_ms) {
    QLocalSocket socket;
    socket.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
    socket.connectToServer(instance_server_name(data_dir));
    if (!socket.waitForConnected(timeout_ms))
        return false;
    const std::string message = encode_activation(activation);
    socket.write(message.data(), static_cast<qint64>(message.size()));
    if (!socket.waitForBytesWritten(timeout_ms))
        return false;
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(timeout_ms);
    return true;
}

InstanceServer::InstanceServer(QObject* parent) : QObject(parent) {
    server_.setSocketOptions(QLocalServer::AbstractNamespaceOption);
    connect(&server_, &QLocalServer::newConnection, this, &InstanceServer::on_connection);
}

bool InstanceServer::listen(const std::string& data_dir) {
    return server_.listen(instance_server_name(data_dir));
}

void InstanceServer::on_connection() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        auto* buffer = new QByteArray;
        connect(socket, &QLocalSocket::readyRead, socket, [socket, buffer] {
            buffer->append(socket->readAll());
            if (static_cast<std::size_t>(buffer->size()) > kActivationBytesMax)
                socket->abort();
        });
        connect(socket, &QLocalSocket::disconnected, this, [this, socket, buffer] {
            buffer->append(socket->readAll());
            const auto activation =
                decode_activation(std::string_view(buffer->constData(), buffer->size()));
            delete buffer;
            socket->deleteLater();
            if (activation)
                emit activated(*activation);
        });
        // A sender that never finishes is dropped.
        QTimer::singleShot(kReadWaitMs, socket, [socket] { socket->abort(); });
    }
}

std::string own_activation_token() {
    for (const char* name : {kWaylandToken, kX11Token}) {
        if (const char* value = std::getenv(name); value != nullptr && *value != '\0')
            return value;
    }
    return {};
}

void adopt_activation_token(const std::string& token) {
    if (token.empty())
        return;
    qputenv(kWaylandToken, QByteArray::fromStdString(token));
    qputenv(kX11Token, QByteArray::fromStdString(token));
}

}  // namespace rg
