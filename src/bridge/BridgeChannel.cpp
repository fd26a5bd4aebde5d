#include "bridge/BridgeChannel.h"

#include <exception>
#include <utility>

namespace zrk {

namespace {
constexpr const char* kConnectedMessage = "ZRK_TQ_CONNECTED=1";
constexpr const char* kDisconnectedMessage = "ZRK_TQ_CONNECTED=0";
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
}

BridgeChannel::~BridgeChannel()
{
    socket_.OnConnected = nullptr;
    socket_.OnClosed = nullptr;
    socket_.OnDataAvailable = nullptr;
}

bool BridgeChannel::Send_Server_Message(const std::string& message)
{
    if (!socket_.Connected())
        return false;
    const RecordBytes record = EncodeMessage(message);
    return socket_.Send(record.data(), record.size());
}

void BridgeChannel::Start()
{
    socket_.Connect(host_, port_);
}

void BridgeChannel::Close()
{
    socket_.Close();
}

void BridgeChannel::OnSessionConnected(int /*error*/)
{
    // A new stream starts: a partial record of a lost connection must not
    // be completed with the first bytes of this one. After a failed attempt
    // the socket is not connected and the message is dropped.
    receiver_.Reset();
    Send_Server_Message(kConnectedMessage);
}

void BridgeChannel::OnSessionClosed()
{
    // Goes out only if the socket still reports itself connected.
    Send_Server_Message(kDisconnectedMessage);
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
        socket_.Connect(host_, port_);
        return;
    }
    if (tq_connected_seen == 0)
        Send_Server_Message(kConnectedMessage);
}

} // namespace zrk
