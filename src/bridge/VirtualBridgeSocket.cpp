#include "bridge/VirtualBridgeSocket.h"

#include <algorithm>

#include "bridge/UpdateRecord.h"

namespace zrk {

VirtualBridgeSocket::VirtualBridgeSocket(IEventLoop& loop, Answer answer)
    : loop_(loop), answer_(answer)
{
}

void VirtualBridgeSocket::Connect(const std::string& host, uint16_t port)
{
    Drop();   // an earlier connection or attempt
    attempts_.push_back({host, port});
    state_ = State::Connecting;
    if (answer_ != Answer::Hold)
        Finish(answer_ == Answer::Accept);
}

void VirtualBridgeSocket::Finish(bool accepted)
{
    const uint64_t gen = generation_;
    std::weak_ptr<int> alive = alive_;
    loop_.Post([this, alive, gen, accepted] {
        if (alive.expired() || gen != generation_ || state_ != State::Connecting)
            return;
        state_ = accepted ? State::Connected : State::Closed;
        if (OnConnected)
            OnConnected(accepted ? 0 : kRefusedError);
    });
}

void VirtualBridgeSocket::AcceptPending()
{
    if (state_ == State::Connecting)
        Finish(true);
}

void VirtualBridgeSocket::RefusePending()
{
    if (state_ == State::Connecting)
        Finish(false);
}

void VirtualBridgeSocket::Close()
{
    ++closes_;
    Drop();
}

void VirtualBridgeSocket::Drop()
{
    ++generation_;
    state_ = State::Closed;
    inbound_.clear();
}

bool VirtualBridgeSocket::Send(const uint8_t* data, std::size_t size)
{
    if (!Connected())
        return false;
    if (onSent)
        onSent(data, size);
    if (recordSent)
        sent_.emplace_back(data, data + size);
    return true;
}

long VirtualBridgeSocket::Receive(uint8_t* buffer, std::size_t max)
{
    readRequests_.push_back(max);
    if (failReceive || !Connected())
        return -1;
    const std::size_t n = std::min(max, inbound_.size());
    std::copy_n(inbound_.begin(), n, buffer);
    inbound_.erase(inbound_.begin(), inbound_.begin() + static_cast<std::ptrdiff_t>(n));
    return static_cast<long>(n);
}

bool VirtualBridgeSocket::Deliver(const uint8_t* data, std::size_t size)
{
    if (!Connected())
        return false;
    inbound_.insert(inbound_.end(), data, data + size);
    PostData();
    return true;
}

bool VirtualBridgeSocket::Deliver(std::string_view bytes)
{
    return Deliver(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

bool VirtualBridgeSocket::DeliverMessage(const std::string& message)
{
    const RecordBytes record = EncodeMessage(message);
    return Deliver(record.data(), record.size());
}

void VirtualBridgeSocket::PostData()
{
    const uint64_t gen = generation_;
    std::weak_ptr<int> alive = alive_;
    loop_.Post([this, alive, gen] {
        // Bytes already taken by an earlier event raise no further one.
        if (alive.expired() || gen != generation_ || inbound_.empty())
            return;
        if (OnDataAvailable)
            OnDataAvailable();
    });
}

void VirtualBridgeSocket::PeerClose()
{
    if (state_ == State::Closed)
        return;
    Drop();
    const uint64_t gen = generation_;
    std::weak_ptr<int> alive = alive_;
    loop_.Post([this, alive, gen] {
        if (alive.expired() || gen != generation_)
            return;
        if (OnClosed)
            OnClosed();
    });
}

std::vector<std::string> VirtualBridgeSocket::SentMessages() const
{
    std::vector<std::string> out;
    for (const auto& unit : sent_) {
        if (unit.size() == kRecordSize)
            out.push_back(RecordText(unit.data()));
        else
            out.push_back("<" + std::to_string(unit.size()) + " bytes>");
    }
    return out;
}

} // namespace zrk
