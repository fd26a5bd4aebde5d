#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

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
    // Names whose latest message waits at most while the bridge has stopped
    // reading (see Send_Server_Message). The controller sends a few dozen
    // names at most; past this bound the longest-waiting one is dropped.
    static constexpr std::size_t kMaxHeldNames = 256;

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
    // the message is dropped (no queue, no retry). Returns whether it went
    // or waits to go.
    //
    // A bridge that has stopped reading fills the socket's bounded send
    // queue, which then refuses records. From then on, until the queue takes
    // records again, messages wait here, one per name: a newer message
    // replaces the waiting one of the same name in its place, as it
    // supersedes it. So memory stays bounded however long the bridge
    // stalls, and once it reads again the latest state of every switch and
    // lever arrives, in the order the names first waited, without the
    // stale values in between. Records are never split. Waiting messages
    // belong to their connection: a close drops them, as any message sent
    // while disconnected is dropped.
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
    void OnWritable();

    // The watchdog, every 2000 ms: restarts the connection attempt when not
    // connected; when connected and the bridge has not yet taken note of
    // the controller (`tq_connected_seen` 0), says it is connected again.
    void ReconnectTimer(uint8_t tq_connected_seen);

    const RecordAssembler& Receiver() const { return receiver_; }
    // Messages waiting for the socket to take them, oldest name first.
    std::vector<std::string> HeldMessages() const;
    // Waiting messages dropped because kMaxHeldNames names were waiting.
    uint64_t DroppedHeldMessages() const { return droppedHeld_; }

private:
    void OnRecord(const uint8_t* record);
    bool SendRecord(const std::string& message);
    void Hold(const std::string& message);
    void SendHeld();

    IBridgeSocket& socket_;
    std::function<void()> onQuitOrder_;
    std::function<void(const std::string&)> onError_;
    std::string host_;
    uint16_t port_;
    RecordAssembler receiver_;
    bool quitOrdered_ = false;
    struct Held {
        std::string name;
        std::string message;
    };
    std::vector<Held> held_;
    uint64_t droppedHeld_ = 0;
};

} // namespace zrk
