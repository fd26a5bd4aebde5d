#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace zrk {

// The TCP client connection to the bridge program, used in its
// single-threaded, event-driven form: every event arrives on the event-loop
// thread. Adapters: QTcpSocket in the Qt host, a virtual socket in tests.
class IBridgeSocket {
public:
    virtual ~IBridgeSocket() = default;
    // Starts a connection attempt; its outcome comes as OnConnected (the
    // socket is then connected) or OnClosed. Any earlier connection or
    // attempt is dropped first.
    virtual void Connect(const std::string& host, uint16_t port) = 0;
    // Closes at once, dropping unsent data (the peer sees a reset).
    virtual void Close() = 0;
    virtual bool Connected() const = 0;
    // Hands `size` bytes to the socket's send buffer as one unit; never
    // blocks. False when not connected, or when the unit does not fit in
    // what the socket still holds for a peer that has stopped reading: the
    // unit is then refused whole, never cut, and OnWritable tells when
    // there is room again.
    virtual bool Send(const uint8_t* data, std::size_t size) = 0;
    // Reads up to `max` received bytes: the count, 0 when none is waiting,
    // -1 on error.
    virtual long Receive(uint8_t* buffer, std::size_t max) = 0;
    // Raises OnDataAvailable once more, from the event loop after the
    // events already waiting there, if received bytes are still unread by
    // then. The socket announces bytes only when they arrive, so a reader
    // that stops before it has read everything asks for this. Requests made
    // before that event runs raise it once.
    virtual void PostDataAvailable() = 0;

    // A connection attempt finished; `error` is 0 on success.
    std::function<void(int error)> OnConnected;
    // The connection closed (by the peer or by a failure).
    std::function<void()> OnClosed;
    // Bytes have arrived. Bytes left unread are not announced again until
    // more arrive (see PostDataAvailable).
    std::function<void()> OnDataAvailable;
    // Bytes the socket held went out to the peer, so Send may take more.
    std::function<void()> OnWritable;
};

} // namespace zrk
