#include "ui/BuiltInBridge.h"

#include <QByteArray>
#include <QHostAddress>
#include <QTcpSocket>
#include <memory>

#include "bridge/UpdateRecord.h"

namespace zrk {

BuiltInBridge::BuiltInBridge(std::function<void(const std::string&)> onMessage) : onMessage_(std::move(onMessage))
{
    QObject::connect(&server_, &QTcpServer::newConnection, this, [this] { Accept(); });
}

uint16_t BuiltInBridge::Listen(uint16_t preferred)
{
    if (server_.listen(QHostAddress::LocalHost, preferred) || server_.listen(QHostAddress::LocalHost, 0))
        return server_.serverPort();
    return 0;
}

void BuiltInBridge::Accept()
{
    while (QTcpSocket* socket = server_.nextPendingConnection()) {
        // Bytes of a record not complete yet; never more than one record.
        auto pending = std::make_shared<QByteArray>();
        QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        QObject::connect(socket, &QTcpSocket::readyRead, this, [this, socket, pending] {
            for (;;) {
                const QByteArray more = socket->read(qint64(kRecordSize) - pending->size());
                if (more.isEmpty())
                    return;
                pending->append(more);
                if (std::size_t(pending->size()) == kRecordSize) {
                    const std::string text = RecordText(reinterpret_cast<const uint8_t*>(pending->constData()));
                    pending->clear();
                    if (onMessage_)
                        onMessage_(text);
                }
            }
        });
    }
}

} // namespace zrk
