#pragma once
#include <QTcpSocket>

#include "bridge/BridgeSocket.h"

namespace zrk {

// The bridge connection on a QTcpSocket: a raw stream with keep-alive on
// and linger 0, so that closing resets the connection at once. Events
// arrive on the GUI thread.
class QtBridgeSocket : public IBridgeSocket {
public:
    QtBridgeSocket();
    ~QtBridgeSocket() override;

    void Connect(const std::string& host, uint16_t port) override;
    void Close() override;
    bool Connected() const override;
    bool Send(const uint8_t* data, std::size_t size) override;
    long Receive(uint8_t* buffer, std::size_t max) override;

private:
    void SetSocketOptions();
    QTcpSocket socket_;
    bool wasConnected_ = false;
};

} // namespace zrk
