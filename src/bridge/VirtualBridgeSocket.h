#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ports/EventLoop.h"
#include "bridge/BridgeSocket.h"

namespace zrk {

// A bridge connection without a network, for tests and for running with no
// bridge at all. Outcomes of connection attempts, received bytes and the
// peer's close arrive as events posted to the event loop, so they come
// between timer events as real socket events do. Everything sent is kept.
//
// Received bytes are announced as QTcpSocket announces them: bytes from the
// bridge travel "on the wire" until the socket takes them into its read
// buffer, and each take raises one OnDataAvailable. Bytes left unread in the
// buffer raise no further event; only new bytes do, or PostDataAvailable.
// With a bounded read buffer, a full buffer takes nothing more from the
// wire until a read leaves it empty.
class VirtualBridgeSocket : public IBridgeSocket {
public:
    // How a connection attempt ends.
    enum class Answer {
        Accept,   // the bridge accepts: connected
        Refuse,   // nothing listens: the attempt fails
        Hold,     // no answer until AcceptPending() or RefusePending()
    };
    enum class State { Closed, Connecting, Connected };

    // The error code a refused attempt reports.
    static constexpr int kRefusedError = 10061;

    struct Attempt {
        std::string host;
        uint16_t port;
        bool operator==(const Attempt&) const = default;
    };

    // By default nothing listens: every attempt fails.
    explicit VirtualBridgeSocket(IEventLoop& loop, Answer answer = Answer::Refuse);

    // IBridgeSocket
    void Connect(const std::string& host, uint16_t port) override;
    void Close() override;
    bool Connected() const override { return state_ == State::Connected; }
    bool Send(const uint8_t* data, std::size_t size) override;
    long Receive(uint8_t* buffer, std::size_t max) override;
    void PostDataAvailable() override;

    // The read buffer's size in bytes; 0 (the default) for no bound.
    void SetReadBufferSize(std::size_t bytes) { readBufferSize_ = bytes; }
    // Bytes sent that the socket holds at most while the bridge does not
    // read them (see PeerStopsReading); 0 (the default) for no bound. A
    // unit that does not fit is refused whole.
    void SetSendCapacity(std::size_t bytes) { sendCapacity_ = bytes; }

    // ---- the peer's side ----
    // How later attempts end.
    void SetAnswer(Answer answer) { answer_ = answer; }
    void SetListening(bool listening) { answer_ = listening ? Answer::Accept : Answer::Refuse; }
    // Ends a held attempt (no effect when none is open).
    void AcceptPending();
    void RefusePending();
    // Bytes from the bridge; raises OnDataAvailable. Ignored (false) when
    // not connected.
    bool Deliver(const uint8_t* data, std::size_t size);
    bool Deliver(std::string_view bytes);
    // One record carrying "NAME=VALUE".
    bool DeliverMessage(const std::string& message);
    // The bridge closes the connection; raises OnClosed.
    void PeerClose();
    // The bridge stops reading: sent units pile up in the socket, up to
    // the send capacity. PeerReads() reads them all, and the socket then
    // raises OnWritable.
    void PeerStopsReading() { peerReading_ = false; }
    void PeerReads();
    // Bytes sent and not yet read by the bridge.
    std::size_t Unsent() const { return unsent_; }
    // While set, Receive fails (-1).
    bool failReceive = false;
    // Called with every unit sent, for traces.
    std::function<void(const uint8_t*, std::size_t)> onSent;
    // Whether sent units are kept for SentUnits(); long runs turn it off.
    bool recordSent = true;

    // ---- what happened ----
    // Each record below keeps its newest kKeptEntries entries at least;
    // older ones are dropped, so that a day's run keeps its memory.
    static constexpr std::size_t kKeptEntries = 4096;
    State state() const { return state_; }
    const std::vector<Attempt>& Attempts() const { return attempts_; }
    // Calls of Close().
    int Closes() const { return closes_; }
    // Every unit handed to Send while connected, as raw bytes.
    const std::vector<std::vector<uint8_t>>& SentUnits() const { return sent_; }
    // The sent records as "NAME=VALUE" (a unit that is not a whole record
    // shows as "<N bytes>").
    std::vector<std::string> SentMessages() const;
    void ClearSent() { sent_.clear(); }
    // The `max` of every Receive call, in order.
    const std::vector<std::size_t>& ReadRequests() const { return readRequests_; }
    // Received bytes not read yet, on the wire or in the read buffer.
    std::size_t Waiting() const { return wire_.size() + inbound_.size(); }
    // Of these, the bytes in the read buffer.
    std::size_t Buffered() const { return inbound_.size(); }
    // Events raised by PostDataAvailable.
    int RepostedEvents() const { return reposted_; }

private:
    void Finish(bool accepted);
    void Drop();
    void PostTake();
    void Take();
    // Posts a call that runs only while this socket and its connection live.
    void PostIfAlive(std::function<void()> fn);

    IEventLoop& loop_;
    Answer answer_;
    State state_ = State::Closed;
    uint64_t generation_ = 0;   // invalidates posted events of an earlier connection
    std::deque<uint8_t> wire_;      // sent by the bridge, not taken yet
    std::deque<uint8_t> inbound_;   // the read buffer
    std::size_t readBufferSize_ = 0;
    std::size_t sendCapacity_ = 0;
    std::size_t unsent_ = 0;
    bool peerReading_ = true;
    bool takePosted_ = false;
    bool takeStopped_ = false;   // the buffer was left full
    bool repostPosted_ = false;
    int reposted_ = 0;
    std::vector<Attempt> attempts_;
    int closes_ = 0;
    std::vector<std::vector<uint8_t>> sent_;
    std::vector<std::size_t> readRequests_;
    // Posted events hold a weak reference, so a socket destroyed before
    // they are delivered is never touched.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

} // namespace zrk
