#include "ui/QtBridgeSocket.h"

#ifdef _WIN32
#include <winsock2.h>
#else
#include <sys/socket.h>
#endif

namespace zrk {

QtBridgeSocket::QtBridgeSocket()
{
    // Unbounded by default. While the buffer is full the socket takes no
    // more from the system, and it takes again once a read empties it; the
    // channel reads until it is empty.
    socket_.setReadBufferSize(kReadBufferSize);
    QObject::connect(&socket_, &QTcpSocket::connected, [this] {
        wasConnected_ = true;
        SetSocketOptions();
        if (OnConnected)
            OnConnected(0);
    });
    QObject::connect(&socket_, &QTcpSocket::disconnected, [this] {
        if (!wasConnected_)
            return;
        wasConnected_ = false;
        if (OnClosed)
            OnClosed();
    });
    QObject::connect(&socket_, &QAbstractSocket::errorOccurred, [this](QAbstractSocket::SocketError e) {
        // A failed attempt reports itself as a connection event with an error.
        if (!wasConnected_ && socket_.state() != QAbstractSocket::ConnectedState && OnConnected)
            OnConnected(int(e) + 1);
    });
    QObject::connect(&socket_, &QTcpSocket::readyRead, [this] {
        if (OnDataAvailable)
            OnDataAvailable();
    });
    // Raised from the event loop, never from inside a Send: a sender that
    // is refilling the queue is not called back in the middle of it.
    QObject::connect(&socket_, &QTcpSocket::bytesWritten, [this](qint64) {
        if (writableEventPosted_)
            return;
        writableEventPosted_ = true;
        QMetaObject::invokeMethod(
            &socket_,
            [this] {
                writableEventPosted_ = false;
                if (Connected() && OnWritable)
                    OnWritable();
            },
            Qt::QueuedConnection);
    });
}

QtBridgeSocket::~QtBridgeSocket()
{
    socket_.blockSignals(true);
    socket_.abort();
}

void QtBridgeSocket::SetSocketOptions()
{
    socket_.setSocketOption(QAbstractSocket::KeepAliveOption, 1);
    socket_.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    socket_.setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, int(kMaxQueuedBytes));
    const auto fd = socket_.socketDescriptor();
    if (fd == -1)
        return;
    struct linger l;
    l.l_onoff = 1;
    l.l_linger = 0;
    ::setsockopt(static_cast<decltype(socket(0, 0, 0))>(fd), SOL_SOCKET, SO_LINGER,
                 reinterpret_cast<const char*>(&l), sizeof l);
}

void QtBridgeSocket::Connect(const std::string& host, uint16_t port)
{
    Close();
    socket_.connectToHost(QString::fromStdString(host), port);
}

void QtBridgeSocket::Close()
{
    // Closing on our own side raises no closed event.
    const bool blocked = socket_.blockSignals(true);
    socket_.abort();
    socket_.blockSignals(blocked);
    wasConnected_ = false;
}

bool QtBridgeSocket::Connected() const
{
    return socket_.state() == QAbstractSocket::ConnectedState;
}

bool QtBridgeSocket::Send(const uint8_t* data, std::size_t size)
{
    if (!Connected())
        return false;
    if (qint64(size) > kMaxQueuedBytes - socket_.bytesToWrite())
        return false;
    if (socket_.write(reinterpret_cast<const char*>(data), qint64(size)) != qint64(size))
        return false;
    // Into the system's send buffer now, not at the next turn of the event
    // loop: a Close() right behind (the sign-off at shutdown) would drop it.
    socket_.flush();
    return true;
}

long QtBridgeSocket::Receive(uint8_t* buffer, std::size_t max)
{
    const qint64 n = socket_.read(reinterpret_cast<char*>(buffer), qint64(max));
    return n < 0 ? -1 : long(n);
}

void QtBridgeSocket::PostDataAvailable()
{
    // QTcpSocket raises readyRead only for newly received bytes. The call is
    // bound to the socket object, so it is dropped if the socket goes first.
    if (dataEventPosted_)
        return;
    dataEventPosted_ = true;
    QMetaObject::invokeMethod(
        &socket_,
        [this] {
            dataEventPosted_ = false;
            if (socket_.bytesAvailable() > 0 && OnDataAvailable)
                OnDataAvailable();
        },
        Qt::QueuedConnection);
}

} // namespace zrk
