#pragma once
#include <QTcpSocket>

#include "bridge/BridgeSocket.h"
#include "bridge/UpdateRecord.h"

namespace zrk {

// The bridge connection on a QTcpSocket: a raw stream with keep-alive on
// and linger 0, so that closing resets the connection at once. Events
// arrive on the GUI thread. The socket's read buffer is bounded, so a bridge
// that sends faster than the controller reads is held back by the network
// rather than growing the controller's memory. The send side is bounded
// too: a bridge that stops reading fills the system's send buffer, then at
// most kMaxQueuedBytes here; past that a unit is refused whole (Send gives
// false) and OnWritable follows once queued bytes went out.
class QtBridgeSocket : public IBridgeSocket {
public:
    QtBridgeSocket();
    ~QtBridgeSocket() override;

    void Connect(const std::string& host, uint16_t port) override;
    void Close() override;
    bool Connected() const override;
    bool Send(const uint8_t* data, std::size_t size) override;
    long Receive(uint8_t* buffer, std::size_t max) override;
    void PostDataAvailable() override;

    // Bytes the socket holds at most of what it has received and not yet
    // handed out: about 64 KB, a few data events' worth of records. A whole
    // number of records: while the bridge sends faster than the controller
    // reads, the socket refills what was read, whole records, so a full
    // buffer ends where a record ends and no read stops inside one (a read
    // that happened to stop at 19 bytes would be dropped by the stream rules).
    static constexpr qint64 kReadBufferSize = 180 * qint64(kRecordSize);
    // Unsent bytes held here at most while the system's send buffer is
    // full: about 180 records, as the Windows socket holds. The system's
    // send buffer is set to the same size, so that a stalled bridge finds
    // little stale data waiting when it reads again.
    static constexpr qint64 kMaxQueuedBytes = 64 * 1024;
    // Bytes handed to Send that wait for the system to take them.
    qint64 Queued() const { return socket_.bytesToWrite(); }

private:
    void SetSocketOptions();
    QTcpSocket socket_;
    bool wasConnected_ = false;
    bool dataEventPosted_ = false;
    bool writableEventPosted_ = false;
};

} // namespace zrk
