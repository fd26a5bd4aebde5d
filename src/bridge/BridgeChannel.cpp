#include "bridge/BridgeChannel.h"
#include "bridge/UpdateRecord.h"

#include <algorithm>
#include <cstddef>
#include <exception>
#include <utility>

namespace zrk {

namespace {
constexpr const char* kConnectedMessage = "ZRK_TQ_CONNECTED=1";
constexpr const char* kDisconnectedMessage = "ZRK_TQ_CONNECTED=0";

std::string NameOf(const std::string& message)
{
    std::string name, value;
    SplitNameValue(message, '=', name, value);
    return name;
}
} // namespace

BridgeChannel::BridgeChannel(IBridgeSocket& socket, std::function<void()> onQuitOrder,
                             std::function<void(const std::string&)> onError, std::string host,
                             uint16_t port)
    : socket_(socket), onQuitOrder_(std::move(onQuitOrder)), onError_(std::move(onError)),
      host_(std::move(host)), port_(port)
{
    socket_.OnConnected = [this](int error) { OnSessionConnected(error); };
    socket_.OnClosed = [this] { OnSessionClosed(); };
    socket_.OnDataAvailable = [this] { OnDataAvailable(); };
    socket_.OnWritable = [this] { OnWritable(); };
}

BridgeChannel::~BridgeChannel()
{
    socket_.OnConnected = nullptr;
    socket_.OnClosed = nullptr;
    socket_.OnDataAvailable = nullptr;
    socket_.OnWritable = nullptr;
}

bool BridgeChannel::Send_Server_Message(const std::string& message)
{
    if (!socket_.Connected()) {
        held_.clear();
        return false;
    }
    // Behind waiting messages, a new one waits too: sent at once it could
    // overtake an older value of its own name, which would then win.
    if (held_.empty() && SendRecord(message))
        return true;
    if (!socket_.Connected()) {
        held_.clear();
        return false;   // the send failed on a broken connection
    }
    Hold(message);
    return true;
}

bool BridgeChannel::SendRecord(const std::string& message)
{
    const RecordBytes record = EncodeMessage(message);
    return socket_.Send(record.data(), record.size());
}

void BridgeChannel::Hold(const std::string& message)
{
    const std::string name = NameOf(message);
    const auto same = std::find_if(held_.begin(), held_.end(), [&](const Held& h) { return h.name == name; });
    if (same != held_.end()) {
        same->message = message;
        return;
    }
    if (held_.size() >= kMaxHeldNames) {
        held_.erase(held_.begin());
        ++droppedHeld_;
    }
    held_.push_back({name, message});
}

std::vector<std::string> BridgeChannel::HeldMessages() const
{
    std::vector<std::string> messages;
    for (const Held& h : held_)
        messages.push_back(h.message);
    return messages;
}

void BridgeChannel::SendHeld()
{
    std::size_t sent = 0;
    while (sent < held_.size() && socket_.Connected() && SendRecord(held_[sent].message))
        ++sent;
    held_.erase(held_.begin(), held_.begin() + std::ptrdiff_t(sent));
    if (!socket_.Connected())
        held_.clear();
}

void BridgeChannel::OnWritable()
{
    SendHeld();
}

void BridgeChannel::Start()
{
    socket_.Connect(host_, port_);
}

void BridgeChannel::Close()
{
    socket_.Close();
    held_.clear();
}

void BridgeChannel::OnSessionConnected(int /*error*/)
{
    // A new stream starts: a partial record of a lost connection must not
    // be completed with the first bytes of this one. After a failed attempt
    // the socket is not connected and the message is dropped.
    receiver_.Reset();
    held_.clear();
    Send_Server_Message(kConnectedMessage);
}

void BridgeChannel::OnSessionClosed()
{
    // Goes out only if the socket still reports itself connected.
    Send_Server_Message(kDisconnectedMessage);
    held_.clear();
}

void BridgeChannel::OnDataAvailable()
{
    // Takes every complete record out of the stream as soon as it is there,
    // in order. The socket announces bytes only when they arrive, so the
    // channel reads until nothing is left; after kMaxReadsPerEvent reads it
    // hands the rest to a later event, so that a flood cannot hold up the
    // timers, yet nothing waits for the bridge to send again. It stops for
    // good once the bridge has ordered the controller to quit.
    try {
        const auto read = [this](uint8_t* buffer, std::size_t max) {
            return socket_.Receive(buffer, max);
        };
        const auto onRecord = [this](const uint8_t* record) { OnRecord(record); };
        int reads = 0;
        while (!quitOrdered_) {
            if (receiver_.OnDataAvailable(read, onRecord) <= 0)
                break;   // nothing left, or a failed read
            if (++reads == kMaxReadsPerEvent) {
                if (!quitOrdered_)
                    socket_.PostDataAvailable();
                break;
            }
        }
    } catch (const std::exception& e) {
        if (onError_)
            onError_(e.what());
    } catch (...) {
        if (onError_)
            onError_("Unknown error while reading from the bridge");
    }
}

void BridgeChannel::OnRecord(const uint8_t* record)
{
    if (!IsQuitOrder(record) || quitOrdered_)
        return;
    quitOrdered_ = true;
    if (onQuitOrder_)
        onQuitOrder_();
}

void BridgeChannel::ReconnectTimer(uint8_t tq_connected_seen)
{
    if (!socket_.Connected()) {
        // Closed, failed or still trying: an attempt that has not succeeded
        // by now is abandoned and started again.
        socket_.Close();
        held_.clear();
        socket_.Connect(host_, port_);
        return;
    }
    // Waiting messages normally go as soon as the socket has room; trying
    // here too means a missed room event cannot hold them up for good.
    SendHeld();
    if (tq_connected_seen == 0)
        Send_Server_Message(kConnectedMessage);
}

} // namespace zrk
