#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <utility>

#include "bridge/BridgeSocket.h"
#include "bridge/RecordAssembler.h"

namespace zrk {

// The record channel to the bridge program: sends the controller's
// messages, watches the connection and acts on the bridge's order to quit.
// Every method runs on the event-loop thread.
class BridgeChannel {
public:
    static constexpr uint16_t kDefaultPort = 698;
    static constexpr const char* kDefaultHost = "127.0.0.1";
    // Reads handled per data event at most; what is still waiting then is
    // read in a further event that the channel posts itself.
    static constexpr int kMaxReadsPerEvent = 64;

    // Binds the socket's events to this channel (and unbinds them when the
    // channel goes). `onQuitOrder` runs for the bridge's quit record, once:
    // the controller is ending, so the channel reads nothing more after it.
    // It must not destroy the channel. `onError` receives the text of a
    // failure met while handling received data.
    BridgeChannel(IBridgeSocket& socket, std::function<void()> onQuitOrder,
                  std::function<void(const std::string&)> onError,
                  std::string host = kDefaultHost, uint16_t port = kDefaultPort);
    ~BridgeChannel();
    BridgeChannel(const BridgeChannel&) = delete;
    BridgeChannel& operator=(const BridgeChannel&) = delete;

    // The bridge's address, used from the next connection attempt on.
    void SetHost(std::string host) { host_ = std::move(host); }
    const std::string& Host() const { return host_; }
    uint16_t Port() const { return port_; }

    // Sends one "NAME=VALUE" message as a record when connected; otherwise
    // the message is dropped (no queue, no retry). Returns whether it went.
    bool Send_Server_Message(const std::string& message);

    // The first connection attempt.
    void Start();
    // Closes the connection at once.
    void Close();
    bool Connected() const { return socket_.Connected(); }

    // Socket events.
    void OnSessionConnected(int error);
    void OnSessionClosed();
    void OnDataAvailable();

    // The watchdog, every 2000 ms: restarts the connection attempt when not
    // connected; when connected and the bridge has not yet taken note of
    // the controller (`tq_connected_seen` 0), says it is connected again.
    void ReconnectTimer(uint8_t tq_connected_seen);

    const RecordAssembler& Receiver() const { return receiver_; }

private:
    void OnRecord(const uint8_t* record);

    IBridgeSocket& socket_;
    std::function<void()> onQuitOrder_;
    std::function<void(const std::string&)> onError_;
    std::string host_;
    uint16_t port_;
    RecordAssembler receiver_;
    bool quitOrdered_ = false;
};

} // namespace zrk
