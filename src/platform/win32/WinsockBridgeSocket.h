#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "bridge/BridgeSocket.h"
#include "bridge/UpdateRecord.h"

namespace zrk {

// The bridge connection on a Winsock socket in its message-driven form: the
// socket reports connect, read, write and close through messages to a
// hidden message-only window of its own, so every event and callback runs
// on the thread that created the object, inside its message loop. A raw
// stream with keep-alive on, no send delay (records go out one by one) and
// linger 0, so that closing resets the connection at once.
//
// Received bytes stay in the system's receive buffer, bounded to a whole
// number of records (the same bound as the Qt adapter's read buffer): a
// bridge that sends faster than the controller reads is held back by the
// network rather than growing the controller's memory.
//
// Sending never blocks: what the system does not take at once waits in a
// queue of at most kMaxQueuedBytes and goes out when the socket can write
// again; a unit that would overflow the queue is refused whole (Send gives
// false), so the stream never carries part of a unit. OnWritable follows
// once queued bytes went out.
//
// Callbacks may close, reconnect or destroy the socket; nothing of an
// earlier connection reaches a later one, and nothing reaches a destroyed
// socket.
class WinsockBridgeSocket : public IBridgeSocket {
public:
    // The system's receive buffer: about 64 KB, a whole number of records.
    static constexpr int kReceiveBufferSize = 180 * int(kRecordSize);
    // Unsent bytes held at most while the system's send buffer is full:
    // about 180 records.
    static constexpr std::size_t kMaxQueuedBytes = 64 * 1024;

    WinsockBridgeSocket();
    ~WinsockBridgeSocket() override;
    WinsockBridgeSocket(const WinsockBridgeSocket&) = delete;
    WinsockBridgeSocket& operator=(const WinsockBridgeSocket&) = delete;

    void Connect(const std::string& host, uint16_t port) override;
    void Close() override;
    bool Connected() const override { return state_ == State::Connected; }
    bool Send(const uint8_t* data, std::size_t size) override;
    long Receive(uint8_t* buffer, std::size_t max) override;
    void PostDataAvailable() override;

    // Whether Winsock and the message window came up; without them no
    // connection attempt starts (and none reports back).
    bool Ready() const { return window_ != nullptr && winsockStarted_; }
    // Bytes handed to Send that wait for the system to take them.
    std::size_t Queued() const { return outgoing_.size(); }

private:
    friend struct WinsockBridgeSocketWindow;
    enum class State { Closed, Connecting, Connected };

    void OnWindowMessage(unsigned message, uintptr_t wParam, intptr_t lParam);
    void OnSocketEvent(unsigned event, int error);
    void FinishAttempt(int error);
    void OnPeerClosed();
    void PostAttemptEnd(int error);
    void SendQueued();
    std::size_t Unread() const;
    void CloseSocket();
    void Drop();

    void* window_ = nullptr;   // HWND
    bool winsockStarted_ = false;
    uintptr_t socket_;   // SOCKET, INVALID_SOCKET when there is none
    State state_ = State::Closed;
    // Counts connections and closes: events posted for an earlier one
    // carry its number and are dropped.
    unsigned generation_ = 0;
    // The message the current socket reports on; it changes with every
    // connection, so that a late report of a closed socket is never taken
    // for one of a new socket that got the same handle.
    unsigned socketMessage_ = 0;
    bool dataEventPosted_ = false;
    std::vector<uint8_t> outgoing_;
    // False once the object is being destroyed; a handler holds a copy
    // across each callback and stops if it turned false.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

} // namespace zrk
