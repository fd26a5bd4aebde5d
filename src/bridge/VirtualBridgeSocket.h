#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/EventLoop.h"
#include "bridge/BridgeSocket.h"

namespace zrk {

// A bridge connection without a network, for tests and for running with no
// bridge at all. Outcomes of connection attempts, received bytes and the
// peer's close arrive as events posted to the event loop, so they come
// between timer events as real socket events do. Everything sent is kept.
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
    // While set, Receive fails (-1).
    bool failReceive = false;
    // Called with every unit sent, for traces.
    std::function<void(const uint8_t*, std::size_t)> onSent;
    // Whether sent units are kept for SentUnits(); long runs turn it off.
    bool recordSent = true;

    // ---- what happened ----
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
    // Received bytes not read yet.
    std::size_t Waiting() const { return inbound_.size(); }

private:
    void Finish(bool accepted);
    void Drop();
    void PostData();

    IEventLoop& loop_;
    Answer answer_;
    State state_ = State::Closed;
    uint64_t generation_ = 0;   // invalidates posted events of an earlier connection
    std::deque<uint8_t> inbound_;
    std::vector<Attempt> attempts_;
    int closes_ = 0;
    std::vector<std::vector<uint8_t>> sent_;
    std::vector<std::size_t> readRequests_;
    // Posted events hold a weak reference, so a socket destroyed before
    // they are delivered is never touched.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

} // namespace zrk
